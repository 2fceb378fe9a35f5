// The scene's object and layer textures: sky, water, waterfall, spray puff, rocks,
// conifers and swaying branches. Layer textures tile: their noise lattices wrap at the
// texture's sides.
#include <algorithm>
#include <cmath>

#include "tools/content/paint.h"

namespace qhc {

namespace {
constexpr float kPi = 3.14159265f;
}

Image MakeSky(const SkyStyle& s, int w, int h) {
  Image img(w, h);
  auto density = [&](float u, float v) {
    // Clouds flatten towards the horizon: their vertical coordinate grows with perspective.
    const float ny = 2.5f * v + 0.25f / (1.08f - v);
    const float wx = Fbm(u * 3, ny * 0.8f, s.seed + 7, 4, 0.5f, 3) * 0.45f;
    const float wy = Fbm(u * 3 + 5.2f, ny * 0.8f, s.seed + 9, 4, 0.5f, 3) * 0.45f;
    const float d = Fbm(u * 6 + wx, ny * 1.3f + wy, s.seed, 6, 0.52f, 6) * 0.85f + 0.5f;
    const float wisp = Fbm(u * 4 + wx * 2, ny * 3.0f, s.seed + 21, 5, 0.55f, 4) * 0.5f + 0.5f;
    const float th = 0.78f - s.cover * 0.3f;
    float dens = SmoothStep(th - 0.05f, th + 0.2f, d);
    dens = std::max(dens, 0.35f * SmoothStep(0.58f, 0.8f, wisp) * (1 - v));
    return dens;
  };
  for (int y = 0; y < h; ++y) {
    const float v = (y + 0.5f) / h;
    Rgb base = Mix(s.zenith, s.horizon, std::pow(v, 1.5f));
    base = base + s.glow * (SmoothStep(0.55f, 1.0f, v) * 0.6f);
    for (int x = 0; x < w; ++x) {
      const float u = (x + 0.5f) / w;
      const float d = density(u, v);
      const float above = density(u, v - 0.035f);
      const float lit = Clamp01(0.6f + (d - above) * 2.2f);
      Rgb cloud = Mix(s.cloudShade, s.cloudLit, lit);
      cloud = Mix(cloud, s.horizon + s.glow * 0.3f, SmoothStep(0.45f, 1.0f, v) * 0.55f);  // haze
      const float grain = Fbm(u * 64, v * 32, s.seed + 33, 2, 0.5f, 64) * 0.012f;
      img.At(x, y) = Mix(base, cloud, d * 0.92f) + Rgb{grain, grain, grain};
    }
  }
  return img;
}

Image MakeWater(const WaterStyle& s, int w, int h) {
  Image img(w, h);
  const int px = int(s.streak), py = int(s.rippleScale);
  auto wave = [&](float u, float v) {
    const float warp = Fbm(u * 2, v * 4, s.seed + 3, 3, 0.5f, 2, 4) * 0.25f;
    return Fbm(u * px + warp, v * py, s.seed, 5, 0.55f, px, py) +
           0.6f * Fbm(u * px * 2, v * py * 0.5f + warp * 3, s.seed + 11, 3, 0.5f, px * 2, py / 2);
  };
  for (int y = 0; y < h; ++y) {
    const float v = (y + 0.5f) / h;
    for (int x = 0; x < w; ++x) {
      const float u = (x + 0.5f) / w;
      const float n = wave(u, v);
      const float slope = (wave(u, v + 1.5f / h) - wave(u, v - 1.5f / h)) * 9.0f;
      Rgb c = Mix(s.deep, s.sky, Clamp01(0.55f + slope * 0.3f + n * 0.15f));
      const float spark = SmoothStep(0.75f, 1.2f, slope);
      c = Mix(c, s.sparkle, spark * 0.5f);
      img.At(x, y) = c;
    }
  }
  return img;
}

Image MakeWaterfall(int w, int h, uint32_t seed) {
  Image img(w, h);
  const Rgb dark = Hex(0x4f6d78), mid = Hex(0xa9c2c9), foam = Hex(0xf2f6f5);
  for (int y = 0; y < h; ++y) {
    const float v = (y + 0.5f) / h;
    for (int x = 0; x < w; ++x) {
      const float u = (x + 0.5f) / w;
      const float streak = Fbm(u * 12, v * 2, seed, 5, 0.6f, 12, 2) * 0.5f + 0.5f;
      const float fine = Fbm(u * 48, v * 3, seed + 5, 3, 0.5f, 48, 3) * 0.5f + 0.5f;
      const float lump = Fbm(u * 10, v * 4, seed + 9, 4, 0.5f, 10, 4) * 0.5f + 0.5f;
      float b = 0.25f + 0.55f * streak + 0.25f * fine + 0.45f * SmoothStep(0.45f, 0.75f, lump) - 0.2f;
      b = Clamp01(b);
      Rgb c = b < 0.5f ? Mix(dark, mid, b * 2) : Mix(mid, foam, (b - 0.5f) * 2);
      img.At(x, y) = c;
    }
  }
  return img;
}

Image MakePuff(int size, uint32_t seed) {
  Image img(size, size, {}, 0);
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      const float dx = (x + 0.5f) / size - 0.5f, dy = (y + 0.5f) / size - 0.5f;
      const float r = std::sqrt(dx * dx + dy * dy) * 2;  // 0 centre, 1 at the side's middle
      const float n = Fbm(x * 6.0f / size, y * 6.0f / size, seed, 3) * 0.5f + 0.5f;
      float v = std::exp(-r * r * 3.2f) * (0.65f + 0.55f * n);
      v *= 1 - SmoothStep(0.7f, 1.0f, r);  // exactly black at the square's rim
      v = Clamp01(v) * 0.62f;
      img.At(x, y) = Rgb{v * 0.96f, v * 0.99f, v};
      img.A(x, y) = Clamp01(v * 1.6f);
    }
  }
  return img;
}

