#include "host/clock.h"

#include <SDL.h>

namespace qh {

uint32_t SdlClock::NowMs() { return SDL_GetTicks(); }

uint32_t FixedStepClock::NowMs() {
  if (!started_) {
    started_ = true;
    return now_;
  }
  now_ += step_;
  return now_;
}

namespace {
SdlClock sdlClock;
Clock* current = &sdlClock;
}  // namespace

Clock& CurrentClock() { return *current; }
void InstallClock(Clock* clock) { current = clock != nullptr ? clock : &sdlClock; }

}  // namespace qh
