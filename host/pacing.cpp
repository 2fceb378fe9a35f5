#include "host/pacing.h"

#include <algorithm>

namespace qh {

PaceDecision DecidePace(PacingState* state, int64_t nowMs, int64_t frameIntervalMs, bool seen) {
  frameIntervalMs = std::max<int64_t>(frameIntervalMs, 1);
  if (!state->started) {
    // The run starts seen: the first frame is drawn, and the unseen wait counts from here.
    state->started = true;
    state->lastSeenMs = nowMs;
    state->lastFrameMs = nowMs - frameIntervalMs;
  }
  PaceDecision decision;
  if (seen) {
    state->lastSeenMs = nowMs;
    const int64_t due = state->lastFrameMs + frameIntervalMs;
    if (nowMs >= due) {
      state->lastFrameMs = nowMs;
      decision.action = PaceAction::Draw;
      decision.wakeAtMs = nowMs + frameIntervalMs;
    } else {
      decision.wakeAtMs = due;
    }
    return decision;
  }
  const int64_t unseenFrom = state->lastSeenMs + kUnseenAfterMs;
  if (nowMs < unseenFrom) {
    // Still waiting for the compositor: a callback may be on its way.
    decision.wakeAtMs = std::max(unseenFrom, state->lastFrameMs + kUnseenTickMs);
    return decision;
  }
  const int64_t due = std::max(unseenFrom, state->lastFrameMs + kUnseenTickMs);
  if (nowMs >= due) {
    state->lastFrameMs = nowMs;
    decision.action = PaceAction::TickOnly;
    decision.wakeAtMs = nowMs + kUnseenTickMs;
  } else {
    decision.wakeAtMs = due;
  }
  return decision;
}

}  // namespace qh
