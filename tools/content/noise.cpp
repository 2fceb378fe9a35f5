// Deterministic gradient noise and picture helpers for the content generator.
#include <algorithm>
#include <cmath>

#include "tools/content/content.h"

namespace qhc {

uint32_t Hash(int32_t x, int32_t y, uint32_t seed) {
  uint32_t h = seed * 0x9E3779B1u ^ uint32_t(x) * 0x85EBCA77u ^ uint32_t(y) * 0xC2B2AE3Du;
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  h ^= h >> 12;
  h *= 0x297A2D39u;
  h ^= h >> 15;
  return h;
}

namespace {
inline int Wrap(int v, int period) {
  if (period <= 0) return v;
  v %= period;
  return v < 0 ? v + period : v;
}
// The 65536 gradient directions, worked out once: the same values std::cos and std::sin
// give for each angle, at a fraction of the cost of calling them for every lattice point.
struct Directions {
  float c[65536], s[65536];
  Directions() {
    for (int i = 0; i < 65536; ++i) {
      const float angle = float(i) * (6.2831853f / 65536.0f);
      c[i] = std::cos(angle);
      s[i] = std::sin(angle);
    }
  }
};
const Directions& GradientDirections() {
  static const Directions directions;
  return directions;
}
inline float Grad(const Directions& d, int x, int y, uint32_t seed, float dx, float dy) {
  const uint32_t h = Hash(x, y, seed) & 0xFFFF;
  return d.c[h] * dx + d.s[h] * dy;
}
inline float Fade(float t) { return t * t * t * (t * (t * 6 - 15) + 10); }
}  // namespace

float Noise(float x, float y, uint32_t seed, int periodX, int periodY) {
  const float fx = std::floor(x), fy = std::floor(y);
  const int ix = int(fx), iy = int(fy);
  const float dx = x - fx, dy = y - fy;
  const int x0 = Wrap(ix, periodX), x1 = Wrap(ix + 1, periodX);
  const int y0 = Wrap(iy, periodY), y1 = Wrap(iy + 1, periodY);
  const Directions& d = GradientDirections();
  const float n00 = Grad(d, x0, y0, seed, dx, dy);
  const float n10 = Grad(d, x1, y0, seed, dx - 1, dy);
  const float n01 = Grad(d, x0, y1, seed, dx, dy - 1);
  const float n11 = Grad(d, x1, y1, seed, dx - 1, dy - 1);
  const float u = Fade(dx), v = Fade(dy);
  return 1.41f * Lerp(Lerp(n00, n10, u), Lerp(n01, n11, u), v);
}

float Fbm(float x, float y, uint32_t seed, int octaves, float gain, int periodX, int periodY) {
  float sum = 0, amp = 1, norm = 0;
  for (int o = 0; o < octaves; ++o) {
    sum += amp * Noise(x, y, seed + uint32_t(o) * 101u, periodX, periodY);
    norm += amp;
    amp *= gain;
    x *= 2;
    y *= 2;
    periodX *= 2;
    periodY *= 2;
  }
  return sum / norm;
}

float Ridged(float x, float y, uint32_t seed, int octaves, int periodX, int periodY) {
  float sum = 0, amp = 1, norm = 0, weight = 1;
  for (int o = 0; o < octaves; ++o) {
    float n = 1 - std::fabs(Noise(x, y, seed + uint32_t(o) * 131u, periodX, periodY));
    n *= n * weight;
    weight = Clamp01(n * 1.5f);
    sum += amp * n;
    norm += amp;
    amp *= 0.5f;
    x *= 2;
    y *= 2;
    periodX *= 2;
    periodY *= 2;
  }
  return sum / norm;
}

float Noise1(float x, uint32_t seed) { return Noise(x, 0.5f, seed); }

float Fbm1(float x, uint32_t seed, int octaves, float gain) { return Fbm(x, 0.37f, seed, octaves, gain); }

Sample SampleWrap(const Image& img, float u, float v) {
  const float x = u * img.w - 0.5f, y = v * img.h - 0.5f;
  const float fx = std::floor(x), fy = std::floor(y);
  const float tx = x - fx, ty = y - fy;
  auto wrap = [](int i, int n) { i %= n; return i < 0 ? i + n : i; };
  const int x0 = wrap(int(fx), img.w), x1 = wrap(int(fx) + 1, img.w);
  const int y0 = wrap(int(fy), img.h), y1 = wrap(int(fy) + 1, img.h);
  const Rgb c = Mix(Mix(img.At(x0, y0), img.At(x1, y0), tx), Mix(img.At(x0, y1), img.At(x1, y1), tx), ty);
  const float a = Lerp(Lerp(img.A(x0, y0), img.A(x1, y0), tx), Lerp(img.A(x0, y1), img.A(x1, y1), tx), ty);
  return {c, a};
}

Sample SampleClamp(const Image& img, float u, float v) {
  const float x = std::clamp(u * img.w - 0.5f, 0.0f, float(img.w - 1));
  const float y = std::clamp(v * img.h - 0.5f, 0.0f, float(img.h - 1));
  const int x0 = int(x), y0 = int(y);
  const int x1 = std::min(x0 + 1, img.w - 1), y1 = std::min(y0 + 1, img.h - 1);
  const float tx = x - x0, ty = y - y0;
  const Rgb c = Mix(Mix(img.At(x0, y0), img.At(x1, y0), tx), Mix(img.At(x0, y1), img.At(x1, y1), tx), ty);
  const float a = Lerp(Lerp(img.A(x0, y0), img.A(x1, y0), tx), Lerp(img.A(x0, y1), img.A(x1, y1), tx), ty);
  return {c, a};
}

void DilateColour(Image& img, int passes) {
  std::vector<uint8_t> known(img.a.size());
  for (size_t i = 0; i < known.size(); ++i) known[i] = img.a[i] > 0.02f;
  for (int p = 0; p < passes; ++p) {
    std::vector<uint8_t> next = known;
    std::vector<Rgb> col = img.c;
    for (int y = 0; y < img.h; ++y) {
      for (int x = 0; x < img.w; ++x) {
        const size_t i = size_t(y) * img.w + x;
        if (known[i]) continue;
        Rgb sum;
        int n = 0;
        for (int dy = -1; dy <= 1; ++dy) {
          for (int dx = -1; dx <= 1; ++dx) {
            const int xx = x + dx, yy = y + dy;
            if (xx < 0 || yy < 0 || xx >= img.w || yy >= img.h) continue;
            const size_t j = size_t(yy) * img.w + xx;
            if (known[j]) { sum = sum + img.c[j]; ++n; }
          }
        }
        if (n) { col[i] = sum * (1.0f / n); next[i] = 1; }
      }
    }
    img.c.swap(col);
    known.swap(next);
  }
}

Image Resize(const Image& src, int w, int h) {
  Image out(w, h);
  for (int y = 0; y < h; ++y) {
    const float sy0 = float(y) * src.h / h, sy1 = float(y + 1) * src.h / h;
    for (int x = 0; x < w; ++x) {
      const float sx0 = float(x) * src.w / w, sx1 = float(x + 1) * src.w / w;
      Rgb sum;
      float sa = 0, wsum = 0;
      for (int yy = int(sy0); yy < int(std::ceil(sy1)) && yy < src.h; ++yy) {
        const float wy = std::min(sy1, float(yy + 1)) - std::max(sy0, float(yy));
        for (int xx = int(sx0); xx < int(std::ceil(sx1)) && xx < src.w; ++xx) {
          const float wx = std::min(sx1, float(xx + 1)) - std::max(sx0, float(xx));
          const float wgt = wx * wy;
          sum = sum + src.At(xx, yy) * wgt;
          sa += src.A(xx, yy) * wgt;
          wsum += wgt;
        }
      }
      out.At(x, y) = sum * (1.0f / wsum);
      out.A(x, y) = sa / wsum;
    }
  }
  return out;
}

void GaussianBlur(std::vector<float>& v, int w, int h, float sigma) {
  const int radius = int(std::ceil(sigma * 2.5f));
  std::vector<float> k(size_t(2 * radius + 1));
  float ksum = 0;
  for (int i = -radius; i <= radius; ++i) ksum += k[size_t(i + radius)] = std::exp(-0.5f * i * i / (sigma * sigma));
  for (float& x : k) x /= ksum;
  std::vector<float> tmp(v.size());
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      float s = 0;
      for (int i = -radius; i <= radius; ++i) s += k[size_t(i + radius)] * v[size_t(y) * w + std::clamp(x + i, 0, w - 1)];
      tmp[size_t(y) * w + x] = s;
    }
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      float s = 0;
      for (int i = -radius; i <= radius; ++i) s += k[size_t(i + radius)] * tmp[size_t(std::clamp(y + i, 0, h - 1)) * w + x];
      v[size_t(y) * w + x] = s;
    }
}

}  // namespace qhc
