// The long options read before the one-letter switches: XScreenSaver's conventions, --help,
// the settings for one run, and every bad value.
#include <gtest/gtest.h>

#include <cstring>

#include "host/options.h"

using namespace qh;

namespace {
ProgramOptions Parse(std::vector<std::string> args, const char* xscreensaverWindow = nullptr) {
  return ParseProgramOptions(args, xscreensaverWindow);
}
}  // namespace

TEST(ProgramOptionsTest, OneAndTwoDashesAreTheSame) {
  for (const char* root : {"-root", "--root"}) {
    const ProgramOptions options = Parse({root});
    EXPECT_EQ(options.outcome, ProgramOptions::Run) << root;
    EXPECT_EQ(options.drawing, HostDrawing::RootWindow) << root;
    EXPECT_EQ(options.windowId, 0u) << root;
    EXPECT_TRUE(options.switches.empty()) << root;
  }
  for (std::vector<std::string> args : std::vector<std::vector<std::string>>{
           {"-window-id", "0x1e00007"}, {"--window-id", "31457287"}, {"--window-id=0x1E00007"}, {"-window-id=31457287"}}) {
    const ProgramOptions options = Parse(args);
    EXPECT_EQ(options.outcome, ProgramOptions::Run) << args[0];
    EXPECT_EQ(options.drawing, HostDrawing::WindowId) << args[0];
    EXPECT_EQ(options.windowId, 0x1e00007u) << args[0];
  }
  EXPECT_EQ(*Parse({"-volume", "7"}).overrides.volume, 7);
  EXPECT_EQ(*Parse({"--volume=7"}).overrides.volume, 7);
  EXPECT_FALSE(*Parse({"-no-clock"}).overrides.showClock);
}

TEST(ProgramOptionsTest, RootTakesTheDaemonsWindowFromTheEnvironment) {
  EXPECT_EQ(Parse({"--root"}, "0x2a00003").windowId, 0x2a00003u);
  EXPECT_EQ(Parse({"--root"}, "44040195").windowId, 44040195u);
  EXPECT_EQ(Parse({"--root"}, "").windowId, 0u);  // empty: the root window
  // Only -root reads it: -window-id names its own window, and the plain saver ignores it.
  EXPECT_EQ(Parse({"--window-id", "77"}, "0x2a00003").windowId, 77u);
  EXPECT_EQ(Parse({"/s"}, "0x2a00003").drawing, HostDrawing::None);
  const ProgramOptions bad = Parse({"-root"}, "window");
  EXPECT_EQ(bad.outcome, ProgramOptions::BadEnvironment);
  EXPECT_NE(bad.error.find("XSCREENSAVER_WINDOW"), std::string::npos);
  EXPECT_NE(bad.error.find("\"window\""), std::string::npos);
}

TEST(ProgramOptionsTest, HelpAndVersionEndTheRunWhereverTheyStand) {
  EXPECT_EQ(Parse({"--help"}).outcome, ProgramOptions::ShowHelp);
  EXPECT_EQ(Parse({"-help"}).outcome, ProgramOptions::ShowHelp);
  EXPECT_EQ(Parse({"/s", "--volume", "3", "--help"}).outcome, ProgramOptions::ShowHelp);
  EXPECT_EQ(Parse({"--help=yes"}).outcome, ProgramOptions::BadUsage);
  EXPECT_EQ(Parse({"-version"}).outcome, ProgramOptions::ShowVersion);
  EXPECT_EQ(Parse({"/c", "--version", "--help"}).outcome, ProgramOptions::ShowVersion);
  EXPECT_EQ(Parse({"--version=2"}).outcome, ProgramOptions::BadUsage);
  // The usage names every option, and the version.
  EXPECT_NE(std::string(kProgramUsage).find(std::string("(") + kProgramVersion + ")"), std::string::npos);
  for (const char* name : {"--root", "--window-id", "--scene-delay", "--volume", "--no-clock", "--no-day-cycle",
                           "--no-music", "--no-nature-sounds", "--start-scene", "--help", "--version"}) {
    EXPECT_NE(std::string(kProgramUsage).find(name), std::string::npos) << name;
  }
}

