// The main window's decisions: which events end the run, restart the frame timing, change
// the perspective or repaint the preview. DecideEvent looks at one event and nothing else,
// so every rule can be checked without a display; ApplyEventDecision carries it out.
#pragma once
#include <SDL.h>

#include <cstdint>

namespace qh {

struct EventDecision {
  bool quit = false;           // the run ends
  bool restartTiming = false;  // the window became active: the next frame measures 0 ms
  bool resize = false;         // the window's size changed to width x height
  int32_t width = 0;
  int32_t height = 0;
  bool repaint = false;        // Preview: draw the picture again
};

// runMode is Saver or Preview; hostWindow is the X11 window the preview draws into (its
// destruction ends a Preview run; it arrives as a window-system event). With daemonWindow
// the saver draws into a screensaver daemon's window: keys, buttons and the focus are the
// daemon's business (it ends the run with SIGTERM), and only the window's destruction ends it.
EventDecision DecideEvent(const SDL_Event& event, int32_t runMode, uint64_t hostWindow, bool daemonWindow = false);

// Sets QuitRequested, restarts the frame timing, updates the perspective matrix and, for
// Preview, WindowWidth and WindowHeight. Repainting is the caller's.
void ApplyEventDecision(const EventDecision& decision, int32_t runMode);

// SIGTERM, SIGINT and SIGHUP set QuitRequested, so the run ends the same clean way as on
// a key press (settings saved). The handlers do not restart interrupted waits. While a
// message box is shown they end the program at once with exit code 1.
void InstallQuitSignalHandlers();
// While set, those signals end the process at once with exit code 0 instead: for a run in a
// daemon's window that is still starting, which the daemon wants gone within a second, and
// which has nothing of its own to save yet.
void SetEndAtOnceOnQuitSignal(bool atOnce);

}  // namespace qh