Image MakeBoulder(int w, int h, uint32_t seed, float mossy) {
  Image img(w, h, Hex(0x7d786e), 0);
  Rng rng(seed);
  const float lobes[3] = {rng.Range(0, 6.28f), rng.Range(0, 6.28f), rng.Range(0, 6.28f)};
  // The rock sits on the texture's bottom edge; its outline is a rounded, lumpy dome.
  const float cx = w * 0.5f, baseY = h * 0.96f;
  const float rx = w * 0.46f, ry = h * 0.88f;
  auto outline = [&](float ang) {  // radius factor for a direction (0 = right, pi/2 = up)
    float f = 1 + 0.07f * std::sin(2 * ang + lobes[0]) + 0.05f * std::sin(3 * ang + lobes[1]) +
              0.03f * std::sin(5 * ang + lobes[2]) + 0.035f * Noise1(ang * 3, seed + 1);
    return f;
  };
  std::vector<float> height(size_t(w) * h, 0.0f);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const float dx = (x + 0.5f - cx) / rx, dy = (baseY - (y + 0.5f)) / ry;
      const float ang = std::atan2(std::max(dy, 0.0f), dx);
      const float rr = std::sqrt(dx * dx + std::max(dy, 0.0f) * std::max(dy, 0.0f)) / outline(ang);
      // Squarish top: superellipse-like profile.
      const float inside = 1 - std::pow(rr, 2.6f);
      if (dy < -0.02f) continue;
      const float edgePx = (1 - rr) * std::min(rx, ry);
      const float cov = Clamp01(edgePx + 0.5f) * Clamp01((dy + 0.02f) * ry);
      if (cov <= 0) continue;
      const float detail = Fbm(x * 0.03f, y * 0.03f, seed + 3, 5) * 0.18f + Ridged(x * 0.02f, y * 0.05f, seed + 4, 4) * 0.12f;
      height[size_t(y) * w + x] = std::sqrt(std::max(inside, 0.0f)) + detail;
      img.A(x, y) = cov;
    }
  }
  const float lx = -0.55f, ly = 0.62f, lz = 0.56f;  // light from the upper left, in front
  const Rgb stoneA = Hex(0x8c877c), stoneB = Hex(0x6e6a63), lichen = Hex(0xb7ad7c), moss = Hex(0x5d7338);
  for (int y = 1; y < h - 1; ++y) {
    for (int x = 1; x < w - 1; ++x) {
      if (img.A(x, y) <= 0) continue;
      const float hx = (height[size_t(y) * w + x + 1] - height[size_t(y) * w + x - 1]) * w * 0.12f;
      const float hy = (height[size_t(y - 1) * w + x] - height[size_t(y + 1) * w + x]) * h * 0.12f;
      const float nz = 1.0f, len = std::sqrt(hx * hx + hy * hy + nz * nz);
      const float nx = -hx / len, ny = -hy / len, nnz = nz / len;
      const float diffuse = Clamp01(nx * lx + ny * ly + nnz * lz);
      const float grain = Fbm(x * 0.25f, y * 0.25f, seed + 8, 3) * 0.5f + 0.5f;
      Rgb c = Mix(stoneB, stoneA, grain);
      const float lich = SmoothStep(0.62f, 0.72f, Fbm(x * 0.06f, y * 0.06f, seed + 9, 4) * 0.5f + 0.5f);
      c = Mix(c, lichen, lich * 0.55f);
      const float up = Clamp01(ny * 1.4f + 0.2f);
      const float mossAmt = mossy * SmoothStep(0.45f, 0.8f, up + 0.3f * Fbm(x * 0.05f, y * 0.05f, seed + 12, 4));
      c = Mix(c, moss, mossAmt);
      const float ao = 0.55f + 0.45f * SmoothStep(0.0f, 0.45f, (baseY - y) / ry);
      const float light = (0.32f + 0.85f * diffuse) * ao;
      img.At(x, y) = c * light + Rgb{0.02f, 0.025f, 0.04f};  // a little sky bounce in shadows
    }
  }
  DilateColour(img, 6);
  return img;
}

