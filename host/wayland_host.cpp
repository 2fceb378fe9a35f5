#include "host/wayland_host.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <poll.h>
#include <unistd.h>
#include <wayland-client.h>
#include <wayland-egl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "core/clock.h"
#include "core/frame_timing.h"
#include "host/host_state.h"
#include "host/frame_rate.h"
#include "host/pacing.h"
#include "host/power_source.h"
#include "host/saver.h"
#include "host/sleep_notice.h"
#include "render/presentation.h"
// The protocol names an argument "namespace", which C++ keeps for itself.
#define namespace layer_namespace
#include "wlr-layer-shell-unstable-v1-client-protocol.h"
#undef namespace

namespace qh {

namespace {

constexpr int32_t kPictureWidth = 800, kPictureHeight = 600;  // the saver's back buffer
// A surface the compositor closed while its output stayed is the user's doing (the saver
// ends; the wallpaper makes a new one); one closed with its output is an unplugged monitor
// (the run goes on). The removal of the output follows within this time.
constexpr int64_t kClosedOutputGraceMs = 300;

int64_t MonotonicMs() { return MonotonicNs() / 1000000; }

// One output and everything made for it, destroyed in the reverse order of creation.
struct WaylandOutput final : PresentationSurface {
  uint32_t globalName = 0;  // the registry's name of its wl_output
  wl_output* output = nullptr;
  std::string name;         // "HEADLESS-1", "DP-2", ...; empty until the compositor says
  int32_t scale = 1;        // the output's integer scale factor
  int32_t refreshMilliHz = 0;
  bool removed = false;     // its global went away: the surface goes, then the output

  wl_surface* surface = nullptr;
  zwlr_layer_surface_v1* layerSurface = nullptr;
  wl_egl_window* eglWindow = nullptr;
  EGLSurface eglSurface = EGL_NO_SURFACE;
  bool swapIntervalSet = false;
  uint32_t configureSerial = 0;  // the last configure, acknowledged before the next commit
  bool configurePending = false, layoutPending = false;
  int32_t logicalWidth = 0, logicalHeight = 0;
  SurfaceLayout layout;
  std::vector<PixelRect> areas;  // for the device: the picture's place, none when letterboxed
  wl_callback* frameCallback = nullptr;
  bool frameWanted = false;  // the compositor asked for a frame, or the buffer is new
  bool closed = false;
  int64_t closedAtMs = 0;

  bool MakeCurrent() override;
  void PixelSize(int32_t* width, int32_t* height) const override {
    *width = layout.pixelWidth;
    *height = layout.pixelHeight;
  }
  const std::vector<PixelRect>& PictureAreas() const override { return areas; }
  void Swap() override;
};

// The connection and what is bound on it; one per process. The listeners and the run
// write it, on the main thread only.
struct WaylandState {
  wl_display* display = nullptr;
  wl_registry* registry = nullptr;
  wl_compositor* compositor = nullptr;
  zwlr_layer_shell_v1* layerShell = nullptr;
  wl_seat* seat = nullptr;
  wl_keyboard* keyboard = nullptr;
  wl_pointer* pointer = nullptr;
  std::vector<std::unique_ptr<WaylandOutput>> outputs;  // in the order they came
  bool makeSurfaces = false;  // set once the run has started: new outputs get a surface
  LayerSurfaceRun run;

