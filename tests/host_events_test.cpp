// What the main window does with each event, in Saver and in Preview mode; the quit
// signals; the pacing of Saver frames.
#include <gtest/gtest.h>

#include <SDL_syswm.h>

#include <csignal>
#include <cstring>

#include "core/clock.h"
#include "host/events.h"
#include "host/visibility.h"
#include "host/host_state.h"
#include "host/main_loop.h"
#include "render/states.h"

using namespace qh;

namespace {
constexpr uint64_t kHost = 0x2a00005;

SDL_Event KeyDown(SDL_Keycode key, bool repeat = false) {
  SDL_Event e{};
  e.type = SDL_KEYDOWN;
  e.key.keysym.sym = key;
  e.key.repeat = repeat ? 1 : 0;
  return e;
}

SDL_Event OfType(Uint32 type) {
  SDL_Event e{};
  e.type = type;
  return e;
}

SDL_Event Button(Uint32 type, Uint8 button) {
  SDL_Event e{};
  e.type = type;
  e.button.button = button;
  return e;
}

SDL_Event WindowEvent(Uint8 event, Sint32 data1 = 0, Sint32 data2 = 0) {
  SDL_Event e{};
  e.type = SDL_WINDOWEVENT;
  e.window.event = event;
  e.window.data1 = data1;
  e.window.data2 = data2;
  return e;
}

// A raw X11 event as SDL passes it through (the message lives in the caller's frame).
SDL_Event XEventOf(SDL_SysWMmsg* message, int type, uint64_t window) {
  *message = SDL_SysWMmsg{};
  message->subsystem = SDL_SYSWM_X11;
  message->msg.x11.event.type = type;
  if (type == DestroyNotify) {
    message->msg.x11.event.xdestroywindow.window = static_cast<Window>(window);
    message->msg.x11.event.xdestroywindow.event = static_cast<Window>(window);
  } else {
    message->msg.x11.event.xany.window = static_cast<Window>(window);
  }
  SDL_Event e{};
  e.type = SDL_SYSWMEVENT;
  e.syswm.msg = message;
  return e;
}

bool Quits(const SDL_Event& e, int32_t mode) { return DecideEvent(e, mode, kHost).quit; }
}  // namespace

TEST(SaverEventsTest, KeysAndMainButtonsEndTheRun) {
  EXPECT_TRUE(Quits(KeyDown(SDLK_a), Saver));
  EXPECT_TRUE(Quits(KeyDown(SDLK_ESCAPE), Saver));
  EXPECT_TRUE(Quits(KeyDown(SDLK_LSHIFT), Saver));  // a modifier alone is a key press too
  EXPECT_TRUE(Quits(KeyDown(SDLK_a, true), Saver));
  EXPECT_TRUE(Quits(Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT), Saver));
  EXPECT_TRUE(Quits(Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT), Saver));
  EXPECT_TRUE(Quits(Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_MIDDLE), Saver));
}

TEST(SaverEventsTest, MotionReleasesWheelAndSideButtonsDoNot) {
  EXPECT_FALSE(Quits(OfType(SDL_MOUSEMOTION), Saver));
  EXPECT_FALSE(Quits(OfType(SDL_KEYUP), Saver));
  EXPECT_FALSE(Quits(Button(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT), Saver));
  EXPECT_FALSE(Quits(Button(SDL_MOUSEBUTTONUP, SDL_BUTTON_RIGHT), Saver));
  EXPECT_FALSE(Quits(OfType(SDL_MOUSEWHEEL), Saver));
  EXPECT_FALSE(Quits(Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_X1), Saver));
  EXPECT_FALSE(Quits(Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_X2), Saver));
  EXPECT_FALSE(Quits(OfType(SDL_TEXTINPUT), Saver));
  EXPECT_FALSE(Quits(WindowEvent(SDL_WINDOWEVENT_ENTER), Saver));
  EXPECT_FALSE(Quits(WindowEvent(SDL_WINDOWEVENT_LEAVE), Saver));
}

TEST(SaverEventsTest, FocusLossCloseAndQuitEndTheRun) {
  EXPECT_TRUE(Quits(WindowEvent(SDL_WINDOWEVENT_FOCUS_LOST), Saver));
  EXPECT_TRUE(Quits(WindowEvent(SDL_WINDOWEVENT_CLOSE), Saver));
  EXPECT_TRUE(Quits(OfType(SDL_QUIT), Saver));
  EXPECT_FALSE(Quits(WindowEvent(SDL_WINDOWEVENT_FOCUS_GAINED), Saver));
  EXPECT_FALSE(Quits(WindowEvent(SDL_WINDOWEVENT_EXPOSED), Saver));
}