Image MakeConifer(int w, int h, uint32_t seed, bool pine) {
  Image img(w, h, Hex(0x2a3a26), 0);
  Rng rng(seed);
  const float cx = w * 0.5f;
  const float sc = w / 128.0f;  // needle sizes follow the texture's scale
  if (!pine) {
    // Spruce: a narrow cone of drooping branches with upturned tips, densely needled.
    const float top = h * 0.015f, bottom = h * 0.93f, base = h * 0.995f;
    TaperStroke(img, cx, base, cx, top + h * 0.05f, w * 0.07f, w * 0.015f, Hex(0x3e3128));
    const Rgb dark = Hex(0x15261b), midC = Hex(0x29432d), lit = Hex(0x5f7d4a);
    for (int layer = 0; layer < 3; ++layer) {
      const int branches = 46;
      for (int b = 0; b < branches; ++b) {
        const float f = (b + rng.Uniform()) / branches;  // 0 top .. 1 bottom
        const float y = top + (bottom - top) * f;
        const float reach = (w * 0.46f) * (0.08f + 0.92f * std::pow(f, 0.95f)) * rng.Range(0.75f, 1.05f);
        const int side = (b + layer) % 2 ? 1 : -1;
        const float droop = reach * rng.Range(0.25f, 0.45f);
        const int steps = std::max(3, int(reach / (2.2f * sc)));
        float px = cx, py = y;
        for (int k = 1; k <= steps; ++k) {
          const float q = float(k) / steps;
          // Down first, then the tip turns up a little.
          const float nx = cx + side * reach * q;
          const float ny = y + droop * (std::sin(q * kPi * 0.85f) * 0.9f + q * 0.2f);
          if (layer == 0) Stroke(img, px, py, nx, ny, 1.6f * sc * (1.2f - q), Hex(0x2d2a22));
          const float litAmt = Clamp01((side < 0 ? 0.55f : 0.15f) * q + 0.35f * (1 - f) + rng.Range(-0.2f, 0.2f) +
                                       (layer == 2 ? 0.25f : 0.0f));
          const Rgb c = layer == 0 ? dark : Mix(midC, lit, litAmt);
          const int needles = layer == 0 ? 3 : 2;
          for (int n = 0; n < needles; ++n) {
            const float hang = rng.Range(2.5f, 6.5f) * sc * (0.6f + 0.6f * f);
            const float ax = nx + rng.Range(-1.5f, 1.5f) * sc, ay = ny + rng.Range(-1, 1) * sc;
            Stroke(img, ax, ay, ax + side * rng.Range(-0.5f, 2.0f) * sc, ay + hang, (layer == 0 ? 2.2f : 1.3f) * sc, c,
                   layer == 0 ? 1.0f : 0.9f);
          }
          px = nx;
          py = ny;
        }
      }
    }
    TaperStroke(img, cx, top + h * 0.05f, cx, top, 2.5f * sc, 0.6f * sc, midC);
  } else {
    // Scots pine: a tall, slightly bent trunk, copper-coloured above, with a crown of
    // flat needle tufts on a few crooked limbs.
    const Rgb barkLow = Hex(0x4a3a30), barkHigh = Hex(0xa0623c);
    const float base = h * 0.995f;
    float tx = cx, ty = base;
    const int segs = 12;
    std::vector<std::pair<float, float>> trunk;
    for (int k = 0; k < segs; ++k) {
      const float ny = base - (h * 0.72f) * (k + 1) / segs;
      const float nx = tx + rng.Range(-2.5f, 2.5f) * sc;
      const float q = float(k) / segs;
      TaperStroke(img, tx, ty, nx, ny, w * 0.06f * (1 - q * 0.6f), w * 0.06f * (1 - (q + 1.0f / segs) * 0.6f),
                  Mix(barkLow, barkHigh, SmoothStep(0.2f, 0.7f, q)));
      trunk.push_back({nx, ny});
      tx = nx;
      ty = ny;
    }
    const Rgb dark = Hex(0x1c2f20), midC = Hex(0x35523a), lit = Hex(0x7b925a);
    struct Clump { float x, y, r; };
    std::vector<Clump> clumps;
    for (int k = 0; k < 7; ++k) {
      const auto& from = trunk[size_t(std::clamp(segs - 2 - k - rng.Below(2), 5, segs - 1))];
      const float side = (k % 2) ? 1.0f : -1.0f;
      const float ex = from.first + side * rng.Range(0.12f, 0.3f) * w, ey = from.second - rng.Range(0.02f, 0.08f) * h;
      Stroke(img, from.first, from.second, ex, ey, 2.4f * sc, Hex(0x6a4a36));
      clumps.push_back({ex, ey, rng.Range(0.08f, 0.12f) * w});
    }
    clumps.push_back({trunk.back().first, trunk.back().second - h * 0.03f, 0.11f * w});
    for (int layer = 0; layer < 2; ++layer) {
      for (const Clump& c : clumps) {
        const int tufts = int(c.r * c.r * 0.32f);
        for (int t = 0; t < tufts; ++t) {
          const float ang = rng.Range(0, 2 * kPi);
          const float rr = std::sqrt(rng.Uniform()) * c.r;
          const float x = c.x + std::cos(ang) * rr * 1.5f, y = c.y + std::sin(ang) * rr * 0.42f + rr * 0.1f * Noise1(ang * 3, seed);
          const float litAmt = Clamp01(0.5f - (x - c.x) / c.r * 0.35f - (y - c.y) / c.r * 0.6f + rng.Range(-0.25f, 0.25f));
          const Rgb col = layer == 0 ? dark : Mix(midC, lit, litAmt);
          const float len = rng.Range(3, 6) * sc;
          const float na = rng.Range(-kPi, 0);  // needles point up and out
          Stroke(img, x, y, x + std::cos(na) * len, y + std::sin(na) * len * 0.7f, (layer ? 1.3f : 2.0f) * sc, col,
                 0.9f);
        }
      }
    }
  }
  DilateColour(img, 6);
  return img;
}

