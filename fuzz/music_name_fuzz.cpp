// The music-name classification over any text: a module exactly when, of ".mp3", ".ogg",
// ".mo3", ".xm" and ".it" (case ignored) whose first occurrence lies after the first
// character, the last in that order is one of the three module kinds. Checked against a
// plain reading of that rule.
#include <cctype>
#include <string>

#include "fuzz/fuzz_check.h"
#include "sound/audio_engine.h"

namespace {
bool ModuleByTheRule(const std::string& name) {
  static const char* const kEndings[] = {".mp3", ".ogg", ".mo3", ".xm", ".it"};
  std::string lower = name;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  int decided = -1;
  for (int i = 0; i < 5; ++i) {
    const size_t at = lower.find(kEndings[i]);
    if (at != std::string::npos && at > 0) decided = i;
  }
  return decided >= 2;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string name(reinterpret_cast<const char*>(data), size);
  name = name.substr(0, name.find('\0'));  // the name ends at its terminator, as in the store
  QH_FUZZ_CHECK(qh::IsModuleName(name.c_str()) == ModuleByTheRule(name));
  return 0;
}