TEST(SaverEventsTest, ActivationRestartsTimingAndSizeChangesThePerspective) {
  const EventDecision gained = DecideEvent(WindowEvent(SDL_WINDOWEVENT_FOCUS_GAINED), Saver, 0);
  EXPECT_TRUE(gained.restartTiming);
  EXPECT_FALSE(gained.quit);
  const EventDecision lost = DecideEvent(WindowEvent(SDL_WINDOWEVENT_FOCUS_LOST), Saver, 0);
  EXPECT_FALSE(lost.restartTiming);
  const EventDecision size = DecideEvent(WindowEvent(SDL_WINDOWEVENT_SIZE_CHANGED, 1920, 1080), Saver, 0);
  EXPECT_TRUE(size.resize);
  EXPECT_EQ(size.width, 1920);
  EXPECT_EQ(size.height, 1080);
  EXPECT_FALSE(size.repaint);  // the saver draws every frame anyway
  EXPECT_FALSE(size.quit);
}

TEST(SaverEventsTest, RawWindowSystemEventsAreIgnored) {
  SDL_SysWMmsg message;
  EXPECT_FALSE(Quits(XEventOf(&message, DestroyNotify, kHost), Saver));
}

// -root and -window-id: the daemon owns the keyboard, the mouse and the focus.
TEST(DaemonWindowEventsTest, InputAndFocusAreTheDaemons) {
  auto quits = [](const SDL_Event& e) { return DecideEvent(e, Saver, kHost, true).quit; };
  EXPECT_FALSE(quits(KeyDown(SDLK_a)));
  EXPECT_FALSE(quits(KeyDown(SDLK_ESCAPE)));
  EXPECT_FALSE(quits(Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT)));
  EXPECT_FALSE(quits(Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_MIDDLE)));
  EXPECT_FALSE(quits(OfType(SDL_MOUSEMOTION)));
  EXPECT_FALSE(quits(WindowEvent(SDL_WINDOWEVENT_FOCUS_LOST)));
  EXPECT_TRUE(quits(OfType(SDL_QUIT)));
}

TEST(DaemonWindowEventsTest, OnlyFullyCoveredCountsAsUnseen) {
  SDL_SysWMmsg message;
  const auto visibility = [&](int state, uint64_t window) {
    SDL_Event e = XEventOf(&message, VisibilityNotify, window);
    message.msg.x11.event.xvisibility.state = state;
    return DecideVisibilityEvent(e, kHost);
  };
  EXPECT_EQ(visibility(VisibilityFullyObscured, kHost).kind, VisibilityEvent::Obscured);
  EXPECT_EQ(visibility(VisibilityPartiallyObscured, kHost).kind, VisibilityEvent::Unobscured);
  EXPECT_EQ(visibility(VisibilityUnobscured, kHost).kind, VisibilityEvent::Unobscured);
  EXPECT_TRUE(visibility(VisibilityUnobscured, kHost).recheck);  // back from a minimise, too
  EXPECT_EQ(visibility(VisibilityFullyObscured, kHost + 1).kind, VisibilityEvent::Nothing);  // another window's
  // Map changes of the window (or, through its exposures, of an ancestor) call for a new look.
  for (int type : {UnmapNotify, MapNotify, Expose}) {
    const VisibilityEvent change = DecideVisibilityEvent(XEventOf(&message, type, kHost), kHost);
    EXPECT_EQ(change.kind, VisibilityEvent::Nothing) << type;
    EXPECT_TRUE(change.recheck) << type;
  }
  EXPECT_FALSE(DecideVisibilityEvent(XEventOf(&message, ConfigureNotify, kHost), kHost).recheck);
  EXPECT_TRUE(DecideVisibilityEvent(WindowEvent(SDL_WINDOWEVENT_RESTORED), kHost).recheck);
  EXPECT_FALSE(DecideVisibilityEvent(WindowEvent(SDL_WINDOWEVENT_MOVED), kHost).recheck);
}

