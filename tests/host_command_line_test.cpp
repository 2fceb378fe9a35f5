// The screensaver switches on the command line, the frame timing and the scene delay.
#include <gtest/gtest.h>

#include "core/clock.h"
#include "host/host_state.h"

using namespace qh;

namespace {
class CommandLineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RunMode = Configure;
    ParentWindow = 0;
    HasParentWindow = false;
    ProgramName.clear();
  }
};
}  // namespace

TEST_F(CommandLineTest, SaverSwitchesInEveryForm) {
  for (const char* line : {"saver.scr /s", "saver.scr /S", "saver.scr -s", "saver.scr /x", "saver.scr /",
                           "saver.scr -", "saver.scr    /s extra"}) {
    SCOPED_TRACE(line);
    EXPECT_EQ(ParseCommandLine(line), Saver);
    EXPECT_EQ(RunMode, Saver);
  }
}

TEST_F(CommandLineTest, NoSwitchIsConfigureWithoutParent) {
  EXPECT_EQ(ParseCommandLine("saver.scr"), Configure);
  EXPECT_FALSE(HasParentWindow);
  EXPECT_EQ(ParseCommandLine("saver.scr plain words"), Configure);
  EXPECT_FALSE(HasParentWindow);
  EXPECT_EQ(ParseCommandLine(""), Configure);
  EXPECT_EQ(ParseCommandLine(nullptr), Configure);
}

TEST_F(CommandLineTest, ConfigureTakesItsParentFromTheFirstDigits) {
  EXPECT_EQ(ParseCommandLine("saver.scr /c:1234"), Configure);
  EXPECT_TRUE(HasParentWindow);
  EXPECT_EQ(ParentWindow, 1234u);
  EXPECT_EQ(ParseCommandLine("saver.scr /C 987"), Configure);
  EXPECT_EQ(ParentWindow, 987u);
  EXPECT_EQ(ParseCommandLine("saver.scr -c:55abc"), Configure);  // digits end at the first non-digit
  EXPECT_EQ(ParentWindow, 55u);
}

TEST_F(CommandLineTest, ConfigureWithoutDigitsClearsTheParent) {
  ParseCommandLine("saver.scr /c:1234");
  EXPECT_EQ(ParseCommandLine("saver.scr /c"), Configure);
  EXPECT_FALSE(HasParentWindow);
  EXPECT_EQ(ParentWindow, 0u);
}

TEST_F(CommandLineTest, PreviewTakesItsParentWithBlankOrColon) {
  EXPECT_EQ(ParseCommandLine("saver.scr /p 5678"), Preview);
  EXPECT_TRUE(HasParentWindow);
  EXPECT_EQ(ParentWindow, 5678u);
  EXPECT_EQ(ParseCommandLine("saver.scr /P:4321"), Preview);
  EXPECT_EQ(ParentWindow, 4321u);
}

TEST_F(CommandLineTest, AMinusSignBeforeTheWindowNumberIsKept) {
  EXPECT_EQ(ParseCommandLine("saver.scr /p -1"), Preview);
  EXPECT_TRUE(HasParentWindow);
  EXPECT_TRUE(NegativeParentWindow);
  EXPECT_EQ(ParentWindow, 1u);
  EXPECT_EQ(ParseCommandLine("saver.scr /c:-42"), Configure);
  EXPECT_TRUE(NegativeParentWindow);
  EXPECT_EQ(ParentWindow, 42u);
  // A minus elsewhere is no sign: "-c" is the switch, the digits follow a colon.
  EXPECT_EQ(ParseCommandLine("saver.scr -c:42"), Configure);
  EXPECT_FALSE(NegativeParentWindow);
  EXPECT_EQ(ParseCommandLine("saver.scr /p 7-1"), Preview);
  EXPECT_FALSE(NegativeParentWindow);
  EXPECT_EQ(ParentWindow, 7u);
}

TEST_F(CommandLineTest, PreviewWithoutDigitsLeavesTheParentAsItWas) {
  EXPECT_EQ(ParseCommandLine("saver.scr /p"), Preview);
  EXPECT_FALSE(HasParentWindow);
  ParseCommandLine("saver.scr /p 77");
  EXPECT_EQ(ParseCommandLine("saver.scr -p"), Preview);
  EXPECT_TRUE(HasParentWindow);
  EXPECT_EQ(ParentWindow, 77u);
}

