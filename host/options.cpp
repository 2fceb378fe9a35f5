#include "host/options.h"

#include "core/hex_digit.h"
#include "host/frame_rate.h"

namespace qh {

const char* const kProgramVersion = QH_VERSION;

const char* const kProgramUsage =
    "Usage: quiet-highland [SWITCH] [OPTIONS]\n"
    "A living highland nature scene as a screensaver.\n"
    "\n"
    "Switches (a leading '-' works as well as '/'):\n"
    "  /s                 the saver, full screen on every monitor (also any other letter)\n"
    "  /p ID              the preview picture in the X11 window ID\n"
    "  /c                 the settings dialog (also: no switch at all)\n"
    "\n"
    "For screensaver daemons (XScreenSaver, MATE, xfce); '-name' and '--name' are the same:\n"
    "  --root             draw into $XSCREENSAVER_WINDOW, or the root window when unset\n"
    "  --window-id ID     draw into the X11 window ID (decimal, or hex as 0x...)\n"
    "  In these modes the daemon owns the keyboard and the mouse and ends the run with\n"
    "  SIGTERM; errors go to stderr only.\n"
    "\n"
    "Settings for this run only (the settings file is left as it is):\n"
    "  --scene-delay D    time before the next scene: 30s, 1m, 2m, 3m, 5m, 10m or never\n"
    "  --volume N         sound volume, 0 to 100\n"
    "  --clock, --no-clock                   show the clock or not\n"
    "  --day-cycle, --no-day-cycle           tint through morning, day and evening or not\n"
    "  --music, --no-music                   play the music or not\n"
    "  --nature-sounds, --no-nature-sounds   play the nature sounds or not\n"
    "  --start-scene N    the first scene, from 1\n"
    "\n"
    "Drawing:\n"
    "  --max-fps N        draw at most N frames a second (1 to 240; 0: the display's\n"
    "                     refresh). Unless given: the display's refresh, or 30 on a\n"
    "                     software renderer and on battery. Nothing is drawn while\n"
    "                     nothing of the picture can be seen.\n"
    "\n"
    "Desktops:\n"
    "  --wallpaper        the scene as the desktop's live wallpaper, under the windows, on\n"
    "                     every output (Wayland with wlr-layer-shell; the root window on X11);\n"
    "                     silent, and ends only on SIGTERM or SIGINT\n"
    "  --sound            the wallpaper plays the music and the nature sounds as well\n"
    "  --fit              the whole picture on each screen, black bars where it is narrower\n"
    "                     (the saver's default)\n"
    "  --fill             the picture covers each screen, cropped (the wallpaper's default)\n"
    "\n"
    "  --help             show this text and exit\n"
    "  --version          print the version (" QH_VERSION ") and exit\n";

bool SettingOverrides::Any() const {
  return sceneDelayChoice || volume || showClock || dayCycle || musicOn || natureSounds || startScene;
}

namespace {
struct FlagOption {
  const char* on;
  const char* off;
  std::optional<bool> SettingOverrides::*field;
};
constexpr FlagOption kFlags[] = {
    {"clock", "no-clock", &SettingOverrides::showClock},
    {"day-cycle", "no-day-cycle", &SettingOverrides::dayCycle},
    {"music", "no-music", &SettingOverrides::musicOn},
    {"nature-sounds", "no-nature-sounds", &SettingOverrides::natureSounds},
};

// The choices in the order of the settings record's sceneDelayChoice.
constexpr const char* kSceneDelays[] = {"30s", "1m", "2m", "3m", "5m", "10m", "never"};

const char* const kValueOptions[] = {"scene-delay", "volume", "start-scene", "window-id", "max-fps"};
const char* const kPlainOptions[] = {"root", "help", "version", "wallpaper", "sound", "fit", "fill"};

bool IsKnownName(const std::string& name) {
  for (const FlagOption& flag : kFlags) {
    if (name == flag.on || name == flag.off) return true;
  }
  for (const char* known : kValueOptions) {
    if (name == known) return true;
  }
  for (const char* known : kPlainOptions) {
    if (name == known) return true;
  }
  return false;
}

// A long option's name and its "=value" part. Two dashes always make a long option;
// one dash only for a name we know, so the one-letter switches (-s, -p 12, -c:34) stay
// what they were.
struct LongOption {
  bool isLong = false;
  std::string name;
  bool hasValue = false;
  std::string value;
};

LongOption SplitLongOption(const std::string& arg) {
  LongOption option;
  size_t start = 0;
  if (arg.size() > 2 && arg[0] == '-' && arg[1] == '-') {
    start = 2;
  } else if (arg.size() > 1 && arg[0] == '-') {
    start = 1;
  } else {
    return option;
  }
  const size_t equals = arg.find('=', start);
  option.name = arg.substr(start, equals == std::string::npos ? std::string::npos : equals - start);
  if (equals != std::string::npos) {
    option.hasValue = true;
    option.value = arg.substr(equals + 1);
  }
  option.isLong = start == 2 || IsKnownName(option.name);
  return option;
}

// Reads a whole decimal number in [low, high]; no sign, no blanks, nothing after it.
bool ParseWholeNumber(const std::string& text, int64_t low, int64_t high, int64_t* out) {
  if (text.empty() || text.size() > 18) return false;
  int64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  if (value < low || value > high) return false;
  *out = value;
  return true;
}

// The option's value: after '=' or the next argument. False when there is none.
bool TakeValue(const LongOption& option, const std::vector<std::string>& args, size_t* index, std::string* value) {
  if (option.hasValue) {
    *value = option.value;
    return true;
  }
  if (*index + 1 >= args.size()) return false;
  *value = args[++*index];
  return true;
}
}  // namespace

bool ParseWindowId(const std::string& text, uint64_t* id) {
  uint64_t value = 0;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    if (text.size() > 2 + 8) return false;
    for (size_t i = 2; i < text.size(); ++i) {
      const int digit = HexDigitValue(text[i]);
      if (digit < 0) return false;
      value = value * 16 + static_cast<uint64_t>(digit);
    }
  } else {
    int64_t number = 0;
    if (!ParseWholeNumber(text, 0, 0xFFFFFFFFll, &number)) return false;
    value = static_cast<uint64_t>(number);
  }
  if (value == 0) return false;
  *id = value;
  return true;
}