  EGLDisplay egl = EGL_NO_DISPLAY;
  EGLConfig config = nullptr;
  EGLContext context = EGL_NO_CONTEXT;
};
WaylandState wl;

bool WaylandOutput::MakeCurrent() {
  if (eglSurface == EGL_NO_SURFACE || eglMakeCurrent(wl.egl, eglSurface, eglSurface, wl.context) != EGL_TRUE) {
    return false;
  }
  if (!swapIntervalSet) {
    // The frame callbacks pace the swaps; EGL must not wait for them as well.
    eglSwapInterval(wl.egl, 0);
    swapIntervalSet = true;
  }
  return true;
}

void FrameDone(void* data, wl_callback* callback, uint32_t /*time*/) {
  auto* out = static_cast<WaylandOutput*>(data);
  wl_callback_destroy(callback);
  out->frameCallback = nullptr;
  out->frameWanted = true;
}
const wl_callback_listener kFrameListener = {FrameDone};

void WaylandOutput::Swap() {
  // Asked for before the swap, which commits: the callback says when the compositor wants
  // the next frame of this surface (never, while it is covered or its output blank).
  if (frameCallback == nullptr) {
    frameCallback = wl_surface_frame(surface);
    wl_callback_add_listener(frameCallback, &kFrameListener, this);
  }
  frameWanted = false;
  eglSwapBuffers(wl.egl, eglSurface);
}

// ---------------------------------------------------------------------------------------
// Outputs

void OutputGeometry(void*, wl_output*, int32_t, int32_t, int32_t, int32_t, int32_t, const char*, const char*,
                    int32_t) {}
void OutputMode(void* data, wl_output*, uint32_t flags, int32_t, int32_t, int32_t refresh) {
  if (flags & WL_OUTPUT_MODE_CURRENT) static_cast<WaylandOutput*>(data)->refreshMilliHz = refresh;
}
void OutputDone(void*, wl_output*) {}
void OutputScale(void* data, wl_output*, int32_t factor) {
  auto* out = static_cast<WaylandOutput*>(data);
  if (factor < 1 || factor == out->scale) return;
  out->scale = factor;
  out->layoutPending = out->logicalWidth > 0;
}
void OutputName(void* data, wl_output*, const char* name) { static_cast<WaylandOutput*>(data)->name = name; }
void OutputDescription(void*, wl_output*, const char*) {}
const wl_output_listener kOutputListener = {OutputGeometry, OutputMode,  OutputDone,
                                            OutputScale,    OutputName, OutputDescription};

void LayerConfigure(void* data, zwlr_layer_surface_v1*, uint32_t serial, uint32_t width, uint32_t height) {
  auto* out = static_cast<WaylandOutput*>(data);
  out->configureSerial = serial;
  out->configurePending = true;
  out->logicalWidth = static_cast<int32_t>(width);
  out->logicalHeight = static_cast<int32_t>(height);
}
void LayerClosed(void* data, zwlr_layer_surface_v1*) {
  auto* out = static_cast<WaylandOutput*>(data);
  out->closed = true;
  out->closedAtMs = MonotonicMs();
}
const zwlr_layer_surface_v1_listener kLayerListener = {LayerConfigure, LayerClosed};

void MakeSurface(WaylandOutput* out) {
  const SurfaceRole role = RoleOfRun(wl.run.wallpaper);
  out->surface = wl_compositor_create_surface(wl.compositor);
  out->layerSurface = zwlr_layer_shell_v1_get_layer_surface(wl.layerShell, out->surface, out->output, role.layer,
                                                            wl.run.wallpaper ? "wallpaper" : "screensaver");
  zwlr_layer_surface_v1_add_listener(out->layerSurface, &kLayerListener, out);
  zwlr_layer_surface_v1_set_size(out->layerSurface, 0, 0);
  zwlr_layer_surface_v1_set_anchor(out->layerSurface, role.anchor);
  zwlr_layer_surface_v1_set_exclusive_zone(out->layerSurface, role.exclusiveZone);
  zwlr_layer_surface_v1_set_keyboard_interactivity(out->layerSurface, role.keyboard);
  if (role.inputPassesThrough) {
    wl_region* none = wl_compositor_create_region(wl.compositor);
    wl_surface_set_input_region(out->surface, none);
    wl_region_destroy(none);
  }
  wl_surface_commit(out->surface);  // no buffer yet: the compositor answers with a configure
}

void DestroySurface(WaylandOutput* out) {
  if (out->eglSurface != EGL_NO_SURFACE) {
    // Never destroy the surface the context is current on.
    eglMakeCurrent(wl.egl, EGL_NO_SURFACE, EGL_NO_SURFACE, wl.context);
    eglDestroySurface(wl.egl, out->eglSurface);
  }
  out->eglSurface = EGL_NO_SURFACE;
  if (out->eglWindow != nullptr) wl_egl_window_destroy(out->eglWindow);
  out->eglWindow = nullptr;
  if (out->frameCallback != nullptr) wl_callback_destroy(out->frameCallback);
  out->frameCallback = nullptr;
  if (out->layerSurface != nullptr) zwlr_layer_surface_v1_destroy(out->layerSurface);
  out->layerSurface = nullptr;
  if (out->surface != nullptr) wl_surface_destroy(out->surface);
  out->surface = nullptr;
  out->frameWanted = false;
}

// Acknowledges the surface's last configure and sizes its buffer: logical size x scale.
void LayOut(WaylandOutput* out) {
  if (out->configurePending) zwlr_layer_surface_v1_ack_configure(out->layerSurface, out->configureSerial);
  out->configurePending = out->layoutPending = false;
  out->layout = LayoutSurface(out->logicalWidth, out->logicalHeight, out->scale * 120, wl.run.fit, kPictureWidth,
                              kPictureHeight);
  out->areas.clear();
  if (wl.run.fit == PictureFit::Cover) out->areas.push_back(out->layout.picture);
  if (out->layout.pixelWidth <= 0 || out->layout.pixelHeight <= 0) return;
  wl_surface_set_buffer_scale(out->surface, out->scale);
  wl_region* opaque = wl_compositor_create_region(wl.compositor);
  wl_region_add(opaque, 0, 0, out->logicalWidth, out->logicalHeight);
  wl_surface_set_opaque_region(out->surface, opaque);
  wl_region_destroy(opaque);
  if (out->eglWindow == nullptr) {
    out->eglWindow = wl_egl_window_create(out->surface, out->layout.pixelWidth, out->layout.pixelHeight);
    out->eglSurface = eglCreatePlatformWindowSurface(wl.egl, wl.config, out->eglWindow, nullptr);
    if (out->eglSurface == EGL_NO_SURFACE) {
      std::fprintf(stderr, "Quiet Highland: no EGL surface for output %s (EGL error 0x%x)\n", out->name.c_str(),
                   eglGetError());
      return;
    }
    out->swapIntervalSet = false;
  } else {
    wl_egl_window_resize(out->eglWindow, out->layout.pixelWidth, out->layout.pixelHeight, 0, 0);
  }
  out->frameWanted = true;  // the new size is drawn at once
}

// Surfaces for outputs that have none, surfaces of outputs that went away destroyed, and
// every pending configure acknowledged.
void LookAfterOutputs() {
  std::vector<uint32_t> live, withSurface;
  for (const auto& out : wl.outputs) {
    if (!out->removed && !out->closed) live.push_back(out->globalName);
    if (out->surface != nullptr) withSurface.push_back(out->globalName);
  }
  const SurfaceChanges changes = ReconcileSurfaces(live, withSurface);
  auto find = [](uint32_t globalName) {
    for (auto& out : wl.outputs) {
      if (out->globalName == globalName) return out.get();
    }
    return static_cast<WaylandOutput*>(nullptr);
  };
  for (uint32_t gone : changes.destroy) DestroySurface(find(gone));
  const int64_t now = MonotonicMs();
  for (auto& out : wl.outputs) {
    if (!out->closed || out->removed || now - out->closedAtMs < kClosedOutputGraceMs) continue;
    if (wl.run.wallpaper) {
      out->closed = false;  // an output still there (one being set up): the wallpaper tries again
    } else {
      QuitRequested = 1;  // the compositor took the saver away
    }
  }
  wl.outputs.erase(std::remove_if(wl.outputs.begin(), wl.outputs.end(),
                                  [](const std::unique_ptr<WaylandOutput>& out) {
                                    if (!out->removed) return false;
                                    if (wl_output_get_version(out->output) >= WL_OUTPUT_RELEASE_SINCE_VERSION) {
                                      wl_output_release(out->output);
                                    } else {
                                      wl_output_destroy(out->output);
                                    }
                                    return true;
                                  }),
                   wl.outputs.end());
  if (wl.makeSurfaces) {
    for (uint32_t added : changes.create) MakeSurface(find(added));
  }
  for (auto& out : wl.outputs) {
    if (out->surface != nullptr && (out->configurePending || out->layoutPending)) LayOut(out.get());
  }
}

// ---------------------------------------------------------------------------------------
// Input: the saver ends on any key or button, never on motion.

void EndOnInput() {
  if (!wl.run.wallpaper) QuitRequested = 1;
}
void KeyboardKeymap(void*, wl_keyboard*, uint32_t, int32_t fd, uint32_t) { close(fd); }
void KeyboardEnter(void*, wl_keyboard*, uint32_t, wl_surface*, wl_array*) {}
void KeyboardLeave(void*, wl_keyboard*, uint32_t, wl_surface*) {}
void KeyboardKey(void*, wl_keyboard*, uint32_t, uint32_t, uint32_t, uint32_t state) {
  if (state == WL_KEYBOARD_KEY_STATE_PRESSED) EndOnInput();
}
void KeyboardModifiers(void*, wl_keyboard*, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) {}
void KeyboardRepeat(void*, wl_keyboard*, int32_t, int32_t) {}
const wl_keyboard_listener kKeyboardListener = {KeyboardKeymap, KeyboardEnter,     KeyboardLeave,
                                                KeyboardKey,    KeyboardModifiers, KeyboardRepeat};

void PointerEnter(void*, wl_pointer* pointer, uint32_t serial, wl_surface*, wl_fixed_t, wl_fixed_t) {
  wl_pointer_set_cursor(pointer, serial, nullptr, 0, 0);  // no cursor over the saver
}
void PointerLeave(void*, wl_pointer*, uint32_t, wl_surface*) {}
void PointerMotion(void*, wl_pointer*, uint32_t, wl_fixed_t, wl_fixed_t) {}
void PointerButton(void*, wl_pointer*, uint32_t, uint32_t, uint32_t, uint32_t state) {
  if (state == WL_POINTER_BUTTON_STATE_PRESSED) EndOnInput();
}
void PointerAxis(void*, wl_pointer*, uint32_t, uint32_t, wl_fixed_t) {}
void PointerFrame(void*, wl_pointer*) {}
void PointerAxisSource(void*, wl_pointer*, uint32_t) {}
void PointerAxisStop(void*, wl_pointer*, uint32_t, uint32_t) {}
void PointerAxisDiscrete(void*, wl_pointer*, uint32_t, int32_t) {}
void PointerAxisValue120(void*, wl_pointer*, uint32_t, int32_t) {}
const wl_pointer_listener kPointerListener = {PointerEnter,      PointerLeave,    PointerMotion,
                                              PointerButton,     PointerAxis,     PointerFrame,
                                              PointerAxisSource, PointerAxisStop, PointerAxisDiscrete,
                                              PointerAxisValue120};

void SeatCapabilities(void*, wl_seat* seat, uint32_t caps) {
  if ((caps & WL_SEAT_CAPABILITY_KEYBOARD) && wl.keyboard == nullptr) {
    wl.keyboard = wl_seat_get_keyboard(seat);
    wl_keyboard_add_listener(wl.keyboard, &kKeyboardListener, nullptr);
  } else if (!(caps & WL_SEAT_CAPABILITY_KEYBOARD) && wl.keyboard != nullptr) {
    wl_keyboard_destroy(wl.keyboard);
    wl.keyboard = nullptr;
  }
  if ((caps & WL_SEAT_CAPABILITY_POINTER) && wl.pointer == nullptr) {
    wl.pointer = wl_seat_get_pointer(seat);
    wl_pointer_add_listener(wl.pointer, &kPointerListener, nullptr);
  } else if (!(caps & WL_SEAT_CAPABILITY_POINTER) && wl.pointer != nullptr) {
    wl_pointer_destroy(wl.pointer);
    wl.pointer = nullptr;
  }
}
void SeatName(void*, wl_seat*, const char*) {}
const wl_seat_listener kSeatListener = {SeatCapabilities, SeatName};

// ---------------------------------------------------------------------------------------
// The registry

void RegistryGlobal(void*, wl_registry* registry, uint32_t name, const char* interface, uint32_t version) {
  const std::string which = interface;
  if (which == wl_compositor_interface.name) {
    wl.compositor =
        static_cast<wl_compositor*>(wl_registry_bind(registry, name, &wl_compositor_interface, std::min(version, 4u)));
  } else if (which == zwlr_layer_shell_v1_interface.name) {
    wl.layerShell = static_cast<zwlr_layer_shell_v1*>(
        wl_registry_bind(registry, name, &zwlr_layer_shell_v1_interface, std::min(version, 3u)));
  } else if (which == wl_output_interface.name) {
    auto out = std::make_unique<WaylandOutput>();
    out->globalName = name;
    out->output = static_cast<wl_output*>(wl_registry_bind(registry, name, &wl_output_interface, std::min(version, 4u)));
    wl_output_add_listener(out->output, &kOutputListener, out.get());
    wl.outputs.push_back(std::move(out));
  } else if (which == wl_seat_interface.name && wl.seat == nullptr) {
    wl.seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, std::min(version, 5u)));
    wl_seat_add_listener(wl.seat, &kSeatListener, nullptr);
  }
}
void RegistryGlobalRemove(void*, wl_registry*, uint32_t name) {
  for (auto& out : wl.outputs) {
    if (out->globalName == name) out->removed = true;
  }
}
const wl_registry_listener kRegistryListener = {RegistryGlobal, RegistryGlobalRemove};

