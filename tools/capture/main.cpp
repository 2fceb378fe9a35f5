// quiet-highland-render: runs the saver's own start-up and frames with a fixed-step clock,
// without a display (SDL's offscreen driver) or a sound device (the mix goes into memory),
// and writes what it made:
// PNG pictures of the 800x600 back buffer and a WAV file of the run's sound.
#include <SDL.h>
#include <SDL_image.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "host/application.h"
#include "core/clock.h"
#include "host/message_box.h"
#include "host/host_state.h"
#include "host/options.h"
#include "host/saver.h"
#include "host/startup.h"
#include "render/device.h"
#include "render/gl_device.h"
#include "resources/settings.h"
#include "sound/audio_engine.h"
#include "sound/mixer_audio.h"
#include "sound/offline_output.h"

namespace {

constexpr const char* kUsage =
    "Usage: quiet-highland-render [options]\n"
    "Runs the saver's start-up and frames headless with a fixed-step clock and writes them.\n"
    "  --frames N          frames to run (default 1)\n"
    "  --dt MS             every measured frame time is exactly MS milliseconds (default 16)\n"
    "  --start MS          the millisecond counter at start, read by both start-up seeds (default 0)\n"
    "  --time HH:MM:SS     the local time of day at frame 0 (default: the real time)\n"
    "  --png PATTERN       write frames as PNG files, e.g. out/f%05d.png\n"
    "  --at LIST           frames to write, e.g. 0,30,59, or all (default: the last)\n"
    "  --wav FILE          write the run's sound (44100 Hz, 16-bit stereo, MS x N long)\n"
    "  --mix               mix the run's sound as --wav does, keeping none of it (long runs)\n"
    "  --window WxH        present into a window of that size, as on a larger screen (default\n"
    "                      800x600); --png then writes what the window shows\n"
    "The saver's settings for this run: --scene-delay D, --volume N, --[no-]clock,\n"
    "--[no-]day-cycle, --[no-]music, --[no-]nature-sounds, --start-scene N (see quiet-highland --help).\n";

struct Options {
  uint32_t frames = 1;
  uint32_t dt = 16;
  uint32_t start = 0;
  bool fixTime = false;
  int32_t timeOfDay = 0;
  std::string pngPattern;  // absolute, so later changes of the current folder do not matter
  bool allFrames = false;
  bool atGiven = false;
  std::vector<uint32_t> at;
  std::string wavFile;
  int32_t windowWidth = 800, windowHeight = 600;
  bool mixOnly = false;
  qh::SettingOverrides settings;  // the saver's own settings options, for this run
};

[[noreturn]] void BadUsage(const std::string& why) {
  std::fprintf(stderr, "quiet-highland-render: %s\n%s", why.c_str(), kUsage);
  std::exit(2);
}

bool ParseNumber(const char* text, uint64_t max, uint64_t* out) {
  if (text == nullptr || *text < '0' || *text > '9') return false;
  errno = 0;
  char* end = nullptr;
  const unsigned long long value = std::strtoull(text, &end, 10);
  if (errno != 0 || *end != '\0' || value > max) return false;
  *out = value;
  return true;
}

bool ParseTimeOfDay(const char* text, int32_t* seconds) {
  unsigned h = 0, m = 0, s = 0;
  char tail = 0;
  if (std::sscanf(text, "%2u:%2u:%2u%c", &h, &m, &s, &tail) != 3) return false;
  if (h > 23 || m > 59 || s > 59) return false;
  *seconds = static_cast<int32_t>(h * 3600 + m * 60 + s);
  return true;
}

// The pattern may hold one decimal conversion (%d, %5d, %05d) and any number of "%%".
bool CheckPattern(const std::string& pattern) {
  int conversions = 0;
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] != '%') continue;
    ++i;
    if (i < pattern.size() && pattern[i] == '%') continue;
    if (i < pattern.size() && pattern[i] == '0') ++i;
    size_t digits = 0;
    while (i < pattern.size() && pattern[i] >= '0' && pattern[i] <= '9' && digits < 2) ++i, ++digits;
    if (i >= pattern.size() || pattern[i] != 'd') return false;
    ++conversions;
  }
  return conversions <= 1;
}

std::string FormatPattern(const std::string& pattern, uint32_t frame) {
  std::string out;
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] != '%') {
      out += pattern[i];
      continue;
    }
    ++i;
    if (pattern[i] == '%') {
      out += '%';
      continue;
    }
    const bool zeros = pattern[i] == '0';
    if (zeros) ++i;
    size_t width = 0;
    while (pattern[i] >= '0' && pattern[i] <= '9') width = width * 10 + static_cast<size_t>(pattern[i++] - '0');
    std::string number = std::to_string(frame);
    if (number.size() < width) number.insert(0, width - number.size(), zeros ? '0' : ' ');
    out += number;  // pattern[i] is the 'd'
  }
  return out;
}

