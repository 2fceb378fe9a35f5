// Spray puffs: the ring, the puff's life curve, ageing and the billboard.
#include "tests/scene_test_support.h"

using namespace qh;
using namespace qh::scenetest;

namespace {
class SprayTest : public SceneTest {};

void ExpectPoint(const Vec3& p, float x, float y) {
  EXPECT_NEAR(p.x, x, 1e-4f);
  EXPECT_NEAR(p.y, y, 1e-4f);
  EXPECT_EQ(p.z, 0.0f);
}
}  // namespace

TEST_F(SprayTest, TheRingOverwritesItsOldestPuff) {
  for (int i = 0; i < kSprayRingSize; ++i) EmitSpray(static_cast<float>(i), 0.0f, nullptr);
  EXPECT_EQ(SprayRing.next, 0);
  TextureRecord* drop = MakeTexture("drop.tga");
  SprayRing.slots[0].life = 1500.0f;  // still alive
  EmitSpray(1000.0f, 5.0f, drop);
  EXPECT_EQ(SprayRing.next, 1);
  EXPECT_EQ(SprayRing.slots[0].position.x, 1000.0f);
  EXPECT_EQ(SprayRing.slots[0].position.y, 5.0f);
  EXPECT_EQ(SprayRing.slots[0].life, 2000.0f);
  EXPECT_EQ(SprayRing.slots[0].texture, drop);
  EXPECT_EQ(SprayRing.slots[1].position.x, 1.0f);
}

TEST_F(SprayTest, NothingIsEmittedDuringAChangeOfScene) {
  SprayRing.next = 7;
  crossfadeCountdown = 0.5f;
  EmitSpray(1.0f, 2.0f, nullptr);
  EXPECT_EQ(SprayRing.next, 7);
  EXPECT_EQ(SprayRing.slots[7].life, 0.0f);
  crossfadeCountdown = 0.0f;
  EmitSpray(1.0f, 2.0f, nullptr);
  EXPECT_EQ(SprayRing.next, 8);
}

TEST_F(SprayTest, StatesAreSetEvenWithoutPuffs) {
  DrawSpray();
  EXPECT_TRUE(device.draws.empty());
  const std::vector<std::string> expected = {"SetRenderState 27 1", "SetRenderState 14 0", "SetRenderState 19 3",
                                             "SetRenderState 20 2"};
  EXPECT_EQ(device.calls, expected);
}

TEST_F(SprayTest, APuffAtMidLife) {
  TextureRecord* drop = MakeTexture("drop.tga");
  SprayRing.slots[3] = {{10.0f, 20.0f}, 1000.0f, drop};
  FrameDeltaMs = 16.0f;
  DrawSpray();
  ASSERT_EQ(device.draws.size(), 1u);
  const RecordedDraw& d = device.draws[0];
  EXPECT_EQ(d.primitiveType, uint32_t{D3DPT_TRIANGLELIST});
  EXPECT_EQ(d.primitiveCount, 2u);
  EXPECT_EQ(d.texture, drop->texture.get());
  EXPECT_EQ(d.srcBlend, uint32_t{D3DBLEND_SRCCOLOR});
  EXPECT_EQ(d.destBlend, uint32_t{D3DBLEND_ONE});
  // Brightness 254 (s x 255 falls just below 255), lift 8, half-side 26.
  for (uint32_t v = 0; v < 6; ++v) EXPECT_EQ(d.Diffuse(v), 0xFFFEFEFEu) << v;
  ExpectPoint(d.Position(0), -16.0f, 54.0f);  // top left
  ExpectPoint(d.Position(1), -16.0f, 2.0f);   // bottom left
  ExpectPoint(d.Position(2), 36.0f, 2.0f);    // bottom right
  ExpectPoint(d.Position(5), 36.0f, 54.0f);   // top right
  EXPECT_EQ(SprayRing.slots[3].life, 984.0f);
}

TEST_F(SprayTest, LifeEndsAtZero) {
  SprayRing.slots[0] = {{0.0f, 0.0f}, 100.0f, nullptr};
  SprayRing.slots[1] = {{0.0f, 0.0f}, 0.5f, nullptr};
  FrameDeltaMs = 100.0f;
  DrawSpray();
  ASSERT_EQ(device.draws.size(), 2u);
  EXPECT_EQ(device.draws[1].Diffuse(0), 0xFF000000u);  // L = 0.5: shown once more, dark
  EXPECT_EQ(SprayRing.slots[0].life, 0.0f);
  device.ClearRecord();
  DrawSpray();
  EXPECT_TRUE(device.draws.empty());
}

TEST_F(SprayTest, ANewPuffIsFirstDrawnDarkAtFullLife) {
  FrameDeltaMs = 50.0f;
  EmitSpray(0.0f, 0.0f, nullptr);
  DrawSpray();
  ASSERT_EQ(device.draws.size(), 1u);
  EXPECT_EQ(device.draws[0].Diffuse(0), 0xFF000000u);
  ExpectPoint(device.draws[0].Position(0), -15.0f, 15.0f);  // half-side 15 at birth
  EXPECT_EQ(SprayRing.slots[0].life, 1950.0f);
}

TEST_F(SprayTest, BillboardFollowsTheFrameViewAndTheTint) {
  CameraView = FrameView();
  SetDiagonalScale(CameraView, 2.0f, 3.0f, 1.0f);
  Matrix4 other = Identity();
  device.SetTransform(D3DTS_VIEW, other);
  SetSpriteTint(0.5f, 1.0f, 1.0f, 1.0f);
  DrawBillboard(1.0f, 1.0f, 10.0f, 0xFFFF8040u);
  ASSERT_EQ(device.draws.size(), 1u);
  const RecordedDraw& d = device.draws[0];
  ExpectPoint(d.Position(0), -19.0f, 31.0f);
  ExpectPoint(d.Position(1), -19.0f, -29.0f);
  ExpectPoint(d.Position(2), 21.0f, -29.0f);
  ExpectPoint(d.Position(5), 21.0f, 31.0f);
  EXPECT_EQ(d.Diffuse(0), 0xFF7F8040u);
}
