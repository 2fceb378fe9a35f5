// The long options, read before the one-letter screensaver switches: XScreenSaver's
// program conventions (-root, -window-id ID; "-name" and "--name" alike), --help, --version,
// --max-fps, the desktop's options, and the seven settings for one run only. What is not a
// long option is left for the switch rule.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "resources/settings.h"

namespace qh {

// Settings given on the command line; unset fields keep what the settings file says.
// They apply to one run and are never written back.
struct SettingOverrides {
  std::optional<int32_t> sceneDelayChoice;  // 0..6, as the settings record holds it
  std::optional<int32_t> volume;            // 0..100
  std::optional<bool> showClock;
  std::optional<bool> dayCycle;
  std::optional<bool> musicOn;
  std::optional<bool> natureSounds;
  std::optional<int32_t> startScene;        // from 1, as the dialog shows it
  bool Any() const;
};

// Reads the settings option at args[*index] (and its value, which may follow as the next
// argument or after '='). Returns Taken and moves *index past what it used, NotMine when
// the argument is no settings option, or Bad with *error holding one line that names the
// option and what it accepts.
enum class OptionRead { NotMine, Taken, Bad };
OptionRead ReadSettingOption(const std::vector<std::string>& args, size_t* index, SettingOverrides* overrides,
                             std::string* error);

// Where a run started by a screensaver daemon draws.
enum class HostDrawing { None, RootWindow, WindowId };

// How the 4:3 picture meets a screen of another shape: the run's default (bars for the
// saver, cropped for the wallpaper), bars, or cropped to cover.
enum class PictureShape { Default, Fit, Fill };

struct ProgramOptions {
  enum Outcome { Run, ShowHelp, ShowVersion, BadUsage, BadEnvironment } outcome = Run;
  bool wallpaper = false;             // --wallpaper: under the desktop's windows until a signal
  bool sound = false;                 // --sound: the wallpaper plays sound too
  PictureShape shape = PictureShape::Default;
  std::string error;                  // one line, for BadUsage and BadEnvironment
  HostDrawing drawing = HostDrawing::None;
  uint64_t windowId = 0;              // WindowId, or RootWindow with $XSCREENSAVER_WINDOW; 0: the root
  SettingOverrides overrides;
  std::optional<int32_t> maxFps;      // --max-fps: 1..240, or 0 for the display's refresh
  std::vector<std::string> switches;  // the arguments left for the one-letter switch rule
};

// args excludes the program's own path. xscreensaverWindow is $XSCREENSAVER_WINDOW
// (nullptr when unset), read for -root only.
ProgramOptions ParseProgramOptions(const std::vector<std::string>& args, const char* xscreensaverWindow);

// A window id as X11 tools and daemons write it: decimal, or hex after "0x". False for
// anything else, zero, or a number beyond 32 bits (X11 ids are 29-bit).
bool ParseWindowId(const std::string& text, uint64_t* id);

// Puts the overrides into the record. A start scene beyond the installation's sceneCount
// is refused with *error naming the scenes there are.
bool ApplySettingOverrides(const SettingOverrides& overrides, int32_t sceneCount, SettingsRecord* settings,
                           std::string* error);

// The text --help prints.
extern const char* const kProgramUsage;
// The version, CMake's project version; --version prints "quiet-highland " and it.
extern const char* const kProgramVersion;

}  // namespace qh
