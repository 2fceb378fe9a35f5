#include "host/events.h"

#include <SDL_syswm.h>
#include <unistd.h>

#include <unistd.h>

#include <csignal>

#include "host/host_state.h"
#include "host/message_box.h"
#include "render/states.h"

namespace qh {

namespace {
bool IsHostWindowDestroyed(const SDL_SysWMmsg* message, uint64_t hostWindow) {
#if defined(SDL_VIDEO_DRIVER_X11)
  if (message == nullptr || message->subsystem != SDL_SYSWM_X11) return false;
  const XEvent& x = message->msg.x11.event;
  return x.type == DestroyNotify && static_cast<uint64_t>(x.xdestroywindow.window) == hostWindow;
#else
  (void)message;
  (void)hostWindow;
  return false;
#endif
}

volatile sig_atomic_t endAtOnce = 0;

void RequestQuit(int /*signal*/) {
  // A message box holds the program inside SDL, where the request would never be seen.
  if (MessageBoxOnScreen != 0) _exit(1);
  if (endAtOnce != 0) _exit(0);
  QuitRequested = 1;
}
}  // namespace

EventDecision DecideEvent(const SDL_Event& event, int32_t runMode, uint64_t hostWindow, bool daemonWindow) {
  EventDecision decision;
  const bool foreignWindow = runMode == Preview || daemonWindow;
  const bool saver = runMode != Preview && !daemonWindow;  // input of our own ends the run
  switch (event.type) {
    case SDL_QUIT:
      decision.quit = true;
      break;
    case SDL_KEYDOWN:
      decision.quit = saver;
      break;
    case SDL_MOUSEBUTTONDOWN:
      // Left, right and middle end the saver; the side buttons and the wheel do not.
      decision.quit = saver && (event.button.button == SDL_BUTTON_LEFT || event.button.button == SDL_BUTTON_RIGHT ||
                                event.button.button == SDL_BUTTON_MIDDLE);
      break;
    case SDL_WINDOWEVENT:
      switch (event.window.event) {
        case SDL_WINDOWEVENT_CLOSE:
          decision.quit = true;
          break;
        case SDL_WINDOWEVENT_FOCUS_LOST:  // another application became active
          decision.quit = saver;
          break;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
          decision.restartTiming = true;
          break;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
          decision.resize = true;
          decision.width = event.window.data1;
          decision.height = event.window.data2;
          decision.repaint = runMode == Preview;
          break;
        case SDL_WINDOWEVENT_EXPOSED:
          decision.repaint = runMode == Preview;
          break;
        default:
          break;
      }
      break;
    case SDL_SYSWMEVENT:
      decision.quit = foreignWindow && IsHostWindowDestroyed(event.syswm.msg, hostWindow);
      break;
    default:
      break;
  }
  return decision;
}

void ApplyEventDecision(const EventDecision& decision, int32_t runMode) {
  if (decision.quit) QuitRequested = 1;
  if (decision.restartTiming) RestartFrameTiming();
  if (decision.resize) {
    if (decision.width >= 0 && decision.height >= 0) {
      UpdatePerspective(static_cast<uint32_t>(decision.width), static_cast<uint32_t>(decision.height));
    }
    if (runMode == Preview) {
      WindowWidth = decision.width;
      WindowHeight = decision.height;
    }
  }
}

void InstallQuitSignalHandlers() {
  struct sigaction action = {};
  action.sa_handler = RequestQuit;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;  // no SA_RESTART: a wait in progress returns early
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGHUP, &action, nullptr);
}

void SetEndAtOnceOnQuitSignal(bool atOnce) { endAtOnce = atOnce ? 1 : 0; }

}  // namespace qh
