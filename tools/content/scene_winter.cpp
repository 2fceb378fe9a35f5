// Scene 6: a winter valley under fresh snow. A low afternoon sun from the right warms the
// snow on the peaks and leaves the valley in blue shade; a dark stream winds between white
// banks, snow caps its stones, and spruces stand heavy with snow; the brook's sound.
#include <algorithm>
#include <cmath>

#include "tools/content/landscape.h"

namespace qhc {

namespace {

constexpr float kStreamTop = 330;

float StreamCentre(float row) {
  static const std::vector<float> rows = {320, 330, 342, 358, 380, 410, 450, 510, 600, 690};
  static const std::vector<float> cols = {380, 372, 352, 378, 430, 462, 420, 330, 250, 200};
  return CourseAt(rows, cols, row) + 1.2f * Fbm1(row * 0.06f, 701, 2);
}
float StreamHalfWidth(float row) {
  const float d = std::max(0.0f, row - kStreamTop);
  return 1.0f + 0.03f * d + 0.0007f * d * d;
}

// Snow over the valley floor: drifts in long soft waves, lit where they face the sun,
// blue in their lee; a few dry stalks stand out of it.
void PaintSnowFloor(Image& bg, const std::vector<float>& top, Rgb haze) {
  for (int x = 0; x < W; ++x) {
    for (int y = std::max(0, int(top[size_t(x)]) - 1); y < H; ++y) {
      const float d = y + 0.5f - top[size_t(x)];
      const float cov = Clamp01(d + 0.5f);
      if (cov <= 0) continue;
      const float persp = 0.3f + float(y) / H;
      const float drift = Fbm(x * 0.004f / persp, y * 0.02f / persp, 703, 4);
      const float slope = Fbm(x * 0.004f / persp, (y + 3) * 0.02f / persp, 703, 4) - drift;
      const float lit = Clamp01(0.65f + slope * 9 + 0.1f * Fbm(x * 0.03f, y * 0.06f, 705, 2));
      Rgb c = Mix(Hex(0x9fb0d0), Hex(0xfdf8f2), lit);
      c = Mix(c, haze, 0.35f * (1 - SmoothStep(0, 80, d)));
      // Sparkle: a few bright grains in the sun.
      if (lit > 0.7f && Hash(x, y, 707) % 97 == 0) c = Hex(0xffffff);
      bg.Over(x, y, c, cov);
    }
  }
}

// The stream between banks of snow: the water dark and open for the moving layer; the
// snow overhangs its edges in a lip, with a blue shadow under it on the water.
void OpenStream(Image& bg) {
  for (int y = int(kStreamTop); y < H; ++y) {
    const float c = StreamCentre(float(y)), hw = StreamHalfWidth(float(y));
    const float d = (y - kStreamTop) / (H - kStreamTop);
    for (int x = std::max(0, int(c - hw - 30)); x < std::min(W, int(c + hw + 30)); ++x) {
      const float edge = hw - std::fabs(x + 0.5f - c) + (0.5f + 3 * d) * Fbm(x * 0.06f, y * 0.06f, 709, 3);
      const float lipW = 1 + 9 * d;
      const float lip = Clamp01(edge + lipW) - Clamp01(edge);
      if (lip > 0) {
        // The bank's rounded lip: white on top, blue where it turns down to the water.
        const float q = Clamp01(-edge / lipW);
        bg.Over(x, y, Mix(Hex(0x7f93ba), Hex(0xf4f2f0), q), lip);
      }
      const float open = Clamp01(edge + 0.5f);
      if (open <= 0) continue;
      const float shade = SmoothStep(2 + 4 * d, 0, edge);  // the bank's shadow on the water
      bg.At(x, y) = Mix(bg.At(x, y), Hex(0x1c2838), open);
      bg.A(x, y) = Lerp(bg.A(x, y), 0.08f + 0.55f * shade, open);
    }
  }
}

// Stones in the stream and at its edges, each under a cap of snow.
void PaintSnowStones(Image& bg, Rng& rng) {
  for (int i = 0; i < 26; ++i) {
    const float y = kStreamTop + 20 + (H - kStreamTop - 10) * std::sqrt(rng.Uniform());
    const float hw = StreamHalfWidth(y);
    const float x = StreamCentre(y) + rng.Range(-1.2f, 1.2f) * hw;
    const float r = (0.5f + 0.035f * (y - kStreamTop)) * rng.Range(0.35f, 1.0f);
    const float l = rng.Range(0.2f, 0.6f);
    PaintStone(bg, x, y, r, rng.Range(-0.3f, 0.3f), Mix(Hex(0x1e222c), Hex(0x5e6270), l), Hex(0xc8d2e8), 0.3f, 0.35f);
    FillEllipse(bg, x - r * 0.2f, y - r * 0.6f, r * 1.1f, r * 0.4f, rng.Range(-0.2f, 0.2f),
                Mix(Hex(0xb8c6e2), Hex(0xfbfaf8), rng.Range(0.5f, 1.0f)), 0.95f, 1.0f);
  }
}

}  // namespace

Scene WinterScene(const World& world) {
  Scene s;
  s.ambient = 2;
  Image bg(W, H, Hex(0xf0e2d6), 0);
  const Rgb haze = Hex(0xd8dbe6);
  // Far peaks deep in snow, the low sun warm on their right-hand faces.
  const std::vector<Summit> summits = {{90, 190, 0.6f, 0.8f}, {270, 150, 0.9f, 0.75f}, {520, 138, 0.8f, 1.0f}, {700, 176, 0.9f, 0.6f}};
  auto top = MassifProfile(summits, 262, 0.8f, 711);
  Crags peaks{Hex(0xb8b0b8), Hex(0x4e5878), Hex(0xf4d2b8), Hex(0xfff0e0), Hex(0x96a4c8)};
  peaks.sunX = 0.9f;
  peaks.snow = 1.0f;
  peaks.snowLine = 260;
  peaks.cover = 0.45f;
  peaks.bedding = 14;
  peaks.tilt = 0.1f;
  peaks.haze = haze;
  peaks.hazeAmt = 0.2f;
  peaks.fogDepth = 110;
  peaks.fogAmt = 0.45f;
  peaks.seed = 713;
  peaks.bottom = 340;
  PaintCrags(bg, peaks, top);
  // The valley's sides: white slopes with snowy spruce woods, the left one in shade.
  auto leftHill = GroundLine(226, 340, 12, 0.006f, 715);
  for (int x = 0; x < W; ++x) leftHill[size_t(x)] += std::max(0.0f, x - 330.0f) * 1.2f;
  Range leftR{0, 30, 0.01f, 717, Hex(0xdfe4ee), Hex(0x8e9cbc), Hex(0xc4cce0), 0, 0.9f, haze, 0.12f, 90, 0.25f, 0.4f, 0};
  PaintRange(bg, leftR, leftHill);
  PaintForest(bg, leftHill, 4, 110, 5, 15, 0.65f, Hex(0x18242c), Hex(0xb8c4d8), haze, 0.35f, 0.1f, 719, 0, 420,
              {0.4f, 0.5f, Hex(0xd4dbe8)});
  auto rightHill = GroundLine(350, 240, 10, 0.007f, 721);
  for (int x = 0; x < W; ++x) rightHill[size_t(x)] += std::max(0.0f, 440.0f - x) * 0.9f;
  Range rightR{0, 30, 0.01f, 723, Hex(0xfff6ee), Hex(0xa6b0cc), Hex(0xe8e6ee), 0, 0.9f, haze, 0.1f, 90, 0.2f, 0.4f, 0};
  PaintRange(bg, rightR, rightHill);
  PaintForest(bg, rightHill, 2, 100, 6, 16, 0.55f, Hex(0x1a262e), Hex(0xe8e0dc), haze, 0.3f, 0.08f, 725, 420, 800,
              {0.4f, 0.5f, Hex(0xf0ece8)});
  // The valley floor under snow, the stream winding through it.
  auto floorTop = GroundLine(334, 332, 2, 0.01f, 727);
  PaintSnowFloor(bg, floorTop, haze);
  PaintForest(bg, std::vector<float>(W, 333.0f), 0, 5, 5, 9, 0.9f, Hex(0x18242c), Hex(0xa8b6cc), haze, 0.5f, 0.45f,
              729, 300, 470);
  OpenStream(bg);
  Rng rng(731);
  PaintSnowStones(bg, rng);
  // Dry stalks of last summer's grass stand out of the snow near the viewer.
  std::vector<float> stalkTop(W, 420.0f);
  for (int x = 0; x < W; ++x) {
    const float c = StreamCentre(500);
    if (std::fabs(x - c) < 90) stalkTop[size_t(x)] = 2000;
  }
  PaintGrass(bg, stalkTop, 430, Hex(0x5a4a32), Hex(0xc8ab78), 733, 0.12f);
  Placed rock{"snowrock", 200, -262, 380, -160, -3, 0, 0, false, true};
  SinkIntoGround(bg, world, rock, 9, Hex(0xb8c4dc), Hex(0xfbf8f4), 735);

  s.background = std::move(bg);
  s.objects = {
      {"sky_winter", -400, 40, 400, 300, 0, 0, 0, false, true},
      {"winterwater", -300, -300, 200, 300 - kStreamTop + 2, 0, 2, 24, false, true},
      rock,
      {"snowspruce", -395, -250, -250, 60, 0, 0, 0, false, false},
      {"snowspruce", -300, -190, -210, 10, 0, 0, 0, true, false},
      {"snowspruce", 280, -120, 330, -10, 0, 0, 0, false, false},
      {"leaves1_snow", 60, 120, 430, 310, 18, 30, 0, true, false},
  };
  return s;
}

}  // namespace qhc
