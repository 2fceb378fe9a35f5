#include "host/host_state.h"

#include <cctype>
#include <cstdlib>

#include "core/hex_digit.h"


namespace qh {

int32_t RunMode = Configure;
uint64_t ParentWindow = 0;
bool HasParentWindow = false;
bool NegativeParentWindow = false;
std::string ProgramName;
int32_t WindowWidth = 0;
int32_t WindowHeight = 0;
int32_t Fullscreen = 0;
int32_t Prefer32Bit = 0;
int32_t VSync = 0;
std::string DataDirectory;
volatile int32_t QuitRequested = 0;
bool DaemonWindow = false;

namespace {
// Reads a window number like atol: digits from the first one, stopping at the first
// non-digit. X11 tools print window ids in hex, so "0x" followed by a hex digit is read
// as hex (read as decimal it would always give 0, which is no window). Saturates instead
// of wrapping on absurdly long numbers.
uint64_t ReadWindowNumber(const char* p) {
  uint64_t value = 0;
  if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && HexDigitValue(p[2]) >= 0) {
    for (p += 2; HexDigitValue(*p) >= 0; ++p) {
      if (value > (UINT64_MAX >> 4)) return UINT64_MAX;
      value = value * 16 + static_cast<uint64_t>(HexDigitValue(*p));
    }
    return value;
  }
  while (*p >= '0' && *p <= '9') {
    const auto digit = static_cast<uint64_t>(*p - '0');
    if (value > (UINT64_MAX - digit) / 10) return UINT64_MAX;
    value = value * 10 + digit;
    ++p;
  }
  return value;
}

const char* FindDigit(const char* p) {
  while (*p != '\0' && !(*p >= '0' && *p <= '9')) ++p;
  return *p != '\0' ? p : nullptr;
}

// The window number at digits, read after the switch's letter at from: its sign noted.
void TakeParentWindow(const char* from, const char* digits) {
  HasParentWindow = true;
  NegativeParentWindow = digits > from && digits[-1] == '-';
  ParentWindow = ReadWindowNumber(digits);
}
}  // namespace

int32_t ParseCommandLine(const char* text) {
  if (text == nullptr) text = "";
  const char* p = text;
  std::string token;
  if (*p == '"') {
    ++p;
    while (*p != '\0' && *p != '"') token.push_back(*p++);
    if (*p == '"') ++p;
  } else {
    while (*p != '\0' && *p != ' ' && *p != '\t') token.push_back(*p++);
    if (*p != '\0') ++p;
  }
  // The file name without directory and extension.
  const size_t slash = token.find_last_of("/\\");
  std::string name = slash == std::string::npos ? token : token.substr(slash + 1);
  const size_t dot = name.find_last_of('.');
  if (dot != std::string::npos) name.resize(dot);
  ProgramName = name;

  while (*p != '\0' && *p != '/' && *p != '-') ++p;
  if (*p == '\0') return RunMode = Configure;
  const char letter = p[1];
  if (letter == 'c' || letter == 'C') {
    const char* digits = FindDigit(p + 2);
    HasParentWindow = false;
    NegativeParentWindow = false;
    ParentWindow = 0;
    if (digits != nullptr) TakeParentWindow(p + 2, digits);
    return RunMode = Configure;
  }
  if (letter == 'p' || letter == 'P') {
    const char* digits = FindDigit(p + 2);
    if (digits != nullptr) TakeParentWindow(p + 2, digits);
    return RunMode = Preview;
  }
  return RunMode = Saver;
}

}  // namespace qh
