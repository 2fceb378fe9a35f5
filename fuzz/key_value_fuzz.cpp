// "key=value" lookups over any text: the value fits its buffer, is terminated, holds no
// carriage return, and is exactly the text after the first occurrence of the key.
#include <cstring>
#include <string>

#include "fuzz/fuzz_check.h"
#include "resources/key_value.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  // Byte 0: the buffer's capacity; then the key up to the first line feed; then the text.
  const size_t capacity = size_t{data[0]} + 1;
  const std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
  const size_t newline = rest.find('\n');
  if (newline == std::string::npos || newline == 0) return 0;
  const std::string key = rest.substr(0, newline);
  const std::string text = rest.substr(newline + 1);  // c_str() ends it at its first zero
  if (key.find('\0') != std::string::npos) return 0;

  std::string dest(capacity + 8, '\x7f');
  char* result = qh::GetKeyValue(dest.data(), capacity, text.c_str(), key.c_str());
  for (size_t i = capacity; i < dest.size(); ++i) QH_FUZZ_CHECK(dest[i] == '\x7f');  // nothing past the buffer
  const size_t length = std::strlen(dest.c_str());
  QH_FUZZ_CHECK(length < capacity);
  QH_FUZZ_CHECK(std::memchr(dest.data(), '\r', length) == nullptr);
  const char* found = std::strstr(text.c_str(), key.c_str());
  QH_FUZZ_CHECK((result != nullptr) == (found != nullptr));
  if (found == nullptr) {
    QH_FUZZ_CHECK(length == 0);
  } else {
    const char* value = found + key.size();
    QH_FUZZ_CHECK(std::strncmp(value, dest.c_str(), length) == 0);
    // Cut only by the capacity or at a carriage return or the end of the text.
    QH_FUZZ_CHECK(length == capacity - 1 || value[length] == '\r' || value[length] == '\0');
  }
  const int32_t number = qh::GetKeyInt(text.c_str(), key.c_str());
  if (found == nullptr) QH_FUZZ_CHECK(number == 0);
  return 0;
}