OptionRead ReadSettingOption(const std::vector<std::string>& args, size_t* index, SettingOverrides* overrides,
                             std::string* error) {
  const LongOption option = SplitLongOption(args[*index]);
  if (!option.isLong) return OptionRead::NotMine;
  const std::string shown = "--" + option.name;
  for (const FlagOption& flag : kFlags) {
    if (option.name != flag.on && option.name != flag.off) continue;
    if (option.hasValue) {
      *error = shown + " takes no value";
      return OptionRead::Bad;
    }
    overrides->*flag.field = option.name == flag.on;
    return OptionRead::Taken;
  }
  const bool delay = option.name == "scene-delay";
  const bool volume = option.name == "volume";
  const bool scene = option.name == "start-scene";
  if (!delay && !volume && !scene) return OptionRead::NotMine;

  const char* accepts = delay    ? "30s, 1m, 2m, 3m, 5m, 10m or never"
                        : volume ? "a whole number from 0 to 100"
                                 : "a scene number from 1";
  std::string value;
  if (!TakeValue(option, args, index, &value)) {
    *error = shown + " needs a value: " + accepts;
    return OptionRead::Bad;
  }
  int64_t number = 0;
  if (delay) {
    for (int32_t choice = 0; choice < 7; ++choice) {
      if (value == kSceneDelays[choice]) {
        overrides->sceneDelayChoice = choice;
        return OptionRead::Taken;
      }
    }
  } else if (volume && ParseWholeNumber(value, 0, 100, &number)) {
    overrides->volume = static_cast<int32_t>(number);
    return OptionRead::Taken;
  } else if (scene && ParseWholeNumber(value, 1, 255, &number)) {  // the scene count is one byte
    overrides->startScene = static_cast<int32_t>(number);
    return OptionRead::Taken;
  }
  *error = shown + " accepts " + accepts + ", not \"" + value + "\"";
  return OptionRead::Bad;
}

