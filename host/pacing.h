// When to draw a frame, and when only to run the engine. A frame is drawn when something
// can be seen that wants one (Wayland: an output's frame callback has come; X11: the window
// is visible and the display awake), at most once per frame interval. When nothing has
// wanted a frame for kUnseenAfterMs, the engine still runs at kUnseenTickMs without drawing,
// so the scene clock, the scene changes and the nature sounds go on; the first wish to see
// a frame again draws at once. Pure: the caller brings the time and what can be seen.
#pragma once
#include <cstdint>

namespace qh {

constexpr int64_t kUnseenAfterMs = 500;  // this long without a wish to see a frame: unseen
constexpr int64_t kUnseenTickMs = 500;   // the engine's step while unseen (2 frames a second)

enum class PaceAction { Wait, Draw, TickOnly };

struct PaceDecision {
  PaceAction action = PaceAction::Wait;
  // When to ask again at the latest (on the same clock as `nowMs`). Events that may make
  // something visible (a frame callback) should wake the caller sooner.
  int64_t wakeAtMs = 0;
};

// What the rule remembers between frames; one per run, written only by DecidePace.
struct PacingState {
  bool started = false;
  int64_t lastSeenMs = 0;   // the last time something wanted a frame
  int64_t lastFrameMs = 0;  // the last frame, drawn or ticked
};

// `frameIntervalMs` is the shortest time between drawn frames (the display's refresh, or a
// frame-rate limit), at least 1. `seen` says whether something wants a frame now. Draw and
// TickOnly expect the caller to run that frame now.
PaceDecision DecidePace(PacingState* state, int64_t nowMs, int64_t frameIntervalMs, bool seen);

}  // namespace qh
