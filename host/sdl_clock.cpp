#include "host/sdl_clock.h"

#include <SDL.h>

namespace qh {

uint32_t SdlClock::NowMs() { return SDL_GetTicks(); }

void UseSdlClock() {
  static SdlClock sdlClock;
  SetDefaultClock(&sdlClock);
}

}  // namespace qh