TEST_F(CommandLineTest, HexWindowIdsAsX11ToolsPrintThem) {
  EXPECT_EQ(ParseCommandLine("quiet-highland /p 0x1e00007"), Preview);
  EXPECT_EQ(ParentWindow, 0x1e00007u);
  ParseCommandLine("quiet-highland /p 0X1F");
  EXPECT_EQ(ParentWindow, 0x1Fu);
  ParseCommandLine("quiet-highland /p 0xg");  // not hex after all: the decimal 0
  EXPECT_EQ(ParentWindow, 0u);
  ParseCommandLine("quiet-highland /p 99999999999999999999999999");  // saturates, no wrap
  EXPECT_EQ(ParentWindow, UINT64_MAX);
}

TEST_F(CommandLineTest, QuotedProgramPathIsSkippedWhole) {
  EXPECT_EQ(ParseCommandLine("\"/opt/my -dir/with /p/quiet highland.scr\""), Configure);
  EXPECT_EQ(ProgramName, "quiet highland");
  EXPECT_EQ(ParseCommandLine("\"/opt/my -dir/quiet-highland\" /p 12"), Preview);
  EXPECT_EQ(ParentWindow, 12u);
  EXPECT_EQ(ProgramName, "quiet-highland");
  // An unclosed quote swallows the rest: no switch.
  EXPECT_EQ(ParseCommandLine("\"/opt/quiet /s"), Configure);
}

TEST_F(CommandLineTest, ProgramNameLosesFolderAndExtension) {
  ParseCommandLine("/usr/local/bin/quiet-highland /s");
  EXPECT_EQ(ProgramName, "quiet-highland");
  ParseCommandLine("C:\\Windows\\System32\\Quiet.scr /s");
  EXPECT_EQ(ProgramName, "Quiet");
  ParseCommandLine("quiet-highland");
  EXPECT_EQ(ProgramName, "quiet-highland");
}

// ---- frame timing ----

namespace {
class FrameTimingTest : public ::testing::Test {
 protected:
  void SetUp() override { InstallClock(&clock_); }
  void TearDown() override { InstallClock(nullptr); }
  FixedStepClock clock_{1000, 0};
};
}  // namespace

TEST_F(FrameTimingTest, MeasuresTheStepSinceTheLastPoint) {
  clock_.Set(1000);
  RestartFrameTiming();
  clock_.Set(1017);
  MeasureFrameTime();
  EXPECT_EQ(RawFrameDeltaMs, 17u);
  EXPECT_EQ(FrameDeltaMs, 17.0f);
  EXPECT_EQ(LastFrameTime, 1017u);
}

TEST_F(FrameTimingTest, CounterWrapGivesTheTrueSmallStep) {
  clock_.Set(0xFFFFFFF0u);
  RestartFrameTiming();
  clock_.Set(0x00000010u);
  MeasureFrameTime();
  EXPECT_EQ(RawFrameDeltaMs, 32u);
  EXPECT_EQ(FrameDeltaMs, 32.0f);
}

TEST_F(FrameTimingTest, LongStallIsNotClamped) {
  clock_.Set(5000);
  RestartFrameTiming();
  clock_.Set(5000 + 120000);
  MeasureFrameTime();
  EXPECT_EQ(FrameDeltaMs, 120000.0f);
}

TEST_F(FrameTimingTest, RestartMakesTheNextFrameZero) {
  clock_.Set(100);
  RestartFrameTiming();
  clock_.Set(400);
  MeasureFrameTime();
  ASSERT_EQ(FrameDeltaMs, 300.0f);
  clock_.Set(900);
  RestartFrameTiming();
  EXPECT_EQ(FrameDeltaMs, 0.0f);
  EXPECT_EQ(RawFrameDeltaMs, 0u);
  EXPECT_EQ(LastFrameTime, 900u);
  clock_.Set(916);
  MeasureFrameTime();
  EXPECT_EQ(FrameDeltaMs, 16.0f);  // measured from the restart, not from the frame before
}

TEST(SceneDelayTest, ChoicesGiveTheirDelays) {
  const float expected[7] = {30000.0f, 60000.0f, 120000.0f, 180000.0f, 300000.0f, 600000.0f, 600000000.0f};
  for (int32_t choice = 0; choice < 7; ++choice) {
    SceneDelayMs = 0.0f;
    SetSceneDelay(choice);
    EXPECT_EQ(SceneDelayMs, expected[choice]) << choice;
  }
}

TEST(SceneDelayTest, OtherChoicesLeaveTheDelayAlone) {
  for (int32_t choice : {7, -1, 100, INT32_MIN, INT32_MAX}) {
    SceneDelayMs = 0.0f;
    SetSceneDelay(choice);
    EXPECT_EQ(SceneDelayMs, 0.0f) << choice;
  }
  SceneDelayMs = 1234.0f;
  SetSceneDelay(7);
  EXPECT_EQ(SceneDelayMs, 1234.0f);
}