Image MakeBranch(BranchKind kind, int w, int h, uint32_t seed) {
  Image img(w, h, Hex(0x3b4a2a), 0);
  Rng rng(seed);
  // The branch grows from the middle of the left edge (the sprite's pivot) to the right.
  struct Seg { float x0, y0, x1, y1, w0, w1; };
  std::vector<Seg> stems;
  const float len = w * 0.97f;
  const int steps = 24;
  const bool birch = kind == BranchKind::Birch || kind == BranchKind::AutumnBirch;
  float x = 0, y = h * 0.5f, ang = birch ? -0.05f : 0.03f;
  const float baseW = kind == BranchKind::Spruce ? 9.0f : (kind == BranchKind::Pine ? 10.0f : 7.0f);
  std::vector<std::pair<float, float>> spine;
  for (int i = 0; i < steps; ++i) {
    const float nx = x + std::cos(ang) * len / steps, ny = y + std::sin(ang) * len / steps;
    const float t0 = float(i) / steps, t1 = float(i + 1) / steps;
    stems.push_back({x, y, nx, ny, baseW * (1 - t0 * 0.85f), baseW * (1 - t1 * 0.85f)});
    spine.push_back({nx, ny});
    x = nx;
    y = ny;
    ang += rng.Range(-0.06f, 0.06f) + (birch ? 0.01f : 0.004f);
  }
  const Rgb bark = birch ? Hex(0x5a4a3e) : Hex(0x4b3a2b);
  for (const Seg& s : stems) TaperStroke(img, s.x0, s.y0, s.x1, s.y1, s.w0, s.w1, bark);

  if (birch) {
    // Thin drooping twigs with small oval leaves; light from the upper left. In autumn the
    // leaves are gold, with an odd orange one, and some twigs are already bare.
    const bool autumn = kind == BranchKind::AutumnBirch;
    const Rgb leafDark = autumn ? Hex(0x9a6a1c) : Hex(0x3e6a2a), leafMid = autumn ? Hex(0xdca532) : Hex(0x6f9a3a),
              leafLit = autumn ? Hex(0xfbe27a) : Hex(0xb8cf62);
    for (size_t i = 3; i < spine.size(); ++i) {
      for (int twig = 0; twig < 2; ++twig) {
        const float sx = spine[i].first, sy = spine[i].second;
        const float dir = (twig == 0 ? -1.0f : 1.0f);
        const float tl = rng.Range(30, 70) * (1.2f - float(i) / spine.size() * 0.5f);
        float tx = sx, ty = sy, ta = 0.3f + dir * rng.Range(0.4f, 0.9f);
        for (int k = 0; k < 9; ++k) {
          const float nx = tx + std::cos(ta) * tl / 9, ny = ty + std::sin(ta) * tl / 9;
          Stroke(img, tx, ty, nx, ny, 1.4f, bark, 0.9f);
          tx = nx; ty = ny;
          ta += 0.1f;  // twigs hang
          if (k >= 1) {
            for (int l = 0; l < 2; ++l) {
              const float la = ta + (l ? 1.0f : -1.0f) * rng.Range(0.5f, 1.2f) + 0.6f;
              const float ls = rng.Range(3.2f, 5.2f);
              const float lcx = tx + std::cos(la) * ls, lcy = ty + std::sin(la) * ls;
              const float litAmt = Clamp01(0.5f - (lcy - h * 0.5f) / h + rng.Range(-0.35f, 0.35f));
              Rgb c = litAmt < 0.5f ? Mix(leafDark, leafMid, litAmt * 2) : Mix(leafMid, leafLit, (litAmt - 0.5f) * 2);
              if (autumn) {
                if (Hash(int(lcx), int(lcy), seed) % 5 == 0) continue;  // fallen already
                if (Hash(int(lcy), int(lcx), seed + 1) % 7 == 0) c = Mix(c, Hex(0xc8561e), 0.7f);
              }
              FillEllipse(img, lcx, lcy, ls, ls * 0.55f, la, c, 1, 0.9f);
              Stroke(img, lcx - std::cos(la) * ls * 0.6f, lcy - std::sin(la) * ls * 0.6f, lcx + std::cos(la) * ls * 0.6f,
                     lcy + std::sin(la) * ls * 0.6f, 0.6f, Mix(c, leafLit, 0.4f), 0.5f);
            }
          }
        }
      }
    }
  } else {
    // Needled shoots: side shoots along the stem, each a comb of needles.
    const bool spruce = kind == BranchKind::Spruce;
    const Rgb nDark = spruce ? Hex(0x1f3524) : Hex(0x2b4226), nMid = spruce ? Hex(0x35573a) : Hex(0x4b6b34),
              nLit = spruce ? Hex(0x6d8f5a) : Hex(0x93a95a);
    for (int layer = 0; layer < 2; ++layer) {
      for (size_t i = 1; i < spine.size(); ++i) {
        const float sx = spine[i].first, sy = spine[i].second;
        const float along = float(i) / spine.size();
        for (int sideShoot = 0; sideShoot < 2; ++sideShoot) {
          const float dir = sideShoot ? 1.0f : -1.0f;
          const float sa = dir * rng.Range(0.6f, 1.1f) + 0.15f;
          const float sl = (spruce ? rng.Range(30, 60) : rng.Range(22, 42)) * (1.1f - along * 0.5f);
          const float ex = sx + std::cos(sa) * sl, ey = sy + std::sin(sa) * sl;
          if (layer == 0) Stroke(img, sx, sy, ex, ey, 2.0f, bark, 0.9f);
          const int needles = spruce ? 16 : 8;
          for (int n = 0; n < needles; ++n) {
            const float q = (n + rng.Uniform()) / needles;
            const float nx0 = Lerp(sx, ex, q), ny0 = Lerp(sy, ey, q);
            for (int side = -1; side <= 1; side += 2) {
              const float na = sa + side * (spruce ? rng.Range(0.7f, 1.1f) : rng.Range(0.25f, 0.6f)) + 0.25f;
              const float nl = spruce ? rng.Range(6, 10) : rng.Range(14, 24);
              const float litAmt = Clamp01(0.55f - (ny0 - h * 0.5f) / h * 1.2f + rng.Range(-0.3f, 0.3f) - layer * 0.0f);
              Rgb c = layer == 0 ? nDark : (litAmt < 0.5f ? Mix(nDark, nMid, litAmt * 2) : Mix(nMid, nLit, (litAmt - 0.5f) * 2));
              Stroke(img, nx0, ny0, nx0 + std::cos(na) * nl, ny0 + std::sin(na) * nl, spruce ? 1.6f : 1.3f, c,
                     layer == 0 ? 0.8f : 0.95f);
            }
          }
        }
      }
    }
  }
  DilateColour(img, 6);
  return img;
}