// ---------------------------------------------------------------------------------------
// EGL and the presentation

void* EglProcAddress(const char* name) { return reinterpret_cast<void*>(eglGetProcAddress(name)); }

// The EGL display of the connection and the configuration every output's surface uses.
bool StartEgl() {
  if (wl.egl != EGL_NO_DISPLAY) return true;
  wl.egl = eglGetPlatformDisplay(EGL_PLATFORM_WAYLAND_KHR, wl.display, nullptr);
  EGLint major = 0, minor = 0;
  if (wl.egl == EGL_NO_DISPLAY || !eglInitialize(wl.egl, &major, &minor) || !eglBindAPI(EGL_OPENGL_API)) {
    std::fprintf(stderr, "OpenGL 3.3: no EGL on this Wayland display (EGL error 0x%x)\n", eglGetError());
    return false;
  }
  // No alpha: the compositor takes the buffer as opaque and never blends the desktop in.
  const EGLint configAttributes[] = {EGL_SURFACE_TYPE, EGL_WINDOW_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
                                     EGL_RED_SIZE,     8,              EGL_GREEN_SIZE,      8,
                                     EGL_BLUE_SIZE,    8,              EGL_ALPHA_SIZE,      0,
                                     EGL_NONE};
  EGLint count = 0;
  if (!eglChooseConfig(wl.egl, configAttributes, &wl.config, 1, &count) || count < 1) {
    std::fprintf(stderr, "OpenGL 3.3: EGL offers no window configuration for OpenGL\n");
    return false;
  }
  return true;
}

