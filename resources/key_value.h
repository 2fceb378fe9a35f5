// "key=value" lines in loaded text: a key is found anywhere in the text (first
// occurrence, case-sensitive) and its value runs to the next carriage return, untrimmed.
#pragma once
#include <cstddef>
#include <cstdint>

namespace qh {

// Copies the value into dest (at most capacity - 1 bytes, always zero-terminated; a
// longer value is cut). Returns dest when the key was found, nullptr otherwise (dest
// then holds an empty string). The text ends at its first zero byte; a value on the last
// line without a line end runs to the end of the text.
char* GetKeyValue(char* dest, size_t capacity, const char* text, const char* key);
// The value read as a decimal number (leading white space skipped, trailing text ignored),
// truncated toward zero; 0 when the key is absent, empty or not a number.
int32_t GetKeyInt(const char* text, const char* key);

}  // namespace qh
