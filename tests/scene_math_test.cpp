// Scene math: the table square root, the random generator, rectangles, colours and matrices.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>

#include "core/math.h"

using namespace qh;

namespace {
class SqrtTableTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { BuildSqrtTable(); }
};
}  // namespace

TEST_F(SqrtTableTest, TableEndsHoldRootTwoAndOne) {
  EXPECT_EQ(SqrtTable[0], 0x3504F3u);
  EXPECT_EQ(SqrtTable[32768], 0u);
}

TEST_F(SqrtTableTest, ExactSquaresAndSpecialValues) {
  EXPECT_EQ(FastSqrt(1.0f), 1.0f);
  EXPECT_EQ(FastSqrt(4.0f), 2.0f);
  EXPECT_EQ(FastSqrt(9.0f), 3.0f);
  EXPECT_EQ(FastSqrt(2.0f), 1.4142135f);
  EXPECT_EQ(FastSqrt(0.25f), 0.5f);  // the subtraction wraps; the carry is masked off
  EXPECT_EQ(FastSqrt(0.0f), 0.0f);
  EXPECT_EQ(FastSqrt(1e6f), 1000.0f);
}

TEST_F(SqrtTableTest, LowMantissaBitsAreDropped) {
  const float x = std::bit_cast<float>(std::bit_cast<uint32_t>(2.0f) | 0xFFu);
  EXPECT_EQ(FastSqrt(x), FastSqrt(2.0f));
  // Close to the true root everywhere else.
  for (float v = 0.001f; v < 1e7f; v *= 1.37f) EXPECT_NEAR(FastSqrt(v), std::sqrt(v), std::sqrt(v) * 1e-4f) << v;
}

TEST_F(SqrtTableTest, LengthUsesTheTable) {
  EXPECT_EQ(Length({3.0f, 4.0f}), 5.0f);
  EXPECT_EQ(Length({0.0f, 0.0f}), 0.0f);
}

TEST(SceneRandomTest, SeedZeroFirstDraw) {
  SeedSceneRandom(0);
  EXPECT_EQ(RandomBelow(100), 99);  // v = 0x1C * 256 + 0x1F = 7199
  SeedSceneRandom(0);
  EXPECT_NEAR(RandomUpTo(500.0f), 7199.0f * 500.0f / 65536.0f, 1e-4f);
  SeedSceneRandom(0);
  EXPECT_FLOAT_EQ(RandomSpread(10.0f), 7199.0f / 32768.0f * 10.0f - 10.0f);
}

TEST(SceneRandomTest, SeedSplitsIntoCursors) {
  SeedSceneRandom(0x1234u);
  EXPECT_EQ(SceneRandom.hi, 0x12u);
  EXPECT_EQ(SceneRandom.lo, 0x34u);
  // A millisecond counter past 2^31 still gives cursors within a byte.
  SeedSceneRandom(0x80FFFFFEu);
  EXPECT_EQ(SceneRandom.hi, 0xFFu);
  EXPECT_EQ(SceneRandom.lo, 0xFEu);
  RandomBelow(7);
  EXPECT_EQ(SceneRandom.hi, 0u);
  EXPECT_EQ(SceneRandom.lo, 1u);
}

TEST(SceneRandomTest, SameSeedSameSequenceAndRanges) {
  SeedSceneRandom(4242);
  float first[50];
  for (float& f : first) f = RandomUpTo(500.0f);
  SeedSceneRandom(4242);
  for (float f : first) EXPECT_EQ(RandomUpTo(500.0f), f);
  for (int i = 0; i < 2000; ++i) {
    const float up = RandomUpTo(500.0f);
    EXPECT_GE(up, 0.0f);
    EXPECT_LT(up, 500.0f);
    const float spread = RandomSpread(3.0f);
    EXPECT_GE(spread, -3.0f);
    EXPECT_LT(spread, 3.0f);
    const int below = RandomBelow(2);
    EXPECT_TRUE(below == 0 || below == 1);
  }
}

TEST(SceneRandomTest, TableIsAPermutation) {
  bool seen[256] = {};
  for (uint8_t b : kSceneRandomTable) {
    EXPECT_FALSE(seen[b]) << int(b);
    seen[b] = true;
  }
}

