// .reg text over any bytes: parsing never fails, a clean file stays clean when formatted and
// read again, and a value set into any document reads back exactly after a format and a
// second parse.
#include <string>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "resources/reg_text.h"

namespace {
constexpr std::string_view kKey = "HKEY_LOCAL_MACHINE\\software\\quorvale\\screensavers\\Quiet Highland";

void CheckReadsBack(const qh::RegDocument& doc, std::string_view keyPath, const qh::RegValue& value) {
  const qh::RegDocument back = qh::ParseRegText(qh::FormatRegDocument(doc));
  QH_FUZZ_CHECK(back.clean);
  const qh::RegValue* found = qh::FindRegValue(back, keyPath, value.name);
  QH_FUZZ_CHECK(found != nullptr);
  QH_FUZZ_CHECK(found->type == value.type);
  QH_FUZZ_CHECK(found->data == value.data);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  qh::RegDocument doc = qh::ParseRegText(text);
  if (doc.clean) QH_FUZZ_CHECK(qh::ParseRegText(qh::FormatRegDocument(doc)).clean);

  // A binary value made of the input's first bytes, as the saver writes its settings.
  qh::RegValue binary;
  binary.name = "settings";
  binary.type = qh::RegValueType::Binary;
  binary.typeCode = 3;
  binary.data = std::string(text.substr(0, 20));
  QH_FUZZ_CHECK(qh::SetRegValue(&doc, kKey, binary));
  CheckReadsBack(doc, kKey, binary);

  // A string value and a key path taken from the input: refused or read back exactly.
  const size_t cut = size / 2;
  qh::RegValue string;
  string.name = std::string(text.substr(0, cut / 2));
  string.type = qh::RegValueType::String;
  string.data = std::string(text.substr(cut));
  const std::string keyPath = "HKEY_LOCAL_MACHINE\\" + std::string(text.substr(cut / 2, cut - cut / 2));
  if (qh::SetRegValue(&doc, keyPath, string)) {
    CheckReadsBack(doc, keyPath, string);
    CheckReadsBack(doc, kKey, binary);  // the first value is still there
  }
  return 0;
}