ProgramOptions ParseProgramOptions(const std::vector<std::string>& args, const char* xscreensaverWindow) {
  ProgramOptions result;
  auto bad = [&](const std::string& why) {
    result.outcome = ProgramOptions::BadUsage;
    result.error = why;
    return result;
  };
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--") {  // the end of the options: the rest is for the switch rule
      result.switches.insert(result.switches.end(), args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
      break;
    }
    std::string error;
    const OptionRead read = ReadSettingOption(args, &i, &result.overrides, &error);
    if (read == OptionRead::Bad) return bad(error);
    if (read == OptionRead::Taken) continue;
    const LongOption option = SplitLongOption(args[i]);
    if (!option.isLong) {
      result.switches.push_back(args[i]);
      continue;
    }
    const std::string shown = "--" + option.name;
    if (option.name == "wallpaper" || option.name == "sound" || option.name == "fit" || option.name == "fill") {
      if (option.hasValue) return bad(shown + " takes no value");
      if (option.name == "wallpaper") result.wallpaper = true;
      if (option.name == "sound") result.sound = true;
      if (option.name == "fit") result.shape = PictureShape::Fit;
      if (option.name == "fill") result.shape = PictureShape::Fill;
    } else if (option.name == "help" || option.name == "version" || option.name == "root") {
      if (option.hasValue) return bad(shown + " takes no value");
      if (option.name == "help") {
        result.outcome = ProgramOptions::ShowHelp;
        return result;
      }
      if (option.name == "version") {
        result.outcome = ProgramOptions::ShowVersion;
        return result;
      }
      result.drawing = HostDrawing::RootWindow;
      result.windowId = 0;
    } else if (option.name == "window-id") {
      std::string value;
      if (!TakeValue(option, args, &i, &value)) return bad(shown + " needs an X11 window id (decimal, or hex as 0x...)");
      uint64_t id = 0;
      if (!ParseWindowId(value, &id)) {
        return bad(shown + " accepts an X11 window id (decimal, or hex as 0x...), not \"" + value + "\"");
      }
      result.drawing = HostDrawing::WindowId;
      result.windowId = id;
    } else if (option.name == "max-fps") {
      constexpr const char* accepts = "frames a second from 1 to 240, or 0 for the display's refresh";
      std::string value;
      if (!TakeValue(option, args, &i, &value)) return bad(shown + " needs a value: " + accepts);
      int64_t rate = 0;
      if (!ParseWholeNumber(value, 0, kMaxFrameRateOption, &rate)) return bad(shown + " accepts " + accepts + ", not \"" + value + "\"");
      result.maxFps = static_cast<int32_t>(rate);
    } else {
      return bad("unknown option " + shown);
    }
  }
  if (result.drawing == HostDrawing::RootWindow && xscreensaverWindow != nullptr && xscreensaverWindow[0] != '\0') {
    uint64_t id = 0;
    if (!ParseWindowId(xscreensaverWindow, &id)) {
      result.outcome = ProgramOptions::BadEnvironment;
      result.error = std::string("XSCREENSAVER_WINDOW is not an X11 window id: \"") + xscreensaverWindow + "\"";
      return result;
    }
    result.windowId = id;
  }
  return result;
}

bool ApplySettingOverrides(const SettingOverrides& overrides, int32_t sceneCount, SettingsRecord* settings,
                           std::string* error) {
  if (overrides.startScene) {
    if (*overrides.startScene > sceneCount) {
      *error = "--start-scene accepts a scene number from 1 to " + std::to_string(sceneCount) +
               " (the scenes installed), not " + std::to_string(*overrides.startScene);
      return false;
    }
    settings->startScene = *overrides.startScene - 1;
  }
  if (overrides.sceneDelayChoice) settings->sceneDelayChoice = *overrides.sceneDelayChoice;
  if (overrides.volume) settings->volume = *overrides.volume;
  if (overrides.showClock) settings->showClock = *overrides.showClock ? 1 : 0;
  if (overrides.dayCycle) settings->dayCycle = *overrides.dayCycle ? 1 : 0;
  if (overrides.musicOn) settings->musicOn = *overrides.musicOn ? 1 : 0;
  if (overrides.natureSounds) settings->natureSounds = *overrides.natureSounds ? 1 : 0;
  return true;
}

}  // namespace qh
