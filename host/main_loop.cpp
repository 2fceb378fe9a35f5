#include "host/main_loop.h"

#include <SDL.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "core/clock.h"
#include "host/events.h"
#include "host/frame_rate.h"
#include "host/pacing.h"
#include "host/host_state.h"
#include "host/saver.h"
#include "host/power_source.h"
#include "host/sleep_notice.h"
#include "host/visibility.h"
#include "host/window.h"

namespace qh {

FramePacer::FramePacer(int32_t refreshHz) { SetRate(refreshHz); }

void FramePacer::SetRate(int32_t hz) {
  if (hz < 1 || hz > 1000) hz = 60;
  const int64_t period = 1000000000LL / hz;
  // A new rate starts a new schedule from the end of the frame under way: coming back from
  // the slow unseen ticks (woken early) must not wait out the old deadline.
  if (period != periodNs_) started_ = false;
  periodNs_ = period;
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
  if (RunMode == Saver) NoteVisibilityEvent(event);
}

// Unseen: waits for the deadline, but an event that brings the window back into view (or
// ends the run) cuts the wait short, so drawing starts again within a frame.
void WaitUnseenUntil(int64_t deadlineNs, bool* repaint) {
  while (QuitRequested == 0 && !WindowCanBeSeen()) {
    const int64_t left = deadlineNs - MonotonicNs();
    if (left <= 0) return;
    SDL_Event event;
    if (SDL_WaitEventTimeout(&event, static_cast<int>((left + 999999) / 1000000))) {
      HandleEvent(event, repaint);
      while (SDL_PollEvent(&event)) HandleEvent(event, repaint);
    }
  }
}

// The frame counts of kFrameCountFileVariable; nothing at all when it is unset.
struct FrameCounts {
  int fd = -1;
  uint64_t presented = 0;
  uint64_t ticked = 0;

  void Open() {
    const char* path = std::getenv(kFrameCountFileVariable);
    if (path != nullptr && path[0] != '\0') fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  }
  void Count(bool drawn, int32_t rate, bool onBattery) {
    (drawn ? presented : ticked) += 1;
    if (fd < 0) return;
    char line[128];
    const int length = std::snprintf(line, sizeof line, "presented %llu ticked %llu rate %d seen %d battery %d\n",
                                     static_cast<unsigned long long>(presented),
                                     static_cast<unsigned long long>(ticked), static_cast<int>(rate),
                                     drawn ? 1 : 0, onBattery ? 1 : 0);
    // The line only grows, and a reader sees one line either way.
    if (length > 0 && pwrite(fd, line, static_cast<size_t>(length), 0) < 0) {
      close(fd);
      fd = -1;
    }
  }
  void Close() {
    if (fd >= 0) close(fd);
    fd = -1;
  }
};
}  // namespace

void RunSaverLoop(std::optional<int32_t> maxFps) {
  const int32_t refresh = DisplayRefreshRate(MainWindow);
  const std::string renderer = DeviceRendererName();
  FramePacer pacer(refresh);
  PacingState pacing;
  FrameCounts counts;
  counts.Open();
  ListenForSleep();
  FollowPowerSource();
  WatchVisibility(MainWindow, DaemonWindow);
  LastFrameTime = CurrentClock().NowMs();
  bool repaint = false;
  while (QuitRequested == 0) {
    SDL_Event event;
    while (SDL_PollEvent(&event)) HandleEvent(event, &repaint);
    if (SleepAnnounced()) QuitRequested = 1;  // the system is about to suspend
    if (QuitRequested != 0) break;
    const bool onBattery = OnBattery();
    const int32_t rate = ChooseFrameRate({renderer, onBattery, maxFps, refresh});
    pacer.SetRate(rate);
    const bool seen = WindowCanBeSeen();
    const PaceDecision pace = DecidePace(&pacing, MonotonicNs() / 1000000, 1000 / rate, seen);
    if (pace.action == PaceAction::Draw) {
      RenderFrame();
      // Drawn frames keep the exact schedule of the chosen rate.
      SleepUntil(pacer.NextFrameStart(MonotonicNs()));
    } else {
      if (pace.action == PaceAction::TickOnly) TickFrame();
      if (seen) {
        SleepUntil(pace.wakeAtMs * 1000000);  // the next frame is not due yet
      } else {
        WaitUnseenUntil(pace.wakeAtMs * 1000000, &repaint);
      }
    }
    if (pace.action != PaceAction::Wait) counts.Count(pace.action == PaceAction::Draw, rate, onBattery);
  }
  counts.Close();
  StopWatchingVisibility();
  StopFollowingPowerSource();
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
