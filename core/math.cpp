#include "core/math.h"

#include <bit>
#include <cmath>

namespace qh {

Vec2 Add(Vec2 a, Vec2 b) { return {a.x + b.x, a.y + b.y}; }
Vec2 Subtract(Vec2 a, Vec2 b) { return {a.x - b.x, a.y - b.y}; }
Vec2 Scale(Vec2 v, float s) { return {s * v.x, s * v.y}; }
void ScaleInPlace(Vec2& v, float s) { v = Scale(v, s); }
void MultiplyInPlace(Vec2& v, Vec2 w) { v = {v.x * w.x, v.y * w.y}; }
float Length(Vec2 v) { return FastSqrt(v.x * v.x + v.y * v.y); }

Vec3 Add(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec3 Subtract(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 Scale(Vec3 v, float s) { return {v.x * s, v.y * s, v.z * s}; }

float Width(const Rect& r) { return Abs(r.x1 - r.x2); }
float Height(const Rect& r) { return Abs(r.y1 - r.y2); }
Vec2 Centre(const Rect& r) { return {(r.x1 + r.x2) * 0.5f, (r.y1 + r.y2) * 0.5f}; }
void Set(Rect& r, float x1, float y1, float x2, float y2) { r = {x1, y1, x2, y2}; }

void Set(Colour& c, uint8_t red, uint8_t green, uint8_t blue, uint8_t alpha) {
  c.value = (uint32_t{alpha} << 24) | (uint32_t{red} << 16) | (uint32_t{green} << 8) | blue;
}
uint8_t RedOf(Colour c) { return static_cast<uint8_t>(c.value >> 16); }
uint8_t GreenOf(Colour c) { return static_cast<uint8_t>(c.value >> 8); }
uint8_t BlueOf(Colour c) { return static_cast<uint8_t>(c.value); }
uint8_t AlphaOf(Colour c) { return static_cast<uint8_t>(c.value >> 24); }

void Set(Colour4f& c, float r, float g, float b, float a) { c = {r, g, b, a}; }

Colour4f Lerp(const Colour4f& a, const Colour4f& b, float t) {
  const float u = 1.0f - t;  // rounded to float before use, as the tints were tuned with
  return {u * a.r + t * b.r, u * a.g + t * b.g, u * a.b + t * b.b, u * a.a + t * b.a};
}

Matrix4 Identity() { return Matrix4{}; }

Matrix4 Product(const Matrix4& a, const Matrix4& b) {
  Matrix4 r;
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      float sum = 0.0f;
      for (int k = 0; k < 4; ++k) sum += a.m[4 * i + k] * b.m[4 * k + j];
      r.m[4 * i + j] = sum;
    }
  }
  return r;
}

void PreMultiplyInPlace(Matrix4& m, const Matrix4& n) { m = Product(n, m); }

void PreTranslate(Matrix4& m, float tx, float ty, float tz) {
  for (int j = 0; j < 4; ++j) m.m[12 + j] += tx * m.m[j] + ty * m.m[4 + j] + tz * m.m[8 + j];
}

void SetDiagonalScale(Matrix4& m, float sx, float sy, float sz) {
  m.m[0] = sx;
  m.m[5] = sy;
  m.m[10] = sz;
}

Vec3 AxisX(const Matrix4& m) { return {m.m[0], m.m[4], m.m[8]}; }
Vec3 AxisY(const Matrix4& m) { return {m.m[1], m.m[5], m.m[9]}; }

float Sin(float radians) { return static_cast<float>(std::sin(static_cast<double>(radians))); }
float Cos(float radians) { return static_cast<float>(std::cos(static_cast<double>(radians))); }

namespace {
constexpr float kDegToRad = 0.017453292f;
}

float SinDeg(float degrees) { return Sin(degrees * kDegToRad); }
float CosDeg(float degrees) { return Cos(degrees * kDegToRad); }
float Abs(float x) { return std::fabs(x); }

uint32_t SqrtTable[kSqrtTableSize];

void BuildSqrtTable() {
  auto mantissaOfRoot = [](uint32_t bits) {
    const float x = std::bit_cast<float>(bits);
    const float root = static_cast<float>(std::sqrt(static_cast<double>(x)));
    return std::bit_cast<uint32_t>(root) & 0x007FFFFFu;
  };
  for (uint32_t i = 0; i < 32768; ++i) {
    SqrtTable[i] = mantissaOfRoot(0x40000000u | (i << 8));
    SqrtTable[32768 + i] = mantissaOfRoot(0x3F800000u | (i << 8));
  }
}

float FastSqrt(float x) {
  const uint32_t u = std::bit_cast<uint32_t>(x);
  if (u == 0) return 0.0f;
  const uint32_t exponent = (((u - 0x3F800000u) >> 1) + 0x3F800000u) & 0x7F800000u;
  return std::bit_cast<float>(exponent | SqrtTable[(u >> 8) & 0xFFFFu]);
}

SceneRandomState SceneRandom;

const uint8_t kSceneRandomTable[256] = {
    0x10, 0x1c, 0xac, 0x1f, 0x34, 0xbc, 0x5a, 0xe9, 0x1b, 0x13, 0xe8, 0x59, 0x38, 0x9d, 0xaa, 0x9b,
    0x82, 0xd0, 0x2d, 0x3d, 0xe4, 0x84, 0x73, 0xf9, 0xd7, 0x33, 0x66, 0x7b, 0x98, 0x1a, 0x96, 0x8f,
    0x94, 0xb3, 0x04, 0xdf, 0x45, 0xe0, 0x5d, 0x05, 0x02, 0x3f, 0x8e, 0xa9, 0x58, 0x55, 0x0d, 0xbe,
    0xf4, 0x18, 0xe6, 0x7e, 0xde, 0x42, 0x2f, 0x90, 0x25, 0xd5, 0x49, 0x93, 0xf1, 0xf0, 0x56, 0xb7,
    0x0a, 0x9f, 0xef, 0x52, 0x11, 0xcb, 0xfa, 0x37, 0xd3, 0x4a, 0x97, 0x4d, 0x63, 0xec, 0xb6, 0xe7,
    0x8c, 0x70, 0x92, 0xe1, 0x74, 0xd4, 0x12, 0x2b, 0xfb, 0x7a, 0x32, 0x64, 0xca, 0x3c, 0x6b, 0x89,
    0xdd, 0xc0, 0xab, 0x9c, 0x2c, 0xee, 0xae, 0xcd, 0xa8, 0xeb, 0x7c, 0xc2, 0x17, 0x46, 0x2a, 0x5f,
    0xb0, 0x99, 0x54, 0xbd, 0xf5, 0xc8, 0x1e, 0x14, 0xfe, 0x88, 0xf7, 0xdb, 0x0e, 0x1d, 0xaf, 0x29,
    0x20, 0xff, 0xe2, 0x41, 0x87, 0x16, 0x43, 0x48, 0xf3, 0xfc, 0x50, 0x00, 0xa6, 0xb5, 0xa0, 0x21,
    0xb9, 0xa1, 0xcc, 0x2e, 0x4c, 0x51, 0xf8, 0xd1, 0x80, 0xb8, 0xe5, 0x5b, 0xed, 0x4b, 0x53, 0x95,
    0xba, 0x8d, 0xc7, 0xfd, 0x09, 0x44, 0x75, 0x40, 0x6a, 0x03, 0x27, 0x06, 0xc6, 0x86, 0xf2, 0xd6,
    0xda, 0xe3, 0x15, 0x31, 0x24, 0xd9, 0x5c, 0x61, 0xb4, 0x8a, 0xa4, 0x30, 0x9a, 0x77, 0x26, 0x6d,
    0x78, 0x7f, 0x6f, 0xa5, 0x07, 0x57, 0x01, 0x5e, 0x0b, 0xc4, 0x91, 0x72, 0x3a, 0xc3, 0x60, 0x79,
    0x6e, 0x76, 0x0c, 0x69, 0x71, 0xa7, 0x65, 0xad, 0xd2, 0x35, 0xbb, 0xc1, 0x22, 0xa3, 0x08, 0xf6,
    0x39, 0x9e, 0xdc, 0x83, 0xbf, 0x3e, 0xea, 0x8b, 0x36, 0xa2, 0x6c, 0xb2, 0x62, 0xc5, 0x4e, 0x85,
    0x81, 0xb1, 0x7d, 0xc9, 0xce, 0x28, 0x23, 0x68, 0x0f, 0x47, 0x3b, 0x4f, 0xcf, 0x67, 0x19, 0xd8,
};

void SeedSceneRandom(uint32_t seed) {
  SceneRandom.hi = (seed / 256) % 256;
  SceneRandom.lo = seed % 256;
}

namespace {
uint32_t NextRandom() {
  SceneRandom.hi = (SceneRandom.hi + 1) % 256;
  SceneRandom.lo = (SceneRandom.lo + 3) % 256;
  return uint32_t{kSceneRandomTable[SceneRandom.hi]} * 256 + kSceneRandomTable[SceneRandom.lo];
}
}  // namespace

int32_t RandomBelow(int32_t n) { return static_cast<int32_t>(NextRandom() % static_cast<uint32_t>(n)); }

float RandomSpread(float x) { return static_cast<float>(NextRandom()) / 32768.0f * x - x; }

float RandomUpTo(float x) { return static_cast<float>(NextRandom()) * x / 65536.0f; }

}  // namespace qh
