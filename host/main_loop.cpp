#include "host/main_loop.h"

#include <SDL.h>

#include <ctime>

#include "core/clock.h"
#include "host/events.h"
#include "host/host_state.h"
#include "host/saver.h"
#include "host/sleep_notice.h"
#include "host/window.h"

namespace qh {

FramePacer::FramePacer(int32_t refreshHz) {
  if (refreshHz < 1 || refreshHz > 1000) refreshHz = 60;
  periodNs_ = 1000000000LL / refreshHz;
}

int64_t FramePacer::NextFrameStart(int64_t nowNs) {
  if (!started_) {
    started_ = true;
    nextNs_ = nowNs;
  }
  nextNs_ += periodNs_;
  if (nextNs_ <= nowNs) nextNs_ = nowNs;  // late: no sleep, and no catching up afterwards
  return nextNs_;
}

namespace {
int64_t MonotonicNs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

// Sleeps until the deadline; a signal cuts the sleep short so a quit request is seen at once.
void SleepUntil(int64_t deadlineNs) {
  timespec until{};
  until.tv_sec = static_cast<time_t>(deadlineNs / 1000000000LL);
  until.tv_nsec = static_cast<long>(deadlineNs % 1000000000LL);
  clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr);
}

void HandleEvent(const SDL_Event& event, bool* repaint) {
  const EventDecision decision = DecideEvent(event, RunMode, ParentWindow, DaemonWindow);
  ApplyEventDecision(decision, RunMode);
  if (decision.repaint) *repaint = true;
}
}  // namespace

void RunSaverLoop() {
  FramePacer pacer(DisplayRefreshRate(MainWindow));
  ListenForSleep();
  LastFrameTime = CurrentClock().NowMs();
  bool repaint = false;
  while (QuitRequested == 0) {
    SDL_Event event;
    while (SDL_PollEvent(&event)) HandleEvent(event, &repaint);
    if (SleepAnnounced()) QuitRequested = 1;  // the system is about to suspend
    if (QuitRequested != 0) break;
    RenderFrame();
    SleepUntil(pacer.NextFrameStart(MonotonicNs()));
  }
  StopListeningForSleep();
}

void RunPreviewLoop() {
  LastFrameTime = CurrentClock().NowMs();
  PaintPreview();
  uint32_t lastCheck = SDL_GetTicks();
  ListenForSleep();
  while (QuitRequested == 0) {
    bool repaint = false;
    SDL_Event event;
    if (SDL_WaitEventTimeout(&event, kHostWindowCheckMs)) {
      HandleEvent(event, &repaint);
      while (SDL_PollEvent(&event)) HandleEvent(event, &repaint);
    }
    if (SleepAnnounced()) QuitRequested = 1;
    if (QuitRequested != 0) break;
    // Destruction normally arrives as an event; this catches a window that went away
    // before we started listening to it.
    if (SDL_GetTicks() - lastCheck >= static_cast<uint32_t>(kHostWindowCheckMs)) {
      lastCheck = SDL_GetTicks();
      if (!HostWindowExists()) {
        QuitRequested = 1;
        break;
      }
    }
    if (repaint) PaintPreview();
  }
  StopListeningForSleep();
}

}  // namespace qh
