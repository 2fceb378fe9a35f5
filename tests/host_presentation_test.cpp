// The presentation choice on a compositor with a surface per output, and the pacing rule:
// which surfaces exist for the outputs there are, each surface's buffer and picture at the
// output's size and scale, and when a frame is drawn, only ticked, or waited for.
#include <gtest/gtest.h>

#include <ostream>
#include <vector>

#include "host/output_layout.h"
#include "host/pacing.h"

using namespace qh;

namespace qh {
// Failures print rectangles as X11 geometry (the printer is render_letterbox_test.cpp's).
void PrintTo(const PixelRect& r, std::ostream* out);
}  // namespace qh

TEST(OutputSurfacesTest, EachOutputGetsOneSurfaceAndGoneOnesLoseTheirsNewestFirst) {
  // The first outputs of a run: one surface each, in the registry's order.
  SurfaceChanges changes = ReconcileSurfaces({7, 3, 9}, {});
  EXPECT_EQ(changes.create, (std::vector<uint32_t>{7, 3, 9}));
  EXPECT_TRUE(changes.destroy.empty());
  // Nothing changed: nothing to do.
  changes = ReconcileSurfaces({7, 3, 9}, {7, 3, 9});
  EXPECT_TRUE(changes.create.empty());
  EXPECT_TRUE(changes.destroy.empty());
  // One plugged in, two unplugged: the newer of the gone ones goes first.
  changes = ReconcileSurfaces({3, 12}, {7, 3, 9});
  EXPECT_EQ(changes.create, (std::vector<uint32_t>{12}));
  EXPECT_EQ(changes.destroy, (std::vector<uint32_t>{9, 7}));
  // Every output gone (all monitors off): every surface goes, and the run has none.
  changes = ReconcileSurfaces({}, {3, 12});
  EXPECT_TRUE(changes.create.empty());
  EXPECT_EQ(changes.destroy, (std::vector<uint32_t>{12, 3}));
  // An output listed twice still gets one surface.
  EXPECT_EQ(ReconcileSurfaces({5, 5}, {}).create, (std::vector<uint32_t>{5}));
}

TEST(OutputSurfacesTest, TheSaverSitsAboveEverythingAndTheWallpaperBelowWithoutInput) {
  const SurfaceRole saver = RoleOfRun(false);
  EXPECT_EQ(saver.layer, 3u);       // overlay: above panels and full-screen windows
  EXPECT_EQ(saver.anchor, 15u);     // all four edges
  EXPECT_EQ(saver.exclusiveZone, -1);
  EXPECT_EQ(saver.keyboard, 1u);    // exclusive: every key comes to the saver
  EXPECT_FALSE(saver.inputPassesThrough);
  const SurfaceRole wallpaper = RoleOfRun(true);
  EXPECT_EQ(wallpaper.layer, 0u);   // background: under every window
  EXPECT_EQ(wallpaper.anchor, 15u);
  EXPECT_EQ(wallpaper.exclusiveZone, -1);
  EXPECT_EQ(wallpaper.keyboard, 0u);
  EXPECT_TRUE(wallpaper.inputPassesThrough);
  EXPECT_EQ(DefaultFit(false), PictureFit::Letterbox);
  EXPECT_EQ(DefaultFit(true), PictureFit::Cover);
}

// The buffer (logical size x scale) and the picture's place in it, both fits, for the
// outputs people have: plain, fractional and double scales, portrait and ultra-wide.
TEST(OutputSurfacesTest, BufferAndPictureFollowTheOutputsSizeAndScale) {
  struct Case {
    int32_t w, h, scale120;
    int32_t pixelW, pixelH;
    PixelRect fit, fill;
  };
  const Case cases[] = {
      {1920, 1080, 120, 1920, 1080, {240, 0, 1440, 1080}, {0, -180, 1920, 1440}},    // 1x, 16:9
      {1280, 720, 180, 1920, 1080, {240, 0, 1440, 1080}, {0, -180, 1920, 1440}},     // 1.5x
      {1280, 800, 240, 2560, 1600, {213, 0, 2133, 1600}, {0, -160, 2560, 1920}},     // 2x, 16:10
      {1080, 1920, 120, 1080, 1920, {0, 555, 1080, 810}, {-740, 0, 2560, 1920}},     // portrait
      {3440, 1440, 120, 3440, 1440, {760, 0, 1920, 1440}, {0, -570, 3440, 2580}},    // ultra-wide 21:9
      {1024, 768, 120, 1024, 768, {0, 0, 1024, 768}, {0, 0, 1024, 768}},             // 4:3: both the same
      {1366, 768, 180, 2049, 1152, {256, 0, 1536, 1152}, {0, -192, 2049, 1537}},     // odd pixels at 1.5x
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.w << "x" << c.h << " at " << c.scale120 << "/120");
    const SurfaceLayout fit = LayoutSurface(c.w, c.h, c.scale120, PictureFit::Letterbox, 800, 600);
    EXPECT_EQ(fit.pixelWidth, c.pixelW);
    EXPECT_EQ(fit.pixelHeight, c.pixelH);
    EXPECT_EQ(fit.picture, c.fit);
    const SurfaceLayout fill = LayoutSurface(c.w, c.h, c.scale120, PictureFit::Cover, 800, 600);
    EXPECT_EQ(fill.pixelWidth, c.pixelW);
    EXPECT_EQ(fill.pixelHeight, c.pixelH);
    EXPECT_EQ(fill.picture, c.fill);
    // Fit stays inside the buffer, fill covers all of it.
    EXPECT_GE(fit.picture.x, 0);
    EXPECT_LE(fit.picture.x + fit.picture.w, c.pixelW);
    EXPECT_LE(fill.picture.x, 0);
    EXPECT_GE(fill.picture.x + fill.picture.w, c.pixelW);
    EXPECT_LE(fill.picture.y, 0);
    EXPECT_GE(fill.picture.y + fill.picture.h, c.pixelH);
  }
  // A surface the compositor has not sized yet has nothing to draw into; a scale it did not
  // send counts as 1x.
  EXPECT_EQ(LayoutSurface(0, 1080, 120, PictureFit::Cover, 800, 600).pixelWidth, 0);
  EXPECT_EQ(LayoutSurface(800, 600, 0, PictureFit::Cover, 800, 600).pixelWidth, 800);
}

