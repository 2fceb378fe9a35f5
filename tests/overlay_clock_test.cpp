// The clock overlay: the setting, the place and size of the text, the tint, and the time
// text in the user's own locale (24-hour, AM/PM, characters the font's code page lacks,
// texts too long for the field), through locales generated for the test without root.
#include <gtest/gtest.h>
#include <iconv.h>
#include <stdlib.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>

#include "core/clock.h"
#include "overlay/clock.h"
#include "overlay/font.h"
#include "overlay_font_files.h"
#include "resources/settings.h"

using namespace qh;

namespace {

// Locales compiled on demand into one scratch directory per test process, then found
// through LOCPATH: no root, no system locale archive, nothing left behind.
class GeneratedLocales {
 public:
  ~GeneratedLocales() {
    if (!dir_.empty()) std::filesystem::remove_all(dir_);
  }

  const std::string& Dir() {
    if (dir_.empty()) {
      char pattern[] = "/tmp/qh-locales-XXXXXX";
      if (mkdtemp(pattern) != nullptr) dir_ = pattern;
    }
    return dir_;
  }

  // `source` is a locale source name ("en_US") or a file path; `name` the directory made.
  bool Make(const std::string& source, const std::string& charmap, const std::string& name) {
    if (made_.count(name) != 0) return true;
    if (Dir().empty()) return false;
    const std::string command = "localedef --no-archive -i '" + source + "' -f '" + charmap + "' '" + Dir() + "/" +
                                name + "' >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    if (status != 0 || !std::filesystem::exists(Dir() + "/" + name + "/LC_TIME")) return false;
    made_.insert(name);
    return true;
  }

 private:
  std::string dir_;
  std::set<std::string> made_;
};

GeneratedLocales locales;

// A made-up locale whose time format is long and Cyrillic, with one character (%s) that
// the test chooses: written in the locale source notation, as code points.
std::string LongTimeLocaleSource(const char* extraCharacter) {
  char t_fmt[512];
  std::snprintf(t_fmt, sizeof t_fmt,
                "<U0432><U0440><U0435><U043C><U044F> %%H:%%M:%%S <U20AC>%s "
                "<U0447><U0430><U0441><U044B>, <U043C><U0438><U043D><U0443><U0442><U044B> <U0438> "
                "<U0441><U0435><U043A><U0443><U043D><U0434><U044B>",
                extraCharacter);
  std::string source =
      "comment_char %\nescape_char /\n"
      "LC_CTYPE\ncopy \"en_US\"\nEND LC_CTYPE\n"
      "LC_TIME\n"
      "abday \"Sun\";\"Mon\";\"Tue\";\"Wed\";\"Thu\";\"Fri\";\"Sat\"\n"
      "day \"Sunday\";\"Monday\";\"Tuesday\";\"Wednesday\";\"Thursday\";\"Friday\";\"Saturday\"\n"
      "abmon \"Jan\";\"Feb\";\"Mar\";\"Apr\";\"May\";\"Jun\";\"Jul\";\"Aug\";\"Sep\";\"Oct\";\"Nov\";\"Dec\"\n"
      "mon \"January\";\"February\";\"March\";\"April\";\"May\";\"June\";\"July\";\"August\";\"September\";"
      "\"October\";\"November\";\"December\"\n"
      "d_t_fmt \"%a %d %b %Y %T\"\nd_fmt \"%d//%m//%Y\"\n";
  source += std::string("t_fmt \"") + t_fmt + "\"\n";
  source += "am_pm \"\";\"\"\nt_fmt_ampm \"\"\nEND LC_TIME\n";
  for (const char* category : {"LC_COLLATE", "LC_MESSAGES", "LC_NUMERIC", "LC_MONETARY", "LC_PAPER", "LC_NAME",
                               "LC_ADDRESS", "LC_TELEPHONE", "LC_MEASUREMENT", "LC_IDENTIFICATION"}) {
    source += std::string(category) + "\ncopy \"" + (std::strcmp(category, "LC_COLLATE") == 0 ? "POSIX" : "en_US") +
              "\"\nEND " + category + "\n";
  }
  return source;
}

class OverlayClockTest : public qh::overlay_test::OverlayTest {
 protected:
  void SetUp() override {
    OverlayTest::SetUp();
    for (const char* name : kLocaleVariables) {
      const char* value = std::getenv(name);
      saved_[name] = value != nullptr ? std::optional<std::string>(value) : std::nullopt;
      unsetenv(name);
    }
    UseTimeLocale("C");
    InstallClock(&clock_);
    savedSettings_ = Settings;
    Settings.showClock = 1;
    LoadIdentityFont();
  }

