// Scene 0: a highland lake under snowy peaks, its far shore mirrored in the water, a
// meadow with stones in front; birdsong.
#include <algorithm>
#include <cmath>

#include "tools/content/landscape.h"

namespace qhc {

Scene LakeScene(const World& world) {
  Scene s;
  s.ambient = 1;
  Image bg(W, H, Hex(0xc9dced), 0);
  const Rgb haze = Hex(0xb9cde0);
  // Far snowy peaks, a forested middle ridge, a near wooded hill.
  Range far{205, 100, 0.003f, 101, Hex(0xa9aab8), Hex(0x58648a), Hex(0x7d8fa6), 200, 0.6f, haze, 0.22f, 90, 0.55f, 1.3f};
  auto farTop = RangeProfile(far);
  PaintRange(bg, far, farTop);
  Range mid{265, 40, 0.005f, 103, Hex(0x7d8f80), Hex(0x4e6070), Hex(0x3a564c), 2, 0, haze, 0.3f, 40, 0.45f, 0.4f, 0.15f};
  auto midTop = RangeProfile(mid);
  PaintRange(bg, mid, midTop);
  PaintForest(bg, midTop, 2, 44, 6, 11, 0.8f, Hex(0x203a30), Hex(0x3f6050), haze, 0.45f, 0.3f, 105, 0, W,
              {0.7f, 0.5f, Hex(0x7c9658)});
  Range nearR{300, 22, 0.007f, 107, Hex(0x5d7a4a), Hex(0x2e4a3a), Hex(0x2b4634), 2, 0, haze, 0.12f, 30, 0.3f, 0.5f, 0.05f};
  auto nearTop = RangeProfile(nearR);
  PaintRange(bg, nearR, nearTop);
  PaintForest(bg, nearTop, -2, 26, 7, 14, 0.75f, Hex(0x17291f), Hex(0x3d5a3a), haze, 0.2f, 0.08f, 109, 0, W,
              {0.85f, 0.8f, Hex(0x86a055)});
  // The far shore: a thin strip of meadow and stones at the water line.
  const float shore = 318;
  auto shoreTop = GroundLine(shore - 6, shore - 4, 2.5f, 0.02f, 111);
  for (int x = 0; x < W; ++x) {
    for (int y = int(shoreTop[size_t(x)]); y < int(shore) + 1; ++y) {
      const float cov = Clamp01(y + 0.5f - shoreTop[size_t(x)]);
      const float n = Fbm(x * 0.05f, y * 0.3f, 113, 3) * 0.5f + 0.5f;
      bg.Over(x, y, Mix(Hex(0x4f6a3e), Hex(0x8c9468), n * 0.8f), cov);
    }
  }
  // Lake: the mirror of the hills, broken by ripples; the water layer shows through.
  PaintLakeReflection(bg, {shore + 1, 0.95f, Hex(0x3c5f74), 115}, 520);
  // Near shore: a meadow rising to the left, with stones, flowers and tall grass.
  auto ground = GroundLine(455, 505, 10, 0.006f, 117, 60, 80, 260);
  // A grassy point on the right, where the spruces and the pine stand.
  for (int x = 0; x < W; ++x) ground[size_t(x)] -= 46 * std::exp(-std::pow((x - 745) / 85.0f, 2.0f));
  Meadow meadow{Hex(0x9aae55), Hex(0x4b6a34), Hex(0xbfae6a), haze, 0.1f, 119};
  PaintMeadow(bg, ground, meadow, 40);
  // A strip of wet pebbles where the meadow meets the water.
  {
    Rng rng(121);
    for (int i = 0; i < 420; ++i) {
      const float x = rng.Range(0, W);
      if (Fbm(x * 0.02f, 1.5f, 127, 3) < -0.1f) continue;
      const float back = rng.Uniform() * rng.Uniform();
      const float y = ground[size_t(std::clamp(int(x), 0, W - 1))] - 2 + 16 * back;
      const float r = rng.Range(1, 4.5f) * (0.8f + 0.5f * back) * (rng.Uniform() < 0.08f ? 1.6f : 1.0f);
      const float l = rng.Range(0.3f, 0.75f);
      Shadow(bg, x + r * 0.3f, y + r * 0.5f, r * 1.6f, r * 0.4f, 0.35f);
      FillEllipse(bg, x, y, r * 1.5f, r, rng.Range(-0.2f, 0.2f), Mix(Hex(0x4e4a44), Hex(0xb3aa98), l), 1, 0.8f);
      FillEllipse(bg, x - r * 0.35f, y - r * 0.4f, r * 0.8f, r * 0.4f, 0, Hex(0xd4cdbd), 0.35f * l, 1);
    }
  }
  Stamp(bg, world.TextureOf("pine"), 690, ground[690] + 12, 150, 150, false, haze, 0.0f, 0.9f);
  Shadow(bg, 700, ground[700] + 14, 60, 6, 0.35f);
  PaintFlowers(bg, ground, 470, 600, 123, 1.0f);
  // The boulder and the stone behind the picture sit in the grass: cut out down to a line
  // of turf in front of their feet, then grass over them.
  Placed hidden{"boulder", -330, -236, -150, -146, 3, 0, 0, false, true};
  Placed stone{"stone", 40, -232, 150, -177, -6, 0, 0, true, true};
  Shadow(bg, 160, 300 + 234, 95, 10, 0.45f);
  Shadow(bg, 497, 300 + 229, 55, 6, 0.4f);
  SinkIntoGround(bg, world, hidden, 10, Hex(0x36502a), Hex(0xa9b862), 129);
  SinkIntoGround(bg, world, stone, 6, Hex(0x36502a), Hex(0xa9b862), 131);
  PaintGrass(bg, ground, 470, Hex(0x36502a), Hex(0xb8c46a), 125);

  s.background = std::move(bg);
  s.objects = {
      {"sky_lake", -400, 60, 400, 300, 0, 0, 0, false, true},
      {"lakewater", -400, -230, 400, -16, 0, 10, 3, false, true},
      hidden,
      {"spruce", 262, -170, 322, -50, 0, 0, 0, false, false},
      {"spruce", 300, -200, 380, -40, 0, 0, 0, true, false},
      stone,
      {"mossrock", 180, -300, 330, -170, 8, 0, 0, false, false},
      {"leaves", -420, 140, 40, 370, -24, 0, 0, false, false},
      {"leaves2", 150, 150, 440, 300, 18, 70, 0, true, false},
  };
  return s;
}

}  // namespace qhc
