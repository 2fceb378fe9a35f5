// Scene 7: a mountain lake by moonlight. A full moon stands over dark ridges whose snow
// catches its light; the still lake mirrors them and lays a broken path of silver towards
// the shore, where pines and stones stand black against the water; the night is silent.
#include <algorithm>
#include <cmath>

#include "tools/content/landscape.h"

namespace qhc {

namespace {

constexpr float kMoonX = 560, kMoonY = 92, kMoonR = 19;
constexpr float kShore = 330;

// The moon and its halo: an opaque disc with faint markings, and round it a glow that lets
// the sky's layer show through more and more.
void PaintMoon(Image& bg) {
  for (int y = int(kMoonY - 90); y < int(kMoonY + 90); ++y) {
    for (int x = int(kMoonX - 90); x < int(kMoonX + 90); ++x) {
      const float r = std::hypot(x + 0.5f - kMoonX, y + 0.5f - kMoonY);
      if (r < kMoonR + 1) {
        const float maria = SmoothStep(0.1f, 0.5f, Fbm(x * 0.12f, y * 0.12f, 801, 3));
        const float limb = 1 - 0.15f * SmoothStep(0.5f, 1.0f, r / kMoonR);
        bg.Over(x, y, Mix(Hex(0xfbf6e4), Hex(0xc9c6bc), maria * 0.6f) * limb, Clamp01(kMoonR - r + 0.5f));
      } else {
        const float glow = 0.5f * std::exp(-(r - kMoonR) / 26.0f);
        if (glow > 0.004f) bg.Over(x, y, Hex(0xb8c4de), glow);
      }
    }
  }
}

// The moon's path on the water: short dashes of silver on the ripples, widening and
// breaking up towards the viewer; they hide the layer behind, as moonlight on water does.
void PaintMoonPath(Image& bg, float toRow) {
  Rng rng(803);
  for (int i = 0; i < 2400; ++i) {
    const float v = rng.Uniform();
    const float y = kShore + 2 + v * v * (toRow - kShore - 2);
    const float d = (y - kShore) / (toRow - kShore);
    const float spread = 8 + 120 * d;
    const float x = kMoonX + rng.Gauss() * spread * 0.5f;
    const float len = (1.5f + 14 * d) * rng.Range(0.4f, 1.2f);
    const float bright = std::exp(-std::pow((x - kMoonX) / spread, 2.0f)) * rng.Range(0.3f, 1.0f);
    TaperStroke(bg, x - len, y, x + len, y, 0.6f + 1.6f * d, 0.4f, Mix(Hex(0x8a9ac0), Hex(0xf2f0e6), bright),
                0.8f * bright);
  }
}

}  // namespace

Scene MoonlakeScene(const World& world) {
  Scene s;
  s.ambient = 0;
  Image bg(W, H, Hex(0x24365c), 0);
  const Rgb haze = Hex(0x2c3c5e);
  PaintMoon(bg);
  // The ridges: dark rock, snow in their gullies lit by the moon from the right.
  const std::vector<Summit> summits = {{150, 176, 0.8f, 0.7f}, {350, 150, 0.9f, 1.0f}, {470, 196, 0.7f, 0.8f}, {690, 160, 0.8f, 0.9f}};
  auto top = MassifProfile(summits, 268, 1.0f, 805);
  Crags ridges{Hex(0x1c2236), Hex(0x070a14), Hex(0x323c58), Hex(0x66769e), Hex(0x1c2640)};
  ridges.sunX = 0.5f;
  ridges.snow = 0.7f;
  ridges.snowLine = 120;
  ridges.bedding = 15;
  ridges.tilt = 0.12f;
  ridges.haze = haze;
  ridges.hazeAmt = 0.1f;
  ridges.fogDepth = 120;
  ridges.fogAmt = 0.5f;
  ridges.seed = 807;
  ridges.bottom = kShore + 2;
  PaintCrags(bg, ridges, top);
  // A wooded ridge at the lake's far end, black under the moon.
  Range wood{312, 20, 0.007f, 809, Hex(0x1e2a3a), Hex(0x0c121e), Hex(0x121a26), 2, 0, haze, 0.15f, 30, 0.3f, 0.4f, 0.05f};
  auto woodTop = RangeProfile(wood);
  PaintRange(bg, wood, woodTop);
  PaintForest(bg, woodTop, -2, 24, 6, 13, 0.8f, Hex(0x070b12), Hex(0x1c2638), haze, 0.2f, 0.05f, 811);
  auto shoreTop = GroundLine(kShore - 5, kShore - 4, 2, 0.02f, 813);
  for (int x = 0; x < W; ++x) {
    for (int y = int(shoreTop[size_t(x)]); y <= int(kShore); ++y)
      bg.Over(x, y, Mix(Hex(0x0a0e16), Hex(0x2a3448), Fbm(x * 0.08f, y * 0.4f, 815, 2) * 0.5f + 0.5f),
              Clamp01(y + 0.5f - shoreTop[size_t(x)]));
  }
  // The lake: the ridges and the moon mirrored, then the silver path over them.
  PaintLakeReflection(bg, {kShore + 1, 0.9f, Hex(0x0c1424), 817}, 500);
  PaintMoonPath(bg, 500);
  // The near shore: dark turf, stones with moonlit tops along the water.
  auto ground = GroundLine(470, 492, 10, 0.006f, 819, 640, 40, 170);
  Meadow turf{Hex(0x2a3446), Hex(0x0c1018), Hex(0x343a44), haze, 0.1f, 821};
  PaintMeadow(bg, ground, turf, 30);
  Rng rng(823);
  for (int i = 0; i < 200; ++i) {
    const float x = rng.Range(0, W);
    const float back = rng.Uniform() * rng.Uniform();
    const float y = ground[size_t(std::clamp(int(x), 0, W - 1))] - 1 + 18 * back;
    const float r = rng.Range(1.2f, 4.5f) * (0.8f + 0.6f * back);
    const float l = rng.Range(0.2f, 0.6f);
    PaintStone(bg, x, y, r, rng.Range(-0.25f, 0.25f), Mix(Hex(0x0e121c), Hex(0x3c4458), l), Hex(0xb8c4e0), 0.5f * l, 0.4f);
  }
  PaintGrass(bg, ground, 480, Hex(0x080c12), Hex(0x4a5670), 825, 0.6f);
  Placed rock{"moonrock", 150, -272, 360, -180, -4, 0, 0, true, true};
  SinkIntoGround(bg, world, rock, 9, Hex(0x080c12), Hex(0x3c4660), 827);

  s.background = std::move(bg);
  s.objects = {
      {"sky_night", -400, -40, 400, 300, 0, 0, 0, false, true},
      {"moonwater", -400, -200, 400, -30, 0, 4, 1, false, true},
      rock,
      {"moonpine", -430, -320, -160, 60, 0, 0, 0, false, false},
      {"moonrock", -150, -330, 20, -250, 5, 0, 0, false, false},
      {"leaves2_night", 100, 150, 440, 320, 16, 80, 0, true, false},
  };
  return s;
}

}  // namespace qhc
