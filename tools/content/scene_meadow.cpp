// Scene 5: an alpine meadow in flower at noon. Snowy crags stand high over a green
// hanging valley; far off, a long thin fall drops from a notch below a snowfield; in the
// middle distance a small pond mirrors the sky, and the near meadow is thick with flowers;
// birdsong.
#include <algorithm>
#include <cmath>

#include "tools/content/landscape.h"

namespace qhc {

namespace {

constexpr float kFallX = 548;       // pixel column of the distant fall
constexpr float kFallFoot = 318;    // where it disappears into the trees
constexpr float kPondRow = 372;     // the pond's far shore, its mirror line

// The fall's ribbon: a narrow slot down the cliff band, swaying a little where it strikes
// ledges, open for the falling layer.
void OpenFall(Image& bg, float lip) {
  for (int y = int(lip); y < int(kFallFoot) + 2; ++y) {
    const float t = (y - lip) / (kFallFoot - lip);
    const float hw = 2.6f + 3.0f * t;
    const float c = kFallX + 3 * std::sin(t * 5.0f) * t;
    for (int x = int(c - hw - 3); x <= int(c + hw + 3); ++x) {
      const float edge = hw - std::fabs(x + 0.5f - c) + 0.8f * Fbm(x * 0.4f, y * 0.06f, 603, 2);
      const float open = Clamp01(edge * 0.7f + 0.5f) * SmoothStep(lip, lip + 3, float(y));
      bg.A(x, y) = std::min(bg.A(x, y), 1 - open);
    }
  }
}

// The pond: a mirror of what stands above it. Along the far bank it shows the bank's own
// dark turf and the forest, deeper in shade; further out, as the eye looks down more
// steeply, the cliffs, the snowy crags and at last the deep blue of the sky overhead (the
// mirror is squeezed: the pond is small, the view it gives is not). Ripples break it into
// streaks through which the moving water shows; its near edge is a soft line of turf.
void PaintPond(Image& bg) {
  const Image src = bg;
  for (int y = int(kPondRow) - 2; y < int(kPondRow) + 60; ++y) {
    for (int x = 0; x < W; ++x) {
      const float ex = (x - 300) / 175.0f, ey = (y - kPondRow - 2) / 30.0f;
      const float wob = 0.12f * Fbm(x * 0.02f, y * 0.05f, 607, 3);
      const float inside = SmoothStep(0.93f, 0.88f, std::sqrt(ex * ex + std::max(0.0f, ey) * ey) + wob) * (y >= kPondRow);
      if (inside <= 0) continue;
      const size_t i = size_t(y) * W + size_t(x);
      const float d = y - kPondRow, u = Clamp01(d / 30);
      const float srcRow = kPondRow - 1 - d - 470 * std::pow(std::max(0.0f, u - 0.12f), 1.5f) +
                           Fbm(x * 0.02f, y * 0.3f, 605, 2) * (1 + 6 * u);
      const float sx = std::clamp(x + Fbm(x * 0.01f, y * 0.25f, 606, 3) * (1.5f + 5 * u), 0.0f, W - 1.0f);
      const int sy = std::clamp(int(srcRow), 0, H - 1);
      // Where the picture is open the sky shows: deep blue high up, paler down to the crags.
      const Rgb sky = Mix(Hex(0x2c5ea8), Hex(0x9dbde4), SmoothStep(0, 300, float(sy)));
      const float sa = src.A(int(sx), sy);
      Rgb c = Mix(sky, src.At(int(sx), sy), sa);
      c = Mix(c * 0.85f, Hex(0x23508a), 0.3f);                           // water darkens what it mirrors
      c = c * (0.62f + 0.38f * SmoothStep(0.0f, 0.35f, u));              // the far bank's shade
      const float streak = Fbm(x * 0.004f, y * 0.22f, 608, 4) * 0.5f + 0.5f;
      const float breakUp = SmoothStep(0.3f, 0.8f, streak);
      // A dark margin of wet turf and rushes round the water.
      const float rim = SmoothStep(0.85f, 1.0f, std::sqrt(ex * ex + std::max(0.0f, ey) * ey) + wob);
      bg.c[i] = Mix(Mix(bg.c[i], c, inside), bg.c[i] * Rgb{0.55f, 0.65f, 0.5f}, rim);
      bg.a[i] = Lerp(bg.a[i], 0.92f - 0.6f * breakUp * SmoothStep(0.1f, 0.6f, u), inside * (1 - rim));
    }
  }
}

}  // namespace

Scene MeadowScene(const World& world) {
  Scene s;
  s.ambient = 1;
  Image bg(W, H, Hex(0xbfd6ee), 0);
  const Rgb haze = Hex(0xb3c8e2);
  // The crags, high and snowy in the noon sun from a little left of overhead.
  const std::vector<Summit> summits = {
      {120, 150, 0.7f, 0.9f}, {330, 96, 1.0f, 0.8f}, {470, 140, 0.9f, 1.1f}, {650, 118, 0.85f, 0.9f}, {780, 170, 0.6f, 0.7f}};
  auto top = MassifProfile(summits, 250, 1.0f, 609);
  Crags crags{Hex(0xa29c9c), Hex(0x48506a), Hex(0xe4d8c4), Hex(0xffffff), Hex(0x9fb0d2)};
  crags.sunX = -0.35f;
  crags.snow = 0.7f;
  crags.snowLine = 150;
  crags.bedding = 20;
  crags.tilt = -0.1f;
  crags.haze = haze;
  crags.hazeAmt = 0.22f;
  crags.fogDepth = 160;
  crags.fogAmt = 0.35f;
  crags.seed = 611;
  crags.bottom = 330;
  PaintCrags(bg, crags, top);
  // A band of cliff under the crags' feet, with a notch where the hanging valley spills.
  // A lower spur in front of the crags' right half, the hanging valley between its two tops.
  auto band = MassifProfile({{430, 236, 0.55f, 0.45f}, {665, 226, 0.4f, 0.6f}}, 340, 0.7f, 613);
  CutNotch(band, kFallX, 14, 24);
  const float lip = band[size_t(kFallX)] + 1;
  PaintSnowfield(bg, kFallX, lip, 24, Hex(0xffffff), Hex(0xa9b9d9), Hex(0x5b6378), 615);
  Crags cliff{Hex(0x8c8a82), Hex(0x3a4254), Hex(0xcfc4ae), Hex(0xf4f6fa), Hex(0x9aaac8)};
  cliff.sunX = -0.4f;
  cliff.snow = 0.15f;
  cliff.snowLine = 30;
  cliff.bedding = 0;
  cliff.tilt = 0.05f;
  cliff.haze = haze;
  cliff.hazeAmt = 0.14f;
  cliff.fogDepth = 90;
  cliff.fogAmt = 0.3f;
  cliff.seed = 617;
  cliff.bottom = kFallFoot + 20;
  PaintCrags(bg, cliff, band);
  OpenFall(bg, lip);
  // Green slopes of the valley below the cliffs, with groves of spruce and open pasture.
  Range slopes{330, 24, 0.006f, 619, Hex(0x7fa24e), Hex(0x3f6a3c), Hex(0x5f8a40), 2, 0, haze, 0.18f, 60, 0.2f, 0.5f, 0.1f};
  auto slopeTop = RangeProfile(slopes);
  for (int x = 0; x < W; ++x) slopeTop[size_t(x)] = std::max(slopeTop[size_t(x)], kFallFoot - 4 + 6 * Fbm1(x * 0.03f, 621, 2));
  PaintRange(bg, slopes, slopeTop);
  PaintForest(bg, slopeTop, -2, 40, 6, 13, 0.7f, Hex(0x1a3324), Hex(0x416a44), haze, 0.35f, 0.15f, 623, 0, W,
              {0.8f, 0.7f, Hex(0x86a84e)});
  // The meadow: the pond in its middle distance, flowers thickening towards the viewer.
  auto ground = GroundLine(362, 356, 6, 0.008f, 625);
  Meadow meadow{Hex(0xa8c056), Hex(0x4f7a34), Hex(0xc6c070), haze, 0.15f, 627};
  PaintMeadow(bg, ground, meadow, 60);
  PaintFlowers(bg, ground, 376, 600, 629, 5.0f);
  PaintPond(bg);
  Placed stone{"boulder", 120, -232, 320, -140, -4, 0, 0, true, true};
  Shadow(bg, 620, 300 + 230, 105, 10, 0.45f);
  SinkIntoGround(bg, world, stone, 10, Hex(0x36502a), Hex(0xb0c466), 631);
  PaintGrass(bg, ground, 420, Hex(0x36502a), Hex(0xbfd070), 633, 0.8f, 0.6f);
  PaintFlowers(bg, ground, 440, 600, 635, 4.0f);

  s.background = std::move(bg);
  const float lipY = 300 - lip, footY = 300 - kFallFoot;
  s.objects = {
      {"sky_alpine", -400, 20, 400, 300, 0, 0, 0, false, true},
      {"alpinewater", -400, -120, 400, -66, 0, 6, 1, false, true},
      {"waterfall", kFallX - 410, footY - 2, kFallX - 390, lipY + 2, 0, 0, 60, false, true},
      stone,
      {"spray", kFallX - 414, footY - 8, kFallX - 386, footY + 8, 0, 0, 0, false, false},
      {"spruce", -330, -150, -240, 40, 0, 0, 0, false, false},
      {"spruce", -280, -120, -215, 20, 0, 0, 0, true, false},
      {"leaves_alpine", -420, 150, 20, 360, -20, 0, 0, false, false},
      {"leaves1", 90, 130, 430, 300, 16, 40, 0, true, false},
  };
  return s;
}

}  // namespace qhc
