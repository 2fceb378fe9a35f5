// The saver's clock: SDL's 32-bit millisecond counter, which wraps like the system's.
#pragma once

#include "core/clock.h"

namespace qh {

// SDL_GetTicks(); SDL must be initialised.
class SdlClock : public Clock {
 public:
  uint32_t NowMs() override;
};

// Makes SDL's counter the clock the frame timing reads (and what InstallClock(nullptr) restores).
void UseSdlClock();

}  // namespace qh
