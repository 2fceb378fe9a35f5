// Object behaviours: texture windows of skies and water, the spray emitter, swaying
// leaves and their list, the two drawing passes, and long runs.
#include <cmath>

#include "tests/scene_test_support.h"

using namespace qh;
using namespace qh::scenetest;

namespace {
class BehaviourTest : public SceneTest {
 protected:
  void SetUp() override {
    SceneTest::SetUp();
    sky = MakeTexture("sky.tga", 256, 256);
    water = MakeTexture("water.tga", 64, 32);
    leaf = MakeTexture("leaf.tga");
    Catalogue(
        "[g/]\nsky=sky.tga\nskywater=sky.tga\nwaterfall_top=water.tga\nlake_water=water.tga\n"
        "spray=leaf.tga\nleaves=leaf.tga\nleaves1=leaf.tga\nleaves12=leaf.tga\nleaves2=leaf.tga\n"
        "leaves3=leaf.tga\nrock=leaf.tga\nbare_sky=none\nbare_water=none\nbare_waterfall=none\n[/]");
  }

  // Loads one object and runs the first pass over it.
  SceneObject& One(const LevelRecord& record) {
    Level({record});
    return SceneObjectTable.objects[0];
  }

  TexRect WindowOf(const RecordedDraw& draw) {
    return {draw.TexCoord(2).x, draw.TexCoord(2).y, draw.TexCoord(0).x, draw.TexCoord(1).y};
  }

  TextureRecord* sky = nullptr;
  TextureRecord* water = nullptr;
  TextureRecord* leaf = nullptr;
};

void ExpectWindow(const TexRect& w, float uLeft, float vTop, float uRight, float vBottom) {
  EXPECT_NEAR(w.uLeft, uLeft, 1e-6f);
  EXPECT_NEAR(w.vTop, vTop, 1e-6f);
  EXPECT_NEAR(w.uRight, uRight, 1e-6f);
  EXPECT_NEAR(w.vBottom, vBottom, 1e-6f);
}

// The default sway with the float constants it is specified with, evaluated in double.
double DefaultSway(double t) {
  return 0.6 * std::sin(static_cast<double>(0.0022f) * t) + 0.24 * std::sin(static_cast<double>(0.0038f) * t);
}
}  // namespace

TEST_F(BehaviourTest, SkyKeepsItsProportionsAndDrifts) {
  SceneClockMs = 1000.0;
  SceneObject& o = One({"sky", -200, -50, 200, 150});
  UpdateObject(o);
  ASSERT_EQ(device.draws.size(), 1u);
  EXPECT_EQ(device.draws[0].texture, sky->texture.get());
  // Twice as wide as high with a square texture: two copies side by side.
  ExpectWindow(WindowOf(device.draws[0]), -0.003f, 0.0f, 1.997f, 1.0f);
  EXPECT_EQ(o.drawnThisFrame, 1);
  DrawPlainObject(o);
  EXPECT_EQ(device.draws.size(), 1u);

  // A name holding both "sky" and "water" is a sky.
  device.ClearRecord();
  UpdateObject(One({"skywater", -200, -50, 200, 150, 0, 5, 5}));
  ExpectWindow(WindowOf(device.draws[0]), -0.003f, 0.0f, 1.997f, 1.0f);
}

TEST_F(BehaviourTest, WaterfallScrollsAtFullSpeedAndWaterAtAFifth) {
  SceneClockMs = 1000.0;
  UpdateObject(One({"waterfall_top", 0, 0, 128, 64, 0, 2.0f, 1.0f}));
  // One texel per world unit: 128 / 64 and 64 / 32.
  ExpectWindow(WindowOf(device.draws[0]), -0.02f, -0.01f, 1.98f, 1.99f);
  UpdateObject(One({"lake_water", 0, 0, 128, 64, 0, 2.0f, 1.0f}));
  ExpectWindow(WindowOf(device.draws[1]), -0.004f, -0.002f, 1.996f, 1.998f);
  // Mirrored: the horizontal ends trade places.
  UpdateObject(One({"waterfall_top", 0, 0, 128, 64, 0, 2.0f, 1.0f, 1}));
  ExpectWindow(WindowOf(device.draws[2]), 1.98f, -0.01f, -0.02f, 1.99f);
}

