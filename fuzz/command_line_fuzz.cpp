// The command line over any text: one of the three run modes, a program name without any
// folder, and a parent window only where the text holds a number for it.
#include <cstring>
#include <string>

#include "fuzz/fuzz_check.h"
#include "host/host_state.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  qh::HasParentWindow = false;
  qh::ParentWindow = 0;
  const int32_t mode = qh::ParseCommandLine(text.c_str());
  QH_FUZZ_CHECK(mode == qh::RunMode);
  QH_FUZZ_CHECK(mode == qh::Configure || mode == qh::Preview || mode == qh::Saver);
  QH_FUZZ_CHECK(qh::ProgramName.find_first_of("/\\") == std::string::npos);
  QH_FUZZ_CHECK(qh::ProgramName.size() <= std::strlen(text.c_str()));
  if (qh::HasParentWindow) QH_FUZZ_CHECK(std::strpbrk(text.c_str(), "0123456789") != nullptr);
  if (mode == qh::Saver) QH_FUZZ_CHECK(!qh::HasParentWindow);
  // A line without any switch character after the program is the settings dialog.
  if (std::strpbrk(text.c_str(), "/-") == nullptr) QH_FUZZ_CHECK(mode == qh::Configure);
  return 0;
}
