// Scene 2: a waterfall falling into a pool at the head of a gorge of bedded rock; its roar.
// Painted in steps, back to front: the far range, the cliffs with their ledge bushes and
// the plateau forest, the opening of the fall, the pool with its rim of fallen blocks and
// its foam, then the near shore and the left bank.
#include <algorithm>
#include <cmath>

#include "tools/content/landscape.h"

namespace qhc {

namespace {

// The gorge's shape, which every painting step reads.
struct Gorge {
  Rgb haze;
  float fallX = 400;            // pixel column of the waterfall's middle
  std::vector<float> cliffTop;  // the rim of the walls, per column
  float lipRow = 190, poolRow = 445;
  // The pool's far rim (per column), its near shore, and where each row's water meets the
  // rock on the left and the right (-1 where the row holds no open water).
  float poolFar = 0;
  std::vector<float> rim, poolShore, leftEdge, rightEdge;
};

// The gorge head: high cliffs on both sides, lower at the back where the stream falls.
std::vector<float> CliffTopLine(float fallX) {
  std::vector<float> cliffTop(W);
  for (int x = 0; x < W; ++x) {
    const float side = SmoothStep(50, 330, std::fabs(x - fallX));
    float r = 182 - 95 * side + 14 * Fbm1(x * 0.012f, 303, 4) + 6 * Fbm1(x * 0.05f, 304, 3);
    r += 10 * std::exp(-std::pow((x - fallX) / 30.0f, 2.0f));  // the notch
    cliffTop[size_t(x)] = r;
  }
  return cliffTop;
}

// The rock: bedded strata, each layer a vertical face split by joints into blocks, with a
// ledge on its top where moss and shrubs hold. Light comes from the upper left, so the
// right wall (facing it) is warm and lit, the left wall cool and in shade; both darken
// down into the gorge and towards the pool, and the back wall is hazier.
struct Stratum {
  int layer;
  float pf, thick, ledge;  // pixels below the layer's top, its thickness, the ledge's depth
};
Stratum StratumAt(const Gorge& g, float x, float y) {
  const float fallX = g.fallX;
  const float T = 24;
  const float L = y + 0.06f * (x - fallX) + 14 * Fbm(x * 0.004f, y * 0.006f, 341, 3);
  // Layers of uneven thickness that pinch and swell along the wall.
  const float u = L / T + 0.6f * Fbm1(L * 0.03f, 340, 3) + 0.3f * Fbm(x * 0.011f, L * 0.02f, 342, 2);
  Stratum s;
  s.layer = int(std::floor(u));
  s.pf = (u - float(s.layer)) * T;
  s.thick = T;
  const uint32_t h = Hash(s.layer, 0, 343);
  const float width = 0.08f + 0.3f * float(h & 255) / 255.0f;
  s.ledge = T * width * Clamp01(0.35f + 1.3f * Fbm(x * 0.014f, s.layer * 0.71f, 344, 2));
  return s;
}

// The rock's colour at a point; sampled three times a pixel down the wall, so the sharp
// steps between strata stay smooth.
Rgb RockColour(const Gorge& g, float x, float y) {
  const float fallX = g.fallX;
  const std::vector<float>& cliffTop = g.cliffTop;
  const Rgb haze = g.haze;
  const float side = SmoothStep(50, 330, std::fabs(x - fallX));
  const bool rightSide = x > fallX;
  const float nearFall = std::exp(-std::pow((x - fallX) / 150.0f, 2.0f));
  const float d = y + 0.5f - cliffTop[size_t(x)];
  const Stratum st = StratumAt(g, x, y);
  const uint32_t lh = Hash(st.layer, 0, 343);
  // Joints: vertical cracks splitting the layer into blocks of its own width.
  const float cw = 22 + 50 * float((lh >> 16) & 255) / 255.0f;
  const float jx = x + 3.5f * Fbm(x * 0.05f, y * 0.09f, 345, 2) + st.layer * 37.3f;
  const float cell = std::floor(jx / cw);
  const float bu = jx / cw - cell;
  const uint32_t bh = Hash(int(cell), st.layer, 346);
  const float jointDist = std::min(bu, 1 - bu) * cw;
  const float crack = (1 - SmoothStep(0.3f, 1.6f, jointDist)) * SmoothStep(0.25f, 0.6f, float(bh & 255) / 255.0f);
  // Broad buttresses and gullies, then the blocks rounded towards the light.
  const float wx = x + 12 * Fbm(x * 0.02f, y * 0.02f, 306, 3);
  const float g0 = Ridged((wx - 1.5f) * 0.02f, y * 0.006f, 307, 4), g1 = Ridged((wx + 1.5f) * 0.02f, y * 0.006f, 307, 4);
  float light = 0.5f + (g0 - g1) * 2.2f + 0.35f * Fbm(x * 0.009f, y * 0.003f, 347, 3);
  light += (float((bh >> 8) & 255) / 255.0f - 0.5f) * 0.16f + (0.5f - bu) * 0.12f * SmoothStep(0.25f, 0.6f, float(bh & 255) / 255.0f);
  light -= 0.18f * st.pf / st.thick;  // each face darkens towards the ledge below
  light += 0.08f * Fbm(x * 0.08f, y * 0.08f, 348, 3);
  light += (rightSide ? 0.14f : -0.12f) * side;
  light += 0.14f * (1 - SmoothStep(0, 40, d));  // the rim catches the sun
  // Ledge top (seen from above, lit), a bright lip, shadow under it, a crevice at the foot.
  const float onLedge = 1 - SmoothStep(st.ledge - 0.8f, st.ledge + 0.8f, st.pf);
  const float lip = SmoothStep(st.ledge - 1.2f, st.ledge, st.pf) * (1 - SmoothStep(st.ledge, st.ledge + 1.5f, st.pf));
  const float under = SmoothStep(st.ledge + 0.5f, st.ledge + 1.5f, st.pf) * (1 - SmoothStep(st.ledge + 1.5f, st.ledge + 8, st.pf));
  const float crevice = SmoothStep(st.thick - 3.5f, st.thick - 0.3f, st.pf) *
                        (0.45f + 0.55f * SmoothStep(-0.3f, 0.2f, Fbm(x * 0.02f, st.layer * 0.53f, 355, 2)));
  light = Lerp(light, 0.8f + 0.1f * light, onLedge * 0.7f) + 0.25f * lip * (st.ledge > 1.5f ? 1.0f : 0.3f);
  light = Clamp01(light);
  const float warmth = Clamp01(0.5f + 0.5f * (float((lh >> 8) & 255) / 255.0f - 0.5f) +
                               0.5f * Fbm(x * 0.006f, y * 0.006f, 349, 3) + (rightSide ? 0.15f : -0.15f));
  const Rgb lit = Mix(Hex(0xa7a9ae), Hex(0xc6ad86), warmth), shade = Mix(Hex(0x363d4b), Hex(0x5a4a3c), warmth);
  Rgb c = Mix(shade, lit, light);
  c = c * (1 - 0.55f * crack * (1 - onLedge)) * (1 - 0.5f * under * std::min(1.0f, st.ledge / 2)) * (1 - 0.55f * crevice);
  // Moss and grass on the ledges, a little on the faces; more of it near the spray.
  const float mossN = Fbm(x * 0.03f, y * 0.06f, 311, 4) * 0.5f + 0.5f;
  const float moss = onLedge * SmoothStep(0.35f, 0.55f, mossN + 0.2f * nearFall) +
                     (1 - onLedge) * 0.6f * SmoothStep(0.68f, 0.8f, mossN + 0.12f * nearFall);
  c = Mix(c, Mix(Hex(0x34482a), Hex(0x7f9149), light), Clamp01(moss));
  // Dark seeps of water running down the faces, most of them beside the fall.
  const float seep = SmoothStep(0.55f, 0.8f, Fbm(x * 0.07f, y * 0.004f, 350, 3) * 0.5f + 0.5f + 0.15f * nearFall);
  c = c * (1 - 0.3f * seep * (1 - onLedge));
  // Deeper into the gorge and down towards the pool there is less light.
  const float gorge = SmoothStep(cliffTop[size_t(x)] + 30, 445, float(y));
  c = c * (1 - 0.3f * gorge * (0.6f + 0.4f * (1 - side))) * (1 - 0.35f * SmoothStep(340, 480, float(y)));
  c = c * (1 - 0.3f * std::exp(-std::pow((x - fallX) / 60.0f, 2.0f)));  // wet rock beside the fall
  // The back wall is further away: hazier; mist rises from the pool.
  c = Mix(c, haze, 0.28f * (1 - side) + 0.3f * SmoothStep(300, 440, float(y)) * nearFall);
  return c;
}

void PaintCliffs(Image& bg, const Gorge& g) {
  const std::vector<float>& cliffTop = g.cliffTop;
  for (int x = 0; x < W; ++x) {
    for (int y = std::max(0, int(cliffTop[size_t(x)]) - 1); y < H; ++y) {
      const float d = y + 0.5f - cliffTop[size_t(x)];
      const float cov = Clamp01(d + 0.5f);
      if (cov <= 0) continue;
      const Rgb c = (RockColour(g, float(x), y - 0.333f) + RockColour(g, float(x), float(y)) + RockColour(g, float(x), y + 0.333f)) * (1.0f / 3);
      bg.Over(x, y, c, cov);
    }
  }
}

// Shrubs and small bushes on the wider ledges.
void PaintLedgeBushes(Image& bg, const Gorge& g) {
  const float fallX = g.fallX;
  const std::vector<float>& cliffTop = g.cliffTop;
  const Rgb haze = g.haze;
  Rng rng(351);
  for (int i = 0; i < 6000; ++i) {
    const float x = rng.Range(0, W), y = rng.Range(0, 440);
    const int xi = std::clamp(int(x), 0, W - 1);
    if (y < cliffTop[size_t(xi)] + 8 || std::fabs(x - fallX) < 48) continue;
    const Stratum st = StratumAt(g, x, y);
    if (st.ledge < 3 || st.pf > st.ledge * 0.7f) continue;
    if (Fbm(x * 0.03f, y * 0.06f, 311, 4) * 0.5f + 0.5f < 0.5f) continue;
    const float side = SmoothStep(50, 330, std::fabs(x - fallX));
    const float hz = 0.28f * (1 - side) + 0.3f * SmoothStep(300, 440, y) * std::exp(-std::pow((x - fallX) / 150.0f, 2.0f));
    const float dim = 1 - 0.35f * SmoothStep(cliffTop[size_t(xi)] + 30, 445, y);
    const float r = rng.Range(3, 8) * (0.6f + 0.6f * side);
    // A bush is a loose heap of small leaf clusters, dark inside, then dabbed with single
    // leaves that catch the light on its upper left, and a few twigs poking out.
    Shadow(bg, x, y + r * 0.2f, r * 1.7f, r * 0.45f, 0.3f);
    const int blobs = 5 + rng.Below(5);
    for (int b = 0; b < blobs; ++b) {
      const float bx = x + rng.Range(-1.6f, 1.6f) * r, by = y - rng.Range(0, 1.2f) * r * (1 - 0.3f * std::fabs(bx - x) / r);
      const float br = r * rng.Range(0.3f, 0.55f);
      const Rgb leaf = Mix(Hex(0x172817), Hex(0x2a4222), rng.Uniform());
      FillEllipse(bg, bx, by, br * 1.2f, br, rng.Range(-0.5f, 0.5f), Mix(leaf * dim, haze, hz), 1, 0.7f);
    }
    const int twigs = rng.Below(3);
    for (int k = 0; k < twigs; ++k) {
      const float a = rng.Range(-2.6f, -0.5f), len = r * rng.Range(0.9f, 1.5f);
      Stroke(bg, x, y - r * 0.3f, x + std::cos(a) * len * 1.3f, y - r * 0.3f + std::sin(a) * len, 0.6f,
             Mix(Hex(0x3b3024) * dim, haze, hz), 0.8f);
    }
    const int leaves = int(r * r * 1.6f) + 8;
    for (int k = 0; k < leaves; ++k) {
      const float ox = rng.Range(-1.6f, 1.6f), oy = rng.Range(-1.4f, 0.2f);
      if (ox * ox / 2.6f + (oy + 0.6f) * (oy + 0.6f) / 0.64f > 1) continue;
      const float lx = x + ox * r, ly = y + oy * r;
      const float lit = Clamp01(0.55f - ox * 0.25f - (oy + 0.6f) * 0.6f + rng.Range(-0.3f, 0.3f));
      const Rgb c = lit < 0.5f ? Mix(Hex(0x1f3a1e), Hex(0x3f6530), lit * 2) : Mix(Hex(0x3f6530), Hex(0x8fa650), (lit - 0.5f) * 2);
      const float lr = rng.Range(0.55f, 1.1f) * (0.7f + 0.06f * r);
      FillEllipse(bg, lx, ly, lr * 1.3f, lr * 0.8f, rng.Range(-1.0f, 1.0f), Mix(c * dim, haze, hz), 0.95f, 0.6f);
    }
  }
}

// The fall: an open column from the notch down to the pool; its edges are ragged.
void OpenTheFall(Image& bg, const Gorge& g) {
  const float fallX = g.fallX, lipRow = g.lipRow, poolRow = g.poolRow;
  for (int y = int(lipRow); y < int(poolRow) + 6; ++y) {
    const float t = (y - lipRow) / (poolRow - lipRow);
    const float hw = 26 + 14 * t;
    const float c = fallX - 4 + 3 * std::sin(t * 3.1f);
    for (int x = int(c - hw - 8); x <= int(c + hw + 8); ++x) {
      const float edge = hw - std::fabs(x + 0.5f - c) + 4 * Fbm(x * 0.15f, y * 0.02f, 315, 3);
      const float open = Clamp01(edge * 0.5f + 0.5f);
      bg.A(x, y) = std::min(bg.A(x, y), 1 - open);
      if (open > 0 && open < 1) bg.At(x, y) = Mix(bg.At(x, y), Hex(0xdfe7ea), 0.5f);
    }
  }
}

// The stream reaches the brink as a thin, glassy sliver between the trees (seen from the
// pool, the water above the lip all but hides behind it), bends over a
// lip that curves down at its ends with a bright edge, and breaks into white water a few
// rows below it. The picture stays opaque down to the break, so the scrolling layer behind
// starts under a curved lip instead of a straight edge.
void PaintLip(Image& bg, const Gorge& g) {
  const float c = g.fallX - 4, top = g.lipRow - 7;
  for (int y = int(top); y < int(g.lipRow) + 14; ++y) {
    for (int x = int(c - 34); x <= int(c + 34); ++x) {
      const float hw = y < g.lipRow ? 23 + 3 * SmoothStep(top, g.lipRow, float(y)) : 26;
      const float u = (x + 0.5f - c) / hw;
      const float edge = hw - std::fabs(x + 0.5f - c) + 1.5f * Fbm(x * 0.2f, y * 0.1f, 361, 2);
      const float cov = Clamp01(edge + 0.5f);
      if (cov <= 0) continue;
      const float brink = g.lipRow - 3 + 3 * u * u;
      // Vertical flow lines on the glassy water, reflecting the sky in places.
      const float flow = Fbm(x * 0.35f, y * 0.04f, 362, 3) * 0.5f + 0.5f;
      Rgb water = Mix(Hex(0x2c4443), Hex(0x86a2a8), Clamp01(0.2f + 0.5f * flow + 0.4f * SmoothStep(top, brink, float(y))));
      water = Mix(water, Hex(0xf1f6f6), std::exp(-std::pow((y + 0.5f - brink) / 1.4f, 2.0f)) * 0.85f);
      const float below = y + 0.5f - brink;
      const float white = SmoothStep(0, 7, below + 3 * Fbm(x * 0.3f, 1.7f, 363, 2));
      water = Mix(water, Mix(Hex(0xc9d9dc), Hex(0xf3f7f7), flow), white);
      // Opaque above the brink, then fading into the falling layer, raggedly.
      const float solid = 1 - SmoothStep(2, 10 + 4 * Fbm(x * 0.25f, 3.1f, 364, 2), below);
      bg.At(x, y) = Mix(bg.At(x, y), water, cov);
      bg.A(x, y) = y < g.lipRow ? Lerp(bg.A(x, y), 1.0f, cov) : Lerp(bg.A(x, y), solid, cov);
    }
  }
}

// The pool at the foot. Its far rim follows the cliff's foot: a ragged line of fallen
// blocks, not a straight edge. The open water mirrors the walls above it.
void PaintPool(Image& bg, Gorge& g) {
  const float fallX = g.fallX;
  g.poolFar = g.poolRow - 4;
  const float poolFar = g.poolFar;
  g.rim.assign(W, 0.0f);
  std::vector<float>& rim = g.rim;
  for (int x = 0; x < W; ++x) {
    const float wave = 6 + 26 * Fbm1(x * 0.014f, 352, 3) + 7 * Fbm1(x * 0.06f, 353, 2);
    const float nearFall = std::exp(-std::pow((x - fallX) / 70.0f, 2.0f));
    rim[size_t(x)] = poolFar + Lerp(std::max(wave, 0.0f) + 6 * SmoothStep(60, 240, std::fabs(x - fallX)), 0, nearFall);
  }
  g.poolShore = GroundLine(520, 535, 8, 0.01f, 317);
  const std::vector<float>& poolShore = g.poolShore;
  g.leftEdge.assign(H, -1);
  g.rightEdge.assign(H, -1);
  std::vector<float>& leftEdge = g.leftEdge;
  std::vector<float>& rightEdge = g.rightEdge;
  const Image src = bg;
  for (int y = int(poolFar) - 12; y < H; ++y) {
    for (int x = 0; x < W; ++x) {
      const float far = rim[size_t(x)];
      const float inPool = Clamp01(y + 0.5f - far) * Clamp01(poolShore[size_t(x)] - y + 0.5f);
      if (inPool <= 0) continue;
      // The pool is wide in the middle and closes towards the sides.
      const float reach = 250 - 120 * std::pow(Clamp01((poolShore[size_t(x)] - y) / 90.0f), 2.0f);
      const float side = SmoothStep(reach + 3, reach - 3, std::fabs(x - fallX) + 18 * Fbm(y * 0.05f, x * 0.02f, 319, 2));
      const float open = inPool * side;
      if (open <= 0) continue;
      if (open > 0.5f) {
        if (leftEdge[size_t(y)] < 0) leftEdge[size_t(y)] = float(x);
        rightEdge[size_t(y)] = float(x);
      }
      const float depth = (y - far) / (poolShore[size_t(x)] - far);
      const float reflA = 0.35f * (1 - depth) + 0.15f * SmoothStep(0.7f, 1.0f, 1 - side);
      const int sy = std::clamp(int(2 * far - y), 0, H - 1);
      bg.At(x, y) = Mix(bg.At(x, y), src.At(x, sy) * 0.7f, open);
      bg.A(x, y) = Lerp(bg.A(x, y), reflA, open);
    }
  }
}

// Fallen blocks along the far rim, dark and wet, lit on their tops.
void PaintFallenBlocks(Image& bg, const Gorge& g) {
  const float fallX = g.fallX, poolFar = g.poolFar;
  const std::vector<float>& rim = g.rim;
  const std::vector<float>& leftEdge = g.leftEdge;
  const std::vector<float>& rightEdge = g.rightEdge;
  const Rgb haze = g.haze;
  Rng rng(354);
  for (int i = 0; i < 420; ++i) {
    float x, y;
    if (i % 3 == 2) {
      // Along the pool's sides, where the water meets the foot of the walls.
      y = rng.Range(poolFar + 4, 520);
      const size_t row = size_t(std::clamp(int(y), 0, H - 1));
      if (leftEdge[row] < 0) continue;
      x = (rng.Uniform() < 0.5f ? leftEdge[row] : rightEdge[row]) + rng.Range(-3, 3);
    } else {
      x = rng.Range(0, W);
      y = rim[size_t(std::clamp(int(x), 0, W - 1))] + rng.Range(-1.5f, 2.5f);
    }
    const float dx = std::fabs(x - fallX);
    if (dx < 60) continue;
    const float r = rng.Range(2.5f, 8) * (0.6f + 0.7f * SmoothStep(60, 300, dx)) * (rng.Uniform() < 0.12f ? 1.8f : 1.0f);
    const float l = rng.Range(0.2f, 0.6f);
    const float hz = 0.2f * (1 - SmoothStep(50, 330, dx));
    FillEllipse(bg, x, y - r * 0.3f, r * 1.5f, r * 0.8f, rng.Range(-0.3f, 0.3f),
                Mix(Mix(Hex(0x2c2e30), Hex(0x8d8472), l), haze, hz), 1, 0.9f);
    FillEllipse(bg, x - r * 0.3f, y - r * 0.75f, r * 0.8f, r * 0.3f, 0, Mix(Hex(0xb4ab94), haze, hz), 0.35f * l, 1);
    FillEllipse(bg, x, y + r * 0.45f, r * 1.6f, r * 0.35f, 0, Hex(0x1c2224), 0.35f, 1.5f);  // its dark reflection
  }
}

// Foam ring where the fall hits the pool: partly open so the water moves under it.
void PaintFoam(Image& bg, const Gorge& g) {
  const float fallX = g.fallX, poolFar = g.poolFar;
  for (int y = int(poolFar) - 6; y < int(poolFar) + 18; ++y) {
    for (int x = int(fallX - 90); x < int(fallX + 90); ++x) {
      const float e = std::pow((x - fallX) / 85.0f, 2.0f) + std::pow((y - poolFar - 4) / 13.0f, 2.0f);
      const float f = Clamp01(1 - e) * (0.5f + 0.5f * (Fbm(x * 0.08f, y * 0.2f, 321, 3) * 0.5f + 0.5f));
      if (f <= 0) continue;
      bg.At(x, y) = Mix(bg.At(x, y), Hex(0xeef3f3), f);
      bg.A(x, y) = Lerp(bg.A(x, y), 0.7f, f * 0.8f);
    }
  }
}

// Near shore: meadow, shingle and grass across the bottom.
void PaintNearShore(Image& bg, const Gorge& g) {
  const std::vector<float>& poolShore = g.poolShore;
  Meadow shoreM{Hex(0x8fa552), Hex(0x465f33), Hex(0xa99f72), g.haze, 0.0f, 323};
  PaintMeadow(bg, poolShore, shoreM, 10);
  // Shingle along the near shore: a loose scatter of stones of all sizes, wet and darker
  // at the water's edge, each with its lit top and a shadow.
  Rng rng(325);
  for (int i = 0; i < 150; ++i) {
    const float x = rng.Range(0, W);
    const float back = rng.Uniform() * rng.Uniform();
    const float y = poolShore[size_t(std::clamp(int(x), 0, W - 1))] - 2 + 26 * back;
    const float r = rng.Range(1.5f, 6) * (0.8f + 0.6f * back) * (rng.Uniform() < 0.1f ? 1.7f : 1.0f);
    const float l = rng.Range(0.2f, 0.8f) * (0.7f + 0.4f * back);
    const Rgb tone = Mix(Hex(0x4d4a44), Hex(0x5a616a), rng.Uniform());
    Shadow(bg, x + r * 0.3f, y + r * 0.55f, r * 1.7f, r * 0.45f, 0.45f);
    FillEllipse(bg, x, y, r * 1.5f, r, rng.Range(-0.25f, 0.25f), Mix(tone * 0.8f, Hex(0xaea691), l), 1, 0.9f);
    FillEllipse(bg, x - r * 0.35f, y - r * 0.4f, r * 0.8f, r * 0.4f, 0, Hex(0xd4cdbd), 0.4f * l, 1);
  }
  PaintGrass(bg, poolShore, 525, Hex(0x33502a), Hex(0xa9bb62), 327, 0.9f);
}

// The left bank: a grassy slope framing the pool.
void PaintLeftBank(Image& bg, const Gorge& g) {
  const Rgb haze = g.haze;
  auto leftBank = GroundLine(380, 640, 10, 0.01f, 329);
  for (int x = 0; x < W; ++x) {
    if (x > 260) leftBank[size_t(x)] = 2000;
    else leftBank[size_t(x)] += SmoothStep(150, 260, float(x)) * 200;
  }
  Meadow bankM{Hex(0x86a04f), Hex(0x3f5a30), Hex(0x9c9a6c), haze, 0.05f, 331};
  PaintMeadow(bg, leftBank, bankM, 10);
  PaintGrass(bg, leftBank, 390, Hex(0x2f4b27), Hex(0xa3b85e), 333, 0.5f);
}

}  // namespace

Scene FallsScene(const World& world) {
  Scene s;
  s.ambient = 3;
  Image bg(W, H, Hex(0xd6e0ea), 0);
  Gorge g;
  g.haze = Hex(0xc3d0df);
  Range far{190, 65, 0.0032f, 301, Hex(0xc0c0cc), Hex(0x6e7fa0), Hex(0x8797b2), 60, 0.6f, g.haze, 0.4f, 60, 0.5f};
  auto farTop = RangeProfile(far);
  PaintRange(bg, far, farTop);
  g.cliffTop = CliffTopLine(g.fallX);
  PaintCliffs(bg, g);
  PaintLedgeBushes(bg, g);
  // Forest on the plateau above the cliff.
  PaintForest(bg, g.cliffTop, -4, 20, 10, 22, 0.8f, Hex(0x1b3023), Hex(0x46653f), g.haze, 0.25f, 0.1f, 313, 0, W,
              {0.35f, 0.5f, Hex(0x7f9a52)});
  OpenTheFall(bg, g);
  PaintLip(bg, g);
  PaintPool(bg, g);
  PaintFallenBlocks(bg, g);
  PaintFoam(bg, g);
  PaintNearShore(bg, g);
  PaintLeftBank(bg, g);
  // A tall pine stands on the right rim among the plateau's trees, whose front row hides
  // its foot.
  Stamp(bg, world.TextureOf("pine"), 730, 116, 112, 112, false, g.haze, 0.08f);
  Rng rng(365);
  for (int i = 0; i < 9; ++i) {
    const float x = 706 + i * 6 + rng.Range(-2, 2);
    PaintTreeSilhouette(bg, x, 112 + rng.Range(0, 6), rng.Range(13, 22), Mix(Hex(0x1b3023), g.haze, 0.12f),
                        Mix(Hex(0x46653f), g.haze, 0.12f), rng);
  }

  s.background = std::move(bg);
  s.objects = {
      {"sky_falls", -400, 80, 400, 300, 0, 0, 0, false, true},
      {"waterfall", -60, -160, 50, 108, 0, 0, 55, false, true},
      {"poolwater", -400, -240, 400, -140, 0, 6, 4, false, true},
      {"spray", -50, -166, 40, -138, 0, 0, 0, false, false},
      {"spray", -80, -175, 70, -150, 0, 0, 0, false, false},
      {"boulder", -400, -300, -140, -180, 6, 0, 0, true, false},
      {"stone", 170, -260, 290, -200, -8, 0, 0, false, false},
      {"mossrock", 250, -300, 420, -160, 0, 0, 0, false, false},
      {"spruce", -395, -80, -285, 140, 0, 0, 0, false, false},
      {"leaves2", -410, 170, -80, 320, -12, 30, 0, false, false},
      {"leaves1", 60, 120, 430, 320, 24, 20, 0, true, false},
  };
  return s;
}

}  // namespace qhc
