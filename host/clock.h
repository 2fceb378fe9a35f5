// The one clock everything that animates reads. The saver uses SDL's 32-bit millisecond
// counter (which wraps like the system's); tests and the capture tool drive a fixed step.
#pragma once
#include <cstdint>

namespace qh {

class Clock {
 public:
  virtual ~Clock() = default;
  virtual uint32_t NowMs() = 0;
};

// SDL_GetTicks(); SDL must be initialised.
class SdlClock : public Clock {
 public:
  uint32_t NowMs() override;
};

// Starts at `start`; the first reading returns start, every later reading `step` more.
// So the frame after start-up measures 0 and every later frame measures exactly `step`
// (when the loop reads the clock once per frame after its initial reading).
class FixedStepClock : public Clock {
 public:
  FixedStepClock(uint32_t start, uint32_t step) : now_(start), step_(step) {}
  uint32_t NowMs() override;
  void Set(uint32_t now) { now_ = now; started_ = false; }
  void SetStep(uint32_t step) { step_ = step; }

 private:
  uint32_t now_;
  uint32_t step_;
  bool started_ = false;
};

// The clock in use (an SdlClock unless one was installed). Not owned.
Clock& CurrentClock();
void InstallClock(Clock* clock);  // nullptr restores the SDL clock

}  // namespace qh
