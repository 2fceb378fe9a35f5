// The content generator's shared pieces: colours, float pictures, deterministic noise and
// the writers for every file format the saver reads. Everything here is our own; the
// only outside inputs are libjpeg, libvorbisenc and FreeType with DejaVu Sans.
#pragma once
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace qhc {

// ---- colours -------------------------------------------------------------------------

struct Rgb {
  float r = 0, g = 0, b = 0;
};
inline Rgb operator+(Rgb a, Rgb b) { return {a.r + b.r, a.g + b.g, a.b + b.b}; }
inline Rgb operator-(Rgb a, Rgb b) { return {a.r - b.r, a.g - b.g, a.b - b.b}; }
inline Rgb operator*(Rgb a, float s) { return {a.r * s, a.g * s, a.b * s}; }
inline Rgb operator*(Rgb a, Rgb b) { return {a.r * b.r, a.g * b.g, a.b * b.b}; }
inline Rgb Mix(Rgb a, Rgb b, float t) { return a + (b - a) * t; }
// A colour from 0xRRGGBB, in 0..1.
inline Rgb Hex(uint32_t v) {
  return {float((v >> 16) & 255) / 255.0f, float((v >> 8) & 255) / 255.0f, float(v & 255) / 255.0f};
}
inline float Clamp01(float v) { return v < 0 ? 0 : (v > 1 ? 1 : v); }
inline float Lerp(float a, float b, float t) { return a + (b - a) * t; }
inline float SmoothStep(float e0, float e1, float x) {
  const float t = Clamp01((x - e0) / (e1 - e0));
  return t * t * (3 - 2 * t);
}
inline float Luma(Rgb c) { return 0.3f * c.r + 0.59f * c.g + 0.11f * c.b; }
// Desaturate (t=1 grey) or saturate (t<0).
inline Rgb Saturate(Rgb c, float t) {
  const float l = Luma(c);
  return Mix(c, Rgb{l, l, l}, t);
}

// ---- pictures --------------------------------------------------------------------------

// A picture of float colours and coverage (alpha), rows from the top.
struct Image {
  int w = 0, h = 0;
  std::vector<Rgb> c;
  std::vector<float> a;
  Image() = default;
  Image(int width, int height, Rgb fill = {}, float alpha = 1.0f)
      : w(width), h(height), c(size_t(width) * height, fill), a(size_t(width) * height, alpha) {}
  Rgb& At(int x, int y) { return c[size_t(y) * w + x]; }
  const Rgb& At(int x, int y) const { return c[size_t(y) * w + x]; }
  float& A(int x, int y) { return a[size_t(y) * w + x]; }
  float A(int x, int y) const { return a[size_t(y) * w + x]; }
  // Paints colour over the pixel with the given coverage (colour and coverage both blend).
  void Over(int x, int y, Rgb col, float cov) {
    if (cov <= 0) return;
    cov = cov > 1 ? 1 : cov;
    const size_t i = size_t(y) * w + x;
    c[i] = Mix(c[i], col, cov);
    a[i] = a[i] + cov * (1 - a[i]);
  }
};

// Bilinear sample with wrap-around addressing; u, v in texture units (0..1 per side).
struct Sample {
  Rgb c;
  float a;
};
Sample SampleWrap(const Image& img, float u, float v);
Sample SampleClamp(const Image& img, float u, float v);
// Spreads the colour of covered texels into uncovered ones, so filtering at the edges of
// a cut-out never pulls in a foreign colour (dark fringes).
void DilateColour(Image& img, int passes);
// Area-averaged resize.
Image Resize(const Image& src, int w, int h);
void GaussianBlur(std::vector<float>& v, int w, int h, float sigma);

// ---- noise and random numbers ----------------------------------------------------------

// A small, fixed random generator (PCG32) so every build draws the same numbers.
class Rng {
 public:
  explicit Rng(uint64_t seed) { state_ = seed * 6364136223846793005ull + 1442695040888963407ull; Next(); }
  uint32_t Next() {
    const uint64_t old = state_;
    state_ = old * 6364136223846793005ull + 1442695040888963407ull;
    const uint32_t xorshifted = uint32_t(((old >> 18u) ^ old) >> 27u);
    const uint32_t rot = uint32_t(old >> 59u);
    return (xorshifted >> rot) | (xorshifted << ((32 - rot) & 31));
  }
  float Uniform() { return float(Next() >> 8) / 16777216.0f; }  // [0, 1)
  float Range(float a, float b) { return a + (b - a) * Uniform(); }
  int Below(int n) { return int(Next() % uint32_t(n)); }
  float Gauss() {  // sum of uniforms: good enough, and exactly repeatable
    return (Uniform() + Uniform() + Uniform() + Uniform() - 2.0f) * 1.7320508f;
  }

 private:
  uint64_t state_;
};

uint32_t Hash(int32_t x, int32_t y, uint32_t seed);
// Gradient noise in about -1..1. With a period above 0 the lattice wraps, so the noise
// tiles every `period` units in that direction.
float Noise(float x, float y, uint32_t seed, int periodX = 0, int periodY = 0);
// Fractal sum of octaves; each octave doubles the frequency (and the period, so tiling holds).
float Fbm(float x, float y, uint32_t seed, int octaves, float gain = 0.5f, int periodX = 0, int periodY = 0);
// Ridged variant (sharp crests), about 0..1.
float Ridged(float x, float y, uint32_t seed, int octaves, int periodX = 0, int periodY = 0);
float Noise1(float x, uint32_t seed);
float Fbm1(float x, uint32_t seed, int octaves, float gain = 0.5f);

// ---- files -------------------------------------------------------------------------------

using Bytes = std::vector<uint8_t>;
void WriteFile(const std::string& path, const Bytes& data);
void WriteText(const std::string& path, const std::string& text);
void MakeDirs(const std::string& path);
Bytes ToBytes8(const Image& img, bool withAlpha);  // RGB(A) bytes, rows from the top
Bytes EncodeJpeg(const Image& img, int quality = 90);
// JPEG stream followed by width x height raw alpha bytes.
Bytes EncodeAlphaPlane(const Image& img, int quality = 90);
Bytes EncodeTga(const Image& img);  // 32-bit, uncompressed, top-left origin
Bytes EncodeBmp(const Image& img);  // 24-bit, bottom-up
Bytes EncodePng(const Image& img);  // 8-bit RGBA, uncompressed deflate blocks
inline uint8_t ToByte(float v) { return uint8_t(std::lround(Clamp01(v) * 255.0f)); }
void PutU16(Bytes& b, uint32_t v);
void PutU32(Bytes& b, uint32_t v);
void PutF32(Bytes& b, float v);

// ---- scenes ----------------------------------------------------------------------------

// One placed object of a level, in world units (origin at the screen centre, y up).
struct Placed {
  std::string name;
  float x1, y1, x2, y2;
  float angle = 0;
  float px = 0, py = 0;
  bool mirrored = false;
  bool behind = false;
};
Bytes EncodeLevel(const std::string& header, const std::vector<Placed>& objects);

}  // namespace qhc
