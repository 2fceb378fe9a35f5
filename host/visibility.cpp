#include "host/visibility.h"

#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/extensions/dpms.h>

namespace qh {

namespace {
// Written by the main loop only.
struct VisibilityState {
  Display* display = nullptr;  // ours, for the questions; SDL's connection carries the events
  Window window = 0;
  bool foreign = false;
  SDL_Window* sdlWindow = nullptr;
  bool obscured = false;
  bool unmapped = false;
  bool displayOff = false;
  bool hasDpms = false;
  bool recheck = true;
  uint32_t lastCheckMs = 0;
};
VisibilityState visibility;

void AskTheServer() {
  if (visibility.display == nullptr) return;
  if (visibility.hasDpms) {
    CARD16 level = DPMSModeOn;
    BOOL enabled = False;
    visibility.displayOff = DPMSInfo(visibility.display, &level, &enabled) && level != DPMSModeOn;
  }
  if (visibility.foreign) {
    XWindowAttributes attributes{};
    // A window that has gone is the event loop's business (the run ends); here it is unseen.
    visibility.unmapped = XGetWindowAttributes(visibility.display, visibility.window, &attributes) == 0 ||
                          attributes.map_state != IsViewable;
  }
}
}  // namespace

VisibilityEvent DecideVisibilityEvent(const SDL_Event& event, uint64_t x11Window) {
  VisibilityEvent result;
  if (event.type == SDL_WINDOWEVENT) {
    // Our own window's hidden and minimised states are in its flags, read at every frame;
    // these say the display may have woken too.
    switch (event.window.event) {
      case SDL_WINDOWEVENT_SHOWN:
      case SDL_WINDOWEVENT_RESTORED:
      case SDL_WINDOWEVENT_EXPOSED:
        result.recheck = true;
        break;
      default:
        break;
    }
    return result;
  }
#if defined(SDL_VIDEO_DRIVER_X11)
  if (event.type != SDL_SYSWMEVENT || event.syswm.msg == nullptr || event.syswm.msg->subsystem != SDL_SYSWM_X11) {
    return result;
  }
  const XEvent& x = event.syswm.msg->msg.x11.event;
  if (static_cast<uint64_t>(x.xany.window) != x11Window) return result;
  switch (x.type) {
    case VisibilityNotify:
      // Partly covered still shows something.
      result.kind = x.xvisibility.state == VisibilityFullyObscured ? VisibilityEvent::Obscured
                                                                    : VisibilityEvent::Unobscured;
      result.recheck = true;  // coming back into view after a minimise arrives this way
      break;
    case UnmapNotify:
    case MapNotify:
    case Expose:
      result.recheck = true;  // an ancestor's map state shows only in the window's attributes
      break;
    default:
      break;
  }
#else
  (void)x11Window;
#endif
  return result;
}

void WatchVisibility(SDL_Window* window, bool foreign) {
  visibility = VisibilityState{};
  visibility.sdlWindow = window;
  visibility.foreign = foreign;
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (window == nullptr || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return;
  visibility.window = info.info.x11.window;
  visibility.display = XOpenDisplay(DisplayString(info.info.x11.display));
  if (visibility.display == nullptr) return;
  int eventBase = 0, errorBase = 0;
  // Xvfb has no DPMS extension; a server without it has no power level to ask after.
  visibility.hasDpms = DPMSQueryExtension(visibility.display, &eventBase, &errorBase) && DPMSCapable(visibility.display);
}

void NoteVisibilityEvent(const SDL_Event& event) {
  const VisibilityEvent change = DecideVisibilityEvent(event, visibility.window);
  if (change.kind == VisibilityEvent::Obscured) visibility.obscured = true;
  if (change.kind == VisibilityEvent::Unobscured) visibility.obscured = false;
  if (change.recheck) visibility.recheck = true;
}

bool WindowCanBeSeen() {
  const uint32_t now = SDL_GetTicks();
  if (visibility.recheck || now - visibility.lastCheckMs >= kVisibilityRecheckMs) {
    visibility.recheck = false;
    visibility.lastCheckMs = now;
    AskTheServer();
  }
  bool hidden = false;
  if (visibility.sdlWindow != nullptr && !visibility.foreign) {
    hidden = (SDL_GetWindowFlags(visibility.sdlWindow) & (SDL_WINDOW_HIDDEN | SDL_WINDOW_MINIMIZED)) != 0;
  }
  return !hidden && !visibility.obscured && !visibility.unmapped && !visibility.displayOff;
}

void StopWatchingVisibility() {
  if (visibility.display != nullptr) XCloseDisplay(visibility.display);
  visibility = VisibilityState{};
}

}  // namespace qh