Image MakeBirchTrunk(int w, int h, uint32_t seed) {
  Image img(w, h, Hex(0xd8d4c8), 0);
  const float cx = w * 0.5f;
  for (int y = 0; y < h; ++y) {
    const float v = (y + 0.5f) / h;  // 0 top .. 1 foot
    // A slight sway of the trunk and a flare at the foot.
    const float mid = cx + w * 0.06f * Fbm1(v * 3, seed, 3);
    const float half = w * (0.26f + 0.03f * Fbm1(v * 9, seed + 1, 2) + 0.12f * SmoothStep(0.85f, 1.0f, v));
    for (int x = 0; x < w; ++x) {
      const float s = (x + 0.5f - mid) / half;  // -1 left edge .. 1 right edge
      const float cov = Clamp01((1 - std::fabs(s)) * half + 0.5f);
      if (cov <= 0) continue;
      // Round: lit on the left, shaded on the right, a little reflected light at the rim.
      const float light = Clamp01(0.85f - 0.55f * s - 0.35f * s * s * s * s + 0.1f * SmoothStep(0.75f, 1.0f, s));
      Rgb c = Mix(Hex(0x8d8a86), Hex(0xf2efe6), light);
      // Lenticels: thin dark dashes across the trunk; larger scars where branches were.
      const float dash = Fbm(x * 0.25f, y * 1.6f, seed + 3, 2) + 0.4f * Fbm(x * 0.05f, y * 0.12f, seed + 4, 2);
      c = Mix(c, Hex(0x2b2824), SmoothStep(0.42f, 0.6f, dash) * 0.85f);
      const float scar = Fbm(x * 0.08f, y * 0.06f, seed + 5, 3);
      c = Mix(c, Hex(0x1e1c1a), SmoothStep(0.5f, 0.62f, scar) * 0.9f);
      // Towards the foot the bark turns black and fissured.
      const float foot = SmoothStep(0.7f, 0.95f, v + 0.08f * Fbm(x * 0.1f, y * 0.02f, seed + 6, 2));
      const float fissure = Fbm(x * 0.3f, y * 0.04f, seed + 7, 3) * 0.5f + 0.5f;
      c = Mix(c, Mix(Hex(0x1f1d1b), Hex(0x6b665e), fissure * light), foot);
      img.At(x, y) = c;
      img.A(x, y) = cov;
    }
  }
  DilateColour(img, 4);
  return img;
}