TEST_F(BehaviourTest, PicturelessAndDegenerateShapesDrawNothing) {
  SceneClockMs = 500.0;
  for (const char* name : {"bare_sky", "bare_water", "bare_waterfall"}) {
    SceneObject& o = One({name, 0, 0, 100, 100, 0, 1, 1, 0, 1});
    UpdateObject(o);
    DrawPlainObject(o);
  }
  SceneObject& flatSky = One({"sky", -100, 20, 100, 20});
  UpdateObject(flatSky);
  DrawPlainObject(flatSky);
  FrameDeltaMs = 1000.0f;
  SceneObject& flatSpray = One({"spray", 0, 0, 100, 0});
  UpdateObject(flatSpray);
  DrawPlainObject(flatSpray);
  EXPECT_TRUE(device.draws.empty());
  EXPECT_EQ(SprayRing.next, 0);
}

TEST_F(BehaviourTest, PlainObjectsBelongToTheSecondPassUnlessUnderThePicture) {
  SceneObject& plain = One({"rock", 50, 0, -50, 20, 0});  // corners in reverse order
  UpdateObject(plain);
  EXPECT_TRUE(device.draws.empty());
  EXPECT_EQ(plain.drawnThisFrame, 0);
  DrawPlainObject(plain);
  ASSERT_EQ(device.draws.size(), 1u);
  ExpectWindow(WindowOf(device.draws[0]), 0, 0, 1, 1);
  EXPECT_EQ(Corner(device.draws[0], 0).x, 50.0f);  // width |x1 - x2|
  EXPECT_EQ(Corner(device.draws[0], 2).x, -50.0f);
  EXPECT_EQ(device.draws[0].Diffuse(0), 0xFFFFFFFFu);

  SceneObject& mirrored = One({"rock", 0, 0, 10, 10, 0, 0, 0, 1});
  UpdateObject(mirrored);
  DrawPlainObject(mirrored);
  ExpectWindow(WindowOf(device.draws[1]), 1, 0, 0, 1);

  SceneObject& under = One({"rock", 0, 0, 10, 10, 0, 0, 0, 0, 1});
  UpdateObject(under);
  ASSERT_EQ(device.draws.size(), 3u);
  ExpectWindow(WindowOf(device.draws[2]), 0, 0, 1, 1);
  DrawPlainObject(under);
  EXPECT_EQ(device.draws.size(), 3u);
}

TEST_F(BehaviourTest, FirstPassFadesInDuringTheSecondHalfOfAChange) {
  SceneObject& o = One({"rock", 0, 0, 10, 10, 0, 0, 0, 0, 1});
  Director.fadeFraction = 0.5f;
  crossfadeCountdown = 1500.0f;
  UpdateObject(o);
  EXPECT_EQ(device.draws.back().Diffuse(0), 0x1FFFFFFFu);  // 255 x 0.125 = 31.875
  crossfadeCountdown = 3000.0f;
  UpdateObject(o);
  EXPECT_EQ(device.draws.back().Diffuse(0) >> 24, 31u);
  crossfadeCountdown = 3500.0f;
  UpdateObject(o);
  EXPECT_EQ(device.draws.back().Diffuse(0), 0xFFFFFFFFu);
  crossfadeCountdown = 0.0f;
  UpdateObject(o);
  EXPECT_EQ(device.draws.back().Diffuse(0), 0xFFFFFFFFu);
}

