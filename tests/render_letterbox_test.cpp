// Where the 4:3 picture goes: letterboxed into one area, and onto every monitor of a desktop
// that one window covers.
#include <gtest/gtest.h>

#include <ostream>

#include "render/letterbox.h"

using namespace qh;

namespace qh {
// Failures print rectangles as X11 geometry, WxH+X+Y.
void PrintTo(const PixelRect& r, std::ostream* out) { *out << r.w << "x" << r.h << "+" << r.x << "+" << r.y; }
}  // namespace qh

TEST(LetterboxTest, BarsGoWhereTheAreaIsTooLong) {
  EXPECT_EQ(LetterboxRect({0, 0, 800, 600}, 800, 600), (PixelRect{0, 0, 800, 600}));
  EXPECT_EQ(LetterboxRect({0, 0, 1024, 768}, 800, 600), (PixelRect{0, 0, 1024, 768}));
  EXPECT_EQ(LetterboxRect({0, 0, 1920, 1080}, 800, 600), (PixelRect{240, 0, 1440, 1080}));  // left and right
  EXPECT_EQ(LetterboxRect({0, 0, 1280, 1024}, 800, 600), (PixelRect{0, 32, 1280, 960}));    // above and below
  EXPECT_EQ(LetterboxRect({0, 0, 480, 240}, 800, 600), (PixelRect{80, 0, 320, 240}));
  EXPECT_EQ(LetterboxRect({100, -50, 1920, 1080}, 800, 600), (PixelRect{340, -50, 1440, 1080}));  // offset kept
}

TEST(LetterboxTest, OddSizesRoundToTheNearestPixel) {
  // 4:3 of 301 high is 401.33 wide: 401, the odd bar pixel on the right.
  EXPECT_EQ(LetterboxRect({0, 0, 500, 301}, 800, 600), (PixelRect{49, 0, 401, 301}));
  // 3:4 of 101 wide is 75.75 high: 76; 25 pixels of bars, 12 above and 13 below.
  EXPECT_EQ(LetterboxRect({0, 0, 101, 101}, 800, 600), (PixelRect{0, 12, 101, 76}));
  EXPECT_EQ(LetterboxRect({0, 0, 1, 1}, 800, 600), (PixelRect{0, 0, 1, 1}));
}

TEST(LetterboxTest, NothingToDrawInto) {
  EXPECT_EQ(LetterboxRect({5, 6, 0, 600}, 800, 600), (PixelRect{5, 6, 0, 0}));
  EXPECT_EQ(LetterboxRect({5, 6, 800, -1}, 800, 600), (PixelRect{5, 6, 0, 0}));
  EXPECT_EQ(LetterboxRect({0, 0, 800, 600}, 0, 600), (PixelRect{0, 0, 0, 0}));
}

TEST(LetterboxTest, HugeAreasDoNotOverflow) {
  const PixelRect r = LetterboxRect({0, 0, 2000000000, 1000000000}, 800, 600);
  EXPECT_EQ(r, (PixelRect{333333333, 0, 1333333333, 1000000000}));
}

TEST(MonitorPlacementTest, SideBySide) {
  const std::vector<PixelRect> monitors = {{0, 0, 1920, 1080}, {1920, 0, 1280, 1024}};
  EXPECT_EQ(BoundingRect(monitors), (PixelRect{0, 0, 3200, 1080}));
  const std::vector<PixelRect> places = PlacePictureOnMonitors(monitors, 800, 600);
  ASSERT_EQ(places.size(), 2u);
  EXPECT_EQ(places[0], (PixelRect{240, 0, 1440, 1080}));
  EXPECT_EQ(places[1], (PixelRect{1920, 32, 1280, 960}));
}

TEST(MonitorPlacementTest, StackedWithDifferentSizes) {
  // A small monitor above a large one, centred over it.
  const std::vector<PixelRect> monitors = {{320, 0, 1024, 768}, {0, 768, 1680, 1050}};
  EXPECT_EQ(BoundingRect(monitors), (PixelRect{0, 0, 1680, 1818}));
  const std::vector<PixelRect> places = PlacePictureOnMonitors(monitors, 800, 600);
  ASSERT_EQ(places.size(), 2u);
  EXPECT_EQ(places[0], (PixelRect{320, 0, 1024, 768}));
  EXPECT_EQ(places[1], (PixelRect{140, 768, 1400, 1050}));
}

TEST(MonitorPlacementTest, NegativeOriginsAreMadeWindowRelative) {
  // The second monitor left of and above the primary one.
  const std::vector<PixelRect> monitors = {{0, 0, 1920, 1080}, {-1024, -200, 1024, 768}};
  EXPECT_EQ(BoundingRect(monitors), (PixelRect{-1024, -200, 2944, 1280}));
  const std::vector<PixelRect> places = PlacePictureOnMonitors(monitors, 800, 600);
  ASSERT_EQ(places.size(), 2u);
  EXPECT_EQ(places[0], (PixelRect{1024 + 240, 200, 1440, 1080}));
  EXPECT_EQ(places[1], (PixelRect{0, 0, 1024, 768}));
}

TEST(MonitorPlacementTest, ThreeInARowAndAMirror) {
  const std::vector<PixelRect> row = {{0, 0, 800, 600}, {800, 0, 800, 600}, {1600, 0, 800, 600}};
  const std::vector<PixelRect> places = PlacePictureOnMonitors(row, 800, 600);
  EXPECT_EQ(places, row);  // each monitor exactly filled, in the order given
  // Two monitors showing the same desktop area each get the picture, on the same spot.
  const std::vector<PixelRect> mirrored = {{0, 0, 1024, 768}, {0, 0, 1024, 768}};
  EXPECT_EQ(PlacePictureOnMonitors(mirrored, 800, 600), mirrored);
}

TEST(MonitorPlacementTest, OneOrNoMonitor) {
  EXPECT_EQ(PlacePictureOnMonitors({{0, 0, 1920, 1200}}, 800, 600),
            (std::vector<PixelRect>{{160, 0, 1600, 1200}}));
  EXPECT_TRUE(PlacePictureOnMonitors({}, 800, 600).empty());
  EXPECT_EQ(BoundingRect({}), PixelRect{});
}

TEST(LetterboxTest, CoverCropsWhereTheAreaIsTooLongOrTooTall) {
  EXPECT_EQ(CoverRect({0, 0, 800, 600}, 800, 600), (PixelRect{0, 0, 800, 600}));
  EXPECT_EQ(CoverRect({0, 0, 1920, 1080}, 800, 600), (PixelRect{0, -180, 1920, 1440}));  // top and bottom cut
  EXPECT_EQ(CoverRect({0, 0, 1080, 1920}, 800, 600), (PixelRect{-740, 0, 2560, 1920}));  // sides cut
  EXPECT_EQ(CoverRect({100, 50, 1920, 1080}, 800, 600), (PixelRect{100, -130, 1920, 1440}));  // offset kept
  // 4:3 of 301 high is 401.33 wide: 401 on a 400 wide area, the odd pixel cut on the right.
  EXPECT_EQ(CoverRect({0, 0, 400, 301}, 800, 600), (PixelRect{0, 0, 401, 301}));
  EXPECT_EQ(CoverRect({0, 0, 399, 301}, 800, 600), (PixelRect{-1, 0, 401, 301}));
  EXPECT_EQ(CoverRect({5, 6, 0, 600}, 800, 600), (PixelRect{5, 6, 0, 0}));
}
