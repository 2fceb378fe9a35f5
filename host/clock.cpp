#include "host/clock.h"

#include <SDL.h>

namespace qh {

uint32_t SdlClock::NowMs() { return SDL_GetTicks(); }

namespace {
SdlClock sdlClock;
Clock* current = &sdlClock;

bool timeFixed = false;
int32_t fixedSeconds = 0;
uint32_t fixedAtMs = 0;
}  // namespace

Clock& CurrentClock() { return *current; }
void InstallClock(Clock* clock) { current = clock != nullptr ? clock : &sdlClock; }

void FixLocalTimeOfDay(int32_t secondsSinceMidnight) {
  timeFixed = true;
  fixedSeconds = secondsSinceMidnight;
  fixedAtMs = CurrentClock().NowMs();
}

void UnfixLocalTimeOfDay() { timeFixed = false; }

void LocalTimeOfDay(std::tm* out) {
  const std::time_t now = std::time(nullptr);
  localtime_r(&now, out);
  if (!timeFixed) return;
  const uint32_t elapsedMs = CurrentClock().NowMs() - fixedAtMs;
  const int64_t seconds = (int64_t{fixedSeconds} + elapsedMs / 1000) % 86400;
  out->tm_hour = static_cast<int>(seconds / 3600);
  out->tm_min = static_cast<int>(seconds / 60 % 60);
  out->tm_sec = static_cast<int>(seconds % 60);
}

}  // namespace qh
