// The main loops: every waiting event is handled before anything else. Saver mode then
// renders a frame and sleeps to the display's refresh rate (swap intervals do not pace
// everywhere, and a screensaver must never spin a core). Preview mode renders nothing: it
// waits for events and looks after the host's window now and then.
#pragma once
#include <cstdint>

namespace qh {

// Frame deadlines at a fixed period on a monotonic nanosecond clock. A frame that ends
// late does not cause a burst of catch-up frames: the schedule starts again from it.
class FramePacer {
 public:
  explicit FramePacer(int32_t refreshHz);  // 60 Hz when not in 1..1000
  int64_t PeriodNs() const { return periodNs_; }
  // Called when a frame ends at `now`; returns when the next one should start (>= now).
  int64_t NextFrameStart(int64_t nowNs);

 private:
  int64_t periodNs_;
  int64_t nextNs_ = 0;
  bool started_ = false;
};

// Both run until QuitRequested is set.
void RunSaverLoop();
void RunPreviewLoop();

// How often the preview asks whether the host's window still exists, in milliseconds.
constexpr int32_t kHostWindowCheckMs = 250;

}  // namespace qh
