#include "host/saver.h"

#include <SDL.h>
#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "host/application.h"
#include "core/clock.h"
#include "host/host_state.h"
#include "host/sdl_presentation.h"
#include "host/startup.h"
#include "host/window.h"
#include "render/device_setup.h"
#include "render/gl_device.h"
#include "overlay/clock.h"
#include "overlay/font.h"
#include "render/states.h"
#include "resources/decode_ahead.h"
#include "resources/settings.h"
#include "resources/textures.h"
#include "scene/level.h"
#include "sound/audio_engine.h"
#include "core/math.h"

namespace qh {

namespace {
// The main window's presentation, from StartSaverMode to ShutdownSaverMode.
std::unique_ptr<SdlWindowPresentation> windowPresentation;
bool coverWindow = false;

SDL_Window* WindowOf(void* presentation) {
  return presentation != nullptr ? static_cast<SdlWindowPresentation*>(presentation)->Window() : nullptr;
}

void ScreenSizeOfWindow(void* window, int32_t* width, int32_t* height) {
  int display = SDL_GetWindowDisplayIndex(WindowOf(window));
  if (display < 0) display = 0;
  SDL_DisplayMode desktop{};
  if (SDL_GetDesktopDisplayMode(display, &desktop) != 0) return;
  *width = desktop.w;
  *height = desktop.h;
}

// After a reset the window comes back centred and no longer above every other window.
void PlaceWindow(void* window, int32_t x, int32_t y, int32_t width, int32_t height) {
  SDL_Window* sdlWindow = WindowOf(window);
  if (sdlWindow == nullptr || DaemonWindow) return;  // a daemon's window is never moved
  SDL_SetWindowAlwaysOnTop(sdlWindow, SDL_FALSE);
  SDL_SetWindowPosition(sdlWindow, x, y);
  SDL_SetWindowSize(sdlWindow, width, height);
  SDL_ShowWindow(sdlWindow);
}
}  // namespace

bool StartSaverMode(SDL_Window* window) {
  windowPresentation.reset();
  if (window != nullptr) {
    windowPresentation = std::make_unique<SdlWindowPresentation>(window);
    windowPresentation->SetPictureAreas(MonitorPictureAreas());
    windowPresentation->SetCoverWindow(coverWindow);
  }
  DeviceWindow.screenSize = ScreenSizeOfWindow;
  DeviceWindow.placeWindow = PlaceWindow;
  int width = 0, height = 0;
  SDL_GetWindowSize(window, &width, &height);
  return StartSaverMode(windowPresentation.get(), width, height);
}

void SetWindowPictureCover(bool cover) { coverWindow = cover; }

bool StartSaverMode(Presentation* presentation, int32_t width, int32_t height) {
  // Pictures and the driver's copies of them are megabytes each and come and go with every
  // change of scene. A fixed threshold keeps such blocks in mappings of their own, returned
  // to the system when freed; the allocator's self-adjusting one would move them into the
  // heap after the first free, where the holes they leave keep the run growing for hours.
  // Fixing it also fixes the trim threshold, which must then be raised by hand: at its
  // default the heap would shrink and grow again with the driver's work of every frame.
  mallopt(M_MMAP_THRESHOLD, 256 * 1024);
  mallopt(M_TRIM_THRESHOLD, 4 * 1024 * 1024);
  // One heap for every thread. The allocator would give each thread that allocates (the
  // decoding workers, the rasteriser's, the sound's) an arena of its own, and each keeps what
  // it once held: 3 MB of the peak. Those threads allocate rarely (a picture's buffers, the
  // driver's per-frame bins), so sharing the one lock costs nothing measurable.
  mallopt(M_ARENA_MAX, 1);
  // Making the device is a quarter of a second on one core (the driver loads and builds its
  // rasteriser): the pictures LoadContent will decode are decoded on the others meanwhile.
  StartContentDecodeAhead();
  BuildSqrtTable();
  std::unique_ptr<GraphicsAdapter> adapter;
  if (presentation != nullptr) adapter = std::make_unique<GlAdapter>(*presentation);
  if (!InitDevice(std::move(adapter), presentation, RunDeviceConfig())) {
    FinishDecodeAhead();
    return false;
  }
  if (auto* gl = dynamic_cast<GlDevice*>(Device)) {
    // The saver's one device keeps its textures for the whole run: the driver's copy is enough.
    gl->SetDropPixelsAfterUpload(true);
  }
  UpdatePerspective(static_cast<uint32_t>(width), static_cast<uint32_t>(height));
  StartupApplication.PresentBlankFrame();
  return LoadContent();
}

bool LoadContent() {
  std::srand(CurrentClock().NowMs());
  SeedSceneRandom(CurrentClock().NowMs());
  LoadFont("font");
  StartClockLocale();  // the time format and its converter, once, before the first frame
  StartAudio();  // without sound the scene runs silently
  LoadSoundsAndMusic();
  if (Settings.musicOn) StartMusic(SettingsEx.musicStartOrder);
  sceneCursor = Settings.startScene;
  SetSceneDelay(Settings.sceneDelayChoice);
  PreloadScenes();
  ShowFirstScene();
  FinishDecodeAhead();  // everything asked for has been taken or is not needed
  // The workers' own allocator arenas keep what they freed; it is no use to the run.
  malloc_trim(0);
  CurrentApplication = &TheSaverApplication;
  return true;
}

void StartContentDecodeAhead() {
  QueueFontAhead("font");
  QueueScenesAhead(Settings.startScene);
  StartDecodeAhead();
}

namespace {
// QH_FRAME_TIMES=FILE, a debugging aid: one line per frame, the wall-clock milliseconds
// since the previous frame began, written at once without buffering or allocating, so that
// a test watching a run (the sound server killed under it) can see any frame that stalled.
void NoteFrameTime() {
  static const int file = [] {
    const char* path = std::getenv("QH_FRAME_TIMES");
    return path != nullptr ? open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644) : -1;
  }();
  if (file < 0) return;
  static int64_t last = 0;
  const int64_t ns = MonotonicNs();
  if (last != 0) {
    char line[32];
    const int n = std::snprintf(line, sizeof line, "%.1f\n", static_cast<double>(ns - last) / 1e6);
    if (write(file, line, static_cast<size_t>(n)) < 0) {
      // A debugging aid that cannot write changes nothing else.
    }
  }
  last = ns;
}
}  // namespace

void RenderFrame() {
  NoteFrameTime();
  BeginFrame();
  CurrentApplication->Render();
  EndFrame();
  PresentFrame();
  MeasureFrameTime();
  CurrentApplication->AfterFrame();
}

const char* DeviceRendererName() {
  const auto* gl = dynamic_cast<const GlDevice*>(Device);
  return gl != nullptr ? gl->RendererName() : "";
}

void TickFrame() {
  auto* gl = dynamic_cast<GlDevice*>(Device);
  if (gl != nullptr) gl->SetDrawingSkipped(true);
  BeginFrame();
  CurrentApplication->Render();
  EndFrame();
  if (gl != nullptr) gl->SetDrawingSkipped(false);
  MeasureFrameTime();
  CurrentApplication->AfterFrame();
}

void ShutdownSaverMode() {
  FinishDecodeAhead();
  // Textures first, so the device can free what it made for them.
  ReleaseAllTextures();
  ReleaseDevice();
  windowPresentation.reset();
  DeviceWindow = DeviceWindowHooks{};
  StopAudio();
}

}  // namespace qh