Image Relit(Image img, Rgb mul) {
  for (Rgb& c : img.c) c = c * mul;
  return img;
}

Image Snowed(Image img, float depth, uint32_t seed) {
  const Image src = img;
  const int reach = std::max(1, int(depth * 1.6f));
  for (int y = 0; y < img.h; ++y) {
    for (int x = 0; x < img.w; ++x) {
      if (src.A(x, y) < 0.3f) continue;
      // How deep under an open edge this texel lies.
      int under = reach + 1;
      for (int k = 1; k <= reach && y - k >= 0; ++k) {
        if (src.A(x, y - k) < 0.3f) { under = k; break; }
      }
      const float n = Fbm(x * 0.15f, y * 0.15f, seed, 3) * 0.5f + 0.5f;
      const float cap = Clamp01((depth * (0.6f + 0.8f * n) - under) / 1.5f);
      if (cap <= 0) continue;
      const float lit = Clamp01(0.75f - 0.6f * (float(x) / img.w - 0.5f) + 0.25f * (n - 0.5f));
      img.At(x, y) = Mix(img.At(x, y), Mix(Hex(0x9aa8c8), Hex(0xf8f9fb), lit), cap);
    }
  }
  return img;
}

Image SnowLaden(Image img, float depth, uint32_t seed) {
  img = Snowed(std::move(img), depth, seed);
  const Image src = img;
  // The first covered row at or below y0 in column x (h when there is none within reach).
  auto surface = [&](int x, int y0) {
    for (int y = std::max(0, y0); y < std::min(src.h, y0 + 12); ++y) {
      if (src.A(std::clamp(x, 0, src.w - 1), y) > 0.6f) return float(y);
    }
    return float(src.h);
  };
  // The snow is painted on a layer of its own (snow-coloured where it is clear, so its
  // soft edges do not darken) and laid over the branch.
  Image snow(img.w, img.h, Hex(0xe4e9f3), 0);
  Rng rng(seed + 1);
  for (int y = 1; y + 8 < img.h; ++y) {
    for (int x = 0; x < img.w; ++x) {
      // Only on an upper edge with enough of the branch under it to carry the snow.
      if (src.A(x, y) < 0.6f || src.A(x, y - 1) > 0.3f || Hash(x, y, seed + 2) % 4 != 0) continue;
      int support = 0;
      for (int k = 0; k < 8; ++k) support += src.A(x, y + k) > 0.5f;
      if (support < 5) continue;
      // The snow lies along the shoot: turned to the slope of the edge around it.
      const float l = surface(x - 4, y - 6), r = surface(x + 4, y - 6);
      const float angle = (l < src.h && r < src.h) ? std::clamp(std::atan2(r - l, 8.0f), -0.7f, 0.7f) : 0.0f;
      const float size = rng.Range(2.0f, 2.0f + 0.3f * depth);
      const float lit = Clamp01(0.8f - 0.5f * (float(x) / img.w - 0.5f) + rng.Range(-0.1f, 0.1f));
      // A soft ridge: its blue underside just below, the lit top over it.
      FillEllipse(snow, x, y + size * 0.25f, size * 2.0f, size * 0.55f, angle, Mix(Hex(0x95a4c6), Hex(0xc4cee4), lit), 0.7f,
                  1.2f);
      FillEllipse(snow, x - size * 0.2f, y - size * 0.05f, size * 1.9f, size * 0.5f, angle,
                  Mix(Hex(0xd0d8ea), Hex(0xfbfcfd), lit), 0.9f, 1.2f);
    }
  }
  for (size_t i = 0; i < img.a.size(); ++i) {
    const float sa = snow.a[i], a = img.a[i] + sa * (1 - img.a[i]);
    if (sa <= 0) continue;
    img.c[i] = (img.c[i] * (img.a[i] * (1 - sa)) + snow.c[i] * sa) * (1 / a);
    img.a[i] = a;
  }
  DilateColour(img, 4);
  return img;
}

Image WithStars(Image sky, int count, uint32_t seed) {
  Rng rng(seed);
  for (int i = 0; i < count; ++i) {
    const float x = rng.Range(3, float(sky.w) - 3), v = rng.Uniform() * rng.Uniform();  // more high up; clear of the wrap
    const float y = v * sky.h;
    const float b = rng.Uniform();
    const float r = 0.45f + 0.7f * b * b;
    const Rgb c = Mix(Hex(0xb8c4ff), Hex(0xfff4dc), rng.Uniform());
    FillEllipse(sky, x, y, r, r, 0, c, (0.35f + 0.65f * b) * (1 - 0.7f * v), 0.8f);
  }
  return sky;
}

}  // namespace qhc