TEST_F(BehaviourTest, LeavesSwayByTheirNames) {
  struct Case {
    const char* name;
    float a1, k1, a2, k2;
  } cases[] = {{"leaves1", 0.5f, 0.003f, 0.2f, 0.0043f},   {"leaves12", 0.5f, 0.003f, 0.2f, 0.0043f},
               {"leaves2", 0.18f, 0.004f, 0.11f, 0.0024f}, {"leaves3", 0.6f, 0.0022f, 0.24f, 0.0038f},
               {"leaves", 0.6f, 0.0022f, 0.24f, 0.0038f}};
  FrameDeltaMs = 20.0f;
  for (const Case& c : cases) {
    SwayList.count = 0;
    leafPhaseOffset = 0.0f;
    SceneObject& o = One({c.name, -40, -10, 60, 30, 10.0f});
    o.phase = 300.0;
    UpdateObject(o);
    ASSERT_EQ(SwayList.count, 1) << c.name;
    const float t = 320.0f;
    EXPECT_NEAR(SwayList.entries[0].angle, 10.0f + c.a1 * std::sin(c.k1 * t) + c.a2 * std::sin(c.k2 * t), 1e-5f)
        << c.name;
    EXPECT_EQ(o.phase, 320.0);
    EXPECT_EQ(o.drawnThisFrame, 1);
  }
  EXPECT_TRUE(device.draws.empty());  // leaves are drawn from the list only
}

TEST_F(BehaviourTest, LeavesShadePivotAndOffsets) {
  SeedSceneRandom(7);
  Level({{"leaves", -40, -10, 60, 30, 0, 300, 0},
         {"leaves", -40, -10, 60, 30, 0, 0, 0, 1},
         {"leaves", -40, -10, 60, 30}});
  for (int i = 0; i < 3; ++i) SceneObjectTable.objects[i].phase = 0.0;
  for (int i = 0; i < 3; ++i) UpdateObject(SceneObjectTable.objects[i]);
  ASSERT_EQ(SwayList.count, 3);
  EXPECT_EQ(leafPhaseOffset, 1200.0f);
  const SwayEntry& grey = SwayList.entries[0];
  EXPECT_EQ(grey.colour.value, 0xFFD3D3D3u);  // 255 - (300 mod 256) = 211
  EXPECT_EQ(SwayList.entries[1].colour.value, 0xFFFFFFFFu);
  // Turning about the middle of the left edge, or the right edge when mirrored.
  EXPECT_EQ(grey.centre.x, 10.0f);
  EXPECT_EQ(grey.centre.y, 10.0f);
  EXPECT_EQ(grey.pivot.x, -40.0f);
  EXPECT_EQ(grey.pivot.y, 10.0f);
  EXPECT_EQ(SwayList.entries[1].pivot.x, 60.0f);
  EXPECT_EQ(SwayList.entries[1].mirrored, 1);
  EXPECT_EQ(grey.width, 100.0f);
  EXPECT_EQ(grey.height, 40.0f);
  EXPECT_EQ(grey.texture, leaf);
  // Successive leaves objects run 400 ms apart.
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(SwayList.entries[i].angle, DefaultSway(400.0 * i), 1e-5) << i;

  DrawSwayList();
  EXPECT_EQ(device.RenderState(D3DRS_ALPHABLENDENABLE), 1u);
  EXPECT_EQ(device.RenderState(D3DRS_SRCBLEND), uint32_t{D3DBLEND_SRCALPHA});
  EXPECT_EQ(device.RenderState(D3DRS_DESTBLEND), uint32_t{D3DBLEND_INVSRCALPHA});
  ASSERT_EQ(device.draws.size(), 3u);
  EXPECT_EQ(device.draws[0].Diffuse(0), 0xFFD3D3D3u);
  ExpectWindow(WindowOf(device.draws[0]), 0, 0, 1, 1);
  ExpectWindow(WindowOf(device.draws[1]), 1, 0, 0, 1);
}

TEST_F(BehaviourTest, SwayListHoldsAtMost128) {
  std::vector<LevelRecord> records(kMaxSceneObjects, LevelRecord{"leaves", 0, 0, 10, 10});
  Level(records);
  QueueSway({}, {}, 0, 1, 1, Colour{}, nullptr, 0);
  QueueSway({}, {}, 0, 1, 1, Colour{}, nullptr, 0);
  for (int i = 0; i < SceneObjectTable.count; ++i) UpdateObject(SceneObjectTable.objects[i]);
  EXPECT_EQ(SwayList.count, kMaxSwayEntries);
  EXPECT_EQ(SceneObjectTable.objects[127].drawnThisFrame, 1);  // dealt with, though not shown
  DrawSwayList();
  EXPECT_EQ(device.draws.size(), static_cast<size_t>(kMaxSwayEntries));
}