// The rule at 60 frames a second (16 ms): callbacks come, stop for good, come again.
TEST(PacingTest, DrawsOnCallbacksTicksSlowlyWhenUnseenAndDrawsAtOnceWhenSeenAgain) {
  PacingState state;
  // The first frame is drawn as soon as it is wanted.
  PaceDecision d = DecidePace(&state, 1000, 16, true);
  EXPECT_EQ(d.action, PaceAction::Draw);
  EXPECT_EQ(d.wakeAtMs, 1016);
  // A callback that comes early waits for the frame interval.
  d = DecidePace(&state, 1010, 16, true);
  EXPECT_EQ(d.action, PaceAction::Wait);
  EXPECT_EQ(d.wakeAtMs, 1016);
  d = DecidePace(&state, 1016, 16, true);
  EXPECT_EQ(d.action, PaceAction::Draw);
  // Then no callback: nothing runs for 500 ms, the wait ends when the slow tick would start.
  d = DecidePace(&state, 1030, 16, false);
  EXPECT_EQ(d.action, PaceAction::Wait);
  EXPECT_EQ(d.wakeAtMs, 1516);
  d = DecidePace(&state, 1515, 16, false);
  EXPECT_EQ(d.action, PaceAction::Wait);
  // 500 ms unseen: the engine ticks without drawing, two frames a second.
  d = DecidePace(&state, 1516, 16, false);
  EXPECT_EQ(d.action, PaceAction::TickOnly);
  EXPECT_EQ(d.wakeAtMs, 2016);
  d = DecidePace(&state, 1800, 16, false);
  EXPECT_EQ(d.action, PaceAction::Wait);
  EXPECT_EQ(d.wakeAtMs, 2016);
  d = DecidePace(&state, 2016, 16, false);
  EXPECT_EQ(d.action, PaceAction::TickOnly);
  d = DecidePace(&state, 2600, 16, false);  // a late wake ticks once, and counts from there
  EXPECT_EQ(d.action, PaceAction::TickOnly);
  EXPECT_EQ(d.wakeAtMs, 3100);
  // A callback between two ticks is drawn at once, and the quick pace is back.
  d = DecidePace(&state, 2700, 16, true);
  EXPECT_EQ(d.action, PaceAction::Draw);
  EXPECT_EQ(d.wakeAtMs, 2716);
  d = DecidePace(&state, 2716, 16, true);
  EXPECT_EQ(d.action, PaceAction::Draw);
  // A short gap between callbacks (under 500 ms) never ticks.
  d = DecidePace(&state, 3000, 16, false);
  EXPECT_EQ(d.action, PaceAction::Wait);
  EXPECT_EQ(d.wakeAtMs, 3216);
}

TEST(PacingTest, UnseenFromTheStartTicksAfterHalfASecond) {
  PacingState state;
  PaceDecision d = DecidePace(&state, 0, 16, false);
  EXPECT_EQ(d.action, PaceAction::Wait);
  EXPECT_EQ(d.wakeAtMs, 500);
  d = DecidePace(&state, 500, 16, false);
  EXPECT_EQ(d.action, PaceAction::TickOnly);
  // A frame interval below 1 ms is taken as 1 ms (never a spin).
  PacingState fast;
  EXPECT_EQ(DecidePace(&fast, 10, 0, true).action, PaceAction::Draw);
  d = DecidePace(&fast, 10, 0, true);
  EXPECT_EQ(d.action, PaceAction::Wait);
  EXPECT_EQ(d.wakeAtMs, 11);
}
