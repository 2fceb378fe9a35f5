// The state and transform helpers against the recording device: the feature and blend
// tables, identity defaults, the two projection builders and the frame bracket.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/recording_device.h"
#include "render/states.h"

using namespace qh;

namespace {

class StateHelpers : public ::testing::Test {
 protected:
  void SetUp() override {
    Device = &device_;
    PerspectiveMatrix = Identity();
  }
  void TearDown() override {
    Device = nullptr;
    PerspectiveMatrix = Identity();
  }
  RecordingDevice device_;
};

// p' = p x M for a row vector (x, y, z, 1), divided by w.
Vec3 Transform(const Matrix4& m, float x, float y, float z) {
  const float in[4] = {x, y, z, 1.0f};
  float out[4] = {};
  for (int j = 0; j < 4; ++j) {
    for (int k = 0; k < 4; ++k) out[j] += in[k] * m.m[4 * k + j];
  }
  return {out[0] / out[3], out[1] / out[3], out[2] / out[3]};
}

void ExpectMatrixEq(const Matrix4& a, const Matrix4& b) {
  for (int i = 0; i < 16; ++i) EXPECT_FLOAT_EQ(a.m[i], b.m[i]) << "element " << i;
}

TEST_F(StateHelpers, EachFeatureSwitchesItsState) {
  struct Case {
    int32_t feature;
    uint32_t state;
  };
  const Case cases[] = {{Lighting, D3DRS_LIGHTING},           {DepthTest, D3DRS_ZENABLE},
                        {DepthWrite, D3DRS_ZWRITEENABLE},     {AlphaBlend, D3DRS_ALPHABLENDENABLE},
                        {AlphaTest, D3DRS_ALPHATESTENABLE},   {PointSprite, D3DRS_POINTSPRITEENABLE}};
  for (const Case& c : cases) {
    device_.ClearRecord();
    EnableFeature(c.feature);
    EXPECT_EQ(device_.calls, std::vector<std::string>{"SetRenderState " + std::to_string(c.state) + " 1"});
    device_.ClearRecord();
    DisableFeature(c.feature);
    EXPECT_EQ(device_.calls, std::vector<std::string>{"SetRenderState " + std::to_string(c.state) + " 0"});
  }
}

TEST_F(StateHelpers, FeaturesOutsideTheTableDoNothing) {
  for (int32_t feature : {-1, 8, 100}) {
    EnableFeature(feature);
    DisableFeature(feature);
  }
  EXPECT_TRUE(device_.calls.empty());
}

TEST_F(StateHelpers, LinearFilteringOffMeansPointSamplingWithoutMips) {
  EnableFeature(LinearFiltering);
  EXPECT_EQ(device_.TextureStageState(0, D3DTSS_MAGFILTER), D3DTEXF_LINEAR);
  EXPECT_EQ(device_.TextureStageState(0, D3DTSS_MINFILTER), D3DTEXF_LINEAR);
  EXPECT_EQ(device_.TextureStageState(0, D3DTSS_MIPFILTER), D3DTEXF_LINEAR);
  DisableFeature(LinearFiltering);
  // Not the NONE values the device starts with.
  EXPECT_EQ(device_.TextureStageState(0, D3DTSS_MAGFILTER), D3DTEXF_POINT);
  EXPECT_EQ(device_.TextureStageState(0, D3DTSS_MINFILTER), D3DTEXF_POINT);
  EXPECT_EQ(device_.TextureStageState(0, D3DTSS_MIPFILTER), D3DTEXF_NONE);
}

TEST_F(StateHelpers, OrthographicSwitchesBetweenTheTwoProjections) {
  BuildPerspectiveMatrix(PerspectiveMatrix, 0.7853982f, 4.0f / 3.0f, 5.0f, 400.0f);
  EnableFeature(Orthographic);
  Matrix4 ortho;
  BuildOrthoMatrix(ortho, 800, 600, 1, 500);
  ExpectMatrixEq(device_.projection, ortho);
  DisableFeature(Orthographic);
  ExpectMatrixEq(device_.projection, PerspectiveMatrix);
}

TEST_F(StateHelpers, BlendModesSetBothFactors) {
  SetBlendMode(Alpha);
  EXPECT_EQ(device_.RenderState(D3DRS_SRCBLEND), D3DBLEND_SRCALPHA);
  EXPECT_EQ(device_.RenderState(D3DRS_DESTBLEND), D3DBLEND_INVSRCALPHA);
  SetBlendMode(Additive);
  EXPECT_EQ(device_.RenderState(D3DRS_SRCBLEND), D3DBLEND_SRCCOLOR);
  EXPECT_EQ(device_.RenderState(D3DRS_DESTBLEND), D3DBLEND_ONE);
  SetBlendMode(Opaque);
  EXPECT_EQ(device_.RenderState(D3DRS_SRCBLEND), D3DBLEND_ONE);
  EXPECT_EQ(device_.RenderState(D3DRS_DESTBLEND), D3DBLEND_ZERO);
  // Blending itself is the AlphaBlend feature's business.
  EXPECT_FALSE(device_.HasRenderState(D3DRS_ALPHABLENDENABLE));

  device_.ClearRecord();
  SetBlendMode(3);
  SetBlendMode(-1);
  EXPECT_TRUE(device_.calls.empty());
  EXPECT_EQ(device_.RenderState(D3DRS_SRCBLEND), D3DBLEND_ONE);
}

TEST_F(StateHelpers, NoMatrixMeansIdentity) {
  Matrix4 m;
  m.m[12] = 5.0f;
  SetWorldTransform(&m);
  SetViewTransform(&m);
  ExpectMatrixEq(device_.world, m);
  SetWorldTransform(nullptr);
  SetViewTransform(nullptr);
  ExpectMatrixEq(device_.world, Identity());
  ExpectMatrixEq(device_.view, Identity());
}

TEST_F(StateHelpers, TransformsReadBackAsSet) {
  Matrix4 view;
  view.m[14] = 50.0f;
  SetViewTransform(&view);
  Matrix4 projection;
  BuildOrthoMatrix(projection, 800, 600, 1, 100);
  SetProjectionTransform(projection);
  Matrix4 readView, readProjection;
  GetViewTransform(&readView);
  GetProjectionTransform(&readProjection);
  ExpectMatrixEq(readView, view);
  ExpectMatrixEq(readProjection, projection);
}

TEST_F(StateHelpers, OrthoMatrixMapsTheCornerPointToTheCornerOfTheDepthRange) {
  Matrix4 m;
  BuildOrthoMatrix(m, 800, 600, 1, 100);
  const Vec3 p = Transform(m, 400, 300, 60);
  EXPECT_FLOAT_EQ(p.x, 1.0f);
  EXPECT_FLOAT_EQ(p.y, 1.0f);
  EXPECT_FLOAT_EQ(p.z, 59.0f / 99.0f);
  EXPECT_FLOAT_EQ(m.m[0], 2.0f / 800);
  EXPECT_FLOAT_EQ(m.m[5], 2.0f / 600);
  EXPECT_FLOAT_EQ(m.m[10], 1.0f / 99);
  EXPECT_FLOAT_EQ(m.m[14], 1.0f / -99);
  EXPECT_FLOAT_EQ(m.m[15], 1.0f);
  for (int i : {1, 2, 3, 4, 6, 7, 8, 9, 11, 12, 13}) EXPECT_EQ(m.m[i], 0.0f) << i;
}

TEST_F(StateHelpers, PerspectiveMatrixOfAQuarterTurnAtFourThirds) {
  Matrix4 m;
  BuildPerspectiveMatrix(m, 0.7853982f, 4.0f / 3.0f, 5.0f, 400.0f);
  EXPECT_NEAR(m.m[5], 2.4142136f, 1e-6f);
  EXPECT_NEAR(m.m[0], 1.8106602f, 1e-6f);
  EXPECT_FLOAT_EQ(m.m[10], 400.0f / 395.0f);
  EXPECT_EQ(m.m[11], 1.0f);
  EXPECT_FLOAT_EQ(m.m[14], 5.0f * 400.0f / -395.0f);
  EXPECT_EQ(m.m[15], 0.0f);
  for (int i : {1, 2, 3, 4, 6, 7, 8, 9, 12, 13}) EXPECT_EQ(m.m[i], 0.0f) << i;
  // Near and far planes land on depth 0 and 1.
  EXPECT_NEAR(Transform(m, 0, 0, 5).z, 0.0f, 1e-6f);
  EXPECT_NEAR(Transform(m, 0, 0, 400).z, 1.0f, 1e-6f);
}

TEST_F(StateHelpers, UpdatePerspectiveUsesTheClientAspectAndSkipsAZeroHeight) {
  UpdatePerspective(1024, 768);
  Matrix4 expected;
  BuildPerspectiveMatrix(expected, 0.7853982f, 1024.0f / 768.0f, 5.0f, 400.0f);
  ExpectMatrixEq(PerspectiveMatrix, expected);
  // A minimised window: the matrix stays as it was (and stays finite).
  UpdatePerspective(1024, 0);
  ExpectMatrixEq(PerspectiveMatrix, expected);
  // Nothing reaches the device until Orthographic is switched off.
  EXPECT_TRUE(device_.calls.empty());
}

TEST_F(StateHelpers, ClearTouchesOnlyTheColourBuffer) {
  ClearTarget(0x00123456);
  ASSERT_EQ(device_.clears.size(), 1u);
  EXPECT_EQ(device_.clears[0].flags, D3DCLEAR_TARGET);
  EXPECT_EQ(device_.clears[0].colour, 0x00123456u);
}

TEST_F(StateHelpers, FrameBracketAndRawStates) {
  BeginFrame();
  SetDeviceRenderState(D3DRS_ALPHAREF, 1);
  EndFrame();
  EXPECT_EQ(device_.calls, (std::vector<std::string>{"BeginScene", "SetRenderState 24 1", "EndScene"}));
  EXPECT_EQ(FloatBits(1.0f), 0x3F800000u);
  EXPECT_EQ(FloatBits(0.01f), 0x3C23D70Au);
}

}  // namespace