TEST_F(BehaviourTest, SprayEmitsOncePerIntervalAtARandomPoint) {
  SceneObject& o = One({"spray", 0, 0, 100, 100});  // one puff every 30 ms
  o.phase = 25.0;
  FrameDeltaMs = 5.0f;
  UpdateObject(o);
  EXPECT_EQ(SprayRing.next, 0);  // 30 is not above 30
  EXPECT_EQ(o.phase, 30.0);
  const SceneRandomState before = SceneRandom;
  FrameDeltaMs = 6.0f;
  UpdateObject(o);
  ASSERT_EQ(SprayRing.next, 1);
  EXPECT_EQ(o.phase, 0.0);
  SceneRandom = before;
  const float ry = RandomSpread(50.0f);
  const float rx = RandomSpread(50.0f);
  EXPECT_EQ(SprayRing.slots[0].position.x, 50.0f + rx);
  EXPECT_EQ(SprayRing.slots[0].position.y, 50.0f + ry);
  EXPECT_EQ(SprayRing.slots[0].life, 2000.0f);
  EXPECT_EQ(SprayRing.slots[0].texture, leaf);
  // A long frame still gives one puff; the emitter itself is never drawn.
  FrameDeltaMs = 100.0f;
  UpdateObject(o);
  EXPECT_EQ(SprayRing.next, 2);
  DrawPlainObject(o);
  EXPECT_TRUE(device.draws.empty());
}

TEST_F(BehaviourTest, AfterThirtyDaysWaterStillScrollsAndLeavesStillSway) {
  constexpr double kThirtyDays = 30.0 * 24 * 3600 * 1000;
  constexpr float kStep = 16.0f;
  FrameDeltaMs = kStep;

  // Water: the per-frame step of the texture window, modulo whole repeats.
  auto waterStep = [&](double clock) {
    SceneObject& o = One({"lake_water", 0, 0, 64, 32, 0, 1.0f, 0.5f});
    device.ClearRecord();
    SceneClockMs = clock;
    UpdateObject(o);
    SceneClockMs = clock + kStep;
    UpdateObject(o);
    const double step = WindowOf(device.draws[1]).uLeft - WindowOf(device.draws[0]).uLeft;
    return step - std::floor(step + 0.5);
  };
  const double early = waterStep(1000.0);
  EXPECT_NEAR(early, -3.2e-5, 1e-7);
  EXPECT_NEAR(waterStep(kThirtyDays + 1234.5), early, 0.01 * std::fabs(early));

  // Leaves: every frame's change of angle matches the true sway's change.
  auto swayChanges = [&](double phase, std::vector<double>* drawn, std::vector<double>* truth) {
    SceneObject& o = One({"leaves", 0, 0, 10, 10});
    o.phase = phase;
    double previous = 0.0;
    for (int frame = 0; frame <= 60; ++frame) {
      SwayList.count = 0;
      leafPhaseOffset = 0.0f;
      UpdateObject(o);
      const double angle = SwayList.entries[0].angle;
      if (frame > 0) {
        drawn->push_back(angle - previous);
        truth->push_back(DefaultSway(o.phase) - DefaultSway(o.phase - kStep));
      }
      previous = angle;
    }
  };
  for (double start : {0.0, kThirtyDays}) {
    std::vector<double> drawn, truth;
    swayChanges(start, &drawn, &truth);
    double largest = 0.0;
    for (double t : truth) largest = std::max(largest, std::fabs(t));
    ASSERT_GT(largest, 0.005);
    for (size_t i = 0; i < drawn.size(); ++i) EXPECT_NEAR(drawn[i], truth[i], 0.01 * largest) << start << " " << i;
  }
}
