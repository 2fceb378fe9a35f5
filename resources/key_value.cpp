#include "resources/key_value.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace qh {

char* GetKeyValue(char* dest, size_t capacity, const char* text, const char* key) {
  if (capacity == 0) return nullptr;
  dest[0] = '\0';
  const char* found = std::strstr(text, key);
  if (found == nullptr) return nullptr;
  const char* value = found + std::strlen(key);
  size_t length = 0;
  while (value[length] != '\0' && value[length] != '\r') ++length;
  if (length > capacity - 1) length = capacity - 1;
  std::memcpy(dest, value, length);
  dest[length] = '\0';
  return dest;
}

int32_t GetKeyInt(const char* text, const char* key) {
  char value[32];
  GetKeyValue(value, sizeof value, text, key);
  if (value[0] == '\0') return 0;
  const double number = std::atof(value);
  // Out-of-range values saturate instead of overflowing the conversion.
  if (!(number > -2147483649.0)) return number != number ? 0 : INT32_MIN;
  if (!(number < 2147483648.0)) return INT32_MAX;
  return static_cast<int32_t>(number);
}

}  // namespace qh
