// The three bundled highland scenes. Each background is painted far to near: transparent
// sky, ridges fading into haze with distance, forests, meadows and water, with the alpha
// plane left open where the sky, water and waterfall layers behind it show.
#include "tools/content/scenes.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace qhc {

namespace {

constexpr int W = 800, H = 600;
constexpr float kPi = 3.14159265f;

// World y of a pixel row's top edge, and back.
inline float RowToY(float row) { return 300 - row; }

// ---- ranges of hills and mountains ------------------------------------------------------

struct Range {
  float baseRow, amp, freq;
  uint32_t seed;
  Rgb lit, shade, low;   // rock in light, rock in shade, the clothing of the lower slopes
  float lowFrom;         // pixels below the crest where the lower colour begins
  float snow;            // 0..1
  Rgb haze;
  float hazeAmt;         // aerial perspective: how far the whole range fades into the haze
  float fogDepth, fogAmt;  // valley mist towards the range's foot
  float gully = 1;       // strength of the vertical gullies
  float peaky = 0.7f;    // 0 rounded hills .. 1 sharp peaks
};

std::vector<float> RangeProfile(const Range& r) {
  std::vector<float> top(W);
  for (int x = 0; x < W; ++x) {
    const float smooth = Fbm1(x * r.freq * 0.6f, r.seed + 2, 4, 0.45f) * 0.9f + 0.3f;
    const float peaks = Ridged(x * r.freq, 0.5f, r.seed, 4) * 1.25f - 0.45f;
    top[size_t(x)] = r.baseRow - r.amp * Lerp(smooth, peaks, r.peaky);
  }
  return top;
}

// The profile smoothed over a window: deeper rows of a range follow broader shapes.
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

// ---- small painted conifers -----------------------------------------------------------------

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

// How a forest band is broken up: meadow clearings on the slope (painted in the ground
// colour, with a few lone trees left standing) and groves of taller and lower trees.
struct ForestBreaks {
  float clearing = 0;   // 0 none .. 1 about half the band open
  float heightVar = 0;  // relative spread of tree heights between groves
  Rgb ground;
};

// Scatters conifers over a band below a range's crest: back rows first, smaller and hazier.
void PaintForest(Image& bg, const std::vector<float>& top, float fromDepth, float toDepth, float minH, float maxH,
                 float density, Rgb dark, Rgb lit, Rgb haze, float hazeFar, float hazeNear, uint32_t seed,
                 float xFrom = 0, float xTo = W, const ForestBreaks& breaks = {}) {
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

// ---- meadows, grass and flowers ----------------------------------------------------------------

struct Meadow {
  Rgb lit, shade, dry;
  Rgb haze;
  float hazeAmt;
  uint32_t seed;
};

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

// Grass blades, flowers: the textured front of a meadow, growing with nearness.
void PaintGrass(Image& bg, const std::vector<float>& top, float fromRow, Rgb dark, Rgb lit, uint32_t seed,
                float amount = 1, float patchy = 0) {
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

// Stamps a texture into the background (alpha blended), tinted towards the haze.
void Stamp(Image& bg, const Image& tex, float cxPx, float footPx, float wPx, float hPx, bool mirror, Rgb haze,
           float hazeAmt, float shade = 1) {
  Image tinted = tex;
  for (auto& c : tinted.c) c = Mix(c * shade, haze, hazeAmt);
  DrawSprite(bg, tinted, cxPx - 400, 300 - (footPx - hPx * 0.5f), wPx, hPx, 0, 0, 0, mirror ? 1 : 0, 0, mirror ? 0 : 1,
             1, Rgb{1, 1, 1}, 1, Blend::Alpha, &bg.a);
}

// A soft contact shadow on the ground under something standing there.
void Shadow(Image& bg, float cx, float cy, float rx, float ry, float strength) {
  FillEllipse(bg, cx, cy, rx, ry, 0, Rgb{0.08f, 0.1f, 0.08f}, strength, ry * 0.8f);
}

// Reflection of everything above the water line in a lake's transparent area.
struct Lake {
  float shoreRow;    // far shore: the mirror line
  float reflect;     // opacity of the reflection near the far shore
  Rgb tint;
  uint32_t seed;
};
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

// The ground line of a foreground band, rows from the top.
std::vector<float> GroundLine(float leftRow, float rightRow, float wobble, float freq, uint32_t seed,
                              float bumpX = -1, float bumpH = 0, float bumpW = 1) {
  std::vector<float> top(W);
  for (int x = 0; x < W; ++x) {
    const float t = float(x) / (W - 1);
    float r = Lerp(leftRow, rightRow, t) + wobble * Fbm1(x * freq, seed, 4);
    if (bumpX >= 0) r -= bumpH * std::exp(-std::pow((x - bumpX) / bumpW, 2.0f));
    top[size_t(x)] = r;
  }
  return top;
}

}  // namespace

const Image& World::TextureOf(const std::string& objectName) const {
  for (const Entry& e : entries) {
    if (e.name == objectName) return textures.at(e.file).image;
  }
  throw std::runtime_error("no catalogue entry " + objectName);
}

// ---- the catalogue's textures ------------------------------------------------------------------

void MakeTextures(World& world) {
  auto add = [&](const std::string& group, const std::string& name, const std::string& file, Store store, Image img) {
    if (store != Store::Jpeg && name != "spray") {
      // A clear rim: with wrap addressing and linear filtering, the far side's texels would
      // otherwise bleed into each edge of the sprite.
      for (int x = 0; x < img.w; ++x) img.A(x, 0) = img.A(x, img.h - 1) = 0;
      for (int y = 0; y < img.h; ++y) img.A(0, y) = img.A(img.w - 1, y) = 0;
    }
    world.entries.push_back({group, name, file});
    if (!world.textures.count(file)) world.textures[file] = {file, store, std::move(img)};
  };
  // Skies: 512x256, tiling sideways.
  add("sky", "sky_lake", "sky_lake.jpg", Store::Jpeg,
      MakeSky({Hex(0x4f7fbf), Hex(0xc9dced), Hex(0x2a1c08), Hex(0xfbfaf5), Hex(0x9aa6bd), 0.55f, 11}, 512, 256));
  add("sky", "sky_valley", "sky_valley.jpg", Store::Jpeg,
      MakeSky({Hex(0x6a93c8), Hex(0xdfe6e6), Hex(0x3a2a10), Hex(0xfffbf0), Hex(0xa9aebd), 0.7f, 23}, 512, 256));
  add("sky", "sky_falls", "sky_falls.jpg", Store::Jpeg,
      MakeSky({Hex(0x5d86b8), Hex(0xd6e0ea), Hex(0x352418), Hex(0xf6f1ea), Hex(0x8f97ad), 0.45f, 37}, 512, 256));
  // Water: one texel per world unit, tiling both ways.
  add("water", "lakewater", "lake.jpg", Store::Jpeg,
      MakeWater({Hex(0x5b7d93), Hex(0xa3bfd4), Hex(0xe6f0f6), 40, 6, 41}, 512, 256));
  add("water", "brookwater", "brook.jpg", Store::Jpeg,
      MakeWater({Hex(0x3c5148), Hex(0xa8c0c4), Hex(0xf4f8f6), 14, 6, 43}, 256, 256));
  add("water", "poolwater", "pool.jpg", Store::Jpeg,
      MakeWater({Hex(0x2d4d55), Hex(0x9cb9c6), Hex(0xf0f6f8), 18, 5, 47}, 256, 256));
  add("water", "waterfall", "waterfall.jpg", Store::Jpeg, MakeWaterfall(256, 256, 53));
  add("water", "spray", "puff.tga", Store::Tga, MakePuff(64, 59));
  // Rocks and trees: alpha-plane pictures serve the .tga names; one is a real TGA.
  add("rocks", "boulder", "boulder.tga", Store::AlphaPlane, MakeBoulder(256, 128, 61, 0.5f));
  add("rocks", "mossrock", "mossrock.tga", Store::AlphaPlane, MakeBoulder(128, 128, 67, 0.9f));
  add("rocks", "stone", "stone.tga", Store::Tga, MakeBoulder(128, 64, 71, 0.2f));
  add("trees", "spruce", "spruce.tga", Store::AlphaPlane, MakeConifer(128, 256, 73, false));
  add("trees", "pine", "pine.tga", Store::AlphaPlane, MakeConifer(256, 256, 79, true));
  // Swaying branches: the stem starts at the middle of the left edge.
  add("foliage", "leaves", "birch.tga", Store::AlphaPlane, MakeBranch(BranchKind::Birch, 512, 256, 83));
  add("foliage", "leaves1", "sprucebranch.tga", Store::Tga, MakeBranch(BranchKind::Spruce, 512, 256, 89));
  add("foliage", "leaves2", "pinebranch.tga", Store::AlphaPlane, MakeBranch(BranchKind::Pine, 512, 256, 97));
}

// ---- scene 0: a highland lake -------------------------------------------------------------------

namespace {

void CutOut(Image& bg, const World& world, const Placed& p) {
  // The background opens exactly where the object is, so the object drawn behind it shows.
  std::vector<float> cov(size_t(W) * H, 0.0f);
  Image scratch(W, H);
  const float w = std::fabs(p.x2 - p.x1), h = std::fabs(p.y2 - p.y1);
  const float cx = (p.x1 + p.x2) / 2, cy = (p.y1 + p.y2) / 2;
  DrawSprite(scratch, world.TextureOf(p.name), cx, cy, w, h, p.angle, cx, cy, p.mirrored ? 1 : 0, 0, p.mirrored ? 0 : 1,
             1, Rgb{1, 1, 1}, 1, Blend::Alpha, &cov);
  for (size_t i = 0; i < cov.size(); ++i) bg.a[i] *= 1 - cov[i];
}

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
  // The boulder behind the picture sits in the grass: cut it out, then grass over it.
  Placed hidden{"boulder", -330, -236, -150, -146, 3, 0, 0, false, true};
  Shadow(bg, 160, 300 + 238, 95, 10, 0.45f);
  CutOut(bg, world, hidden);
  PaintGrass(bg, ground, 470, Hex(0x36502a), Hex(0xb8c46a), 125);

  s.background = std::move(bg);
  s.objects = {
      {"sky_lake", -400, 60, 400, 300, 0, 0, 0, false, true},
      {"lakewater", -400, -230, 400, -16, 0, 10, 3, false, true},
      hidden,
      {"spruce", 262, -170, 322, -50, 0, 0, 0, false, false},
      {"spruce", 300, -200, 380, -40, 0, 0, 0, true, false},
      {"stone", 40, -232, 150, -177, -6, 0, 0, true, false},
      {"mossrock", 180, -300, 330, -170, 8, 0, 0, false, false},
      {"leaves", -420, 140, 40, 370, -24, 0, 0, false, false},
      {"leaves2", 150, 150, 440, 300, 18, 70, 0, true, false},
  };
  return s;
}

// ---- scene 1: a brook in a green valley ----------------------------------------------------

Scene BrookScene(const World& world) {
  Scene s;
  s.ambient = 2;
  Image bg(W, H, Hex(0xdfe6e6), 0);
  const Rgb haze = Hex(0xc9d6dc);
  Range far{215, 75, 0.0028f, 201, Hex(0xc6c4cc), Hex(0x7886a2), Hex(0x8d9cb0), 60, 0.5f, haze, 0.4f, 60, 0.5f};
  auto farTop = RangeProfile(far);
  PaintRange(bg, far, farTop);
  // Valley sides: a hill from the left and one from the right, the brook between them.
  auto leftHill = GroundLine(200, 330, 14, 0.006f, 203);
  for (int x = 0; x < W; ++x) leftHill[size_t(x)] += std::max(0.0f, (x - 380.0f)) * 0.9f;
  Range leftR{0, 30, 0.01f, 205, Hex(0x6f8a52), Hex(0x3a5540), Hex(0x4d6b3e), 0, 0, haze, 0.18f, 90, 0.2f, 0.5f, 0};
  PaintRange(bg, leftR, leftHill);
  PaintForest(bg, leftHill, 2, 120, 5, 16, 0.6f, Hex(0x1c3226), Hex(0x40603f), haze, 0.3f, 0.1f, 207, 0, 430,
              {0.3f, 0.45f, Hex(0x7d9a55)});
  auto rightHill = GroundLine(360, 230, 12, 0.007f, 209);
  for (int x = 0; x < W; ++x) rightHill[size_t(x)] += std::max(0.0f, 430.0f - x) * 0.8f;
  Range rightR{0, 30, 0.01f, 211, Hex(0x7f9758), Hex(0x405a3e), Hex(0x587a44), 0, 0, haze, 0.15f, 90, 0.2f, 0.5f, 0};
  PaintRange(bg, rightR, rightHill);
  PaintForest(bg, rightHill, 0, 110, 6, 17, 0.55f, Hex(0x1a2f22), Hex(0x45663f), haze, 0.25f, 0.08f, 213, 420, 800,
              {0.3f, 0.45f, Hex(0x86a058)});
  // Valley floor meadow.
  auto floorTop = GroundLine(338, 336, 3, 0.01f, 215);
  Meadow meadow{Hex(0xa2b55a), Hex(0x53733a), Hex(0xc7b577), haze, 0.35f, 217};
  PaintMeadow(bg, floorTop, meadow, 120);
  // The conifer behind the picture stands on the left bank; a grassy knoll hides its foot.
  Placed hidden{"spruce", -345, -75, -275, 55, 0, 0, 0, false, true};
  CutOut(bg, world, hidden);
  auto knoll = GroundLine(385, 430, 6, 0.01f, 219, 40, 30, 140);
  for (int x = 0; x < W; ++x) {
    if (x > 330) knoll[size_t(x)] = 2000;  // only on the left
    else knoll[size_t(x)] += SmoothStep(260, 330, float(x)) * 120;
  }
  Meadow knollM{Hex(0x9cb556), Hex(0x4c6c35), Hex(0xc0ae6c), haze, 0.05f, 221};
  PaintMeadow(bg, knoll, knollM, 20);
  // Break the valley floor into patches: dry turf, lush hollows, dark rushes, in perspective.
  for (int y = 340; y < H; ++y) {
    const float persp = 0.3f + float(y) / H;
    const float fade = SmoothStep(340, 420, float(y));
    for (int x = 0; x < W; ++x) {
      if (bg.A(x, y) < 0.99f) continue;
      const float dryN = Fbm(x * 0.005f / persp, y * 0.012f / persp, 229 + 7, 3);
      const float lushN = Fbm(x * 0.008f / persp, y * 0.02f / persp, 229 + 8, 3);
      const float rushN = Fbm(x * 0.02f / persp, y * 0.05f / persp, 237, 3);
      Rgb& c = bg.At(x, y);
      c = Mix(c, Hex(0xbfb173) * (0.85f + 0.3f * Luma(c)), SmoothStep(0.05f, 0.35f, dryN) * 0.55f * fade);
      c = Mix(c, c * Rgb{0.55f, 0.7f, 0.55f}, SmoothStep(0.1f, 0.35f, lushN) * 0.6f * fade);
      c = Mix(c, Hex(0x2d4425), SmoothStep(0.3f, 0.5f, rushN) * 0.5f * fade);
    }
  }
  // The brook: from a thin thread in the distance, winding and widening towards us.
  // The course is a gentle meander on the valley floor seen in perspective: bends crowd
  // together and shrink into the distance, the nearest one swings widest.
  auto centre = [](float row) {
    const float d = std::max(0.0f, row - 336);
    const float z = 3000 / (d + 20);
    return 405 + d * (0.5f * std::sin(z * 0.1f + 2.1f) - 0.1f);
  };
  auto halfWidth = [](float row) {
    const float d = std::max(0.0f, row - 336);
    return 1.5f + 0.3f * d + 0.0004f * d * d;
  };
  for (int y = 335; y < H; ++y) {
    const float c = centre(y), hw = halfWidth(y);
    const float d = y - 336.0f;
    for (int x = std::max(0, int(c - hw - 40)); x < std::min(W, int(c + hw + 40)); ++x) {
      const float edge = hw - std::fabs(x + 0.5f - c) + 2.5f * Fbm(x * 0.08f, y * 0.08f, 223, 3) * (1 + hw * 0.05f);
      // Banks of wet earth and gravel, wider where the water has cut into the meadow.
      const float bankW = (1.5f + 0.1f * d) * (0.5f + Fbm(x * 0.03f, y * 0.05f, 231, 2) + 0.5f);
      const float bank = Clamp01(edge + bankW) - Clamp01(edge);
      if (bank > 0) {
        const float g = Fbm(x * 0.15f, y * 0.3f, 233, 2) * 0.5f + 0.5f;
        const float wet = SmoothStep(bankW, 0, edge + bankW);  // darker near the water
        const Rgb earth = Mix(Mix(Hex(0x5c4f3a), Hex(0x9a8d70), g), Hex(0x2f3326), wet * 0.7f);
        bg.Over(x, y, earth, bank * 0.9f);
      }
      const float open = Clamp01(edge + 0.5f);
      if (open > 0) {
        // A faint reflection of the banks keeps some colour in the water near its edges.
        const float refl = 0.45f * SmoothStep(hw * 0.5f + 6, 0, edge) + 0.08f;
        bg.At(x, y) = Mix(bg.At(x, y), Hex(0x40573f), open);
        bg.A(x, y) = Lerp(bg.A(x, y), refl, open);
      }
    }
  }
  // Pebbles and stones along the brook.
  {
    Rng rng(225);
    for (int i = 0; i < 900; ++i) {
      // More stones near the viewer, where each row covers less ground.
      const float y = 338 + (H - 338) * std::sqrt(rng.Uniform());
      const float side = rng.Uniform() < 0.5f ? -1.0f : 1.0f;
      const float hw = halfWidth(y), d = y - 336;
      const float x = centre(y) + side * (hw + rng.Range(-0.1f, 0.25f) * (3 + 0.3f * d));
      const float r = (0.5f + 0.045f * d) * rng.Range(0.4f, 1.3f);
      const float l = rng.Range(0.25f, 0.85f);
      const Rgb tone = Mix(Hex(0x5b5347), Hex(0x6b7178), rng.Uniform());
      Shadow(bg, x + r * 0.3f, y + r * 0.5f, r * 1.5f, r * 0.5f, 0.4f);
      FillEllipse(bg, x, y, r * 1.4f, r, rng.Range(-0.3f, 0.3f), Mix(tone * 0.7f, Hex(0xbdb4a0), l), 1, 0.9f);
      FillEllipse(bg, x - r * 0.35f, y - r * 0.4f, r * 0.75f, r * 0.4f, 0, Hex(0xdcd6c8), 0.4f * l, 1);
    }
  }
  PaintFlowers(bg, floorTop, 350, 600, 227, 0.8f);
  auto grassTop = floorTop;
  PaintGrass(bg, grassTop, 380, Hex(0x3b5a2c), Hex(0xbac86c), 229, 0.6f, 1);
  // The grass must not cover the water: reopen the brook where blades fell on it.
  for (int y = 335; y < H; ++y) {
    const float c = centre(y), hw = halfWidth(y);
    for (int x = std::max(0, int(c - hw)); x < std::min(W, int(c + hw)); ++x) {
      const float edge = hw - std::fabs(x + 0.5f - c) + 2.5f * Fbm(x * 0.08f, y * 0.08f, 223, 3) * (1 + hw * 0.05f);
      if (edge > 3) bg.A(x, y) = std::min(bg.A(x, y), 0.45f * SmoothStep(hw * 0.5f + 6, 0, edge) + 0.08f);
    }
  }
  // Tussocks: dense clumps of darker blades fanning from one root.
  {
    Rng rng(239);
    for (int i = 0; i < 70; ++i) {
      const float y = 395 + (H + 10 - 395) * std::sqrt(rng.Uniform());
      const float x = rng.Range(-10, W + 10);
      if (std::fabs(x - centre(y)) < halfWidth(y) + 12 + 0.1f * (y - 336)) continue;
      const float near = (y - 336) / (H - 336);
      const float size = (6 + 34 * near * near) * rng.Range(0.6f, 1.2f);
      const int blades = 25 + rng.Below(20);
      Shadow(bg, x, y, size * 0.5f, size * 0.12f, 0.3f);
      for (int b = 0; b < blades; ++b) {
        const float lean = rng.Range(-0.6f, 0.6f);
        const float l = size * rng.Range(0.5f, 1.0f);
        const float bx = x + rng.Range(-0.3f, 0.3f) * size;
        const float ex = bx + lean * l * 0.7f, ey = y - l * (1 - 0.25f * std::fabs(lean));
        // Blades arch over: the tip bends further out than the middle.
        const float mx = bx + lean * l * 0.25f, my = y - l * 0.55f;
        const Rgb col = Mix(Hex(0x2c4723), Hex(0xaab866), rng.Uniform() * 0.6f + 0.4f * (b % 3 == 0));
        TaperStroke(bg, bx, y, mx, my, 1.0f + 1.5f * near, 0.7f + near, col, 0.8f);
        TaperStroke(bg, mx, my, ex, ey, 0.7f + near, 0.25f, col, 0.8f);
      }
    }
  }
  // A few stones stand in the current, with a ruffle of white water on their upstream side.
  {
    Rng rng(235);
    for (int i = 0; i < 45; ++i) {
      const float y = 380 + (H - 380) * std::sqrt(rng.Uniform());
      const float hw = halfWidth(y), d = y - 336;
      const float x = centre(y) + rng.Range(-0.85f, 0.85f) * hw;
      const float r = (0.5f + 0.04f * d) * rng.Range(0.5f, 1.1f);
      const float l = rng.Range(0.3f, 0.7f);
      FillEllipse(bg, x, y - r * 0.7f, r * 1.6f, r * 0.45f, 0, Hex(0xe8eeec), 0.55f, 1.2f);
      FillEllipse(bg, x, y, r * 1.3f, r * 0.8f, rng.Range(-0.2f, 0.2f), Mix(Hex(0x3b3a34), Hex(0x9d9686), l), 1, 0.9f);
      FillEllipse(bg, x - r * 0.3f, y - r * 0.35f, r * 0.6f, r * 0.3f, 0, Hex(0xcfc9ba), 0.4f * l, 1);
    }
  }

  s.background = std::move(bg);
  s.objects = {
      {"sky_valley", -400, 40, 400, 300, 0, 0, 0, false, true},
      {"brookwater", -250, -300, 250, -34, 0, 2, 28, false, true},
      hidden,
      {"boulder", -150, -300, 110, -170, -4, 0, 0, false, false},
      {"mossrock", 140, -232, 230, -150, 12, 0, 0, true, false},
      {"stone", 40, -122, 96, -94, 0, 0, 0, false, false},
      {"pine", 250, -165, 470, 110, 0, 0, 0, true, false},
      {"spruce", 200, -90, 250, 10, 0, 0, 0, false, false},
      {"leaves1", -410, 120, -30, 330, -20, 0, 0, false, false},
      {"leaves", 120, -20, 430, 180, -30, 40, 0, true, false},
  };
  return s;
}

// ---- scene 2: a waterfall ----------------------------------------------------------------

Scene FallsScene(const World& world) {
  Scene s;
  s.ambient = 3;
  Image bg(W, H, Hex(0xd6e0ea), 0);
  const Rgb haze = Hex(0xc3d0df);
  Range far{190, 65, 0.0032f, 301, Hex(0xc0c0cc), Hex(0x6e7fa0), Hex(0x8797b2), 60, 0.6f, haze, 0.4f, 60, 0.5f};
  auto farTop = RangeProfile(far);
  PaintRange(bg, far, farTop);
  // The gorge head: high cliffs on both sides, lower at the back where the stream falls.
  const float fallX = 400;  // pixel column of the waterfall's middle
  std::vector<float> cliffTop(W);
  for (int x = 0; x < W; ++x) {
    const float side = SmoothStep(50, 330, std::fabs(x - fallX));
    float r = 182 - 95 * side + 14 * Fbm1(x * 0.012f, 303, 4) + 6 * Fbm1(x * 0.05f, 304, 3);
    r += 10 * std::exp(-std::pow((x - fallX) / 30.0f, 2.0f));  // the notch
    cliffTop[size_t(x)] = r;
  }
  // The rock: bedded strata, each layer a vertical face split by joints into blocks, with a
  // ledge on its top where moss and shrubs hold. Light comes from the upper left, so the
  // right wall (facing it) is warm and lit, the left wall cool and in shade; both darken
  // down into the gorge and towards the pool, and the back wall is hazier.
  struct Stratum {
    int layer;
    float pf, thick, ledge;  // pixels below the layer's top, its thickness, the ledge's depth
  };
  auto stratumAt = [&](float x, float y) {
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
  };
  // The rock's colour at a point; sampled three times a pixel down the wall, so the sharp
  // steps between strata stay smooth.
  auto rockColour = [&](float x, float y) {
    const float side = SmoothStep(50, 330, std::fabs(x - fallX));
    const bool rightSide = x > fallX;
    const float nearFall = std::exp(-std::pow((x - fallX) / 150.0f, 2.0f));
    const float d = y + 0.5f - cliffTop[size_t(x)];
    const Stratum st = stratumAt(x, y);
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
  };
  for (int x = 0; x < W; ++x) {
    for (int y = std::max(0, int(cliffTop[size_t(x)]) - 1); y < H; ++y) {
      const float d = y + 0.5f - cliffTop[size_t(x)];
      const float cov = Clamp01(d + 0.5f);
      if (cov <= 0) continue;
      const Rgb c = (rockColour(float(x), y - 0.333f) + rockColour(float(x), float(y)) + rockColour(float(x), y + 0.333f)) * (1.0f / 3);
      bg.Over(x, y, c, cov);
    }
  }
  // Shrubs and small bushes on the wider ledges.
  {
    Rng rng(351);
    for (int i = 0; i < 6000; ++i) {
      const float x = rng.Range(0, W), y = rng.Range(0, 440);
      const int xi = std::clamp(int(x), 0, W - 1);
      if (y < cliffTop[size_t(xi)] + 8 || std::fabs(x - fallX) < 48) continue;
      const Stratum st = stratumAt(x, y);
      if (st.ledge < 3 || st.pf > st.ledge * 0.7f) continue;
      if (Fbm(x * 0.03f, y * 0.06f, 311, 4) * 0.5f + 0.5f < 0.5f) continue;
      const float side = SmoothStep(50, 330, std::fabs(x - fallX));
      const float hz = 0.28f * (1 - side) + 0.3f * SmoothStep(300, 440, y) * std::exp(-std::pow((x - fallX) / 150.0f, 2.0f));
      const float dim = 1 - 0.35f * SmoothStep(cliffTop[size_t(xi)] + 30, 445, y);
      const float r = rng.Range(3, 8) * (0.6f + 0.6f * side);
      // A bush is a loose heap of small leaf clusters, dark inside, lit on its upper left.
      const int blobs = 6 + rng.Below(6);
      for (int b = 0; b < blobs; ++b) {
        const float bx = x + rng.Range(-1.7f, 1.7f) * r, by = y - rng.Range(0, 1.3f) * r * (1 - 0.3f * std::fabs(bx - x) / r);
        const float br = r * rng.Range(0.3f, 0.6f);
        const Rgb leaf = Mix(Hex(0x1d301d), Hex(0x2f4a26), rng.Uniform());
        FillEllipse(bg, bx, by, br * 1.2f, br, rng.Range(-0.5f, 0.5f), Mix(leaf * dim, haze, hz), 1, 0.7f);
        FillEllipse(bg, bx - br * 0.35f, by - br * 0.4f, br * 0.55f, br * 0.4f, 0, Mix(Hex(0x6a8540) * dim, haze, hz),
                    0.7f * Clamp01(1 - (by - (y - 1.3f * r)) / (1.6f * r) + 0.3f), 0.7f);
      }
      Shadow(bg, x, y + r * 0.4f, r * 1.6f, r * 0.5f, 0.25f);
    }
  }
  // Forest on the plateau above the cliff.
  PaintForest(bg, cliffTop, -4, 20, 10, 22, 0.8f, Hex(0x1b3023), Hex(0x46653f), haze, 0.25f, 0.1f, 313, 0, W,
              {0.35f, 0.5f, Hex(0x7f9a52)});
  // The fall: an open column from the notch down to the pool; its edges are ragged.
  const float lipRow = 190, poolRow = 445;
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
  // The pool at the foot, then its near rocky shore. Its far rim follows the cliff's foot:
  // a ragged line of fallen blocks, not a straight edge.
  const float poolFar = poolRow - 4;
  std::vector<float> rim(W);
  for (int x = 0; x < W; ++x) {
    const float wave = 6 + 26 * Fbm1(x * 0.014f, 352, 3) + 7 * Fbm1(x * 0.06f, 353, 2);
    const float nearFall = std::exp(-std::pow((x - fallX) / 70.0f, 2.0f));
    rim[size_t(x)] = poolFar + Lerp(std::max(wave, 0.0f) + 6 * SmoothStep(60, 240, std::fabs(x - fallX)), 0, nearFall);
  }
  auto poolShore = GroundLine(520, 535, 8, 0.01f, 317);
  std::vector<float> leftEdge(H, -1), rightEdge(H, -1);  // where each row's water meets the rock
  {
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
  {
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
  for (int y = int(poolFar) - 6; y < int(poolFar) + 18; ++y) {
    for (int x = int(fallX - 90); x < int(fallX + 90); ++x) {
      const float e = std::pow((x - fallX) / 85.0f, 2.0f) + std::pow((y - poolFar - 4) / 13.0f, 2.0f);
      const float f = Clamp01(1 - e) * (0.5f + 0.5f * (Fbm(x * 0.08f, y * 0.2f, 321, 3) * 0.5f + 0.5f));
      if (f <= 0) continue;
      bg.At(x, y) = Mix(bg.At(x, y), Hex(0xeef3f3), f);
      bg.A(x, y) = Lerp(bg.A(x, y), 0.7f, f * 0.8f);
    }
  }
  // Near shore: rocks and grass across the bottom.
  Meadow shoreM{Hex(0x8fa552), Hex(0x465f33), Hex(0xa99f72), haze, 0.0f, 323};
  PaintMeadow(bg, poolShore, shoreM, 10);
  {
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
  }
  PaintGrass(bg, poolShore, 525, Hex(0x33502a), Hex(0xa9bb62), 327, 0.9f);
  // Side banks: left and right slopes framing the pool.
  auto leftBank = GroundLine(380, 640, 10, 0.01f, 329);
  for (int x = 0; x < W; ++x) {
    if (x > 260) leftBank[size_t(x)] = 2000;
    else leftBank[size_t(x)] += SmoothStep(150, 260, float(x)) * 200;
  }
  Meadow bankM{Hex(0x86a04f), Hex(0x3f5a30), Hex(0x9c9a6c), haze, 0.05f, 331};
  PaintMeadow(bg, leftBank, bankM, 10);
  PaintGrass(bg, leftBank, 390, Hex(0x2f4b27), Hex(0xa3b85e), 333, 0.5f);
  (void)world;

  s.background = std::move(bg);
  s.objects = {
      {"sky_falls", -400, 80, 400, 300, 0, 0, 0, false, true},
      {"waterfall", -60, -160, 50, 130, 0, 0, 55, false, true},
      {"poolwater", -400, -240, 400, -140, 0, 6, 4, false, true},
      {"spray", -50, -166, 40, -138, 0, 0, 0, false, false},
      {"spray", -80, -175, 70, -150, 0, 0, 0, false, false},
      {"boulder", -400, -300, -140, -180, 6, 0, 0, true, false},
      {"stone", 170, -260, 290, -200, -8, 0, 0, false, false},
      {"mossrock", 250, -300, 420, -160, 0, 0, 0, false, false},
      {"spruce", -395, -80, -285, 140, 0, 0, 0, false, false},
      {"pine", 240, 40, 420, 220, 0, 0, 0, false, false},
      {"leaves2", -410, 170, -80, 320, -12, 30, 0, false, false},
      {"leaves1", 60, 120, 430, 320, 24, 20, 0, true, false},
  };
  return s;
}

}  // namespace

void MakeScenes(World& world) {
  world.scenes.push_back(LakeScene(world));
  world.scenes.push_back(BrookScene(world));
  world.scenes.push_back(FallsScene(world));
}

// ---- previews: the saver's drawing order, in software ----------------------------------------

Image Composite(const World& world, int scene, float timeMs) {
  const Scene& s = world.scenes.at(size_t(scene));
  Image out(W, H, Rgb{0, 0, 0}, 1);
  auto drawObject = [&](const Placed& p, bool firstPass) {
    const Image& tex = world.TextureOf(p.name);
    const float w = std::fabs(p.x2 - p.x1), h = std::fabs(p.y2 - p.y1);
    const float cx = (p.x1 + p.x2) / 2, cy = (p.y1 + p.y2) / 2;
    float u0 = 0, v0 = 0, us = 1, vs = 1;
    const std::string& n = p.name;
    if (n.find("sky") != std::string::npos) {
      us = (p.x2 - p.x1) / (p.y2 - p.y1) * (float(tex.h) / tex.w);
      u0 = -timeMs * 3e-6f;
    } else if (n.find("waterfall") != std::string::npos || n.find("water") != std::string::npos) {
      const float k = n.find("waterfall") != std::string::npos ? 1.0f : 0.2f;
      u0 = -p.px * timeMs * 0.00001f * k;
      v0 = -p.py * timeMs * 0.00001f * k;
      us = (p.x2 - p.x1) / tex.w;
      vs = (p.y2 - p.y1) / tex.h;
    }
    const bool layer = us != 1 || vs != 1 || u0 != 0 || n.find("sky") != std::string::npos;
    if (firstPass != (p.behind || layer)) return;
    float ua = u0, ub = u0 + us;
    if (p.mirrored) std::swap(ua, ub);
    DrawSprite(out, tex, cx, cy, w, h, p.angle, cx, cy, ua, v0, ub, v0 + vs, Rgb{1, 1, 1}, 1,
               firstPass ? Blend::Opaque : Blend::Alpha);
  };
  auto special = [](const std::string& n) {
    return n.find("spray") != std::string::npos || n.find("leaves") != std::string::npos;
  };
  for (const Placed& p : s.objects) if (!special(p.name)) drawObject(p, true);
  DrawSprite(out, s.background, 0, 0, W, H, 0, 0, 0, 0, 0, 1, 1, Rgb{1, 1, 1}, 1, Blend::Alpha);
  for (const Placed& p : s.objects) if (!special(p.name)) drawObject(p, false);
  // Spray: run the emitters for the last two seconds before timeMs in 20 ms steps.
  struct Puff { float x, y, life; };
  std::vector<Puff> puffs;
  Rng rng(uint64_t(scene) * 7 + 1);
  const float dt = 20;
  std::vector<float> phase(s.objects.size(), 0);
  for (float t = 0; t < 2000; t += dt) {
    for (Puff& pf : puffs) pf.life -= dt;
    for (size_t i = 0; i < s.objects.size(); ++i) {
      const Placed& p = s.objects[i];
      if (p.name.find("spray") == std::string::npos) continue;
      const float area = std::fabs((p.x2 - p.x1) * (p.y2 - p.y1));
      phase[i] += dt;
      if (300000 / area < phase[i]) {
        phase[i] = 0;
        puffs.push_back({(p.x1 + p.x2) / 2 + rng.Range(-1, 1) * std::fabs(p.x2 - p.x1) * 0.5f,
                         (p.y1 + p.y2) / 2 + rng.Range(-1, 1) * std::fabs(p.y2 - p.y1) * 0.5f, 2000});
      }
    }
  }
  for (const Puff& pf : puffs) {
    if (pf.life <= 0) continue;
    const float sn = std::sin(pf.life / 2000 * kPi);
    const float size = (2000 - pf.life) * 0.011f + 15;
    const float bright = float(int(sn * 255)) / 255.0f;
    DrawSprite(out, world.TextureOf("spray"), pf.x, pf.y + 8 * sn * sn, size * 2, size * 2, 0, pf.x, pf.y,
               0, 0, 1, 1, Rgb{bright, bright, bright}, 1, Blend::Additive);
  }
  for (const Placed& p : s.objects) {
    if (p.name.find("leaves") == std::string::npos) continue;
    const float w = std::fabs(p.x2 - p.x1), h = std::fabs(p.y2 - p.y1);
    const float cx = (p.x1 + p.x2) / 2, cy = (p.y1 + p.y2) / 2;
    const float shade = float(255 - (int(std::sqrt(p.px * p.px + p.py * p.py)) & 255)) / 255.0f;
    // The pivot is the middle of the left edge, or of the right edge when mirrored.
    DrawSprite(out, world.TextureOf(p.name), cx, cy, w, h, p.angle, p.mirrored ? cx + w / 2 : cx - w / 2, cy,
               p.mirrored ? 1 : 0, 0, p.mirrored ? 0 : 1, 1, Rgb{shade, shade, shade}, 1, Blend::Alpha);
  }
  for (Rgb& c : out.c) c = {Clamp01(c.r), Clamp01(c.g), Clamp01(c.b)};
  return out;
}

}  // namespace qhc