TEST(DaemonWindowEventsTest, EndsWhenItsWindowGoesAndFollowsItsSize) {
  SDL_SysWMmsg message;
  EXPECT_TRUE(DecideEvent(XEventOf(&message, DestroyNotify, kHost), Saver, kHost, true).quit);
  EXPECT_FALSE(DecideEvent(XEventOf(&message, DestroyNotify, kHost + 1), Saver, kHost, true).quit);
  const EventDecision size = DecideEvent(WindowEvent(SDL_WINDOWEVENT_SIZE_CHANGED, 640, 300), Saver, kHost, true);
  EXPECT_TRUE(size.resize);
  EXPECT_EQ(size.width, 640);
  EXPECT_EQ(size.height, 300);
  EXPECT_FALSE(size.repaint);  // the picture is drawn every frame, not painted like the preview's
  EXPECT_FALSE(DecideEvent(WindowEvent(SDL_WINDOWEVENT_EXPOSED), Saver, kHost, true).repaint);
}

TEST(PreviewEventsTest, KeysButtonsAndFocusChangesAreIgnored) {
  EXPECT_FALSE(Quits(KeyDown(SDLK_a), Preview));
  EXPECT_FALSE(Quits(KeyDown(SDLK_ESCAPE), Preview));
  EXPECT_FALSE(Quits(Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT), Preview));
  EXPECT_FALSE(Quits(Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT), Preview));
  EXPECT_FALSE(Quits(Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_MIDDLE), Preview));
  EXPECT_FALSE(Quits(OfType(SDL_MOUSEMOTION), Preview));
  EXPECT_FALSE(Quits(WindowEvent(SDL_WINDOWEVENT_FOCUS_LOST), Preview));
}

TEST(PreviewEventsTest, EndsWhenTheHostWindowIsDestroyed) {
  SDL_SysWMmsg message;
  EXPECT_TRUE(Quits(XEventOf(&message, DestroyNotify, kHost), Preview));
  EXPECT_FALSE(Quits(XEventOf(&message, DestroyNotify, kHost + 1), Preview));  // another window
  EXPECT_FALSE(Quits(XEventOf(&message, UnmapNotify, kHost), Preview));        // hidden, not gone
  SDL_Event noMessage{};
  noMessage.type = SDL_SYSWMEVENT;
  EXPECT_FALSE(Quits(noMessage, Preview));
  EXPECT_TRUE(Quits(OfType(SDL_QUIT), Preview));
  EXPECT_TRUE(Quits(WindowEvent(SDL_WINDOWEVENT_CLOSE), Preview));
}

TEST(PreviewEventsTest, ExposureAndSizeChangesRepaint) {
  EXPECT_TRUE(DecideEvent(WindowEvent(SDL_WINDOWEVENT_EXPOSED), Preview, kHost).repaint);
  const EventDecision size = DecideEvent(WindowEvent(SDL_WINDOWEVENT_SIZE_CHANGED, 152, 112), Preview, kHost);
  EXPECT_TRUE(size.repaint);
  EXPECT_TRUE(size.resize);
  EXPECT_FALSE(DecideEvent(KeyDown(SDLK_a), Preview, kHost).repaint);
}

namespace {
class ApplyDecisionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallClock(&clock_);
    QuitRequested = 0;
  }
  void TearDown() override {
    InstallClock(nullptr);
    QuitRequested = 0;
  }
  FixedStepClock clock_{0, 0};
};
}  // namespace

TEST_F(ApplyDecisionTest, QuitSetsTheFlag) {
  ApplyEventDecision(DecideEvent(WindowEvent(SDL_WINDOWEVENT_EXPOSED), Saver, 0), Saver);
  EXPECT_EQ(QuitRequested, 0);
  ApplyEventDecision(DecideEvent(KeyDown(SDLK_q), Saver, 0), Saver);
  EXPECT_EQ(QuitRequested, 1);
}

TEST_F(ApplyDecisionTest, ActivationMakesTheNextFrameZero) {
  clock_.Set(1000);
  RestartFrameTiming();
  clock_.Set(1250);
  MeasureFrameTime();
  ASSERT_EQ(FrameDeltaMs, 250.0f);
  clock_.Set(5000);
  ApplyEventDecision(DecideEvent(WindowEvent(SDL_WINDOWEVENT_FOCUS_GAINED), Saver, 0), Saver);
  EXPECT_EQ(FrameDeltaMs, 0.0f);
  EXPECT_EQ(RawFrameDeltaMs, 0u);
  EXPECT_EQ(LastFrameTime, 5000u);
}

