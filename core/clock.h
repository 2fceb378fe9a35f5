// The one clock everything that animates reads. The saver installs SDL's 32-bit
// millisecond counter (which wraps like the system's); tests and the capture tool drive a
// fixed step. Until one is installed, a monotonic millisecond counter stands in.
#pragma once
#include <cstdint>
#include <ctime>

namespace qh {

class Clock {
 public:
  virtual ~Clock() = default;
  virtual uint32_t NowMs() = 0;
  // Called by the frame timing just before it reads the time at the end of a frame.
  virtual void FrameEnded() {}
};

// The system's monotonic clock in nanoseconds, never wrapping: what the host's pacing and
// its waits are timed with (the animations read CurrentClock instead).
int64_t MonotonicNs();

// Milliseconds since the first reading, from the system's monotonic clock, cut to 32 bits.
class MonotonicClock : public Clock {
 public:
  uint32_t NowMs() override;
};

// Reads `start` until the first frame ends, then `step` more at the end of every frame,
// so frame 0 measures 0 ms and every later frame exactly `step`. Reading it does not
// advance it: both start-up seeds see the same value.
class FixedStepClock : public Clock {
 public:
  FixedStepClock(uint32_t start, uint32_t step) : now_(start), step_(step) {}
  uint32_t NowMs() override { return now_; }
  void FrameEnded() override { now_ += step_; }
  void Set(uint32_t now) { now_ = now; }
  void SetStep(uint32_t step) { step_ = step; }

 private:
  uint32_t now_;
  uint32_t step_;
};

// The clock in use (the monotonic one unless another was installed). Not owned.
Clock& CurrentClock();
void InstallClock(Clock* clock);  // nullptr restores the default clock
// What InstallClock(nullptr) restores: the host sets SDL's counter here at start-up.
void SetDefaultClock(Clock* clock);

// The local time of day shown by the clock overlay: the system's, unless fixed. A fixed
// time of day advances with CurrentClock() from the moment it was fixed.
void LocalTimeOfDay(std::tm* out);
void FixLocalTimeOfDay(int32_t secondsSinceMidnight);
void UnfixLocalTimeOfDay();

}  // namespace qh