class LayerSurfacePresentation : public Presentation {
 public:
  bool CreateContext() override {
    if (wl.context != EGL_NO_CONTEXT) return true;
    if (!StartEgl()) return false;
    const EGLint contextAttributes[] = {EGL_CONTEXT_MAJOR_VERSION, 3, EGL_CONTEXT_MINOR_VERSION, 3,
                                        EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT,
                                        EGL_NONE};
    wl.context = eglCreateContext(wl.egl, wl.config, EGL_NO_CONTEXT, contextAttributes);
    if (wl.context == EGL_NO_CONTEXT) {
      std::fprintf(stderr, "OpenGL 3.3: EGL made no 3.3 core context (EGL error 0x%x)\n", eglGetError());
      return false;
    }
    MakeContextCurrent();
    return true;
  }
  void DestroyContext() override {
    if (wl.context == EGL_NO_CONTEXT) return;
    eglMakeCurrent(wl.egl, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    eglDestroyContext(wl.egl, wl.context);
    wl.context = EGL_NO_CONTEXT;
  }
  GlProcLoader Loader() const override { return EglProcAddress; }
  // The back buffer is a framebuffer object: no surface is needed to draw into it.
  void MakeContextCurrent() override { eglMakeCurrent(wl.egl, EGL_NO_SURFACE, EGL_NO_SURFACE, wl.context); }
  void SetSwapInterval(int32_t /*interval*/) override {}  // frame callbacks pace every surface
  PresentationStatus Status() const override { return {}; }  // a layer surface is never lost
  std::vector<D3DDISPLAYMODE> DisplayModes() const override { return {}; }  // the adapter's defaults
  size_t SurfaceCount() const override { return ready_.size(); }
  PresentationSurface* Surface(size_t index) override { return ready_[index]; }

  // The outputs the coming frame is presented on: those whose frame callback has come.
  void GatherReady() {
    ready_.clear();
    for (auto& out : wl.outputs) {
      if (out->frameWanted && out->eglSurface != EGL_NO_SURFACE && !out->closed) ready_.push_back(out.get());
    }
  }

 private:
  std::vector<WaylandOutput*> ready_;
};

bool AnyOutputWantsFrame() {
  for (const auto& out : wl.outputs) {
    if (out->frameWanted && out->eglSurface != EGL_NO_SURFACE && !out->closed) return true;
  }
  return false;
}

// The shortest refresh interval of the outputs; 60 Hz when none says.
// The shortest time between drawn frames: the fastest output's refresh, as the frame-rate
// policy lowers it (software renderer, battery, --max-fps).
int64_t FrameIntervalMs(const char* renderer, std::optional<int32_t> maxFps) {
  int32_t fastestMilliHz = 0;
  for (const auto& out : wl.outputs) fastestMilliHz = std::max(fastestMilliHz, out->refreshMilliHz);
  const int32_t refresh = fastestMilliHz > 0 ? (fastestMilliHz + 500) / 1000 : 0;
  const int32_t rate = ChooseFrameRate({renderer, OnBattery(), maxFps, refresh});
  return std::max<int64_t>(1, 1000 / std::max(rate, 1));
}

// Waits for the compositor's events until `wakeAtMs` (a signal cuts the wait short), then
// handles what came. False when the connection broke.
bool WaitForEvents(int64_t wakeAtMs) {
  while (wl_display_prepare_read(wl.display) != 0) wl_display_dispatch_pending(wl.display);
  wl_display_flush(wl.display);
  pollfd fd{wl_display_get_fd(wl.display), POLLIN, 0};
  const int64_t timeout = std::max<int64_t>(0, wakeAtMs - MonotonicMs());
  if (poll(&fd, 1, static_cast<int>(std::min<int64_t>(timeout, 1000))) > 0 && (fd.revents & POLLIN)) {
    wl_display_read_events(wl.display);
  } else {
    wl_display_cancel_read(wl.display);
  }
  return wl_display_dispatch_pending(wl.display) >= 0;
}

}  // namespace