TEST(ProgramOptionsTest, OneLetterSwitchesAreLeftForTheSwitchRule) {
  const ProgramOptions options = Parse({"/p", "1234", "-c:55", "-s", "-x", "/", "-"});
  EXPECT_EQ(options.outcome, ProgramOptions::Run);
  EXPECT_EQ(options.drawing, HostDrawing::None);
  EXPECT_EQ(options.switches, (std::vector<std::string>{"/p", "1234", "-c:55", "-s", "-x", "/", "-"}));
  // A one-dash word we do not know is a switch too (its first letter decides), but two
  // dashes always mean a long option.
  EXPECT_EQ(Parse({"-sfoo"}).switches, std::vector<std::string>{"-sfoo"});
  EXPECT_EQ(Parse({"/root"}).drawing, HostDrawing::None);
  // "--" ends the options: what follows goes to the switch rule as it is.
  EXPECT_EQ(Parse({"--", "--help"}).switches, std::vector<std::string>{"--help"});
}

TEST(ProgramOptionsTest, WallpaperAndPictureShape) {
  ProgramOptions options = Parse({"--wallpaper"});
  EXPECT_EQ(options.outcome, ProgramOptions::Run);
  EXPECT_TRUE(options.wallpaper);
  EXPECT_FALSE(options.sound);
  EXPECT_EQ(options.shape, PictureShape::Default);
  EXPECT_TRUE(options.switches.empty());
  // One dash as well; the last of --fit and --fill wins; the saver may have either.
  options = Parse({"-wallpaper", "-sound", "--fit", "--fill"});
  EXPECT_TRUE(options.wallpaper);
  EXPECT_TRUE(options.sound);
  EXPECT_EQ(options.shape, PictureShape::Fill);
  options = Parse({"/s", "--fill", "-fit"});
  EXPECT_FALSE(options.wallpaper);
  EXPECT_EQ(options.shape, PictureShape::Fit);
  EXPECT_EQ(options.switches, std::vector<std::string>{"/s"});
  // They take no value.
  options = Parse({"--fill=yes"});
  EXPECT_EQ(options.outcome, ProgramOptions::BadUsage);
  EXPECT_EQ(options.error, "--fill takes no value");
  EXPECT_EQ(Parse({"--wallpaper=1"}).error, "--wallpaper takes no value");
  // Only the exact names: "-so" stays the saver's switch.
  EXPECT_EQ(Parse({"-so"}).switches, std::vector<std::string>{"-so"});
}

TEST(ProgramOptionsTest, SettingsMixWithSwitches) {
  const ProgramOptions options =
      Parse({"--scene-delay", "2m", "/s", "--volume", "0", "--no-music", "--day-cycle", "--start-scene=3"});
  ASSERT_EQ(options.outcome, ProgramOptions::Run);
  EXPECT_EQ(options.switches, std::vector<std::string>{"/s"});
  EXPECT_EQ(*options.overrides.sceneDelayChoice, 2);
  EXPECT_EQ(*options.overrides.volume, 0);
  EXPECT_FALSE(*options.overrides.musicOn);
  EXPECT_TRUE(*options.overrides.dayCycle);
  EXPECT_EQ(*options.overrides.startScene, 3);
  EXPECT_FALSE(options.overrides.showClock.has_value());
  EXPECT_FALSE(options.overrides.natureSounds.has_value());
  EXPECT_FALSE(Parse({"/s"}).overrides.Any());
}

TEST(ProgramOptionsTest, EverySceneDelayChoice) {
  const char* names[] = {"30s", "1m", "2m", "3m", "5m", "10m", "never"};
  for (int32_t choice = 0; choice < 7; ++choice) {
    EXPECT_EQ(*Parse({"--scene-delay", names[choice]}).overrides.sceneDelayChoice, choice) << names[choice];
  }
}

