// Quad building against the recording device: corner order, rotation about a pivot,
// texture coordinates, the truncating tint, screen rectangles, gradient quads and strides.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/support/recording_device.h"
#include "render/sprites.h"
#include "resources/textures.h"

using namespace qh;

namespace {

class Sprites : public ::testing::Test {
 protected:
  void SetUp() override {
    Device = &device_;
    SetSpriteTint(1, 1, 1, 1);
  }
  void TearDown() override {
    Device = nullptr;
    SetSpriteTint(1, 1, 1, 1);
  }
  const RecordedDraw& Last() const { return device_.draws.back(); }
  RecordingDevice device_;
};

void ExpectVertex(const RecordedDraw& draw, uint32_t i, float x, float y, float z, float u, float v) {
  SCOPED_TRACE("vertex " + std::to_string(i));
  const Vec3 p = draw.Position(i);
  EXPECT_NEAR(p.x, x, 1e-4f);
  EXPECT_NEAR(p.y, y, 1e-4f);
  EXPECT_EQ(p.z, z);
  const Vec2 t = draw.TexCoord(i);
  EXPECT_FLOAT_EQ(t.x, u);
  EXPECT_FLOAT_EQ(t.y, v);
}

TEST_F(Sprites, AnUnturnedSpriteIgnoresItsPivotAndGoesOutAsOneStrip) {
  const TexRect rect{0.25f, 0.5f, 0.75f, 1.0f};
  DrawSprite(10, 20, Vec2{500, -700}, 0.0f, 100, 40, rect, 0x80FF8040, 7.0f);
  EXPECT_EQ(device_.calls,
            (std::vector<std::string>{"SetStreamSource 0 24", "SetVertexShader 322 0", "DrawPrimitiveUP 5 2"}));
  const RecordedDraw& d = Last();
  EXPECT_EQ(d.stride, 24u);
  EXPECT_EQ(d.fvf, 0x142u);
  ASSERT_EQ(d.VertexCount(), 4u);
  // B, C, A, D: top right, bottom right, top left, bottom left.
  ExpectVertex(d, 0, 60, 40, 7, 0.75f, 0.5f);
  ExpectVertex(d, 1, 60, 0, 7, 0.75f, 1.0f);
  ExpectVertex(d, 2, -40, 40, 7, 0.25f, 0.5f);
  ExpectVertex(d, 3, -40, 0, 7, 0.25f, 1.0f);
  EXPECT_EQ(d.Position(0).x, 60.0f);  // exact, not merely close
  EXPECT_EQ(d.Position(3).y, 0.0f);
  for (uint32_t i = 0; i < 4; ++i) EXPECT_EQ(d.Diffuse(i), 0x80FF8040u);
}

TEST_F(Sprites, AQuarterTurnAboutTheCentreTurnsCounterClockwise) {
  const float x = 10, y = 20, hw = 50, hh = 20;
  DrawSprite(x, y, Vec2{x, y}, 90.0f, 2 * hw, 2 * hh, TexRect{}, 0xFFFFFFFF, 0.0f);
  const RecordedDraw& d = Last();
  // B = (x + hw, y + hh) goes to (x - hh, y + hw).
  ExpectVertex(d, 0, x - hh, y + hw, 0, 1, 0);
  // C = (x + hw, y - hh) goes to (x + hh, y + hw).
  ExpectVertex(d, 1, x + hh, y + hw, 0, 1, 1);
  // A = (x - hw, y + hh) goes to (x - hh, y - hw).
  ExpectVertex(d, 2, x - hh, y - hw, 0, 0, 0);
  ExpectVertex(d, 3, x + hh, y - hw, 0, 0, 1);
}

TEST_F(Sprites, APivotAtTheBottomEdgeSwaysTheSpriteAboutIt) {
  // A 20 x 100 plant whose foot stays at (0, -50) while it leans 90 degrees to the left.
  DrawSprite(0, 0, Vec2{0, -50}, 90.0f, 20, 100, TexRect{}, 0xFFFFFFFF, 0.0f);
  const RecordedDraw& d = Last();
  ExpectVertex(d, 0, -100, -40, 0, 1, 0);  // top right (10, 50)
  ExpectVertex(d, 1, 0, -40, 0, 1, 1);     // bottom right (10, -50)
  ExpectVertex(d, 2, -100, -60, 0, 0, 0);  // top left (-10, 50)
  ExpectVertex(d, 3, 0, -60, 0, 0, 1);     // bottom left (-10, -50)
}

TEST_F(Sprites, TheTintTruncatesEachChannel) {
  SetSpriteTint(0.5f, 1.0f, 1.0f, 1.0f);
  EXPECT_EQ(TintColour(0xFFFF0000) >> 16 & 0xFF, 127u);  // 127.5 truncated, not rounded
  SetSpriteTint(0.5f, 0.25f, 1.0f, 0.5f);
  // Alpha 0x80 -> 0x40, red 0xFF -> 0x7F, green 0x80 -> 0x20, blue 0x40 unchanged.
  EXPECT_EQ(TintColour(0x80FF8040), 0x407F2040u);
  SetSpriteTint(0.25f, 1.0f, 1.0f, 1.0f);
  EXPECT_EQ(TintColour(0xFFFF0000) >> 16 & 0xFF, 63u);  // 63.75
  SetSpriteTint(0.999f, 0.999f, 0.999f, 0.999f);
  EXPECT_EQ(TintColour(0xFFFFFFFF), 0xFEFEFEFEu);
  SetSpriteTint(1, 1, 1, 1);
  EXPECT_EQ(TintColour(0x12345678), 0x12345678u);
  SetSpriteTint(0, 0, 0, 0);
  EXPECT_EQ(TintColour(0xFFFFFFFF), 0u);
}

TEST_F(Sprites, EveryQuadOperationTintsItsColours) {
  SetSpriteTint(1, 1, 1, 0.5f);
  DrawSprite(0, 0, Vec2{}, 0, 10, 10, TexRect{}, 0xFFFFFFFF, 0);
  EXPECT_EQ(Last().Diffuse(0), 0x7FFFFFFFu);
  const Vec3 p{};
  const Vec2 t{};
  DrawQuad(p, p, p, p, t, t, t, t, 0xFF000000);
  EXPECT_EQ(Last().Diffuse(3), 0x7F000000u);
  DrawScreenRect(0, 0, 1, 1, 0, 0, 1, 1, 0x80112233);
  EXPECT_EQ(Last().Diffuse(1), 0x40112233u);
  DrawGradientQuad(p, p, p, p, 0xFF000000, 0xFE000000, 0x02000000, 0x01000000);
  EXPECT_EQ(Last().Diffuse(0), 0x7F000000u);
  EXPECT_EQ(Last().Diffuse(1), 0x7F000000u);
  EXPECT_EQ(Last().Diffuse(2), 0x01000000u);
  EXPECT_EQ(Last().Diffuse(5), 0x00000000u);
}

TEST_F(Sprites, AQuadGoesOutAsQRPS) {
  DrawQuad({1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {10, 11, 12}, {0.1f, 0.2f}, {0.3f, 0.4f}, {0.5f, 0.6f}, {0.7f, 0.8f},
           0xFF00FF00);
  const RecordedDraw& d = Last();
  EXPECT_EQ(d.primitiveType, static_cast<uint32_t>(D3DPT_TRIANGLESTRIP));
  EXPECT_EQ(d.primitiveCount, 2u);
  ExpectVertex(d, 0, 4, 5, 6, 0.3f, 0.4f);
  ExpectVertex(d, 1, 7, 8, 9, 0.5f, 0.6f);
  ExpectVertex(d, 2, 1, 2, 3, 0.1f, 0.2f);
  ExpectVertex(d, 3, 10, 11, 12, 0.7f, 0.8f);
}

TEST_F(Sprites, AWholeScreenRectangleReachesTheCornersAtDepthTen) {
  DrawScreenRect(0, 0, 800, 600, 0, 0, 1, 1, 0xFFFFFFFF);
  const RecordedDraw& d = Last();
  ExpectVertex(d, 0, 400, 300, 10, 0.999f, 0.001f);    // q: right, top
  ExpectVertex(d, 1, -400, 300, 10, 0.001f, 0.001f);   // r: left, top
  ExpectVertex(d, 2, 400, -300, 10, 0.999f, 0.999f);   // p: right, bottom
  ExpectVertex(d, 3, -400, -300, 10, 0.001f, 0.999f);  // s: left, bottom
}

TEST_F(Sprites, ScreenRectanglesCountPixelsFromTheTopLeft) {
  DrawScreenRect(100, 50, 300, 250, 0.5f, 0.25f, 0.75f, 0.5f, 0xFFFFFFFF);
  const RecordedDraw& d = Last();
  ExpectVertex(d, 0, -100, 250, 10, 0.749f, 0.251f);
  ExpectVertex(d, 3, -300, 50, 10, 0.501f, 0.499f);
}

TEST_F(Sprites, AGradientQuadIsTwoListedTrianglesWithCoordinatesRunningToMinusOne) {
  DrawGradientQuad({0, 0, 1}, {0, 10, 1}, {10, 10, 1}, {10, 0, 1}, 0xFF000001, 0xFF000002, 0xFF000003, 0xFF000004);
  EXPECT_EQ(device_.calls,
            (std::vector<std::string>{"SetStreamSource 0 24", "SetVertexShader 322 0", "DrawPrimitiveUP 4 2"}));
  const RecordedDraw& d = Last();
  ASSERT_EQ(d.VertexCount(), 6u);
  ExpectVertex(d, 0, 0, 0, 1, 0, 0);
  ExpectVertex(d, 1, 0, 10, 1, 0, -1);
  ExpectVertex(d, 2, 10, 10, 1, -1, -1);
  ExpectVertex(d, 3, 0, 0, 1, 0, 0);
  ExpectVertex(d, 4, 10, 10, 1, -1, -1);
  ExpectVertex(d, 5, 10, 0, 1, -1, 0);
  const uint32_t colours[6] = {1, 2, 3, 1, 3, 4};
  for (uint32_t i = 0; i < 6; ++i) EXPECT_EQ(d.Diffuse(i), 0xFF000000u | colours[i]) << i;
}

TEST_F(Sprites, UserPrimitiveStrideFollowsTheVertexFormat) {
  EXPECT_EQ(FvfStride(D3DFVF_XYZ), 12u);
  EXPECT_EQ(FvfStride(0x142), 24u);
  EXPECT_EQ(FvfStride(0x112), 32u);
  EXPECT_EQ(FvfStride(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_PSIZE | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX1),
            44u);
  float vertices[3 * 8] = {};
  DrawUserPrimitives(vertices, 1, 0x112, D3DPT_TRIANGLELIST);
  EXPECT_EQ(device_.calls,
            (std::vector<std::string>{"SetStreamSource 0 32", "SetVertexShader 274 0", "DrawPrimitiveUP 4 1"}));
  EXPECT_EQ(Last().VertexCount(), 3u);
}

TEST_F(Sprites, QuadOperationsLeaveStatesTexturesAndTransformsAlone) {
  const Vec3 p{};
  const Vec2 t{};
  DrawSprite(0, 0, Vec2{}, 30, 1, 1, TexRect{}, 0, 0);
  DrawQuad(p, p, p, p, t, t, t, t, 0);
  DrawScreenRect(0, 0, 1, 1, 0, 0, 1, 1, 0);
  DrawGradientQuad(p, p, p, p, 0, 0, 0, 0);
  for (const std::string& call : device_.calls) {
    EXPECT_EQ(call.find("SetRenderState"), std::string::npos) << call;
    EXPECT_EQ(call.find("SetTexture"), std::string::npos) << call;
    EXPECT_EQ(call.find("SetTransform"), std::string::npos) << call;
  }
}

TEST_F(Sprites, BindingNoTextureUnbindsStageZero) {
  TextureRecord record;
  record.texture = std::make_unique<Texture>(2, 2, 1, D3DFMT_A8R8G8B8);
  BindTexture(&record);
  DrawScreenRect(0, 0, 1, 1, 0, 0, 1, 1, 0xFFFFFFFF);
  EXPECT_EQ(Last().texture, record.texture.get());
  BindTexture(nullptr);
  EXPECT_EQ(device_.calls.back(), "SetTexture 0 0");
  DrawScreenRect(0, 0, 1, 1, 0, 0, 1, 1, 0xFFFFFFFF);
  EXPECT_EQ(Last().texture, nullptr);
}

}  // namespace
