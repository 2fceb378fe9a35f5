// The clock in the bottom-right corner of the picture: the local time of day in the
// user's own time format (LC_TIME: 24-hour or AM/PM as the locale writes it), drawn
// every frame with the bitmap font while the setting is on.
#pragma once
#include <cstddef>
#include <cstdint>
#include <ctime>

namespace qh {

// The formatted time, zero-terminated: at most 31 characters of the font's code page.
constexpr size_t kClockFieldSize = 32;

// Takes the time format from the user's LC_TIME locale (setlocale(LC_TIME, "")) and
// prepares the conversion from that locale's character set to the font's. Called once
// at start-up; DrawClock calls it itself if nobody has. Calling it again re-reads the
// environment.
void StartClockLocale();

// Formats `time` with the locale's time format ("%X") into `field`, in Windows-1251.
// Characters the code page lacks become '?'; a longer text is cut after the last whole
// character that fits. An unformattable time leaves the field empty.
void FormatClockText(const std::tm& time, char (&field)[kClockFieldSize]);

// The Windows-1251 byte of a Unicode code point, '?' when the code page has none.
uint8_t Windows1251Byte(uint32_t codePoint);

// Draws the time of day at (300, -275), size 14, when Settings.showClock is set; does
// nothing at all (not even binding the font) otherwise.
void DrawClock();

}  // namespace qh
