// The landscape painting shared by the scenes (see landscape.h).
#include "tools/content/landscape.h"

#include <algorithm>
#include <cmath>

namespace qhc {

std::vector<float> RangeProfile(const Range& r) {
  std::vector<float> top(W);
  for (int x = 0; x < W; ++x) {
    const float smooth = Fbm1(x * r.freq * 0.6f, r.seed + 2, 4, 0.45f) * 0.9f + 0.3f;
    const float peaks = Ridged(x * r.freq, 0.5f, r.seed, 4) * 1.25f - 0.45f;
    top[size_t(x)] = r.baseRow - r.amp * Lerp(smooth, peaks, r.peaky);
  }
  return top;
}

std::vector<float> BoxBlur(const std::vector<float>& v, int radius) {
  std::vector<float> out(v.size());
  for (int x = 0; x < int(v.size()); ++x) {
    float sum = 0;
    int n = 0;
    for (int k = -radius; k <= radius; ++k) {
      sum += v[size_t(std::clamp(x + k, 0, int(v.size()) - 1))];
      ++n;
    }
    out[size_t(x)] = sum / n;
  }
  return out;
}

void PaintRange(Image& bg, const Range& r, const std::vector<float>& top) {
  // Facets: the slope of the crest line, smoothed more the deeper below the crest, so a
  // peak's lit left flank and shaded right flank run down and widen like real ridges.
  const int radii[4] = {2, 8, 22, 55};
  std::vector<float> slopes[4];
  for (int k = 0; k < 4; ++k) {
    const auto blurred = BoxBlur(top, radii[k]);
    slopes[k].resize(W);
    for (int x = 0; x < W; ++x)
      slopes[k][size_t(x)] = (blurred[size_t(std::min(x + 2, W - 1))] - blurred[size_t(std::max(x - 2, 0))]) / 4.0f;
  }
  for (int x = 0; x < W; ++x) {
    const float slope = slopes[0][size_t(x)];
    const float edgeScale = 1.0f / std::sqrt(1 + slope * slope);
    for (int y = std::max(0, int(top[size_t(x)]) - 1); y < H; ++y) {
      const float d = y + 0.5f - top[size_t(x)];
      const float cov = Clamp01(d * edgeScale + 0.5f);
      if (cov <= 0) continue;
      // Which smoothed slope applies at this depth (a warped depth, so facets are irregular).
      const float wd = d * (1 + 0.5f * Fbm(x * 0.02f, y * 0.02f, r.seed + 4, 3)) / std::max(r.amp, 8.0f) * 3;
      const float level = std::clamp(wd, 0.0f, 2.999f);
      const int li = int(level);
      const float facet = Lerp(slopes[li][size_t(x)], slopes[li + 1][size_t(x)], level - li);
      const float wx = x + 18 * Fbm(x * 0.01f, y * 0.01f, r.seed + 9, 3);
      const float g0 = Ridged((wx - 1.5f) * 0.02f, y * 0.01f, r.seed + 5, 5);
      const float g1 = Ridged((wx + 1.5f) * 0.02f, y * 0.01f, r.seed + 5, 5);
      float light = 0.52f - facet * 1.8f + (g0 - g1) * 3.2f * r.gully + 0.12f * Fbm(x * 0.015f, y * 0.03f, r.seed + 6, 4);
      light = Clamp01(light);
      Rgb c = Mix(r.shade, r.lit, light);
      if (r.snow > 0) {
        const float n = Fbm(x * 0.025f, y * 0.06f, r.seed + 7, 4) * 0.5f + 0.5f;
        const float height = 1 - d / (r.amp * 1.1f);
        const float s = r.snow * 1.6f * SmoothStep(0.7f, 0.85f, height * 0.9f + n * 0.45f + (g0 + g1) * 0.2f - 0.2f * light);
        const Rgb snowC = Mix(Hex(0x8e9fbf), Hex(0xf4f5f7), SmoothStep(0.2f, 0.75f, light));
        c = Mix(c, snowC, Clamp01(s));
      }
      const float lowAmt =
          SmoothStep(r.lowFrom, r.lowFrom + r.amp * 0.5f + 10, d + 14 * Fbm(x * 0.03f, y * 0.03f, r.seed + 8, 3));
      c = Mix(c, r.low * (0.75f + 0.5f * light), lowAmt);
      const float fog = r.fogAmt * SmoothStep(0, r.fogDepth, d);
      c = Mix(c, r.haze, Clamp01(r.hazeAmt + fog * (1 - r.hazeAmt)));
      bg.Over(x, y, c, cov);
    }
  }
}

std::vector<float> MassifProfile(const std::vector<Summit>& summits, float baseRow, float rough, uint32_t seed) {
  std::vector<float> top(W, baseRow);
  for (int x = 0; x < W; ++x) {
    float row = baseRow + 12 * Fbm1(x * 0.006f, seed, 3);
    for (const Summit& s : summits) {
      const float dx = x - s.x;
      const float slope = dx < 0 ? s.left : s.right;
      // Steep near the summit, easing into the shoulders: rows grow slower than the distance.
      const float a = std::fabs(dx);
      const float drop = slope * a / (1 + a / 260.0f) * (1 + 0.35f * Fbm1(x * 0.013f, seed + uint32_t(s.x), 3));
      row = std::min(row, s.row + drop);
    }
    // Towers and notches on the crest, and a fine break-up of the rock's edge.
    row += rough * (10 * Fbm1(x * 0.021f, seed + 1, 3) + 6 * (Ridged(x * 0.045f, 0.3f, seed + 2, 3) - 0.5f) +
                    2 * Fbm1(x * 0.16f, seed + 3, 2));
    top[size_t(x)] = row;
  }
  return top;
}

void PaintCrags(Image& bg, const Crags& c, const std::vector<float>& top) {
  // The broad lie of the face: the crest's slope smoothed more the deeper below it, so a
  // summit's flanks run down and widen into buttresses.
  const int radii[4] = {3, 10, 28, 70};
  std::vector<float> slopes[4];
  for (int k = 0; k < 4; ++k) {
    const auto blurred = BoxBlur(top, radii[k]);
    slopes[k].resize(W);
    for (int x = 0; x < W; ++x)
      slopes[k][size_t(x)] = (blurred[size_t(std::min(x + 3, W - 1))] - blurred[size_t(std::max(x - 3, 0))]) / 6.0f;
  }
  auto slopeAt = [&](int x, float d) {
    const float level = std::clamp(d / 45.0f, 0.0f, 2.999f);
    const int li = int(level);
    return Lerp(slopes[li][size_t(x)], slopes[li + 1][size_t(x)], level - li);
  };
  const int y0 = std::max(0, int(*std::min_element(top.begin(), top.end())) - 2);
  const int y1 = std::min(H, int(c.bottom));
  if (y1 <= y0) return;
  const int rows = y1 - y0 + 1;
  // The relief, the rock's nearness: ridges and gullies along the fall line (which leans
  // outwards down each flank), beds of rock stepping down the face in uneven courses, and
  // a rough surface. Kept with the ridges alone (for the snow) and the position in the bed.
  std::vector<float> relief(size_t(W + 1) * rows), ridgesAt(size_t(W) * rows), bedAt(size_t(W) * rows);
  for (int r = 0; r < rows; ++r) {
    const float y = float(y0 + r);
    for (int x = 0; x <= W; ++x) {
      const int xc = std::min(x, W - 1);
      const float d = y + 0.5f - top[size_t(xc)];
      const float fall = slopeAt(xc, std::max(d, 0.0f));
      const float u = x - d * fall * 0.55f + 10 * Fbm(x * 0.01f, y * 0.01f, c.seed + 1, 2);
      const float big = Ridged(u * 0.022f, y * 0.006f, c.seed + 2, 4);
      float value = big * 16 + Ridged(u * 0.06f, y * 0.02f, c.seed + 3, 3) * 5;
      float f = 0.5f;
      if (c.bedding > 0) {
        const float b = (y + c.tilt * x + c.bedding * 0.8f * Fbm(x * 0.006f, y * 0.004f, c.seed + 4, 3)) / c.bedding;
        f = b - std::floor(b);
        value += 2.5f * SmoothStep(0.0f, 0.35f, f) + 2.5f * std::floor(b);  // a ledge, then a face
      }
      value += 2.5f * Fbm(x * 0.09f, y * 0.09f, c.seed + 5, 2);
      relief[size_t(r) * (W + 1) + size_t(x)] = value;
      if (x < W) {
        ridgesAt[size_t(r) * W + size_t(x)] = big;
        bedAt[size_t(r) * W + size_t(x)] = f;
      }
    }
  }
  const float sunLen = std::sqrt(c.sunX * c.sunX + 0.6f * 0.6f);
  const float sx = c.sunX / sunLen, sy = -0.6f / sunLen;  // the light comes from above
  for (int x = 0; x < W; ++x) {
    const float crestSlope = slopes[0][size_t(x)];
    const float edgeScale = 1.0f / std::sqrt(1 + crestSlope * crestSlope);
    for (int y = std::max(y0, int(top[size_t(x)]) - 1); y < y1; ++y) {
      const float d = y + 0.5f - top[size_t(x)];
      const float cov = Clamp01(d * edgeScale + 0.5f);
      if (cov <= 0) continue;
      const size_t r = size_t(y - y0);
      const float fall = slopeAt(x, std::max(d, 0.0f));
      const float r0 = relief[r * (W + 1) + size_t(x)];
      const float gx = relief[r * (W + 1) + size_t(x) + 1] - r0, gy = relief[(r + 1) * (W + 1) + size_t(x)] - r0;
      // A face turned towards the light: the broad flank's slope and the relief's gradient.
      const float nx = -gx * 0.8f + fall * 1.1f, ny = -gy * 0.6f - 0.4f;
      float light = 0.45f + 0.5f * (nx * sx + ny * sy) + 0.08f * Fbm(x * 0.02f, y * 0.04f, c.seed + 6, 3);
      light = Clamp01(light);
      const uint32_t bed = c.bedding > 0 ? Hash(int(std::floor((y + c.tilt * x) / c.bedding)), 0, c.seed + 7) : 0;
      const float bedTone = 0.94f + 0.12f * float(bed & 255) / 255.0f;
      Rgb col = Mix(c.shade, Mix(c.lit, c.warm, light * light), light) * bedTone;
      // Snow: in the gullies and in patches on the ledges, where the face is not too
      // steep, thinning out towards the snow line; lit like the rock under it.
      if (c.snow > 0) {
        const float hollow = 1 - ridgesAt[r * W + size_t(x)];
        const float patches = SmoothStep(-0.1f, 0.35f, Fbm(x * 0.012f, y * 0.025f, c.seed + 10, 3));
        const float ledge = c.bedding > 0 ? (1 - SmoothStep(0.0f, 0.3f, bedAt[r * W + size_t(x)])) * patches : 0;
        const float high = 1 - SmoothStep(c.snowLine * 0.4f, c.snowLine, d + 25 * Fbm(x * 0.02f, y * 0.02f, c.seed + 8, 3));
        const float steep = SmoothStep(1.6f, 0.6f, std::fabs(fall));
        const float n = Fbm(x * 0.05f, y * 0.08f, c.seed + 9, 3);
        const float s = c.snow * high * (0.5f + 0.5f * steep) *
                        SmoothStep(0.45f, 0.7f, 0.6f * hollow + 0.35f * ledge + 0.3f * n + 0.15f * c.snow + c.cover * steep);
        col = Mix(col, Mix(c.snowShade, c.snowLit, SmoothStep(0.25f, 0.75f, light)), Clamp01(s * 1.4f));
      }
      const float fog = c.fogAmt * SmoothStep(0, c.fogDepth, d);
      col = Mix(col, c.haze, Clamp01(c.hazeAmt + fog * (1 - c.hazeAmt)));
      bg.Over(x, y, col, cov);
    }
  }
}

void CutNotch(std::vector<float>& crest, float x, float depth, float halfWidth) {
  for (int i = 0; i < W; ++i) {
    const float t = std::fabs(i - x) / halfWidth;
    if (t < 1) crest[size_t(i)] += depth * (1 - t * t) * (1 - 0.3f * t);
  }
}

void PaintSnowfield(Image& bg, float x, float lipRow, float halfWidth, Rgb lit, Rgb shade, Rgb rock, uint32_t seed) {
  const float reach = halfWidth * 1.8f;
  for (int px = std::max(0, int(x - reach)); px < std::min(W, int(x + reach)); ++px) {
    const float dx = (px - x) / reach;
    const float top = lipRow - halfWidth * 0.6f + halfWidth * 0.4f * dx * dx + 5 * Fbm1(px * 0.04f, seed, 3);
    for (int y = std::max(0, int(top)); y < int(lipRow) + 30 && y < H; ++y) {
      const float d = y + 0.5f - top;
      // Lit on its upper slope, bluer where it dips to the lip; rock shows through in places.
      const float n = Fbm(px * 0.06f, y * 0.12f, seed + 1, 3);
      Rgb c = Mix(lit, shade, SmoothStep(0, halfWidth * 0.6f, d) * 0.8f + 0.2f * n);
      c = Mix(c, rock, SmoothStep(0.35f, 0.55f, n) * 0.8f);
      const float melt = std::exp(-std::pow((px - x - 3 * std::sin(d * 0.3f)) / 1.6f, 2.0f)) * SmoothStep(6, 18, d);
      c = Mix(c, rock, melt * 0.7f);
      bg.Over(px, y, c, Clamp01(d + 0.5f));
    }
  }
}

float CourseAt(const std::vector<float>& rows, const std::vector<float>& cols, float row) {
  size_t k = 1;
  while (k + 3 < rows.size() && row > rows[k + 1]) ++k;
  const float t = Clamp01((row - rows[k]) / (rows[k + 1] - rows[k]));
  const float p0 = cols[k - 1], p1 = cols[k], p2 = cols[k + 1], p3 = cols[k + 2];
  const float t2 = t * t, t3 = t2 * t;
  return 0.5f * (2 * p1 + (p2 - p0) * t + (2 * p0 - 5 * p1 + 4 * p2 - p3) * t2 + (3 * p1 - p0 - 3 * p2 + p3) * t3);
}

void PaintTreeSilhouette(Image& bg, float bx, float by, float th, Rgb dark, Rgb lit, Rng& rng) {
  const int y0 = int(by - th), y1 = int(by);
  for (int y = std::max(0, y0); y <= std::min(H - 1, y1); ++y) {
    const float f = (y + 0.5f - (by - th)) / th;  // 0 at the tip, 1 at the foot
    const float tier = 0.7f + 0.3f * std::fabs(std::sin(f * th * 0.55f + bx));
    const float hw = std::max(0.35f, th * 0.2f * std::pow(f, 0.85f) * tier);
    for (int x = int(bx - hw - 1); x <= int(bx + hw + 1); ++x) {
      if (x < 0 || x >= W) continue;
      const float dx = x + 0.5f - bx;
      const float cov = Clamp01(hw - std::fabs(dx) + 0.5f);
      const Rgb c = Mix(dark, lit, Clamp01(-dx / (hw + 0.5f) * 0.8f + 0.1f));
      bg.Over(x, y, c, cov);
    }
  }
  (void)rng;
}

void PaintForest(Image& bg, const std::vector<float>& top, float fromDepth, float toDepth, float minH, float maxH,
                 float density, Rgb dark, Rgb lit, Rgb haze, float hazeFar, float hazeNear, uint32_t seed,
                 float xFrom, float xTo, const ForestBreaks& breaks) {
  Rng rng(seed);
  const int rows = int(toDepth - fromDepth);
  // Clearings are blobs in (column, depth below the crest); stretched sideways as slopes are.
  auto clearingAt = [&](float x, float depth) {
    return SmoothStep(0.68f - 0.2f * breaks.clearing, 0.75f - 0.2f * breaks.clearing,
                      Fbm(x * 0.006f, depth * 0.045f, seed + 3, 3) * 0.5f + 0.5f);
  };
  if (breaks.clearing > 0) {
    for (int x = int(xFrom); x < int(xTo) && x < W; ++x) {
      if (x < 0) continue;
      for (int k = 0; k <= rows; ++k) {
        const int y = int(top[size_t(x)] + fromDepth + k);
        if (y < 0 || y >= H || bg.A(x, y) < 0.5f) continue;
        const float open = clearingAt(float(x), float(k));
        if (open <= 0) continue;
        const float f = rows > 0 ? float(k) / rows : 1;
        const float n = Fbm(x * 0.05f, y * 0.12f, seed + 5, 3);
        // Lighter towards the upper edge of a clearing, where the slope faces the sky.
        const Rgb g = breaks.ground * (0.85f + 0.3f * n) * (1.05f - 0.15f * f);
        bg.At(x, y) = Mix(bg.At(x, y), Mix(g, haze, Lerp(hazeFar, hazeNear, f)), open);
      }
    }
  }
  for (int k = 0; k <= rows; k += 2) {
    const float f = rows > 0 ? float(k) / rows : 1;
    const float th = Lerp(minH, maxH, f);
    const float step = std::max(2.0f, th * 0.4f);
    for (float x = xFrom + rng.Range(0, step); x < xTo; x += step * rng.Range(0.6f, 1.4f)) {
      const float dn = Fbm(x * 0.012f, k * 0.05f, seed + 1, 3) * 0.5f + 0.5f;
      if (dn < 1 - density) continue;
      const int xi = std::clamp(int(x), 0, W - 1);
      const float by = top[size_t(xi)] + fromDepth + k + rng.Range(-1, 1);
      float h = th * rng.Range(0.75f, 1.25f);
      if (breaks.clearing > 0 || breaks.heightVar > 0) {
        // A clearing keeps only a lone tree here and there; groves differ in height and a
        // few old trees stand out above the rest.
        const float open = breaks.clearing > 0 ? clearingAt(x, float(k)) : 0;
        const float keep = rng.Uniform();
        const float tall = rng.Uniform();
        if (keep < open * 0.97f) continue;
        h *= 1 + breaks.heightVar * 1.8f * Fbm(x * 0.01f, k * 0.04f, seed + 4, 3);
        if (tall < 0.06f) h *= 1 + breaks.heightVar * 1.5f;
        h = std::max(h, 2.0f);
      }
      const float hz = Lerp(hazeFar, hazeNear, f);
      PaintTreeSilhouette(bg, x, by, h, Mix(dark, haze, hz), Mix(lit, haze, hz), rng);
    }
  }
}

void PaintMeadow(Image& bg, const std::vector<float>& top, const Meadow& m, float hazeDepth) {
  for (int x = 0; x < W; ++x) {
    const float slope = (top[size_t(std::min(x + 3, W - 1))] - top[size_t(std::max(x - 3, 0))]) / 6.0f;
    for (int y = std::max(0, int(top[size_t(x)]) - 1); y < H; ++y) {
      const float d = y + 0.5f - top[size_t(x)];
      const float cov = Clamp01(d / std::sqrt(1 + slope * slope) + 0.5f);
      if (cov <= 0) continue;
      const float persp = 0.3f + float(y) / H;  // nearer: larger patches
      const float n = Fbm(x * 0.012f / persp, y * 0.03f / persp, m.seed, 5) * 0.5f + 0.5f;
      const float dryN = Fbm(x * 0.006f, y * 0.015f, m.seed + 3, 4) * 0.5f + 0.5f;
      const float light = Clamp01(0.55f - slope * 0.8f + (n - 0.5f) * 0.9f);
      Rgb c = Mix(m.shade, m.lit, light);
      c = Mix(c, m.dry * (0.75f + 0.4f * light), SmoothStep(0.55f, 0.8f, dryN) * 0.6f);
      const float streak = Fbm(x * 0.05f / persp, y * 0.2f / persp, m.seed + 5, 3) * 0.07f;
      c = c + Rgb{streak, streak * 1.1f, streak * 0.5f};
      // Slow shadows of clouds drift over the meadows in broad patches.
      const float cloud = SmoothStep(0.1f, 0.35f, Fbm(x * 0.004f, y * 0.012f, m.seed + 9, 3));
      c = c * (1 - 0.22f * cloud);
      c = Mix(c, m.haze, m.hazeAmt * (1 - SmoothStep(0, hazeDepth, d)));
      bg.Over(x, y, c, cov);
    }
  }
}

void PaintGrass(Image& bg, const std::vector<float>& top, float fromRow, Rgb dark, Rgb lit, uint32_t seed,
                float amount, float patchy) {
  Rng rng(seed);
  for (int y = int(fromRow); y < H + 20; y += 2) {
    const float near = Clamp01((y - fromRow) / float(H - fromRow));
    const float len = 4 + 26 * near * near;
    const int count = int(amount * (70 + 120 * near));
    for (int i = 0; i < count; ++i) {
      const float x = rng.Range(-10, W + 10);
      const int xi = std::clamp(int(x), 0, W - 1);
      if (y < top[size_t(xi)] + 4) continue;
      const float lean = rng.Range(-0.5f, 0.6f);
      float l = len * rng.Range(0.6f, 1.3f);
      const float t = rng.Uniform();
      Rgb c = Mix(dark, lit, Clamp01(t * 0.9f + lean * 0.3f));
      if (patchy > 0) {
        // Patches: dry straw-coloured turf, lush dark clumps, short grazed grass and tall tufts.
        const float persp = 0.3f + float(y) / H;
        const float dryN = Fbm(x * 0.005f / persp, y * 0.012f / persp, seed + 7, 3);
        const float lushN = Fbm(x * 0.008f / persp, y * 0.02f / persp, seed + 8, 3);
        const float tallN = Fbm(x * 0.01f / persp, y * 0.025f / persp, seed + 9, 3);
        c = Mix(c, Hex(0xcdb97a) * (0.7f + 0.35f * t), SmoothStep(-0.05f, 0.25f, dryN) * patchy * 0.85f);
        c = Mix(c, Mix(Hex(0x1d361b), Hex(0x5a8a3a), t), SmoothStep(0.0f, 0.25f, lushN) * patchy * 0.8f);
        l *= 1 + patchy * (0.9f * SmoothStep(0.0f, 0.4f, tallN) - 0.45f * SmoothStep(0.0f, -0.35f, tallN));
      }
      TaperStroke(bg, x, float(y), x + lean * l * 0.5f, y - l, 1.0f + 1.6f * near, 0.3f, c, 0.85f);
    }
  }
}

void PaintFlowers(Image& bg, const std::vector<float>& top, float fromRow, float toRow, uint32_t seed, float amount) {
  Rng rng(seed);
  const Rgb colours[4] = {Hex(0xf4f1e6), Hex(0xf1d35a), Hex(0xb79ad6), Hex(0xe7a0b4)};
  const int count = int(amount * 400);
  for (int i = 0; i < count; ++i) {
    const float x = rng.Range(0, W), y = rng.Range(fromRow, toRow);
    if (y < top[size_t(std::clamp(int(x), 0, W - 1))] + 6) continue;
    const float cluster = Fbm(x * 0.01f, y * 0.02f, seed + 1, 3);
    if (cluster < 0.1f) continue;
    const float near = (y - fromRow) / (toRow - fromRow + 1);
    const float r = 0.8f + 1.8f * near;
    FillEllipse(bg, x, y, r, r * 0.8f, 0, colours[rng.Below(4)], 0.9f, 0.8f);
  }
}

void Stamp(Image& bg, const Image& tex, float cxPx, float footPx, float wPx, float hPx, bool mirror, Rgb haze,
           float hazeAmt, float shade) {
  Image tinted = tex;
  for (auto& c : tinted.c) c = Mix(c * shade, haze, hazeAmt);
  DrawSprite(bg, tinted, cxPx - 400, 300 - (footPx - hPx * 0.5f), wPx, hPx, 0, 0, 0, mirror ? 1 : 0, 0, mirror ? 0 : 1,
             1, Rgb{1, 1, 1}, 1, Blend::Alpha, &bg.a);
}

void Shadow(Image& bg, float cx, float cy, float rx, float ry, float strength) {
  FillEllipse(bg, cx, cy, rx, ry, 0, Rgb{0.08f, 0.1f, 0.08f}, strength, ry * 0.8f);
}

void PaintStone(Image& bg, float x, float y, float r, float angle, Rgb body, Rgb highlight, float highlightAmt,
                float shadow) {
  Shadow(bg, x + r * 0.3f, y + r * 0.5f, r * 1.6f, r * 0.4f, shadow);
  FillEllipse(bg, x, y, r * 1.5f, r, angle, body, 1, 0.9f);
  FillEllipse(bg, x - r * 0.3f, y - r * 0.45f, r * 0.8f, r * 0.35f, 0, highlight, highlightAmt, 1);
}

void PaintLakeReflection(Image& bg, const Lake& lake, float toRow) {
  const Image src = bg;
  for (int y = int(lake.shoreRow); y < int(toRow) && y < H; ++y) {
    const float depth = (y - lake.shoreRow) / (toRow - lake.shoreRow);
    for (int x = 0; x < W; ++x) {
      const float wob = Fbm(x * 0.01f, y * 0.25f, lake.seed, 3) * (1.5f + 6 * depth);
      const float srcRow = 2 * lake.shoreRow - y - 1 + Fbm(x * 0.02f, y * 0.3f, lake.seed + 1, 2) * 2 * depth;
      const int sy = std::clamp(int(srcRow), 0, H - 1);
      const int sx = std::clamp(int(x + wob), 0, W - 1);
      const float sa = src.A(sx, sy);
      // Ripples break the mirror into horizontal streaks, more so nearer the viewer.
      const float streak = Fbm(x * 0.004f, y * 0.22f, lake.seed + 2, 4) * 0.5f + 0.5f;
      const float breakUp = SmoothStep(0.25f + 0.25f * depth, 0.75f, streak);
      const float a = sa * lake.reflect * (1 - 0.4f * depth) * (0.75f + 0.25f * breakUp);
      const Rgb c = Mix(src.At(sx, sy) * 0.82f, lake.tint, 0.25f + 0.2f * depth);
      bg.At(x, y) = c;
      bg.A(x, y) = a;
    }
  }
}

std::vector<float> GroundLine(float leftRow, float rightRow, float wobble, float freq, uint32_t seed,
                              float bumpX, float bumpH, float bumpW) {
  std::vector<float> top(W);
  for (int x = 0; x < W; ++x) {
    const float t = float(x) / (W - 1);
    float r = Lerp(leftRow, rightRow, t) + wobble * Fbm1(x * freq, seed, 4);
    if (bumpX >= 0) r -= bumpH * std::exp(-std::pow((x - bumpX) / bumpW, 2.0f));
    top[size_t(x)] = r;
  }
  return top;
}

std::vector<float> Coverage(const World& world, const Placed& p) {
  std::vector<float> cov(size_t(W) * H, 0.0f);
  Image scratch(W, H);
  const float w = std::fabs(p.x2 - p.x1), h = std::fabs(p.y2 - p.y1);
  const float cx = (p.x1 + p.x2) / 2, cy = (p.y1 + p.y2) / 2;
  DrawSprite(scratch, world.TextureOf(p.name), cx, cy, w, h, p.angle, cx, cy, p.mirrored ? 1 : 0, 0, p.mirrored ? 0 : 1,
             1, Rgb{1, 1, 1}, 1, Blend::Alpha, &cov);
  return cov;
}

void CutOut(Image& bg, const World& world, const Placed& p) {
  const std::vector<float> cov = Coverage(world, p);
  for (size_t i = 0; i < cov.size(); ++i) bg.a[i] *= 1 - cov[i];
}

void SinkIntoGround(Image& bg, const World& world, const Placed& p, float sink, Rgb grassDark, Rgb grassLit,
                    uint32_t seed) {
  const std::vector<float> cov = Coverage(world, p);
  // The lowest row each column of the object covers, and the uneven line of turf in front
  // of its foot: the object shows only above that line.
  std::vector<float> turf(W, -1.0f);
  for (int x = 0; x < W; ++x) {
    int lowest = -1;
    for (int y = H - 1; y >= 0 && lowest < 0; --y)
      if (cov[size_t(y) * W + x] > 0.5f) lowest = y;
    if (lowest < 0) continue;
    turf[size_t(x)] = lowest + 1 - sink * (0.75f + 0.5f * Fbm1(x * 0.08f, seed, 3));
  }
  for (int y = 0; y < H; ++y) {
    for (int x = 0; x < W; ++x) {
      const size_t i = size_t(y) * W + x;
      if (cov[i] <= 0) continue;
      const float open = turf[size_t(x)] < 0 ? 1.0f : Clamp01(turf[size_t(x)] - (y + 0.5f) + 0.5f);
      bg.a[i] *= 1 - cov[i] * open;
    }
  }
  // Blades rise from the turf line over the object's foot; darker low down, where the
  // object shades them.
  Rng rng(seed);
  for (int x = 0; x < W; ++x) {
    if (turf[size_t(x)] < 0) continue;
    for (int k = 0; k < 3; ++k) {
      const float bx = x + rng.Uniform();
      const float foot = turf[size_t(x)] + rng.Range(1, 3 + sink * 0.4f);
      const float len = sink * rng.Range(0.5f, 1.4f);
      const float lean = rng.Range(-0.5f, 0.5f);
      const Rgb c = Mix(grassDark, grassLit, Clamp01(rng.Range(0.1f, 0.9f)));
      TaperStroke(bg, bx, foot, bx + lean * len * 0.6f, foot - len, 1.3f, 0.3f, c, 0.9f);
    }
  }
}

}  // namespace qhc
