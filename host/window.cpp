#include "host/window.h"

#include <SDL_image.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>

#include <cstdio>
#include <string>

#include "host/host_state.h"
#include "resources/registry_store.h"
#include "resources/settings.h"

namespace qh {

SDL_Window* MainWindow = nullptr;

namespace {
SDL_Surface* previewPicture = nullptr;
std::vector<PixelRect> monitorPictureAreas;  // set when the saver window spans several monitors
Display* checkDisplay = nullptr;  // our own connection for asking after the host window
int caughtXErrors = 0;

int RecordXError(Display* /*display*/, XErrorEvent* /*error*/) {
  // A preview host may destroy its window at any moment; the requests still on their way
  // then fail. That ends the run through the event loop, never through Xlib's exit.
  ++caughtXErrors;
  return 0;
}

// The icon the content generator made, from share/icons beside the installation's data;
// a window without it is no failure.
void SetProgramIcon(SDL_Window* window) {
  const std::string icon = ProgramIconFile();
  if (icon.empty()) return;
  SDL_Surface* picture = IMG_Load(icon.c_str());
  if (picture == nullptr) return;
  SDL_SetWindowIcon(window, picture);
  SDL_FreeSurface(picture);
}

void SetGlAttributes() {
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
}

// SDL does not listen to a window it did not make: ask for its exposures, size changes,
// destruction and visibility (covered or not) on SDL's own connection, and pass the raw
// events through. Only these:
// the keyboard, the mouse and the cursor stay with whoever owns the window.
void ListenToForeignWindow() {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (SDL_GetWindowWMInfo(MainWindow, &info) && info.subsystem == SDL_SYSWM_X11) {
    XSelectInput(info.info.x11.display, info.info.x11.window,
                 ExposureMask | StructureNotifyMask | VisibilityChangeMask);
    XFlush(info.info.x11.display);
  }
  SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
}

bool CreateSaverWindow() {
  SetGlAttributes();

  // Created at the desktop's own size: without a window manager, "full screen desktop"
  // alone would leave the window at its created size. The desktop's mode is never changed.
  SDL_DisplayMode desktop{};
  int width = 800;
  int height = 600;
  if (SDL_GetDesktopDisplayMode(0, &desktop) == 0 && desktop.w > 0 && desktop.h > 0) {
    width = desktop.w;
    height = desktop.h;
  }
  Uint32 flags = SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_BORDERLESS | SDL_WINDOW_ALWAYS_ON_TOP | SDL_WINDOW_OPENGL;
  int x = 0, y = 0;
  monitorPictureAreas.clear();
  std::vector<PixelRect> monitors;
  for (int i = 0; i < SDL_GetNumVideoDisplays(); ++i) {
    SDL_Rect bounds{};
    if (SDL_GetDisplayBounds(i, &bounds) == 0 && bounds.w > 0 && bounds.h > 0) {
      monitors.push_back(PixelRect{bounds.x, bounds.y, bounds.w, bounds.h});
    }
  }
  if (monitors.size() > 1) {
    // Full screen covers one monitor: one borderless window over the whole desktop, black,
    // with the picture letterboxed to each monitor.
    const PixelRect desktopRect = BoundingRect(monitors);
    x = desktopRect.x;
    y = desktopRect.y;
    width = desktopRect.w;
    height = desktopRect.h;
    flags &= ~static_cast<Uint32>(SDL_WINDOW_FULLSCREEN_DESKTOP);
    monitorPictureAreas = PlacePictureOnMonitors(monitors, WindowWidth, WindowHeight);
  }
  MainWindow = SDL_CreateWindow(ProgramName.c_str(), x, y, width, height, flags);
  if (MainWindow == nullptr) {
    std::fprintf(stderr, "Quiet Highland: can't create the screensaver window: %s\n", SDL_GetError());
    return false;
  }
  SetProgramIcon(MainWindow);
  SDL_ShowCursor(SDL_DISABLE);
  return true;
}

bool WrapPreviewWindow() {
  if (!HasParentWindow || ParentWindow == 0) {
    std::fprintf(stderr, "Quiet Highland: the preview needs the number of the window to draw into (/p ID).\n");
    return false;
  }
  if (!HostWindowExists()) {
    std::fprintf(stderr, "Quiet Highland: there is no window %llu to show the preview in.\n",
                 static_cast<unsigned long long>(ParentWindow));
    return false;
  }
  XWindowAttributes attributes{};
  if (XGetWindowAttributes(checkDisplay, static_cast<Window>(ParentWindow), &attributes) != 0) {
    WindowWidth = attributes.width;
    WindowHeight = attributes.height;
  }
  MainWindow = SDL_CreateWindowFrom(reinterpret_cast<const void*>(static_cast<uintptr_t>(ParentWindow)));
  if (MainWindow == nullptr) {
    std::fprintf(stderr, "Quiet Highland: can't draw into window %llu: %s\n",
                 static_cast<unsigned long long>(ParentWindow), SDL_GetError());
    return false;
  }
  ListenToForeignWindow();
  return true;
}

// -root and -window-id: the saver's picture through OpenGL in a daemon's window (or the
// root window), which keeps its size, its cursor and its input.
bool WrapDaemonWindow() {
  if (checkDisplay == nullptr) checkDisplay = XOpenDisplay(nullptr);
  if (checkDisplay == nullptr) {
    std::fprintf(stderr, "Quiet Highland: can't open the X display \"%s\".\n", XDisplayName(nullptr));
    return false;
  }
  if (ParentWindow == 0) ParentWindow = static_cast<uint64_t>(DefaultRootWindow(checkDisplay));
  if (!HostWindowExists()) {
    std::fprintf(stderr, "Quiet Highland: there is no window 0x%llx (%llu) to draw into.\n",
                 static_cast<unsigned long long>(ParentWindow), static_cast<unsigned long long>(ParentWindow));
    return false;
  }
  SetGlAttributes();
  SDL_SetHint(SDL_HINT_VIDEO_FOREIGN_WINDOW_OPENGL, "1");
  MainWindow = SDL_CreateWindowFrom(reinterpret_cast<const void*>(static_cast<uintptr_t>(ParentWindow)));
  if (MainWindow == nullptr) {
    std::fprintf(stderr, "Quiet Highland: can't draw into window 0x%llx: %s\n",
                 static_cast<unsigned long long>(ParentWindow), SDL_GetError());
    return false;
  }
  ListenToForeignWindow();
  return true;
}
}  // namespace

void PrepareVideo() {
  // Let the display sleep and the desktop lock while the saver runs.
  SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
  // The host handles SIGTERM, SIGINT and SIGHUP itself (a clean shutdown that saves).
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  // Losing the focus ends the run; the window need not be iconified on the way.
  SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
  // The preview draws plain pixels into the host's window: no GL renderer may be put on it.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
}

bool CreateMainWindow() {
  if (RunMode == Preview) return WrapPreviewWindow();
  return DaemonWindow ? WrapDaemonWindow() : CreateSaverWindow();
}

void DestroyMainWindow() {
  if (MainWindow != nullptr) SDL_DestroyWindow(MainWindow);  // a host's window itself stays
  MainWindow = nullptr;
  if (checkDisplay != nullptr) XCloseDisplay(checkDisplay);
  checkDisplay = nullptr;
}

const std::vector<PixelRect>& MonitorPictureAreas() { return monitorPictureAreas; }

void CatchXErrors() { XSetErrorHandler(RecordXError); }

bool HostWindowExists() {
  if (checkDisplay == nullptr) checkDisplay = XOpenDisplay(nullptr);
  if (checkDisplay == nullptr || ParentWindow == 0) return false;
  XWindowAttributes attributes{};
  return XGetWindowAttributes(checkDisplay, static_cast<Window>(ParentWindow), &attributes) != 0;
}

void LoadPreviewPicture() {
  FreePreviewPicture();
  previewPicture = SDL_LoadBMP("preview.bmp");  // none: the window shows no picture
}

void FreePreviewPicture() {
  if (previewPicture != nullptr) SDL_FreeSurface(previewPicture);
  previewPicture = nullptr;
}

void PaintPreview() {
  if (MainWindow == nullptr) return;
  SDL_Surface* surface = SDL_GetWindowSurface(MainWindow);
  if (surface == nullptr) return;
  SDL_FillRect(surface, nullptr, SDL_MapRGB(surface->format, 0, 0, 0));
  if (previewPicture != nullptr) {
    SDL_Rect target{0, 0, previewPicture->w, previewPicture->h};  // own size, clipped to the window
    SDL_BlitSurface(previewPicture, nullptr, surface, &target);
  }
  SDL_UpdateWindowSurface(MainWindow);
}

int32_t DisplayRefreshRate(SDL_Window* window) {
  int display = window != nullptr ? SDL_GetWindowDisplayIndex(window) : 0;
  if (display < 0) display = 0;
  SDL_DisplayMode mode{};
  if (SDL_GetCurrentDisplayMode(display, &mode) != 0 || mode.refresh_rate <= 0 || mode.refresh_rate > 1000) {
    return 60;
  }
  return mode.refresh_rate;
}

}  // namespace qh
