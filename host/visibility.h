// Whether anything of the saver's picture can be seen on X11: the display is powered (the
// DPMS power level is On), and the window is neither hidden, minimised nor unmapped, nor
// fully covered by other windows (VisibilityNotify FullyObscured, asked for on a daemon's
// window and the preview's host window). Unseen, the main loop only ticks the engine.
#pragma once
#include <SDL.h>

#include <cstdint>

namespace qh {

// What one event says about the window's visibility.
struct VisibilityEvent {
  enum Kind { Nothing, Obscured, Unobscured } kind = Nothing;
  bool recheck = false;  // the window's map state or the display may have changed: ask again
};
// x11Window is the window the run draws into (its X11 id), whose raw events come through
// SDL_SYSWMEVENT when it is a foreign one.
VisibilityEvent DecideVisibilityEvent(const SDL_Event& event, uint64_t x11Window);

// Starts watching the window, on an X connection of our own for the questions (the
// display's power level, the foreign window's map state). foreign: a daemon's window,
// whose visibility events SDL passes on raw.
void WatchVisibility(SDL_Window* window, bool foreign);
void NoteVisibilityEvent(const SDL_Event& event);
// True while something can be seen. Asks the X server again at most every
// kVisibilityRecheckMs (sooner after an event that called for it).
bool WindowCanBeSeen();
void StopWatchingVisibility();

constexpr uint32_t kVisibilityRecheckMs = 500;

}  // namespace qh
