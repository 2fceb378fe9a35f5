// The main loops: every waiting event is handled before anything else. Saver mode then
// renders a frame and sleeps to the frame rate host/frame_rate.h chooses (swap intervals do
// not pace everywhere, and a screensaver must never spin a core); while nothing of it can
// be seen it only ticks the engine, twice a second, and wakes at once when it is seen. Preview mode renders nothing: it
// waits for events and looks after the host's window now and then.
#pragma once
#include <cstdint>
#include <optional>

namespace qh {

// Frame deadlines at a fixed period on a monotonic nanosecond clock. A frame that ends
// late does not cause a burst of catch-up frames: the schedule starts again from it.
class FramePacer {
 public:
  explicit FramePacer(int32_t refreshHz);  // 60 Hz when not in 1..1000
  int64_t PeriodNs() const { return periodNs_; }
  // A new rate (60 Hz when not in 1..1000); when it differs, the next deadline is a new
  // period after the frame under way ends.
  void SetRate(int32_t hz);
  // Called when a frame ends at `now`; returns when the next one should start (>= now).
  int64_t NextFrameStart(int64_t nowNs);

 private:
  int64_t periodNs_;
  int64_t nextNs_ = 0;
  bool started_ = false;
};

// Both run until QuitRequested is set. maxFps: --max-fps as given.
void RunSaverLoop(std::optional<int32_t> maxFps);
void RunPreviewLoop();

// How often the preview asks whether the host's window still exists, in milliseconds.
constexpr int32_t kHostWindowCheckMs = 250;

// With QH_FRAME_COUNT_FILE set, the saver keeps in that file one line, rewritten after
// every frame: "presented P ticked T rate R seen S battery B" (frames presented and
// frames only ticked so far, the frame rate chosen, 1/0). For tests and measurements.
constexpr const char* kFrameCountFileVariable = "QH_FRAME_COUNT_FILE";

}  // namespace qh
