// What the benchmarks share: the saver's own start-up run headless the way the capture tool
// runs it (SDL's offscreen driver, a fixed-step clock, no message boxes), settings read from
// a private empty configuration so that nobody's own settings change the figures, and the
// process's CPU time and resident memory.
#pragma once
#include <SDL.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>

#include "core/clock.h"
#include "host/application.h"
#include "host/host_state.h"
#include "host/message_box.h"
#include "host/saver.h"
#include "host/sdl_presentation.h"
#include "host/startup.h"
#include "render/device_setup.h"
#include "render/gl_device.h"
#include "render/states.h"
#include "resources/file_table.h"
#include "resources/textures.h"
#include "scene/director.h"
#include "scene/level.h"

namespace qh::bench {

// The scenes the content generator installs; every benchmark runs over each of them.
constexpr int kBundledScenes = 5;

// CPU seconds of the whole process (every thread: the software rasteriser works on its own).
inline double ProcessCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

inline double WallSeconds() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// A field of /proc/self/status in kilobytes (VmRSS, VmHWM), 0 when absent.
inline long StatusKilobytes(const char* field) {
  FILE* f = std::fopen("/proc/self/status", "r");
  if (f == nullptr) return 0;
  char line[256];
  long value = 0;
  const size_t length = std::strlen(field);
  while (std::fgets(line, sizeof line, f) != nullptr) {
    if (std::strncmp(line, field, length) == 0 && line[length] == ':') {
      value = std::strtol(line + length + 1, nullptr, 10);
      break;
    }
  }
  std::fclose(f);
  return value;
}

// QH_BENCH_QUICK (set by scripts/bench.sh --quick, for CI) asks for the shortest runs that
// still go through every step: their figures mean nothing.
inline bool QuickRun() { return std::getenv("QH_BENCH_QUICK") != nullptr; }

// Points the settings lookup at an empty private folder: the installation's own values
// (three scenes, half a minute each, the clock on) and nothing of the user's.
inline void UseInstallationSettingsOnly() {
  static std::string folder;
  if (folder.empty()) {
    char pattern[] = "/tmp/qh-bench-XXXXXX";
    const char* made = mkdtemp(pattern);
    folder = made != nullptr ? made : "/nonexistent-qh-bench";
  }
  setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
  setenv("XDG_CONFIG_DIRS", folder.c_str(), 1);
}

// The saver's start-up headless, in its steps, so a benchmark can time each one.
class HeadlessSaver {
 public:
  explicit HeadlessSaver(uint32_t stepMs = 16) : clock_(0, stepMs) {}
  ~HeadlessSaver() { Stop(); }

  // Settings, geometry and the data folder.
  void PrepareSettings() {
    // QH_BENCH_VIDEO=x11 (under an X server) draws into a real window, so the present pays
    // for putting the picture on the screen as the saver does.
    const char* video = std::getenv("QH_BENCH_VIDEO");
    onScreen_ = video != nullptr && video[0] != '\0';
    SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, onScreen_ ? video : "offscreen", SDL_HINT_OVERRIDE);
    SetMessageBoxesEnabled(false);
    InstallClock(&clock_);
    FixLocalTimeOfDay(12 * 3600 + 34 * 60 + 56);
    UseInstallationSettingsOnly();
    CurrentApplication = &TheSaverApplication;
    RunMode = Saver;
    PrepareRun();
  }

  // SDL and the hidden window; false with a reason on stderr.
  bool OpenWindow(int windowWidth, int windowHeight) {
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
      std::fprintf(stderr, "bench: no offscreen video: %s\n", SDL_GetError());
      return false;
    }
    sdlStarted_ = true;
    window_ = SDL_CreateWindow("qh-bench", 0, 0, windowWidth, windowHeight,
                               SDL_WINDOW_OPENGL | (onScreen_ ? SDL_WINDOW_BORDERLESS : SDL_WINDOW_HIDDEN));
    if (window_ == nullptr) std::fprintf(stderr, "bench: no window: %s\n", SDL_GetError());
    return window_ != nullptr;
  }

  // The window and StartSaverMode's steps up to the content: the decoding ahead started,
  // the device (dropping its textures' pixels once uploaded) and the black start frame.
  bool OpenDevice(int windowWidth = 800, int windowHeight = 600) {
    if (!OpenWindow(windowWidth, windowHeight)) return false;
    StartContentDecodeAhead();
    BuildSqrtTable();
    presentation_ = std::make_unique<SdlWindowPresentation>(window_);
    if (!InitDevice(std::make_unique<GlAdapter>(*presentation_), presentation_.get(), RunDeviceConfig())) {
      return false;
    }
    if (GlDevice* gl = Gl()) gl->SetDropPixelsAfterUpload(true);
    UpdatePerspective(static_cast<uint32_t>(windowWidth), static_cast<uint32_t>(windowHeight));
    StartupApplication.PresentBlankFrame();
    return true;
  }

  // Everything at once, through the saver's own StartSaverMode, as the capture tool starts.
  bool Start(int windowWidth = 800, int windowHeight = 600) {
    PrepareSettings();
    if (!OpenWindow(windowWidth, windowHeight) || !StartSaverMode(window_)) return false;
    LastFrameTime = CurrentClock().NowMs();
    return true;
  }

  void Stop() {
    if (!sdlStarted_) return;
    ShutdownSaverMode();
    presentation_.reset();
    ResetSceneState();
    ReleaseAllFiles();
    if (window_ != nullptr) SDL_DestroyWindow(window_);
    window_ = nullptr;
    SDL_Quit();
    sdlStarted_ = false;
    InstallClock(nullptr);
    UnfixLocalTimeOfDay();
  }

  GlDevice* Gl() const { return dynamic_cast<GlDevice*>(Device); }
  FixedStepClock& Clock() { return clock_; }

 private:
  FixedStepClock clock_;
  SDL_Window* window_ = nullptr;
  std::unique_ptr<SdlWindowPresentation> presentation_;  // OpenDevice's own; StartSaverMode has one
  bool sdlStarted_ = false;
  bool onScreen_ = false;
};

// Shows scene n plainly from now on: its background and level, no change under way, and a
// scene timer that will not reach the delay while the benchmark runs.
inline void ShowScene(int32_t n) {
  Director.incomingBackground = nullptr;
  sceneCursor = n;
  ShowFirstScene();
  Director.sceneTimer = 0.0;
  Director.fadeTimer = -1.0f;
  SceneDelayMs = 1e9f;
}

// Puts the director in the second half of a change towards the next scene, so that every
// frame drawn after it runs both scene passes. Call again before each frame to stay there.
inline void HoldCrossfade(float countdown = 1500.0f) {
  if (Director.incomingBackground == nullptr) {
    SceneDelayMs = 0.0f;
    Director.sceneTimer = 1.0;
    BeginSceneChange();
  }
  Director.sceneTimer = -1.0;
  Director.fadeTimer = 100.0f;
  crossfadeCountdown = countdown;
}

}  // namespace qh::bench