TEST_F(ApplyDecisionTest, SizeChangeRecomputesThePerspective) {
  Matrix4 expected;
  BuildPerspectiveMatrix(expected, 0.7853982f, 1600.0f / 900.0f, 5.0f, 400.0f);
  ApplyEventDecision(DecideEvent(WindowEvent(SDL_WINDOWEVENT_SIZE_CHANGED, 1600, 900), Saver, 0), Saver);
  EXPECT_EQ(0, std::memcmp(&PerspectiveMatrix, &expected, sizeof expected));
  // A minimised window (height 0) leaves the matrix alone.
  ApplyEventDecision(DecideEvent(WindowEvent(SDL_WINDOWEVENT_SIZE_CHANGED, 1600, 0), Saver, 0), Saver);
  EXPECT_EQ(0, std::memcmp(&PerspectiveMatrix, &expected, sizeof expected));
}

TEST_F(ApplyDecisionTest, PreviewFollowsTheHostWindowSize) {
  WindowWidth = 800;
  WindowHeight = 600;
  ApplyEventDecision(DecideEvent(WindowEvent(SDL_WINDOWEVENT_SIZE_CHANGED, 152, 112), Preview, kHost), Preview);
  EXPECT_EQ(WindowWidth, 152);
  EXPECT_EQ(WindowHeight, 112);
  WindowWidth = 800;
  WindowHeight = 600;
  ApplyEventDecision(DecideEvent(WindowEvent(SDL_WINDOWEVENT_SIZE_CHANGED, 1920, 1080), Saver, 0), Saver);
  EXPECT_EQ(WindowWidth, 800);  // the saver's wanted resolution stays 800 x 600
  EXPECT_EQ(WindowHeight, 600);
}

TEST(QuitSignalsTest, TermIntAndHupRequestTheCleanShutdown) {
  struct sigaction saved[3];
  const int signals[3] = {SIGTERM, SIGINT, SIGHUP};
  for (int i = 0; i < 3; ++i) sigaction(signals[i], nullptr, &saved[i]);
  InstallQuitSignalHandlers();
  for (const int signal : signals) {
    QuitRequested = 0;
    std::raise(signal);
    EXPECT_EQ(QuitRequested, 1) << signal;  // and the test process is still alive
  }
  for (int i = 0; i < 3; ++i) sigaction(signals[i], &saved[i], nullptr);
  QuitRequested = 0;
}

TEST(FramePacerTest, FramesFollowTheRefreshPeriod) {
  FramePacer pacer(50);
  ASSERT_EQ(pacer.PeriodNs(), 20000000);
  // From the first frame on, frames start a period apart whatever each one took.
  EXPECT_EQ(pacer.NextFrameStart(5000000), 25000000);
  EXPECT_EQ(pacer.NextFrameStart(28000000), 45000000);
  EXPECT_EQ(pacer.NextFrameStart(45000000), 65000000);
}

TEST(FramePacerTest, LateFramesDoNotCatchUpInABurst) {
  FramePacer pacer(100);  // 10 ms
  EXPECT_EQ(pacer.NextFrameStart(0), 10000000);
  // A 55 ms stall: the next frame starts at once, and the schedule restarts from there.
  EXPECT_EQ(pacer.NextFrameStart(65000000), 65000000);
  EXPECT_EQ(pacer.NextFrameStart(66000000), 75000000);
}

TEST(FramePacerTest, ANewRateStartsFromTheFrameThatEnds) {
  FramePacer pacer(30);
  EXPECT_EQ(pacer.NextFrameStart(0), 33333333);
  pacer.SetRate(2);  // unseen: the next tick half a second after this frame ends
  EXPECT_EQ(pacer.NextFrameStart(40000000), 540000000);
  pacer.SetRate(30);  // seen again early, at 100 ms: no waiting out the half second
  EXPECT_EQ(pacer.NextFrameStart(110000000), 143333333);
  pacer.SetRate(30);  // the same rate keeps the schedule
  EXPECT_EQ(pacer.NextFrameStart(150000000), 176666666);
}

TEST(FramePacerTest, UnknownRatesUseSixtyHertz) {
  EXPECT_EQ(FramePacer(0).PeriodNs(), 1000000000 / 60);
  EXPECT_EQ(FramePacer(-5).PeriodNs(), 1000000000 / 60);
  EXPECT_EQ(FramePacer(100000).PeriodNs(), 1000000000 / 60);
  EXPECT_EQ(FramePacer(144).PeriodNs(), 1000000000 / 144);
}
