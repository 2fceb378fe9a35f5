// Scene 4: an autumn birch wood on a hillside. Low afternoon sun slants in gold through
// white trunks and yellow crowns; a peaty stream comes down the slope and drops over a
// mossy ledge in a small cascade; the sound of the brook.
#include <algorithm>
#include <cmath>

#include "tools/content/landscape.h"

namespace qhc {

namespace {

// The stream's course down the slope, in pixel rows from the top: where it appears
// between the trees, and the ledge it falls over.
constexpr float kStreamTop = 268, kLedgeRow = 402, kPoolRow = 446;

float StreamCentre(float row) {
  // A gentle S in perspective, running almost straight where it falls over the ledge.
  const float t = (row - kStreamTop) / (H - kStreamTop);
  return 440 - 80 * t + 40 * std::sin(6.28f * t + 2.085f);
}
float StreamHalfWidth(float row) {
  const float t = Clamp01((row - kStreamTop) / (H - kStreamTop));
  return 2 + 60 * t * t + 14 * t;
}

// One birch: a white trunk from its foot up into its crown (from `top`), lit from the
// left, with dark lenticels and a black foot; `haze` fades the distant ones.
void PaintBirch(Image& bg, float x, float top, float foot, float width, Rgb haze, float hazeAmt, uint32_t seed) {
  for (int y = std::max(0, int(top)); y < int(foot) + 2 && y < H; ++y) {
    const float v = y / foot;
    const float lean = 0.06f * Fbm1(0.5f, seed + 3, 1);
    const float mid = x + width * 0.4f * Fbm1(y * 0.01f, seed, 3) + (foot - y) * lean;
    const float half = width * 0.5f * (1 + 0.25f * SmoothStep(0.9f, 1.0f, v));
    for (int px = int(mid - half - 1); px <= int(mid + half + 1); ++px) {
      if (px < 0 || px >= W) continue;
      const float s = (px + 0.5f - mid) / half;
      const float cov = Clamp01((1 - std::fabs(s)) * half + 0.5f) * Clamp01(foot - y + 0.5f) * SmoothStep(top, top + 14, float(y));
      if (cov <= 0) continue;
      const float light = Clamp01(0.85f - 0.6f * s - 0.3f * s * s * s * s);
      Rgb c = Mix(Hex(0x8a8578), Hex(0xf3efe2), light);
      const float dash = Fbm(px * 0.6f / std::max(width * 0.1f, 0.3f), y * 0.9f, seed + 1, 2);
      c = Mix(c, Hex(0x2a2722), SmoothStep(0.4f, 0.62f, dash) * 0.8f);
      c = Mix(c, Hex(0x26231f), SmoothStep(0.85f, 1.0f, v + 0.05f * Fbm1(px * 0.2f, seed + 2, 2)) * 0.85f);
      bg.Over(px, y, Mix(c, haze, hazeAmt), cov);
    }
  }
}

// A crown of yellow leaves: a cluster of small leaf dabs, gold where the sun reaches its
// upper left, brown-olive inside and below, an odd orange leaf. Crowns hang below the top
// of the picture, where the sky stays open.
void PaintCrown(Image& bg, float cx, float cy, float R, float leaf, Rgb haze, float hazeAmt, Rng& rng, uint32_t seed) {
  const int dabs = int(R * R * 1.1f / (leaf * leaf)) + 10;
  for (int i = 0; i < dabs; ++i) {
    const float ox = rng.Range(-1, 1), oy = rng.Range(-1, 1);
    const float rr = ox * ox + oy * oy;
    if (rr > 1 || Fbm(cx + ox * 3, cy + oy * 3, seed + 1, 2) > 0.45f - 0.3f * rr) continue;
    const float sun = Clamp01(0.55f - 0.35f * ox - 0.45f * oy + rng.Range(-0.3f, 0.3f));
    Rgb c = sun < 0.5f ? Mix(Hex(0x5a4a1c), Hex(0xb98a24), sun * 2) : Mix(Hex(0xb98a24), Hex(0xfbe07a), (sun - 0.5f) * 2);
    if (rng.Uniform() < 0.07f) c = Mix(c, Hex(0xc65a1c), 0.6f);
    const float r = leaf * rng.Range(0.6f, 1.2f);
    const float x = cx + ox * R * 1.3f, y = cy + oy * R;
    if (y - 2 * r < 16 + 10 * Fbm1(x * 0.02f, seed + 3, 2)) continue;
    FillEllipse(bg, x, y, r * 1.4f, r * 0.8f, rng.Range(-1.2f, 1.2f), Mix(c, haze, hazeAmt), 0.95f, 0.6f);
  }
}

// Crowns scattered over a band of rows; the gaps between them show the sky.
void PaintCanopy(Image& bg, float fromRow, float toRow, int crowns, float crownR, float leaf, Rgb haze, float hazeAmt,
                 uint32_t seed) {
  Rng rng(seed);
  for (int k = 0; k < crowns; ++k) {
    const float cx = rng.Range(-20, W + 20), cy = rng.Range(fromRow, toRow);
    PaintCrown(bg, cx, cy, crownR * rng.Range(0.6f, 1.3f), leaf, haze, hazeAmt, rng, seed);
  }
}

// The wood's floor: golden grass, rust bracken and fallen leaves, mossy hollows.
void PaintFloor(Image& bg, const std::vector<float>& ground, Rgb haze) {
  Meadow floor{Hex(0xc49a4c), Hex(0x5e4426), Hex(0xb0592a), haze, 0.3f, 501};
  PaintMeadow(bg, ground, floor, 60);
  Rng rng(503);
  for (int i = 0; i < 5000; ++i) {  // fallen leaves, larger towards the viewer
    const float x = rng.Range(0, W), y = rng.Range(200, H + 4);
    if (y < ground[size_t(std::clamp(int(x), 0, W - 1))] + 3) continue;
    const float near = Clamp01((y - 200) / 400);
    const float r = (0.6f + 2.8f * near) * rng.Range(0.6f, 1.2f);
    const Rgb c = Mix(Mix(Hex(0x8a4a1c), Hex(0xe0a63a), rng.Uniform()), Hex(0x6b6a2c), 0.3f * rng.Uniform());
    FillEllipse(bg, x, y, r * 1.5f, r * 0.8f, rng.Range(-1.5f, 1.5f), Mix(c, haze, 0.3f * (1 - near)), 0.85f, 0.7f);
  }
  for (int y = 200; y < H; ++y) {  // moss in the hollows
    for (int x = 0; x < W; ++x) {
      if (bg.A(x, y) < 0.99f || y < ground[size_t(x)] + 2) continue;
      const float persp = 0.3f + float(y) / H;
      const float m = SmoothStep(0.05f, 0.35f, Fbm(x * 0.01f / persp, y * 0.025f / persp, 505, 3));
      const float shade = SmoothStep(-0.1f, 0.3f, Fbm(x * 0.005f / persp, y * 0.012f / persp, 506, 3));
      Rgb& c = bg.At(x, y);
      c = Mix(c, Hex(0x5b6b2a) * (0.8f + 0.3f * Luma(c)), m * 0.65f);
      c = c * (1 - 0.35f * shade);
    }
  }
  PaintGrass(bg, ground, 330, Hex(0x5a4020), Hex(0xe2c27a), 507, 0.45f);
}

// The stream: open for the water layer, with dark banks; a ledge of mossy rock across it,
// the slot of the cascade below the ledge, and a band of foam where the cascade lands.
void OpenStream(Image& bg) {
  for (int y = int(kStreamTop); y < H; ++y) {
    const float c = StreamCentre(float(y)), hw = StreamHalfWidth(float(y));
    const float d = (y - kStreamTop) / (H - kStreamTop);
    for (int x = std::max(0, int(c - hw - 30)); x < std::min(W, int(c + hw + 30)); ++x) {
      const float edge = hw - std::fabs(x + 0.5f - c) + (1.5f + 4 * d) * Fbm(x * 0.08f, y * 0.08f, 509, 3);
      const float bankW = 2 + 14 * d;
      const float bank = Clamp01(edge + bankW) - Clamp01(edge);
      if (bank > 0) {
        const float g = Fbm(x * 0.15f, y * 0.3f, 511, 2) * 0.5f + 0.5f;
        bg.Over(x, y, Mix(Mix(Hex(0x3a2a1a), Hex(0x6a5a3a), g), Hex(0x3c4a22), 0.4f * g), bank * 0.95f);
      }
      const float open = Clamp01(edge + 0.5f);
      if (open <= 0) continue;
      const bool cascade = y >= kLedgeRow - 6 && y < kPoolRow + 8;
      if (cascade) continue;  // painted below
      const float refl = 0.5f * SmoothStep(hw * 0.5f + 6, 0, edge) + 0.06f;
      bg.At(x, y) = Mix(bg.At(x, y), Hex(0x3a3322), open);
      bg.A(x, y) = Lerp(bg.A(x, y), refl, open);
    }
  }
  // The ledge, the slot and the foam.
  for (int y = int(kLedgeRow) - 6; y < int(kPoolRow) + 8; ++y) {
    const float c = StreamCentre(float(y)), hw = StreamHalfWidth(float(y)) + 8;
    for (int x = int(c - hw - 18); x <= int(c + hw + 18); ++x) {
      const float slot = hw - 10 - std::fabs(x + 0.5f - c) + 2 * Fbm(x * 0.2f, y * 0.05f, 513, 2);
      Rgb rock = Mix(Hex(0x2e2a22), Hex(0x6b6650), Fbm(x * 0.1f, y * 0.15f, 515, 3) * 0.5f + 0.5f);
      rock = Mix(rock, Hex(0x5f7a2c), SmoothStep(0.0f, 0.4f, Fbm(x * 0.05f, y * 0.1f, 517, 2)) * 0.7f);
      const float ledgeTop = kLedgeRow - 4 + 2 * Fbm1(x * 0.1f, 519, 2);
      if (y < ledgeTop) continue;
      // The outcrop narrows towards its top and its foot, with a broken outline.
      const float q = (y - (kLedgeRow + kPoolRow) * 0.5f) / ((kPoolRow - kLedgeRow) * 0.5f + 8);
      const float reach = hw + 18 - 12 * q * q + 5 * Fbm(x * 0.1f, y * 0.1f, 520, 2);
      if (std::fabs(x + 0.5f - c) > reach) continue;
      const float lit = 1 - SmoothStep(ledgeTop, ledgeTop + 5, float(y));
      bg.Over(x, y, Mix(rock, Hex(0xe0c27a), 0.4f * lit), Clamp01(y + 0.5f - ledgeTop));
      if (y < kLedgeRow + 3 || y >= kPoolRow) continue;
      const float open = Clamp01(slot * 0.5f + 0.5f) * SmoothStep(kLedgeRow + 3, kLedgeRow + 8, float(y));
      bg.A(x, y) = std::min(bg.A(x, y), 1 - open);
    }
  }
  for (int y = int(kPoolRow) - 6; y < int(kPoolRow) + 10; ++y) {
    const float c = StreamCentre(float(y)), hw = StreamHalfWidth(float(y)) + 4;
    for (int x = int(c - hw); x <= int(c + hw); ++x) {
      const float e = std::pow((x + 0.5f - c) / hw, 2.0f) + std::pow((y - kPoolRow - 1) / 6.0f, 2.0f);
      const float f = Clamp01((1 - e) * 2) * (0.6f + 0.4f * (Fbm(x * 0.12f, y * 0.3f, 521, 2) * 0.5f + 0.5f));
      if (f <= 0) continue;
      bg.At(x, y) = Mix(bg.At(x, y), Hex(0xf4ecd8), f);
      bg.A(x, y) = std::max(bg.A(x, y), f);
    }
  }
}

// Low sun from the upper left: slanting shafts of warm light through the wood, and a
// warmer cast over everything it reaches.
void PaintSunlight(Image& bg) {
  for (int y = 0; y < H; ++y) {
    for (int x = 0; x < W; ++x) {
      if (bg.A(x, y) <= 0) continue;
      const float along = x * 0.83f - y * 0.56f;
      const float shaft = SmoothStep(0.55f, 0.85f, Fbm1(along * 0.012f, 523, 3) * 0.5f + 0.5f) *
                          (0.6f + 0.4f * Fbm(x * 0.01f, y * 0.01f, 525, 2));
      Rgb& c = bg.At(x, y);
      c = c * Rgb{1.04f, 1.0f, 0.9f} + Rgb{0.22f, 0.15f, 0.04f} * shaft;
    }
  }
}

}  // namespace

Scene BirchwoodScene(const World& world) {
  Scene s;
  s.ambient = 2;
  Image bg(W, H, Hex(0xf1e4c2), 0);
  const Rgb haze = Hex(0xd9c79e);
  // The wood goes on up the slope into a golden haze: a veil of faint trunks and crowns.
  for (int y = 180; y < H; ++y) {
    for (int x = 0; x < W; ++x) {
      const float trunks = SmoothStep(0.55f, 0.8f, Fbm(x * 0.15f, y * 0.004f, 527, 2) * 0.5f + 0.5f);
      const Rgb c = Mix(Mix(haze, Hex(0xb7a77e), 0.35f * SmoothStep(180, 300, float(y))), Hex(0xece4cc), trunks * 0.6f);
      bg.Over(x, y, c, SmoothStep(220, 275, float(y)));
    }
  }
  // The hillside rises to the right; the wood stands on it in depth.
  auto ground = GroundLine(300, 236, 10, 0.006f, 529);
  PaintCanopy(bg, 30, 170, 28, 26, 2.2f, haze, 0.45f, 531);
  Rng rng(533);
  for (int i = 0; i < 26; ++i) {  // distant trunks, thin and hazy
    const float x = rng.Range(0, W);
    const float top = rng.Range(60, 150);
    PaintBirch(bg, x, top, ground[size_t(std::clamp(int(x), 0, W - 1))] + rng.Range(0, 6), rng.Range(1.5f, 3), haze, 0.5f,
               535 + uint32_t(i));
    PaintCrown(bg, x, top + 6, rng.Range(14, 24), 2.0f, haze, 0.45f, rng, 547);
  }
  PaintFloor(bg, ground, haze);
  PaintCanopy(bg, 20, 130, 14, 38, 3.0f, haze, 0.2f, 537);
  for (int i = 0; i < 10; ++i) {  // trunks in the middle distance
    const float x = rng.Range(0, W);
    const float foot = ground[size_t(std::clamp(int(x), 0, W - 1))] + rng.Range(20, 90);
    if (std::fabs(x - StreamCentre(foot)) < StreamHalfWidth(foot) + 12) continue;
    const float top = rng.Range(30, 90);
    PaintBirch(bg, x, top, foot, rng.Range(5, 10), haze, 0.15f, 539 + uint32_t(i));
    PaintCrown(bg, x, top + 10, rng.Range(28, 42), 3.0f, haze, 0.15f, rng, 549);
    Shadow(bg, x + 4, foot, 12, 2.5f, 0.35f);
  }
  OpenStream(bg);
  for (int i = 0; i < 6; ++i) {  // near trunks
    const float x = 40 + i * 130 + rng.Range(-40, 40);
    const float foot = rng.Range(470, 560);
    if (std::fabs(x - StreamCentre(foot)) < StreamHalfWidth(foot) + 30) continue;
    const float top = rng.Range(25, 60);
    PaintBirch(bg, x, top, foot, rng.Range(14, 22), haze, 0.0f, 541 + uint32_t(i));
    PaintCrown(bg, x, top + 12, rng.Range(40, 60), 4.0f, haze, 0.0f, rng, 551);
    Shadow(bg, x + 8, foot, 26, 4, 0.4f);
  }
  // Stones along the stream and in it, and rocks heaped round the outcrop's ends.
  for (int i = 0; i < 46; ++i) {
    const bool ledge = i < 16;
    const float y = ledge ? rng.Range(kLedgeRow - 2, kPoolRow + 6) : rng.Range(kStreamTop + 20, H + 4);
    const float hw = StreamHalfWidth(y);
    const float side = rng.Uniform() < 0.5f ? -1.0f : 1.0f;
    const float x = StreamCentre(y) + side * (ledge ? hw + rng.Range(6, 22) : hw * rng.Range(0.75f, 1.15f));
    const float r = ledge ? rng.Range(5, 10) : (1 + 0.035f * (y - kStreamTop)) * rng.Range(0.4f, 1.0f);
    const float l = rng.Range(0.25f, 0.75f);
    PaintStone(bg, x, y, r, rng.Range(-0.3f, 0.3f), Mix(Hex(0x2e2b24), Hex(0x8c846c), l), Mix(Hex(0x55642a), Hex(0xb8ae88), l),
               0.5f, 0.4f);
  }
  // Mossy rocks behind the picture sit in the stream's banks.
  Placed rock{"mossrock", -175, -250, -85, -170, 10, 0, 0, true, true};
  SinkIntoGround(bg, world, rock, 7, Hex(0x4a3a1c), Hex(0xcfa95a), 545);
  PaintSunlight(bg);

  s.background = std::move(bg);
  const float ledgeY = 300 - kLedgeRow, poolY = 300 - kPoolRow;
  const float cascadeX = StreamCentre(kPoolRow) - 400, cascadeW = StreamHalfWidth(kPoolRow) + 8;
  s.objects = {
      {"sky_autumn", -400, -10, 400, 300, 0, 0, 0, false, true},
      {"forestwater", -200, -300, 200, 300 - kStreamTop + 2, 0, 3, 26, false, true},
      {"waterfall_amber", cascadeX - cascadeW, poolY - 4, cascadeX + cascadeW, ledgeY - 2, 0, 0, 40, false, true},
      rock,
      {"spray", cascadeX - cascadeW * 0.7f, poolY - 10, cascadeX + cascadeW * 0.7f, poolY + 6, 0, 0, 0, false, false},
      {"birchtrunk", -400, -330, -330, 330, 0, 0, 0, false, false},
      {"birchtrunk", 312, -345, 384, 330, 1.5f, 0, 0, true, false},
      {"leaves_gold", -425, 110, -5, 320, -18, 0, 0, false, false},
      {"leaves1_gold", 60, 40, 430, 225, 20, 30, 0, true, false},
  };
  return s;
}

}  // namespace qhc
