#include "core/clock.h"

#include <chrono>

namespace qh {

int64_t MonotonicNs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

uint32_t MonotonicClock::NowMs() {
  static const auto origin = std::chrono::steady_clock::now();
  const auto elapsed = std::chrono::steady_clock::now() - origin;
  return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

namespace {
MonotonicClock monotonicClock;
Clock* defaultClock = &monotonicClock;
Clock* current = &monotonicClock;

bool timeFixed = false;
int32_t fixedSeconds = 0;
uint32_t fixedAtMs = 0;
}  // namespace

Clock& CurrentClock() { return *current; }
void InstallClock(Clock* clock) { current = clock != nullptr ? clock : defaultClock; }

void SetDefaultClock(Clock* clock) {
  const bool usingDefault = current == defaultClock;
  defaultClock = clock != nullptr ? clock : &monotonicClock;
  if (usingDefault) current = defaultClock;
}

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
