// Fixed text fields: a text copied into a field of a given capacity, cut where it must be
// so that the field always holds whole UTF-8 characters and a terminating zero.
#pragma once
#include <cstddef>
#include <cstring>
#include <string_view>

namespace qh {

// Copies at most capacity - 1 bytes of text into field (capacity > 0), never ending inside
// a UTF-8 character, and terminates it.
inline void CopyToField(char* field, size_t capacity, std::string_view text) {
  size_t length = text.size() < capacity - 1 ? text.size() : capacity - 1;
  if (length < text.size()) {
    while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) --length;
  }
  std::memcpy(field, text.data(), length);
  field[length] = '\0';
}

}  // namespace qh
