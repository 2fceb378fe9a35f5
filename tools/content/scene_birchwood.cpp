// Scene 4: an autumn birch wood on a hillside. Low afternoon sun slants in gold through
// white trunks and yellow crowns; a peaty stream comes down the slope and drops over a
// mossy ledge in a small cascade; the sound of the brook.
#include <algorithm>
#include <cmath>

#include "tools/content/landscape.h"

namespace qhc {

namespace {

// The stream's course down the slope, in pixel rows from the top: it shows first far up
// the hillside, winds, passes behind a knoll, comes out below it, drops over a ledge of
// stones into a pool and runs on towards the viewer, widening.
constexpr float kStreamTop = 318, kLedgeRow = 402, kPoolRow = 446;

float StreamCentre(float row) {
  static const std::vector<float> rows = {300, 318, 331, 346, 362, 380, 402, 446, 520, 600, 680};
  static const std::vector<float> cols = {500, 505, 530, 514, 488, 462, 446, 440, 408, 352, 300};
  return CourseAt(rows, cols, row) + 1.5f * Fbm1(row * 0.05f, 561, 2);
}
float StreamHalfWidth(float row) {
  const float d = std::max(0.0f, row - kStreamTop);
  // Far up the slope it is seen almost edge on and would be a thread: it is given a
  // little more width there, so that the glint of the sky on it carries.
  return 1.2f + 0.02f * d + 0.00062f * d * d + 1.6f * SmoothStep(0, 12, d) * (1 - SmoothStep(20, 80, d));
}

// The knoll the stream passes behind: its brow (rows), 2000 where it is not, and the row
// where its near face meets the slope in front, where the stream comes out again.
constexpr float kKnollFoot = 392;
float KnollTop(float x) {
  const float t = (x - 540) / 110;
  if (std::fabs(t) >= 1) return 2000;
  return 344 + 44 * t * t + 3 * Fbm1(x * 0.05f, 563, 2);
}

// The knoll's brow: the turf on its crest catches the sun, the slope just beyond it lies a
// little lower in its shade, and grass stands up along the line.
void PaintKnollBrow(Image& bg, Rng& rng) {
  for (int x = 430; x < 650; ++x) {
    const float top = KnollTop(float(x));
    if (top > 1000) continue;
    const float fade = SmoothStep(1.0f, 0.7f, std::fabs(x - 540.0f) / 110);
    for (int y = int(top) - 8; y < int(top) + 26; ++y) {
      if (bg.A(x, y) < 0.99f) continue;
      const float d = y + 0.5f - top;
      Rgb& c = bg.At(x, y);
      if (d < 0) c = c * (1 - 0.18f * fade * SmoothStep(-8, 0, d));
      else c = Mix(c, c * Rgb{1.2f, 1.12f, 0.95f}, fade * SmoothStep(26, 2, d));
    }
    for (int k = 0; k < 2; ++k) {
      const float bx = x + rng.Uniform(), len = rng.Range(3, 8) * fade;
      TaperStroke(bg, bx, top + rng.Range(0, 3), bx + rng.Range(-2, 2), top - len, 1.2f, 0.3f,
                  Mix(Hex(0x6a4a1e), Hex(0xe8c878), rng.Uniform()), 0.9f);
    }
  }
}

// Birch bark over one limb, a tapering band from (x0, y0) at its foot to (x1, y1) at its
// top: white, lit from the left, with dark lenticels; an old trunk's foot is black and
// fissured, and where branches were lost black marks spread across the bark.
struct Limb {
  float x0, y0, x1, y1, w0, w1;
  float footDark = 0;  // how far up (0..1 of the limb) the black foot reaches
  int scars = 0;
  float bow = 0;       // sideways bow at mid-height, in lengths of the limb
};
// Where the middle of a limb is at 0..1 of its length, as PaintLimb draws it (less the
// small kinks), for what grows out of it.
float LimbX(const Limb& l, float t) {
  return Lerp(l.x0, l.x1, t) + l.bow * std::max(1.0f, l.y0 - l.y1) * std::sin(3.14159f * t);
}
void PaintLimb(Image& bg, const Limb& l, Rgb haze, float hazeAmt, uint32_t seed) {
  const float len = std::max(1.0f, l.y0 - l.y1);
  Rng rng(seed);
  float scarAt[4], scarSide[4];
  for (int k = 0; k < 4; ++k) { scarAt[k] = rng.Range(0.2f, 0.85f); scarSide[k] = rng.Range(-0.5f, 0.5f); }
  for (int y = std::max(0, int(l.y1)); y < int(l.y0) + 2 && y < H; ++y) {
    const float t = (l.y0 - y) / len;  // 0 at the foot, 1 at the top
    // No trunk grows straight: a slow bow over its whole length and smaller kinks where it
    // turned towards the light, both in proportion to its height; the bark narrows fast
    // towards the whip of the top.
    const float mid = Lerp(l.x0, l.x1, t) + l.bow * len * std::sin(3.14159f * t) +
                      (l.w0 * 0.25f + 0.012f * len) * Fbm1(y * 0.012f, seed, 3) * t;
    const float half = 0.5f * Lerp(l.w0, l.w1, std::pow(t, 0.75f)) * (1 + 0.3f * SmoothStep(0.08f, 0.0f, t) * (l.footDark > 0));
    if (half < 0.3f) continue;
    for (int px = int(mid - half - 1); px <= int(mid + half + 1); ++px) {
      if (px < 0 || px >= W) continue;
      const float s = (px + 0.5f - mid) / half;
      const float cov = Clamp01((1 - std::fabs(s)) * half + 0.5f) * Clamp01(l.y0 - y + 0.5f) *
                        SmoothStep(l.y1, l.y1 + std::max(6.0f, 0.1f * len), float(y));  // the whip of the top fades
      if (cov <= 0) continue;
      const float light = Clamp01(0.85f - 0.6f * s - 0.3f * s * s * s * s);
      Rgb c = Mix(Hex(0x8a8578), Hex(0xf3efe2), light);
      // Lenticels: short dark dashes across the trunk.
      const float dash = Fbm(px * 0.5f / std::max(half * 0.25f, 0.3f), y * 1.1f, seed + 1, 2);
      c = Mix(c, Hex(0x2a2722), SmoothStep(0.42f, 0.62f, dash) * 0.85f);
      // Black marks where branches fell, spreading sideways like a wide chevron.
      for (int k = 0; k < l.scars; ++k) {
        const float dy = (t - scarAt[k]) * len / std::max(half, 1.0f);
        const float dx = s - scarSide[k];
        const float chevron = dy + 0.45f * std::fabs(dx) + 0.25f * Fbm(px * 0.3f, y * 0.3f, seed + 4 + uint32_t(k), 2);
        const float mark = SmoothStep(0.35f, 0.1f, std::fabs(chevron - 0.3f)) * SmoothStep(1.2f, 0.5f, std::fabs(dx));
        c = Mix(c, Hex(0x1c1a17), mark * 0.85f);
      }
      if (l.footDark > 0) {
        const float foot = SmoothStep(l.footDark, l.footDark * 0.4f, t + 0.05f * Fbm1(px * 0.2f, seed + 2, 2));
        const float fissure = Fbm(px * 0.35f, y * 0.05f, seed + 3, 3) * 0.5f + 0.5f;
        c = Mix(c, Mix(Hex(0x1f1d1b), Hex(0x6b665e), fissure * light), foot * 0.95f);
      }
      bg.Over(px, y, Mix(c, haze, hazeAmt), cov);
    }
  }
}

// A crown of yellow leaves hanging about a limb from its top down to `low` of its length:
// clumps of small leaf dabs on drooping twigs, widest a little below the top, with sky
// between them; gold where the sun reaches the upper left, brown-olive inside and below,
// an odd orange leaf.
void PaintCrown(Image& bg, const Limb& l, float low, float R, float leaf, Rgb haze, float hazeAmt, Rng& rng, uint32_t seed) {
  const float len = std::max((l.y0 - l.y1) * (1 - low), 1.0f);
  const int clumps = 4 + int(len / 16);
  for (int k = 0; k < clumps; ++k) {
    const float t = rng.Uniform();  // 0 the top, 1 the crown's lowest twigs
    const float at = 1 - (1 - low) * t;
    const float ax = LimbX(l, at), ay = Lerp(l.y0, l.y1, at);
    const float reach = R * (0.25f + 0.75f * std::sin(3.14159f * (0.15f + 0.75f * t))) * rng.Range(0.3f, 1.0f);
    const float side = rng.Uniform() < 0.5f ? -1.0f : 1.0f;
    const float kx = ax + side * reach, ky = ay + reach * rng.Range(0.1f, 0.5f);  // twigs droop
    // One leaf dab, lit from the upper left.
    auto dab = [&](float x, float y, float oy, float r) {
      const float sun = Clamp01(0.55f - 0.4f * (x - ax) / (R + 1) - 0.45f * oy - 0.2f * (t - 0.5f) + rng.Range(-0.3f, 0.3f));
      Rgb c = sun < 0.5f ? Mix(Hex(0x5a4a1c), Hex(0xb98a24), sun * 2) : Mix(Hex(0xb98a24), Hex(0xfbe07a), (sun - 0.5f) * 2);
      if (rng.Uniform() < 0.07f) c = Mix(c, Hex(0xc65a1c), 0.6f);
      if (y - 2 * r < 12 + 10 * Fbm1(x * 0.02f, seed + 3, 2)) return;  // the sky stays open along the top
      FillEllipse(bg, x, y, r * 1.4f, r * 0.8f, rng.Range(-1.2f, 1.2f), Mix(c, haze, hazeAmt), 0.95f, 0.6f);
    };
    if (leaf > 2.5f) {
      // The branch: it leaves the limb rising, arches over and droops into the clump, thin
      // and dark, leaved along its outer half; fine twigs hang from it with a leaf or two.
      const float px1 = ax + side * reach * 0.45f, py1 = ay - reach * 0.28f;
      const Rgb twig = Mix(Hex(0x4a3f36), haze, hazeAmt);
      const int segs = 7;
      float x0 = ax, y0 = ay;
      for (int k = 1; k <= segs; ++k) {
        const float u = float(k) / segs, v = 1 - u;
        const float x1 = v * v * ax + 2 * u * v * px1 + u * u * kx, y1 = v * v * ay + 2 * u * v * py1 + u * u * ky;
        TaperStroke(bg, x0, y0, x1, y1, std::max(0.5f, leaf * 0.3f * (1.15f - 0.8f * (u - 1.0f / segs))),
                    std::max(0.4f, leaf * 0.3f * (1.15f - 0.8f * u)), twig, 0.7f);
        if (u > 0.35f) {
          for (int i = 0; i < 2; ++i) dab(x1 + rng.Range(-2, 2) * leaf * 0.5f, y1 + rng.Range(0, 2.5f) * leaf * 0.5f, 0.2f, leaf * rng.Range(0.6f, 1.0f));
          if (rng.Uniform() < 0.5f) {  // a hanging twig
            const float hl = R * 0.3f * rng.Range(0.4f, 0.9f), hx = x1 + side * rng.Range(0, 0.25f) * hl;
            TaperStroke(bg, x1, y1, hx, y1 + hl, std::max(0.4f, leaf * 0.15f), 0.3f, twig, 0.5f);
            dab(hx, y1 + hl, 0.5f, leaf * rng.Range(0.6f, 0.9f));
            dab(Lerp(x1, hx, 0.55f), y1 + hl * 0.55f, 0.4f, leaf * rng.Range(0.5f, 0.8f));
          }
        }
        x0 = x1;
        y0 = y1;
      }
    }
    const float kr = R * rng.Range(0.22f, 0.4f);
    const int dabs = int(kr * kr * 0.9f / (leaf * leaf)) + 5;
    for (int i = 0; i < dabs; ++i) {
      const float ox = rng.Range(-1, 1), oy = rng.Range(-1, 1);
      const float rr = ox * ox + oy * oy;
      if (rr > 1 || Fbm(kx + ox * 2, ky + oy * 2, seed + 1, 2) > 0.5f - 0.35f * rr) continue;
      const float x = kx + ox * kr * 1.2f, y = ky + oy * kr * 0.9f + kr * 0.3f * ox * ox;  // clumps droop at their ends
      dab(x, y, oy, leaf * rng.Range(0.6f, 1.2f));
    }
  }
}

// One birch: a trunk leaning a little, forking in some trees into two limbs, and a crown
// on each limb; old trees are wide with black feet and scars, young ones thin and white.
struct Birch {
  float x, foot, top, width, lean;
  bool fork;
  float age;  // 0 young .. 1 old
};
void PaintBirch(Image& bg, const Birch& b, float leaf, Rgb haze, float hazeAmt, Rng& rng, uint32_t seed) {
  const float h = b.foot - b.top;
  const float topX = b.x + b.lean * h;
  const int scars = b.width > 6 ? 1 + int(b.age * 3) : 0;
  const float footDark = b.age > 0.3f ? 0.06f + 0.12f * b.age : 0;
  const float R = h * (0.11f + 0.07f * b.age) + 4;
  const float crownDown = 0.4f + 0.15f * b.age;  // how far down the tree the crown reaches
  // Young trees bow more, towards the light or away from their neighbours.
  const float u = rng.Range(-1.0f, 1.0f);
  const float bow = (u < 0 ? -1.0f : 1.0f) * (0.4f + 0.6f * std::fabs(u)) * (0.012f + 0.03f * (1 - b.age));
  if (b.fork) {
    const float forkT = rng.Range(0.45f, 0.65f);
    const float fy = b.foot - h * forkT, fx = Lerp(b.x, topX, forkT);
    PaintLimb(bg, {b.x, b.foot, fx, fy - b.width * 0.5f, b.width, b.width * 0.75f, footDark / forkT, scars, bow * 0.5f}, haze,
              hazeAmt, seed);
    const float spread = h * (1 - forkT) * rng.Range(0.18f, 0.3f);
    for (int side = -1; side <= 1; side += 2) {
      const float ex = topX + side * spread, ey = b.top + rng.Range(0, 0.15f) * h;
      const Limb limb{fx, fy, ex, ey, b.width * 0.62f, b.width * 0.22f, 0, scars > 1 ? 1 : 0, side * 0.04f};
      PaintLimb(bg, limb, haze, hazeAmt, seed + 7 + uint32_t(side + 1));
      PaintCrown(bg, limb, 0.3f, R * 0.75f, leaf, haze, hazeAmt, rng, seed + 11);
    }
  } else {
    const Limb trunk{b.x, b.foot, topX, b.top, b.width, b.width * 0.2f, footDark, scars, bow};
    PaintLimb(bg, trunk, haze, hazeAmt, seed);
    // A few side branches below the crown, rising from the trunk and arching over, white
    // near the trunk and dark further out, each with a small crown of its own.
    const int branches = b.width > 2.5f ? 1 + int(rng.Uniform() * 2.6f) : 0;
    for (int k = 0; k < branches; ++k) {
      const float at = rng.Range(0.5f, 1 - crownDown + 0.15f);
      const float sx = LimbX(trunk, at), sy = Lerp(b.foot, b.top, at);
      const float side = (k % 2 ? 1.0f : -1.0f) * (rng.Uniform() < 0.8f ? 1.0f : -1.0f);
      const float bl = h * rng.Range(0.07f, 0.14f);
      const float ex = sx + side * bl * 0.8f, ey = sy - bl * 0.45f;
      const float bw = std::max(0.8f, b.width * Lerp(1.0f, 0.2f, at) * 0.35f);
      TaperStroke(bg, sx, sy, Lerp(sx, ex, 0.5f), Lerp(sy, ey, 0.6f), bw, bw * 0.7f,
                  Mix(Hex(0xcfc8b8), haze, hazeAmt), 0.95f);
      TaperStroke(bg, Lerp(sx, ex, 0.5f), Lerp(sy, ey, 0.6f), ex, ey + bl * 0.1f, bw * 0.7f, 0.4f,
                  Mix(Hex(0x4a3f36), haze, hazeAmt), 0.85f);
      const Limb twig{Lerp(sx, ex, 0.5f), Lerp(sy, ey, 0.6f) + 1, ex, ey, bw, bw * 0.3f};
      PaintCrown(bg, twig, 0.0f, R * 0.35f, leaf, haze, hazeAmt, rng, seed + 13 + uint32_t(k));
    }
    PaintCrown(bg, trunk, 1 - crownDown, R, leaf, haze, hazeAmt, rng, seed + 11);
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

// The stream: open for the water layer, with dark banks, except where the knoll stands in
// front of it; below the knoll it runs to a ledge built of stones, falls through a gap
// between them into a pool, and comes on towards the viewer.
void OpenStream(Image& bg, float fromRow, float toRow) {
  for (int y = int(fromRow); y < int(toRow); ++y) {
    const float c = StreamCentre(float(y)), hw = StreamHalfWidth(float(y));
    const float d = (y - kStreamTop) / (H - kStreamTop);
    if (y >= kLedgeRow - 6 && y < kPoolRow + 4) continue;  // the ledge and the fall: below
    for (int x = std::max(0, int(c - hw - 30)); x < std::min(W, int(c + hw + 30)); ++x) {
      const float edge = hw - std::fabs(x + 0.5f - c) + (0.6f + 4 * d) * Fbm(x * 0.08f, y * 0.08f, 509, 3);
      const float bankW = 1.5f + 14 * d;
      const float bank = (Clamp01(edge + bankW) - Clamp01(edge)) * (y < KnollTop(float(x)) || y >= kKnollFoot);
      if (bank > 0) {
        const float g = Fbm(x * 0.15f, y * 0.3f, 511, 2) * 0.5f + 0.5f;
        bg.Over(x, y, Mix(Mix(Hex(0x3a2a1a), Hex(0x6a5a3a), g), Hex(0x3c4a22), 0.4f * g), bank * 0.95f);
      }
      // It comes out of the grass at its top rather than starting at a line.
      const float open = Clamp01(edge + 0.5f) * (y < KnollTop(float(x)) || y >= kKnollFoot) *
                         SmoothStep(kStreamTop, kStreamTop + 7, float(y));
      if (open <= 0) continue;
      // Far off, the water lies flat to the eye and mirrors the bright sky over the wood;
      // nearer, it is dark and peaty with the moving ripples showing through.
      const float glint = SmoothStep(kKnollFoot + 10, kStreamTop + 20, float(y));
      const float refl = Lerp(0.5f * SmoothStep(hw * 0.5f + 6, 0, edge) + 0.06f, 0.8f, glint);
      bg.At(x, y) = Mix(bg.At(x, y), Mix(Hex(0x3a3322), Hex(0xf2e8c8), 0.8f * glint), open);
      bg.A(x, y) = Lerp(bg.A(x, y), refl, open);
    }
  }
}

// The ledge: stones heaped across the stream, mossy on their tops, the water falling
// through the gap between the two middle ones; a band of foam where it lands.
void BuildLedge(Image& bg, Rng& rng) {
  const float c = StreamCentre(kPoolRow), hw = StreamHalfWidth(kPoolRow) + 8;
  auto stone = [&](float x, float y, float r) {
    const float l = rng.Range(0.3f, 0.8f);
    const Rgb body = Mix(Hex(0x2e2a22), Hex(0x857c62), l);
    PaintStone(bg, x, y, r, rng.Range(-0.35f, 0.35f), body, Hex(0xd8c89a), 0.35f * l, 0.45f);
    // Moss on the upper side.
    FillEllipse(bg, x - r * 0.15f, y - r * 0.6f, r * 0.8f, r * 0.22f, rng.Range(-0.3f, 0.3f), Mix(Hex(0x44581e), Hex(0x7a8a36), l),
                0.4f, 1.5f);
  };
  // A heap of stones from the ledge's top down to the pool, larger low down, back ones
  // first; the middle is left for the fall.
  struct Block { float x, y, r; };
  std::vector<Block> blocks;
  for (int i = 0; i < 40; ++i) {
    const float y = rng.Range(kLedgeRow - 5, kPoolRow + 3);
    const float q = (y - kLedgeRow) / (kPoolRow - kLedgeRow);
    const float reach = hw + 14 + 14 * std::sin(3.14159f * Clamp01(q)) + 6 * Fbm1(y * 0.1f, 567, 2);
    const float x = c + rng.Range(-1, 1) * reach;
    if (std::fabs(x - c) < hw - 5 && y > kLedgeRow) continue;
    blocks.push_back({x, y, rng.Range(4, 8) + 4 * Clamp01(q) * rng.Uniform()});
  }
  std::sort(blocks.begin(), blocks.end(), [](const Block& a, const Block& b) { return a.y < b.y; });
  for (const Block& k : blocks) stone(k.x, k.y, k.r);
  // Open the gap for the falling water.
  for (int y = int(kLedgeRow) + 2; y < int(kPoolRow); ++y) {
    for (int x = int(c - hw - 4); x <= int(c + hw + 4); ++x) {
      const float slot = hw - 8 - std::fabs(x + 0.5f - c) + 2 * Fbm(x * 0.2f, y * 0.05f, 513, 2);
      const float open = Clamp01(slot * 0.5f + 0.5f) * SmoothStep(kLedgeRow + 2, kLedgeRow + 7, float(y));
      bg.A(x, y) = std::min(bg.A(x, y), 1 - open);
    }
  }
  // The lip: the two stones the water pours between, and one it slides over.
  stone(c - hw + 4, kLedgeRow + 2, 8);
  stone(c + hw - 3, kLedgeRow + 4, 9);
  for (int y = int(kPoolRow) - 6; y < int(kPoolRow) + 10; ++y) {
    const float cc = StreamCentre(float(y)), w = StreamHalfWidth(float(y)) + 4;
    for (int x = int(cc - w); x <= int(cc + w); ++x) {
      const float e = std::pow((x + 0.5f - cc) / w, 2.0f) + std::pow((y - kPoolRow - 1) / 6.0f, 2.0f);
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
  Rng rng(533);
  auto groundAt = [&](float x) { return ground[size_t(std::clamp(int(x), 0, W - 1))]; };
  for (int i = 0; i < 34; ++i) {  // far up the slope: small trees, thin and hazy
    const float x = rng.Range(-10, W + 10);
    const float foot = groundAt(x) + rng.Range(-2, 8);
    const float h = rng.Range(60, 120) * (0.7f + 0.6f * rng.Uniform());
    Birch b{x, foot, foot - h, rng.Range(1.2f, 3), rng.Range(-0.06f, 0.06f), rng.Uniform() < 0.2f, rng.Uniform()};
    PaintBirch(bg, b, 1.8f, haze, 0.5f, rng, 535 + uint32_t(i));
  }
  PaintFloor(bg, ground, haze);
  // The stream, hidden where it runs behind the knoll.
  OpenStream(bg, kStreamTop, H);
  PaintKnollBrow(bg, rng);
  // Trees in the middle distance, away from the water, of every age.
  for (int i = 0; i < 13; ++i) {
    const float x = rng.Range(-20, W + 20);
    const float foot = groundAt(x) + rng.Range(25, 110);
    if (std::fabs(x - StreamCentre(foot)) < StreamHalfWidth(foot) + 14) continue;
    // Mostly grown trees; the few young ones are shorter, not only thinner.
    const float age = 0.2f + 0.8f * rng.Uniform();
    const float h = (foot - rng.Range(10, 70)) * (0.5f + 0.5f * age);
    const float lean = rng.Uniform() < 0.35f ? rng.Range(-0.12f, 0.12f) : rng.Range(-0.03f, 0.03f);
    Birch b{x, foot, foot - h, 3 + 8 * age, lean, rng.Uniform() < 0.3f, age};
    PaintBirch(bg, b, 2.8f, haze, 0.15f, rng, 539 + uint32_t(i));
    Shadow(bg, x + 4, foot, 6 + b.width, 2.5f, 0.35f);
  }
  BuildLedge(bg, rng);
  // Near trees: an old wide one, a young one, one forked, one leaning away from
  // the stream where it shows above the knoll, and a sapling.
  const Birch near[] = {{70, 545, 18, 26, 0.02f, false, 1.0f},   {205, 498, 40, 10, -0.05f, false, 0.3f},
                        {612, 520, 22, 19, 0.0f, true, 0.7f},    {566, 472, 80, 9, 0.08f, false, 0.3f},
                        {735, 570, 16, 15, 0.04f, false, 0.55f}, {300, 462, 250, 5, 0.05f, false, 0.05f}};
  for (size_t i = 0; i < std::size(near); ++i) {
    PaintBirch(bg, near[i], 3.8f, haze, 0.0f, rng, 541 + uint32_t(i));
    Shadow(bg, near[i].x + 10, near[i].foot, 18 + near[i].width, 4, 0.4f);
  }
  // Stones along the stream and in it.
  for (int i = 0; i < 40; ++i) {
    const float y = rng.Range(kPoolRow + 6, H + 4);
    const float hw = StreamHalfWidth(y);
    const float side = rng.Uniform() < 0.5f ? -1.0f : 1.0f;
    const float x = StreamCentre(y) + side * hw * rng.Range(0.75f, 1.15f);
    const float r = (1 + 0.035f * (y - kStreamTop)) * rng.Range(0.4f, 1.0f);
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
      {"birchtrunk", -412, -330, -318, 330, 0, 0, 0, false, false},
      {"birchtrunk", 330, -345, 372, 330, 2.5f, 0, 0, true, false},
      {"leaves_gold", -425, 110, -5, 320, -18, 0, 0, false, false},
      {"leaves1_gold", 60, 85, 430, 270, 20, 30, 0, true, false},  // clear of the far stream
  };
  return s;
}

}  // namespace qhc
