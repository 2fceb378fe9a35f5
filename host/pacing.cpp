#include "host/pacing.h"

#include <algorithm>

namespace qh {

namespace {
// Runs the frame when it is due (and says when the next one will be), else says when it is.
PaceDecision WhenDue(PacingState* state, int64_t nowMs, int64_t dueMs, int64_t stepMs, PaceAction action) {
  PaceDecision decision;
  if (nowMs < dueMs) {
    decision.wakeAtMs = dueMs;
    return decision;
  }
  state->lastFrameMs = nowMs;
  decision.action = action;
  decision.wakeAtMs = nowMs + stepMs;
  return decision;
}
}  // namespace

PaceDecision DecidePace(PacingState* state, int64_t nowMs, int64_t frameIntervalMs, bool seen) {
  frameIntervalMs = std::max<int64_t>(frameIntervalMs, 1);
  if (!state->started) {
    // The run starts seen: the first frame is drawn, and the unseen wait counts from here.
    state->started = true;
    state->lastSeenMs = nowMs;
    state->lastFrameMs = nowMs - frameIntervalMs;
  }
  if (seen) {
    state->lastSeenMs = nowMs;
    return WhenDue(state, nowMs, state->lastFrameMs + frameIntervalMs, frameIntervalMs, PaceAction::Draw);
  }
  // Until kUnseenAfterMs have passed a callback may still be on its way: nothing runs before.
  const int64_t unseenFrom = state->lastSeenMs + kUnseenAfterMs;
  return WhenDue(state, nowMs, std::max(unseenFrom, state->lastFrameMs + kUnseenTickMs), kUnseenTickMs,
                 PaceAction::TickOnly);
}

}  // namespace qh
