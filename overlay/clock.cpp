#include "overlay/clock.h"

#include <iconv.h>
#include <langinfo.h>
#include <locale.h>
#include <strings.h>

#include <cstdio>
#include <cstring>

#include "core/clock.h"
#include "overlay/font.h"
#include "resources/settings.h"

namespace qh {

namespace {
constexpr size_t kMaxCharacters = kClockFieldSize - 1;

// Windows-1251 bytes 0x80..0xBF; 0x98 is unassigned. 0xC0..0xFF are U+0410..U+044F.
constexpr uint16_t kWindows1251High[64] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x0000, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
};

const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

// How the locale's time text becomes code points: UTF-8 (nearly every locale today) is
// decoded here; any other character set goes through iconv to UTF-32. Written by
// StartClockLocale only; iconv_open happens there, never per frame.
struct ClockLocaleState {
  bool started = false;
  bool utf8 = false;
  iconv_t toUtf32 = kNoConverter;
};
ClockLocaleState clockLocale;

const char* TimeCodeset() {
#ifdef __GLIBC__
  return nl_langinfo(_NL_TIME_CODESET);
#else
  // Elsewhere only LC_CTYPE reports a character set: borrow it for the time locale.
  static char saved[256];
  std::snprintf(saved, sizeof saved, "%s", setlocale(LC_CTYPE, nullptr));
  static char codeset[64];
  const char* timeLocale = setlocale(LC_TIME, nullptr);
  const bool switched = timeLocale != nullptr && setlocale(LC_CTYPE, timeLocale) != nullptr;
  std::snprintf(codeset, sizeof codeset, "%s", switched ? nl_langinfo(CODESET) : "ANSI_X3.4-1968");
  setlocale(LC_CTYPE, saved);
  return codeset;
#endif
}

bool IsUtf8(const char* codeset) {
  return strcasecmp(codeset, "UTF-8") == 0 || strcasecmp(codeset, "UTF8") == 0;
}

// One code point from a UTF-8 text of `length` bytes; a malformed sequence yields
// U+FFFD for its first byte only, so decoding goes on with the next byte.
uint32_t DecodeUtf8(const unsigned char* text, size_t length, size_t* used) {
  const unsigned char lead = text[0];
  *used = 1;
  if (lead < 0x80) return lead;
  size_t extra = 0;
  uint32_t codePoint = 0;
  uint32_t minimum = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    extra = 1, codePoint = lead & 0x1Fu, minimum = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    extra = 2, codePoint = lead & 0x0Fu, minimum = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    extra = 3, codePoint = lead & 0x07u, minimum = 0x10000;
  } else {
    return 0xFFFD;
  }
  if (extra >= length) return 0xFFFD;
  for (size_t k = 1; k <= extra; ++k) {
    if ((text[k] & 0xC0u) != 0x80u) return 0xFFFD;
    codePoint = (codePoint << 6) | (text[k] & 0x3Fu);
  }
  if (codePoint < minimum || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) return 0xFFFD;
  *used = extra + 1;
  return codePoint;
}

size_t ConvertUtf8(const char* text, size_t length, char* out) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text);
  size_t written = 0;
  size_t at = 0;
  while (at < length && written < kMaxCharacters) {
    size_t used = 0;
    out[written++] = static_cast<char>(Windows1251Byte(DecodeUtf8(bytes + at, length - at, &used)));
    at += used;
  }
  return written;
}

size_t ConvertWithIconv(const char* text, size_t length, char* out) {
  uint8_t codeUnits[kMaxCharacters * 4];
  iconv(clockLocale.toUtf32, nullptr, nullptr, nullptr, nullptr);  // a fresh shift state
  char* in = const_cast<char*>(text);
  size_t inLeft = length;
  char* to = reinterpret_cast<char*>(codeUnits);
  size_t toLeft = sizeof codeUnits;
  // Stops early when the room for 31 characters is used up or at a byte the character set
  // does not know; what was converted until then is kept.
  iconv(clockLocale.toUtf32, &in, &inLeft, &to, &toLeft);
  const size_t count = (sizeof codeUnits - toLeft) / 4;
  for (size_t k = 0; k < count; ++k) {
    const uint8_t* unit = codeUnits + k * 4;
    const uint32_t codePoint = uint32_t{unit[0]} | (uint32_t{unit[1]} << 8) | (uint32_t{unit[2]} << 16) |
                               (uint32_t{unit[3]} << 24);
    out[k] = static_cast<char>(Windows1251Byte(codePoint));
  }
  return count;
}

// Without a converter only ASCII is certain.
size_t ConvertAscii(const char* text, size_t length, char* out) {
  size_t written = 0;
  for (; written < length && written < kMaxCharacters; ++written) {
    const auto byte = static_cast<unsigned char>(text[written]);
    out[written] = byte < 0x80 ? static_cast<char>(byte) : '?';
  }
  return written;
}
}  // namespace

uint8_t Windows1251Byte(uint32_t codePoint) {
  if (codePoint < 0x80) return static_cast<uint8_t>(codePoint);
  if (codePoint >= 0x0410 && codePoint <= 0x044F) return static_cast<uint8_t>(0xC0 + (codePoint - 0x0410));
  for (uint32_t k = 0; k < 64; ++k) {
    if (kWindows1251High[k] != 0 && kWindows1251High[k] == codePoint) return static_cast<uint8_t>(0x80 + k);
  }
  return '?';
}

void StartClockLocale() {
  setlocale(LC_TIME, "");
  if (clockLocale.toUtf32 != kNoConverter) iconv_close(clockLocale.toUtf32);
  clockLocale.toUtf32 = kNoConverter;
  clockLocale.utf8 = false;
  clockLocale.started = true;

  // strftime writes in the character set of the LC_TIME locale, which need not be the
  // one of LC_CTYPE: ask that category itself.
  char codeset[64];
  std::snprintf(codeset, sizeof codeset, "%s", TimeCodeset());
  if (IsUtf8(codeset)) {
    clockLocale.utf8 = true;
    return;
  }
  clockLocale.toUtf32 = iconv_open("UTF-32LE", codeset);
}

void FormatClockText(const std::tm& time, char (&field)[kClockFieldSize]) {
  if (!clockLocale.started) StartClockLocale();
  // Room for any time format a locale uses; a result that does not fit formats nothing.
  char formatted[256];
  const size_t length = std::strftime(formatted, sizeof formatted, "%X", &time);
  size_t written = 0;
  if (clockLocale.utf8) {
    written = ConvertUtf8(formatted, length, field);
  } else if (clockLocale.toUtf32 != kNoConverter) {
    written = ConvertWithIconv(formatted, length, field);
  } else {
    written = ConvertAscii(formatted, length, field);
  }
  field[written] = '\0';
}

void DrawClock() {
  if (Settings.showClock == 0) return;
  std::tm now{};
  LocalTimeOfDay(&now);
  char field[kClockFieldSize];
  FormatClockText(now, field);
  DrawFontText(300.0f, -275.0f, 14.0f, field);
}

}  // namespace qh