  void TearDown() override {
    Settings = savedSettings_;
    UnfixLocalTimeOfDay();
    InstallClock(nullptr);
    for (const char* name : kLocaleVariables) {
      if (saved_[name]) setenv(name, saved_[name]->c_str(), 1);
      else unsetenv(name);
    }
    StartClockLocale();
    OverlayTest::TearDown();
  }

  void UseTimeLocale(const std::string& name) {
    if (!locales.Dir().empty()) setenv("LOCPATH", locales.Dir().c_str(), 1);
    setenv("LC_TIME", name.c_str(), 1);
    StartClockLocale();
  }

  // Draws the clock at a fixed time of day and returns the codes drawn.
  std::string ClockAt(int hours, int minutes, int seconds) {
    FixLocalTimeOfDay(hours * 3600 + minutes * 60 + seconds);
    device.ClearRecord();
    DrawClock();
    return DrawnText();
  }

  static std::string FormatAt(int hours, int minutes, int seconds) {
    std::tm time{};
    time.tm_year = 126;
    time.tm_mday = 1;
    time.tm_hour = hours;
    time.tm_min = minutes;
    time.tm_sec = seconds;
    char field[kClockFieldSize];
    std::memset(field, 'X', sizeof field);
    FormatClockText(time, field);
    EXPECT_NE(std::memchr(field, 0, sizeof field), nullptr) << "the field must stay terminated";
    return field;
  }