TEST(ProgramOptionsTest, FlagsTurnOnAndOffTheLastOneWinning) {
  const ProgramOptions on = Parse({"--clock", "--day-cycle", "--music", "--nature-sounds"});
  EXPECT_TRUE(*on.overrides.showClock);
  EXPECT_TRUE(*on.overrides.dayCycle);
  EXPECT_TRUE(*on.overrides.musicOn);
  EXPECT_TRUE(*on.overrides.natureSounds);
  const ProgramOptions off = Parse({"--no-clock", "--no-day-cycle", "--no-music", "--no-nature-sounds"});
  EXPECT_FALSE(*off.overrides.showClock);
  EXPECT_FALSE(*off.overrides.dayCycle);
  EXPECT_FALSE(*off.overrides.musicOn);
  EXPECT_FALSE(*off.overrides.natureSounds);
  EXPECT_TRUE(*Parse({"--no-clock", "--clock"}).overrides.showClock);
  EXPECT_EQ(*Parse({"--volume", "10", "--volume", "100"}).overrides.volume, 100);
}

TEST(ProgramOptionsTest, BadValuesNameTheOptionAndWhatItAccepts) {
  struct Case {
    std::vector<std::string> args;
    const char* mentions;
  };
  const Case cases[] = {
      {{"--scene-delay", "45s"}, "30s, 1m, 2m, 3m, 5m, 10m or never"},
      {{"--scene-delay", "30S"}, "--scene-delay"},
      {{"--scene-delay"}, "needs a value"},
      {{"--volume", "101"}, "0 to 100"},
      {{"--volume", "-1"}, "--volume"},
      {{"--volume", "50%"}, "\"50%\""},
      {{"--volume", " 5"}, "--volume"},
      {{"--volume", ""}, "--volume"},
      {{"--volume="}, "--volume"},
      {{"--volume", "99999999999999999999999"}, "--volume"},
      {{"--volume"}, "needs a value"},
      {{"--start-scene", "0"}, "from 1"},
      {{"--start-scene", "256"}, "--start-scene"},
      {{"--start-scene", "two"}, "--start-scene"},
      {{"--clock=yes"}, "--clock takes no value"},
      {{"--no-music=1"}, "--no-music takes no value"},
      {{"--root=1"}, "--root takes no value"},
      {{"--window-id"}, "X11 window id"},
      {{"--window-id", "0"}, "X11 window id"},
      {{"--window-id", "0x"}, "X11 window id"},
      {{"--window-id", "0x1g"}, "X11 window id"},
      {{"--window-id", "0x123456789"}, "X11 window id"},
      {{"--window-id", "4294967296"}, "X11 window id"},
      {{"--window-id", "12ab"}, "\"12ab\""},
      {{"--max-fps", "241"}, "from 1 to 240, or 0 for the display's refresh"},
      {{"--max-fps", "-1"}, "--max-fps"},
      {{"--max-fps", "30.5"}, "\"30.5\""},
      {{"--max-fps="}, "--max-fps"},
      {{"--max-fps"}, "needs a value"},
      {{"--fullscreen"}, "unknown option --fullscreen"},
      {{"--Root"}, "unknown option --Root"},
      {{"/s", "--volume", "5", "--bogus=1"}, "unknown option --bogus"},
  };
  for (const Case& c : cases) {
    const ProgramOptions options = Parse(c.args);
    SCOPED_TRACE(c.args[0] + (c.args.size() > 1 ? " " + c.args[1] : ""));
    EXPECT_EQ(options.outcome, ProgramOptions::BadUsage);
    EXPECT_NE(options.error.find(c.mentions), std::string::npos) << options.error;
    EXPECT_EQ(options.error.find('\n'), std::string::npos) << "one line";
  }
}