Options ParseOptions(int argc, char** argv) {
  Options options;
  const std::vector<std::string> args(argv, argv + argc);
  for (int i = 1; i < argc; ++i) {
    const std::string name = argv[i];
    if (name == "--help" || name == "-h") {
      std::fputs(kUsage, stdout);
      std::exit(0);
    }
    size_t index = static_cast<size_t>(i);
    std::string error;
    const qh::OptionRead read = qh::ReadSettingOption(args, &index, &options.settings, &error);
    if (read == qh::OptionRead::Bad) BadUsage(error);
    if (read == qh::OptionRead::Taken) {
      i = static_cast<int>(index);
      continue;
    }
    if (name == "--mix") {
      options.mixOnly = true;
      continue;
    }
    if (i + 1 >= argc) BadUsage(name.rfind("--", 0) == 0 ? name + " needs a value" : "unknown option " + name);
    const char* value = argv[++i];
    uint64_t number = 0;
    if (name == "--frames") {
      if (!ParseNumber(value, 10000000, &number) || number == 0) BadUsage("--frames needs a count of at least 1");
      options.frames = static_cast<uint32_t>(number);
    } else if (name == "--dt") {
      if (!ParseNumber(value, 3600000, &number)) BadUsage("--dt needs milliseconds (0 to 3600000)");
      options.dt = static_cast<uint32_t>(number);
    } else if (name == "--start") {
      if (!ParseNumber(value, UINT32_MAX, &number)) BadUsage("--start needs milliseconds (0 to 4294967295)");
      options.start = static_cast<uint32_t>(number);
    } else if (name == "--time") {
      if (!ParseTimeOfDay(value, &options.timeOfDay)) BadUsage("--time needs a time of day as HH:MM:SS");
      options.fixTime = true;
    } else if (name == "--png") {
      if (*value == '\0' || !CheckPattern(value)) {
        BadUsage("--png needs a file name with at most one frame number (%d, %05d)");
      }
      options.pngPattern = std::filesystem::absolute(value).string();
    } else if (name == "--at") {
      options.atGiven = true;
      options.at.clear();
      if (std::strcmp(value, "all") == 0) {
        options.allFrames = true;
        continue;
      }
      options.allFrames = false;
      std::string list = value;
      size_t from = 0;
      while (from <= list.size()) {
        const size_t comma = std::min(list.find(',', from), list.size());
        const std::string item = list.substr(from, comma - from);
        if (!ParseNumber(item.c_str(), UINT32_MAX, &number)) BadUsage("--at needs frame numbers like 0,30,59 or all");
        options.at.push_back(static_cast<uint32_t>(number));
        from = comma + 1;
      }
    } else if (name == "--window") {
      unsigned w = 0, h = 0;
      char tail = 0;
      if (std::sscanf(value, "%5ux%5u%c", &w, &h, &tail) != 2 || w < 1 || h < 1 || w > 8192 || h > 8192) {
        BadUsage("--window needs a size like 1920x1080 (1 to 8192 each way)");
      }
      options.windowWidth = static_cast<int32_t>(w);
      options.windowHeight = static_cast<int32_t>(h);
    } else if (name == "--wav") {
      if (*value == '\0') BadUsage("--wav needs a file name");
      options.wavFile = std::filesystem::absolute(value).string();
    } else {
      BadUsage("unknown option " + name);
    }
  }
  for (uint32_t frame : options.at) {
    if (frame >= options.frames) {
      BadUsage("frame " + std::to_string(frame) + " is beyond the last frame " + std::to_string(options.frames - 1));
    }
  }
  if (!options.atGiven) options.at.push_back(options.frames - 1);
  return options;
}

bool Wanted(const Options& options, uint32_t frame) {
  if (options.allFrames) return true;
  for (uint32_t f : options.at) {
    if (f == frame) return true;
  }
  return false;
}

bool MakeParentFolder(const std::string& file) {
  const std::filesystem::path parent = std::filesystem::path(file).parent_path();
  if (parent.empty()) return true;
  std::error_code error;
  std::filesystem::create_directories(parent, error);
  return !error;
}

bool WritePng(const std::string& file, const std::vector<uint8_t>& rgba, uint32_t width, uint32_t height,
              std::vector<uint8_t>* rgb) {
  rgb->resize(size_t{width} * height * 3);
  for (size_t i = 0, j = 0; i < rgba.size(); i += 4, j += 3) {
    (*rgb)[j] = rgba[i];
    (*rgb)[j + 1] = rgba[i + 1];
    (*rgb)[j + 2] = rgba[i + 2];
  }
  SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(rgb->data(), static_cast<int>(width),
                                                            static_cast<int>(height), 24, static_cast<int>(width * 3),
                                                            SDL_PIXELFORMAT_RGB24);
  if (surface == nullptr) return false;
  const bool ok = MakeParentFolder(file) && IMG_SavePNG(surface, file.c_str()) == 0;
  SDL_FreeSurface(surface);
  return ok;
}

void PutLe16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void PutLe32(std::vector<uint8_t>& out, uint32_t v) {
  PutLe16(out, v & 0xFFFF);
  PutLe16(out, v >> 16);
}