TEST(RectTest, SizeIgnoresCornerOrder) {
  Rect r;
  Set(r, 10.0f, 50.0f, -30.0f, 20.0f);
  EXPECT_EQ(Width(r), 40.0f);
  EXPECT_EQ(Height(r), 30.0f);
  const Vec2 c1 = Centre(r);
  Set(r, -30.0f, 20.0f, 10.0f, 50.0f);
  const Vec2 c2 = Centre(r);
  EXPECT_EQ(c1.x, c2.x);
  EXPECT_EQ(c1.y, c2.y);
  EXPECT_EQ(c1.x, -10.0f);
  EXPECT_EQ(c1.y, 35.0f);
}

TEST(ColourTest, MemoryOrderIsBlueGreenRedAlpha) {
  Colour c;
  EXPECT_EQ(c.value, 0xFFFFFFFFu);  // opaque white by default
  Set(c, 10, 20, 30, 40);
  EXPECT_EQ(c.value, 0x280A141Eu);
  const auto* bytes = reinterpret_cast<const uint8_t*>(&c.value);
  if constexpr (std::endian::native == std::endian::little) {
    EXPECT_EQ(bytes[0], 30);
    EXPECT_EQ(bytes[1], 20);
    EXPECT_EQ(bytes[2], 10);
    EXPECT_EQ(bytes[3], 40);
  }
}

TEST(ColourTest, LerpEnds) {
  const Colour4f a{0.2f, 0.4f, 0.6f, 0.8f};
  const Colour4f b{1.0f, 0.67f, 0.67f, 1.0f};
  const Colour4f at0 = Lerp(a, b, 0.0f);
  const Colour4f at1 = Lerp(a, b, 1.0f);
  EXPECT_EQ(at0.r, a.r);
  EXPECT_EQ(at0.a, a.a);
  EXPECT_EQ(at1.g, b.g);
  EXPECT_EQ(at1.b, b.b);
  EXPECT_FLOAT_EQ(Lerp(a, b, 0.5f).r, 0.6f);
}

TEST(MatrixTest, PreTranslateOfIdentity) {
  Matrix4 m;
  PreTranslate(m, 0.0f, 0.0f, 50.0f);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(m.m[i], i == 14 ? 50.0f : (i % 5 == 0 ? 1.0f : 0.0f)) << i;
}

TEST(MatrixTest, PreTranslateUsesTheRows) {
  Matrix4 m;
  SetDiagonalScale(m, 2.0f, 3.0f, 1.0f);
  PreTranslate(m, 1.0f, 1.0f, 0.0f);  // T x M: the shift is scaled by M
  EXPECT_EQ(m.m[12], 2.0f);
  EXPECT_EQ(m.m[13], 3.0f);
  EXPECT_EQ(m.m[15], 1.0f);
}

TEST(MatrixTest, ProductAppliesLeftFirst) {
  Matrix4 scale;
  SetDiagonalScale(scale, 2.0f, 2.0f, 2.0f);
  Matrix4 move;
  PreTranslate(move, 5.0f, 0.0f, 0.0f);
  const Matrix4 scaleThenMove = Product(scale, move);
  EXPECT_EQ(scaleThenMove.m[12], 5.0f);
  const Matrix4 moveThenScale = Product(move, scale);
  EXPECT_EQ(moveThenScale.m[12], 10.0f);
  Matrix4 m = scale;
  PreMultiplyInPlace(m, move);
  EXPECT_EQ(m.m[12], 10.0f);
  const Vec3 ax = AxisX(moveThenScale);
  EXPECT_EQ(ax.x, 2.0f);
  EXPECT_EQ(ax.y, 0.0f);
}

TEST(TrigTest, DegreesUseTheFloatFactor) {
  EXPECT_EQ(SinDeg(90.0f), Sin(90.0f * 0.017453292f));
  EXPECT_NEAR(CosDeg(180.0f), -1.0f, 1e-6f);
  EXPECT_NEAR(SinDeg(30.0f), 0.5f, 1e-6f);
  EXPECT_EQ(Abs(-2.5f), 2.5f);
}
