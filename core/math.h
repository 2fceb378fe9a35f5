// Value types and helpers shared by the scene and the drawing layer: vectors, rectangles,
// colours, row-vector matrices, degree trigonometry, the table square root and the
// table-driven random generator. Every result is a 32-bit float, as the picture's
// animation was tuned with them.
#pragma once
#include <cstdint>

namespace qh {

struct Vec2 {
  float x = 0.0f;
  float y = 0.0f;
};

struct Vec3 {
  float x = 0.0f;
  float y = 0.0f;
  float z = 0.0f;
};

// Two opposite corners, in no particular order.
struct Rect {
  float x1 = 0.0f;
  float y1 = 0.0f;
  float x2 = 0.0f;
  float y2 = 0.0f;
};

// Bytes in memory: blue, green, red, alpha (alpha in the top byte of the value).
struct Colour {
  uint32_t value = 0xFFFFFFFFu;
};

struct Colour4f {
  float r = 0.0f;
  float g = 0.0f;
  float b = 0.0f;
  float a = 0.0f;
};

// Row-major, element (row i, column j) at m[4 * i + j]; points are row vectors (p' = p x M).
struct Matrix4 {
  float m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
};

Vec2 Add(Vec2 a, Vec2 b);
Vec2 Subtract(Vec2 a, Vec2 b);
Vec2 Scale(Vec2 v, float s);
void ScaleInPlace(Vec2& v, float s);
void MultiplyInPlace(Vec2& v, Vec2 w);
float Length(Vec2 v);

Vec3 Add(Vec3 a, Vec3 b);
Vec3 Subtract(Vec3 a, Vec3 b);
Vec3 Scale(Vec3 v, float s);

float Width(const Rect& r);
float Height(const Rect& r);
Vec2 Centre(const Rect& r);
void Set(Rect& r, float x1, float y1, float x2, float y2);

void Set(Colour& c, uint8_t red, uint8_t green, uint8_t blue, uint8_t alpha);
uint8_t RedOf(Colour c);
uint8_t GreenOf(Colour c);
uint8_t BlueOf(Colour c);
uint8_t AlphaOf(Colour c);

void Set(Colour4f& c, float r, float g, float b, float a);
Colour4f Lerp(const Colour4f& a, const Colour4f& b, float t);

Matrix4 Identity();
Matrix4 Product(const Matrix4& a, const Matrix4& b);  // apply a first, then b
void PreMultiplyInPlace(Matrix4& m, const Matrix4& n);  // m = n x m
void PreTranslate(Matrix4& m, float tx, float ty, float tz);
void SetDiagonalScale(Matrix4& m, float sx, float sy, float sz);
Vec3 AxisX(const Matrix4& m);
Vec3 AxisY(const Matrix4& m);

float Sin(float radians);
float Cos(float radians);
float SinDeg(float degrees);
float CosDeg(float degrees);
float Abs(float x);

// The square-root table: 65536 mantissa fields, built once before any scene loads.
constexpr int kSqrtTableSize = 65536;
extern uint32_t SqrtTable[kSqrtTableSize];
void BuildSqrtTable();
float FastSqrt(float x);

// The scene's pseudo-random generator: a fixed permutation and two byte cursors.
struct SceneRandomState {
  uint32_t hi = 0;
  uint32_t lo = 0;
};
extern SceneRandomState SceneRandom;
extern const uint8_t kSceneRandomTable[256];
void SeedSceneRandom(uint32_t seed);
int32_t RandomBelow(int32_t n);   // 0 ... n-1; n must be positive
float RandomSpread(float x);      // [-x, x)
float RandomUpTo(float x);        // [0, x)

}  // namespace qh