TEST(ProgramOptionsTest, MaxFpsFromZeroTo240) {
  EXPECT_FALSE(Parse({"/s"}).maxFps.has_value());
  EXPECT_EQ(*Parse({"--max-fps", "0"}).maxFps, 0);
  EXPECT_EQ(*Parse({"-max-fps", "1"}).maxFps, 1);
  EXPECT_EQ(*Parse({"--max-fps=240"}).maxFps, 240);
  const ProgramOptions both = Parse({"--max-fps", "20", "--root", "--max-fps", "30"});
  EXPECT_EQ(*both.maxFps, 30);  // the last one given
  EXPECT_EQ(both.drawing, HostDrawing::RootWindow);
  EXPECT_NE(std::string(kProgramUsage).find("--max-fps"), std::string::npos);
}

TEST(ProgramOptionsTest, AValueIsTakenEvenWhenItLooksLikeAnOption) {
  // "--volume --help": the volume's value is bad, not a request for help.
  EXPECT_EQ(Parse({"--volume", "--help"}).outcome, ProgramOptions::BadUsage);
  EXPECT_EQ(Parse({"--window-id", "-root"}).outcome, ProgramOptions::BadUsage);
}

TEST(ProgramOptionsTest, WindowIdsInTheFormsDaemonsWrite) {
  uint64_t id = 0;
  EXPECT_TRUE(ParseWindowId("0x1", &id));
  EXPECT_EQ(id, 1u);
  EXPECT_TRUE(ParseWindowId("0XfFfFfFfF", &id));
  EXPECT_EQ(id, 0xFFFFFFFFu);
  EXPECT_TRUE(ParseWindowId("4294967295", &id));
  EXPECT_EQ(id, 0xFFFFFFFFu);
  EXPECT_TRUE(ParseWindowId("007", &id));
  EXPECT_EQ(id, 7u);
  for (const char* bad : {"", "0", "0x0", "0x", "x12", "-5", "+5", "1 ", "0x00000000000001"}) {
    EXPECT_FALSE(ParseWindowId(bad, &id)) << bad;
  }
}

TEST(SettingOverridesTest, ApplyChangesOnlyWhatWasGiven) {
  SettingsRecord settings;
  settings.sceneDelayChoice = 4;
  settings.volume = 80;
  settings.showClock = 1;
  settings.dayCycle = 0;
  settings.musicOn = 1;
  settings.natureSounds = 1;
  settings.startScene = 1;
  settings.reserved1[0] = 9;
  const SettingsRecord before = settings;
  std::string error;
  ASSERT_TRUE(ApplySettingOverrides(SettingOverrides{}, 3, &settings, &error));
  EXPECT_EQ(std::memcmp(&settings, &before, sizeof settings), 0);

  const ProgramOptions options = Parse({"--scene-delay", "never", "--volume", "0", "--no-clock", "--day-cycle",
                                        "--no-music", "--no-nature-sounds", "--start-scene", "3"});
  ASSERT_TRUE(ApplySettingOverrides(options.overrides, 3, &settings, &error)) << error;
  EXPECT_EQ(settings.sceneDelayChoice, 6);
  EXPECT_EQ(settings.volume, 0);
  EXPECT_EQ(settings.showClock, 0);
  EXPECT_EQ(settings.dayCycle, 1);
  EXPECT_EQ(settings.musicOn, 0);
  EXPECT_EQ(settings.natureSounds, 0);
  EXPECT_EQ(settings.startScene, 2);  // shown from 1, stored from 0
  EXPECT_EQ(settings.reserved1[0], 9);
}

TEST(SettingOverridesTest, StartSceneMustBeInstalled) {
  SettingsRecord settings;
  settings.startScene = 0;
  settings.volume = 80;
  std::string error;
  const ProgramOptions options = Parse({"--start-scene", "4", "--volume", "5"});
  EXPECT_FALSE(ApplySettingOverrides(options.overrides, 3, &settings, &error));
  EXPECT_NE(error.find("from 1 to 3"), std::string::npos) << error;
  EXPECT_EQ(settings.startScene, 0);  // a refused run changes nothing
  EXPECT_EQ(settings.volume, 80);
  EXPECT_TRUE(ApplySettingOverrides(Parse({"--start-scene", "3"}).overrides, 3, &settings, &error));
  EXPECT_EQ(settings.startScene, 2);
}