WaylandDesktop ConnectWaylandDesktop() {
  const char* name = std::getenv("WAYLAND_DISPLAY");
  if (name == nullptr || name[0] == '\0') return WaylandDesktop::None;
  wl.display = wl_display_connect(nullptr);
  if (wl.display == nullptr) return WaylandDesktop::None;
  wl.registry = wl_display_get_registry(wl.display);
  wl_registry_add_listener(wl.registry, &kRegistryListener, nullptr);
  wl_display_roundtrip(wl.display);
  if (wl.layerShell == nullptr || wl.compositor == nullptr) {
    wl_display_disconnect(wl.display);  // the process goes on without it; the proxies die with it
    wl = WaylandState{};
    return WaylandDesktop::NoLayerShell;
  }
  return WaylandDesktop::LayerShell;
}

int RunOnLayerSurfaces(const LayerSurfaceRun& run) {
  wl.run = run;
  wl.makeSurfaces = true;
  wl_display_roundtrip(wl.display);  // the outputs' names, modes and scales
  LookAfterOutputs();
  wl_display_roundtrip(wl.display);  // the first configures
  LayerSurfacePresentation presentation;
  if (!StartEgl()) return 1;
  LookAfterOutputs();
  int32_t width = kPictureWidth, height = kPictureHeight;
  if (!wl.outputs.empty() && wl.outputs[0]->layout.pixelWidth > 0) {
    width = wl.outputs[0]->layout.pixelWidth;
    height = wl.outputs[0]->layout.pixelHeight;
  }
  presentation.GatherReady();
  if (!StartSaverMode(&presentation, width, height)) return 1;  // the device has said why

  if (!run.wallpaper) ListenForSleep();
  FollowPowerSource();
  const std::string renderer = DeviceRendererName();
  PacingState pacing;
  LastFrameTime = CurrentClock().NowMs();
  while (QuitRequested == 0) {
    LookAfterOutputs();
    if (!run.wallpaper && SleepAnnounced()) QuitRequested = 1;  // the system is about to suspend
    if (QuitRequested != 0) break;
    const PaceDecision pace = DecidePace(&pacing, MonotonicMs(), FrameIntervalMs(renderer.c_str(), run.maxFps), AnyOutputWantsFrame());
    if (pace.action == PaceAction::Draw) {
      presentation.GatherReady();
      RenderFrame();
    } else if (pace.action == PaceAction::TickOnly) {
      TickFrame();
    }
    if (!WaitForEvents(pace.wakeAtMs)) {
      // The compositor went away (the session ended): the run ends as on a signal.
      QuitRequested = 1;
    }
  }
  StopFollowingPowerSource();
  if (!run.wallpaper) StopListeningForSleep();
  return 0;
}

}  // namespace qh