// The sound of the run as a WAV file: 44100 frames per second, 16-bit stereo.
bool WriteWav(const std::string& file, const std::vector<int16_t>& pcm) {
  const uint64_t dataBytes = uint64_t{pcm.size()} * 2;
  if (dataBytes > 0xFFFFFFFFull - 36) return false;
  std::vector<uint8_t> header;
  header.insert(header.end(), {'R', 'I', 'F', 'F'});
  PutLe32(header, static_cast<uint32_t>(36 + dataBytes));
  header.insert(header.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  PutLe32(header, 16);
  PutLe16(header, 1);           // PCM
  PutLe16(header, 2);           // stereo
  PutLe32(header, 44100);       // frames per second
  PutLe32(header, 44100 * 4);   // bytes per second
  PutLe16(header, 4);           // bytes per frame
  PutLe16(header, 16);          // bits per sample
  header.insert(header.end(), {'d', 'a', 't', 'a'});
  PutLe32(header, static_cast<uint32_t>(dataBytes));
  std::vector<uint8_t> data;
  data.reserve(dataBytes);
  for (int16_t sample : pcm) PutLe16(data, static_cast<uint16_t>(sample));
  if (!MakeParentFolder(file)) return false;
  FILE* out = std::fopen(file.c_str(), "wb");
  if (out == nullptr) return false;
  bool ok = std::fwrite(header.data(), 1, header.size(), out) == header.size();
  ok = ok && std::fwrite(data.data(), 1, data.size(), out) == data.size();
  return std::fclose(out) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace qh;
  const Options options = ParseOptions(argc, argv);

  // No display, ever: the offscreen driver, chosen over whatever the environment says.
  SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "offscreen", SDL_HINT_OVERRIDE);
  SetMessageBoxesEnabled(false);
  FixedStepClock clock(options.start, options.dt);
  InstallClock(&clock);
  if (options.fixTime) FixLocalTimeOfDay(options.timeOfDay);

  // The sound goes into memory, never to a device: the mix of each frame, dt long.
  OfflineOutput soundOutput;
  MixerAudio sound(&soundOutput);
  InstallAudio(&sound);
  FrameSampleCounter soundFrames;

  // The saver's own start-up: settings, geometry, data folder.
  CurrentApplication = &TheSaverApplication;
  RunMode = Saver;
  PrepareRun();
  std::string badSetting;
  if (!ApplyRunSettings(options.settings, &badSetting)) BadUsage(badSetting);

  if (SDL_Init(SDL_INIT_VIDEO) != 0) {
    std::fprintf(stderr, "quiet-highland-render: no offscreen video: %s\n", SDL_GetError());
    return 1;
  }
  const char* driver = SDL_GetCurrentVideoDriver();
  if (driver == nullptr || std::strcmp(driver, "offscreen") != 0) {
    std::fprintf(stderr, "quiet-highland-render: SDL chose the \"%s\" video driver, not \"offscreen\"\n",
                 driver != nullptr ? driver : "");
    SDL_Quit();
    return 1;
  }
  SDL_Window* window =
      SDL_CreateWindow("quiet-highland-render", 0, 0, options.windowWidth, options.windowHeight,
                       SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
  if (window == nullptr) {
    std::fprintf(stderr, "quiet-highland-render: no window: %s\n", SDL_GetError());
    SDL_Quit();
    return 1;
  }
  if (!StartSaverMode(window)) {  // the device has said why
    ShutdownSaverMode();
    SDL_DestroyWindow(window);
    SDL_Quit();
    return 1;
  }

  int status = 0;
  std::vector<uint8_t> rgba, rgb;
  LastFrameTime = CurrentClock().NowMs();
  for (uint32_t frame = 0; frame < options.frames && status == 0; ++frame) {
    RenderFrame();
    if (!options.wavFile.empty() || options.mixOnly) soundOutput.Render(soundFrames.Next(options.dt));
    if (options.wavFile.empty()) soundOutput.pcm.clear();  // mixed and dropped: memory stays flat
    if (options.pngPattern.empty() || !Wanted(options, frame)) continue;
    auto* device = dynamic_cast<GlDevice*>(Device);
    uint32_t width = 0, height = 0;
    const std::string file = FormatPattern(options.pngPattern, frame);
    const bool screen = options.windowWidth != 800 || options.windowHeight != 600;
    const bool read = device != nullptr && (screen ? device->ReadWindow(&rgba, &width, &height)
                                                   : device->ReadBackBuffer(&rgba, &width, &height));
    if (!read) {
      std::fprintf(stderr, "quiet-highland-render: could not read frame %u back\n", frame);
      status = 1;
    } else if (!WritePng(file, rgba, width, height, &rgb)) {
      std::fprintf(stderr, "quiet-highland-render: could not write %s: %s\n", file.c_str(), SDL_GetError());
      status = 1;
    }
  }
  if (status == 0 && !options.wavFile.empty() &&
      !WriteWav(options.wavFile, soundOutput.pcm)) {
    std::fprintf(stderr, "quiet-highland-render: could not write %s: %s\n", options.wavFile.c_str(),
                 std::strerror(errno));
    status = 1;
  }

  ShutdownSaverMode();
  InstallAudio(nullptr);
  SDL_DestroyWindow(window);
  SDL_Quit();
  InstallClock(nullptr);
  return status;
}
