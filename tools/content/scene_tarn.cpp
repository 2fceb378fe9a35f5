// Scene 3: a still mountain tarn at dawn. Crags catch the first pink light above a cirque
// still in blue shadow; mist lies on the water under them, a thin cascade falls from the
// right-hand crag into the tarn, and the near shore is dark heather and stones; birdsong.
#include <algorithm>
#include <cmath>

#include "tools/content/landscape.h"

namespace qhc {

namespace {

constexpr float kShoreRow = 336;  // the far shore: the tarn's mirror line
constexpr float kCascadeX = 612;  // pixel column of the cascade

// Alpenglow: the lit rock above the shadow line turns pink, what lies in shadow violet.
void Alpenglow(Image& bg, float shadowRow) {
  for (int y = 0; y < int(kShoreRow); ++y) {
    const float high = 1 - SmoothStep(shadowRow - 60, shadowRow + 30, float(y));
    for (int x = 0; x < W; ++x) {
      if (bg.A(x, y) <= 0) continue;
      Rgb& c = bg.At(x, y);
      const float bright = SmoothStep(0.35f, 0.85f, Luma(c));
      c = Mix(c, c * Rgb{1.18f, 0.86f, 0.84f} + Rgb{0.05f, 0.0f, 0.0f}, bright * high);
      c = Mix(c, c * Rgb{0.78f, 0.76f, 0.95f}, (1 - high) * 0.6f);
    }
  }
}

// The walls on either side of the cirque: dark, rough rock reaching down to the water.
std::vector<float> SideCrag(float atEdge, float atFoot, float footX, bool left, uint32_t seed) {
  std::vector<float> line(W, 2000.0f);
  for (int x = 0; x < W; ++x) {
    const float t = left ? Clamp01(float(x) / footX) : Clamp01((W - 1 - x) / float(W - 1 - footX));
    if (t >= 1) continue;
    line[size_t(x)] = Lerp(atEdge, atFoot, std::pow(t, 1.4f)) + 14 * Fbm1(x * 0.02f, seed, 4) +
                      5 * Ridged(x * 0.08f, 0.5f, seed + 1, 2) + 3 * Fbm1(x * 0.15f, seed + 2, 2);
  }
  return line;
}

// Mist in long, soft banks over the water and the crags' feet, lit pink from above.
void PaintMist(Image& bg) {
  for (int y = 270; y < 400; ++y) {
    for (int x = 0; x < W; ++x) {
      const float band = std::exp(-std::pow((y - 328) / 22.0f, 2.0f)) + 0.5f * std::exp(-std::pow((y - 360) / 9.0f, 2.0f));
      const float n = Fbm(x * 0.004f, y * 0.04f, 401, 4) * 0.5f + 0.5f;
      const float d = Clamp01(band * SmoothStep(0.3f, 0.75f, n) * 0.85f);
      if (d <= 0.01f) continue;
      const Rgb c = Mix(Hex(0xb7a9c4), Hex(0xf2dbd8), SmoothStep(340, 290, float(y)) * 0.8f + 0.2f * n);
      bg.Over(x, y, c, d);
    }
  }
}

// The cascade: a thin ragged slot down the right crag, open for the falling layer, with
// a patch of foam where it meets the tarn.
void OpenCascade(Image& bg, float top) {
  for (int y = int(top); y < int(kShoreRow) + 3; ++y) {
    const float t = (y - top) / (kShoreRow - top);
    const float hw = 3.5f + 3.5f * t;
    const float c = kCascadeX + 2 * std::sin(t * 4.0f);
    for (int x = int(c - hw - 4); x <= int(c + hw + 4); ++x) {
      const float edge = hw - std::fabs(x + 0.5f - c) + 1.5f * Fbm(x * 0.3f, y * 0.05f, 403, 2);
      const float open = Clamp01(edge * 0.6f + 0.5f) * SmoothStep(top, top + 4, float(y));
      bg.A(x, y) = std::min(bg.A(x, y), 1 - open);
      if (open > 0 && open < 1) bg.At(x, y) = Mix(bg.At(x, y), Hex(0xd8d4e0), 0.5f);
    }
  }
  for (int y = int(kShoreRow) - 4; y < int(kShoreRow) + 10; ++y) {
    for (int x = int(kCascadeX - 30); x < int(kCascadeX + 30); ++x) {
      const float e = std::pow((x - kCascadeX) / 26.0f, 2.0f) + std::pow((y - kShoreRow - 2) / 6.0f, 2.0f);
      const float f = Clamp01(1 - e) * (0.5f + 0.5f * (Fbm(x * 0.1f, y * 0.3f, 405, 2) * 0.5f + 0.5f));
      if (f <= 0) continue;
      bg.At(x, y) = Mix(bg.At(x, y), Hex(0xe9e2ea), f);
      bg.A(x, y) = Lerp(bg.A(x, y), 0.85f, f);
    }
  }
}

// The near shore: heather and grass in the blue shadow before sunrise, stones along the
// water's edge with their tops catching the sky's light.
void PaintNearShore(Image& bg, const std::vector<float>& ground, Rgb haze) {
  Meadow heath{Hex(0x5d6b50), Hex(0x27332d), Hex(0x6e5262), haze, 0.15f, 407};
  PaintMeadow(bg, ground, heath, 30);
  Rng rng(409);
  for (int i = 0; i < 1400; ++i) {  // heather in flower: low clumps of dusky purple
    const float x = rng.Range(0, W), y = rng.Range(440, H + 6);
    if (y < ground[size_t(std::clamp(int(x), 0, W - 1))] + 6) continue;
    if (Fbm(x * 0.01f, y * 0.03f, 411, 3) < 0.0f) continue;
    const float near = (y - 440) / 160;
    const float r = (1 + 3 * near) * rng.Range(0.6f, 1.2f);
    FillEllipse(bg, x, y, r * 1.6f, r, 0, Mix(Hex(0x3d2c3c), Hex(0x8a5f7e), rng.Uniform()), 0.8f, 0.8f);
  }
  for (int i = 0; i < 260; ++i) {
    const float x = rng.Range(0, W);
    const float back = rng.Uniform() * rng.Uniform();
    const float y = ground[size_t(std::clamp(int(x), 0, W - 1))] - 1 + 20 * back;
    const float r = rng.Range(1.2f, 5) * (0.8f + 0.6f * back) * (rng.Uniform() < 0.1f ? 1.7f : 1.0f);
    const float l = rng.Range(0.2f, 0.7f);
    PaintStone(bg, x, y, r, rng.Range(-0.25f, 0.25f), Mix(Hex(0x35333f), Hex(0x8c8494), l), Hex(0xe6c7c4), 0.45f * l, 0.4f);
  }
  PaintGrass(bg, ground, 470, Hex(0x1f2a25), Hex(0x8d9274), 413, 0.7f);
}

}  // namespace

Scene TarnScene(const World& world) {
  Scene s;
  s.ambient = 1;
  Image bg(W, H, Hex(0xf0c3a4), 0);
  const Rgb haze = Hex(0xa697b4);
  // The crags at the head of the cirque: summits standing in front of and beside each
  // other, the sun low on the left catching their left faces, snow in the gullies.
  const std::vector<Summit> summits = {
      {300, 172, 0.85f, 0.7f}, {425, 128, 1.05f, 0.95f}, {505, 168, 0.9f, 1.3f}, {575, 196, 0.8f, 0.7f},
      {190, 214, 0.6f, 0.8f}};
  auto cragTop = MassifProfile(summits, 262, 1.0f, 415);
  Crags crags{Hex(0xb49a9e), Hex(0x3a3858), Hex(0xf2bfa0), Hex(0xfbe4da), Hex(0x8e90b8)};
  crags.sunX = -0.9f;
  crags.snow = 1.0f;
  crags.snowLine = 150;
  crags.cover = 0.2f;
  crags.bedding = 16;
  crags.tilt = 0.18f;
  crags.haze = haze;
  crags.hazeAmt = 0.06f;
  crags.fogDepth = 120;
  crags.fogAmt = 0.5f;
  crags.seed = 441;
  crags.bottom = kShoreRow + 2;
  PaintCrags(bg, crags, cragTop);
  Alpenglow(bg, 250);
  // The sides of the cirque, in shadow.
  const Rgb sideHaze = Hex(0x7d7596);
  auto leftSide = SideCrag(170, kShoreRow + 4, 330, true, 417);
  Crags side{Hex(0x4e4a66), Hex(0x1a1a2c), Hex(0x7a6676), Hex(0xa9a4c4), Hex(0x5a5a80)};
  side.sunX = -0.7f;
  side.snow = 0.3f;
  side.snowLine = 90;
  side.bedding = 13;
  side.tilt = -0.25f;
  side.haze = sideHaze;
  side.hazeAmt = 0.05f;
  side.fogDepth = 110;
  side.fogAmt = 0.25f;
  side.seed = 419;
  side.bottom = kShoreRow + 6;
  PaintCrags(bg, side, leftSide);
  auto rightSide = SideCrag(140, kShoreRow + 4, 470, false, 421);
  // The cascade comes from a hanging valley: a notch in the wall, a snowfield behind it.
  CutNotch(rightSide, kCascadeX, 30, 34);
  const float cascadeTop = rightSide[size_t(kCascadeX)] + 2;
  PaintSnowfield(bg, kCascadeX, cascadeTop, 30, Hex(0xd8c4d2), Hex(0x8486ac), Hex(0x3c3850), 437);
  side.tilt = 0.25f;
  side.seed = 423;
  PaintCrags(bg, side, rightSide);
  // The far shore: a dark line of scree and turf at the water.
  auto shoreTop = GroundLine(kShoreRow - 5, kShoreRow - 4, 2, 0.03f, 425);
  for (int x = 0; x < W; ++x) {
    for (int y = int(shoreTop[size_t(x)]); y <= int(kShoreRow); ++y)
      bg.Over(x, y, Mix(Hex(0x2c3035), Hex(0x5a5a66), Fbm(x * 0.08f, y * 0.4f, 427, 2) * 0.5f + 0.5f),
              Clamp01(y + 0.5f - shoreTop[size_t(x)]));
  }
  // The still water mirrors the crags almost unbroken; the sky's layer shows in it.
  PaintLakeReflection(bg, {kShoreRow + 1, 0.92f, Hex(0x4a4068), 429}, 490);
  OpenCascade(bg, cascadeTop);
  PaintMist(bg);
  auto ground = GroundLine(462, 478, 12, 0.007f, 431, 130, 22, 160);
  PaintNearShore(bg, ground, haze);
  // A boulder behind the picture sits in the heather.
  Placed boulder{"dawnrock", -350, -268, -175, -180, 3, 0, 0, false, true};
  SinkIntoGround(bg, world, boulder, 8, Hex(0x1f2a25), Hex(0x7d846a), 433);

  s.background = std::move(bg);
  const float cascadeY = 300 - cascadeTop;
  s.objects = {
      {"sky_dawn", -400, -40, 400, 300, 0, 0, 0, false, true},
      {"tarnwater", -400, -200, 400, -34, 0, 3, 1, false, true},
      {"waterfall", kCascadeX - 412, -42, kCascadeX - 388, cascadeY + 2, 0, 0, 35, false, true},
      boulder,
      {"spray", kCascadeX - 425, -46, kCascadeX - 375, -30, 0, 0, 0, false, false},
      {"dawnrock", 170, -335, 440, -196, -6, 0, 0, false, false},
      {"darkspruce", -440, -330, -290, 120, 0, 0, 0, true, false},
      {"leaves2", 110, 140, 440, 320, 16, 90, 0, true, false},
  };
  return s;
}

}  // namespace qhc