  static constexpr const char* kLocaleVariables[] = {"LC_ALL", "LC_TIME", "LANG", "LOCPATH"};
  std::map<std::string, std::optional<std::string>> saved_;
  FixedStepClock clock_{5000, 1000};
  SettingsRecord savedSettings_;
};

TEST_F(OverlayClockTest, SwitchedOffDrawsNothingAndBindsNothing) {
  Settings.showClock = 0;
  EXPECT_EQ(ClockAt(12, 34, 56), "");
  EXPECT_TRUE(device.calls.empty());
  EXPECT_TRUE(device.draws.empty());
}

TEST_F(OverlayClockTest, TimeOfDayStandsInTheBottomRightCorner) {
  EXPECT_EQ(ClockAt(12, 34, 56), "12:34:56");
  EXPECT_EQ(TextureBinds(), 1);
  ASSERT_EQ(device.draws.size(), 8u);
  const RecordedDraw& first = device.draws[0];
  EXPECT_FLOAT_EQ(first.Position(0).x, 300.0f - 14.0f);
  EXPECT_FLOAT_EQ(first.Position(3).x, 300.0f + 14.0f);
  EXPECT_FLOAT_EQ(first.Position(0).y, -275.0f + 12.6f);
  EXPECT_FLOAT_EQ(first.Position(3).y, -275.0f - 12.6f);
  EXPECT_FLOAT_EQ(first.Position(0).z, 45.0f);
  EXPECT_EQ(first.Diffuse(0), 0xFFFFFFFFu);
  // Glyphs a whole cell wide: 28 apart at size 14, running to the right.
  EXPECT_FLOAT_EQ(device.draws[7].Position(0).x, 300.0f - 14.0f + 7 * 28.0f);

  // The time is read anew every frame.
  clock_.FrameEnded();
  device.ClearRecord();
  DrawClock();
  EXPECT_EQ(DrawnText(), "12:34:57");
}

TEST_F(OverlayClockTest, TextTakesTheTintInForce) {
  SetSpriteTint(1.0f, 1.0f, 1.0f, 0.5f);
  ClockAt(7, 0, 0);
  ASSERT_FALSE(device.draws.empty());
  for (const RecordedDraw& d : device.draws) EXPECT_EQ(d.Diffuse(0), 0x7FFFFFFFu);
}

TEST_F(OverlayClockTest, TwentyFourHourLocaleWritesTheHourOfTheDay) {
  ASSERT_TRUE(locales.Make("ru_RU", "UTF-8", "ru_RU.UTF-8")) << "localedef could not build ru_RU.UTF-8";
  UseTimeLocale("ru_RU.UTF-8");
  EXPECT_EQ(ClockAt(15, 4, 5), "15:04:05");
  EXPECT_EQ(ClockAt(0, 0, 9), "00:00:09");
}

TEST_F(OverlayClockTest, AmPmLocaleWritesTheMarker) {
  ASSERT_TRUE(locales.Make("en_US", "UTF-8", "en_US.UTF-8")) << "localedef could not build en_US.UTF-8";
  UseTimeLocale("en_US.UTF-8");
  EXPECT_EQ(ClockAt(15, 4, 5), "03:04:05 PM");
  EXPECT_EQ(ClockAt(0, 0, 9), "12:00:09 AM");
  EXPECT_EQ(ClockAt(12, 34, 56), "12:34:56 PM");
  // LC_ALL overrides LC_TIME, as everywhere else.
  ASSERT_TRUE(locales.Make("ru_RU", "UTF-8", "ru_RU.UTF-8"));
  setenv("LC_ALL", "ru_RU.UTF-8", 1);
  StartClockLocale();
  EXPECT_EQ(ClockAt(15, 4, 5), "15:04:05");
}

TEST_F(OverlayClockTest, CharactersTheCodePageLacksBecomeQuestionMarks) {
  // Greek writes its AM/PM markers in Greek letters, which Windows-1251 has not.
  ASSERT_TRUE(locales.Make("el_GR", "UTF-8", "el_GR.UTF-8")) << "localedef could not build el_GR.UTF-8";
  UseTimeLocale("el_GR.UTF-8");
  EXPECT_EQ(ClockAt(15, 4, 5), "03:04:05 ??");
}

// "время 15:04:05 €? часы, минуты " in Windows-1251: the first 31 characters of the long
// format; the 41-character text is cut between whole characters.
const char kLongTimeCut[] =
    "\xE2\xF0\xE5\xEC\xFF 15:04:05 \x88? \xF7\xE0\xF1\xFB, \xEC\xE8\xED\xF3\xF2\xFB ";

TEST_F(OverlayClockTest, LongUtf8TextIsConvertedAndCutAtACharacter) {
  qh::overlay_test::WriteBytes(locales.Dir() + "/long_time.src",
                               [] {
                                 const std::string s = LongTimeLocaleSource("<U4E0A>");
                                 return std::vector<uint8_t>(s.begin(), s.end());
                               }());
  ASSERT_TRUE(locales.Make(locales.Dir() + "/long_time.src", "UTF-8", "xx_LONG.UTF-8"));
  UseTimeLocale("xx_LONG.UTF-8");
  const std::string text = FormatAt(15, 4, 5);
  EXPECT_EQ(text.size(), kClockFieldSize - 1);
  EXPECT_EQ(text, kLongTimeCut);
  EXPECT_EQ(ClockAt(15, 4, 5), kLongTimeCut);
}

TEST_F(OverlayClockTest, LegacyCharacterSetIsConvertedToo) {
  // The same format in a Windows-1251 locale, with ё (0xB8) where the UTF-8 one has a
  // character the code page lacks.
  qh::overlay_test::WriteBytes(locales.Dir() + "/long_time_1251.src",
                               [] {
                                 const std::string s = LongTimeLocaleSource("<U0451>");
                                 return std::vector<uint8_t>(s.begin(), s.end());
                               }());
  ASSERT_TRUE(locales.Make(locales.Dir() + "/long_time_1251.src", "CP1251", "xx_LONG.CP1251"));
  UseTimeLocale("xx_LONG.CP1251");
  std::string expected = kLongTimeCut;
  expected[16] = '\xB8';
  EXPECT_EQ(FormatAt(15, 4, 5), expected);
}

TEST_F(OverlayClockTest, UnknownLocaleFallsBackToThePlainFormat) {
  UseTimeLocale("xx_NOWHERE.UTF-8");
  EXPECT_EQ(ClockAt(23, 59, 59), "23:59:59");
}

TEST(OverlayWindows1251Test, EveryByteOfTheCodePageMapsBack) {
  // The table against the system's own converter.
  iconv_t toUtf32 = iconv_open("UTF-32LE", "WINDOWS-1251");
  ASSERT_NE(toUtf32, reinterpret_cast<iconv_t>(-1));
  int mapped = 0;
  for (int byte = 1; byte < 256; ++byte) {
    char in[1] = {static_cast<char>(byte)};
    unsigned char out[4] = {};
    char* inPtr = in;
    char* outPtr = reinterpret_cast<char*>(out);
    size_t inLeft = 1, outLeft = 4;
    if (iconv(toUtf32, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1)) continue;  // 0x98
    const uint32_t codePoint = out[0] | (out[1] << 8) | (out[2] << 16) | (uint32_t{out[3]} << 24);
    EXPECT_EQ(Windows1251Byte(codePoint), byte) << std::hex << codePoint;
    ++mapped;
  }
  iconv_close(toUtf32);
  EXPECT_EQ(mapped, 254);
  for (uint32_t missing : {0x00E9u, 0x03BCu, 0x4E0Au, 0xFFFDu, 0x1F600u, 0x0098u}) {
    EXPECT_EQ(Windows1251Byte(missing), '?') << std::hex << missing;
  }
}

}  // namespace
