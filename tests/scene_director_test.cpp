// The scene director: scene timing, the six-second change frame by frame, the outgoing
// zoom, the scene pass order, and the day cycle's tints.
#include <cmath>

#include "tests/scene_test_support.h"

using namespace qh;
using namespace qh::scenetest;

namespace {
class DirectorTest : public SceneTest {
 protected:
  void SetUp() override {
    SceneTest::SetUp();
    WriteBytes("rock.tga", TgaBytes(4, 4, 10, 20, 30, 255));
    WriteText("gameobjs.txt", "[g/]\nrock=rock.tga\nspray=rock.tga\nleaves=rock.tga\n[/]\n");
    // Scene 0: an object under the picture, one over it, a spray area, leaves.
    WriteBytes("level0.lev", LevelBytes({{"rock", -10, -10, 10, 10, 0, 0, 0, 0, 1},
                                         {"rock", 100, 100, 140, 120},
                                         {"spray", -300, -300, -200, -200},
                                         {"leaves", 200, 0, 260, 40}}));
    WriteBytes("level1.lev", LevelBytes({{"rock", -50, -50, 50, 50, 0, 0, 0, 0, 1}}));
    WriteBytes("_a_back0.jpg", TgaBytes(8, 6, 0x40, 0x50, 0x60, 0x80));
    WriteBytes("_a_back1.jpg", TgaBytes(8, 6, 0x20, 0x30, 0x40, 0x80));
  }

  void Start(int sceneCount, int delayChoice) {
    SettingsEx.sceneCount = static_cast<uint8_t>(sceneCount);
    SetSceneDelay(delayChoice);
    sceneCursor = Settings.startScene;
    PreloadScenes();
    ShowFirstScene();
  }

  // One frame as the frame object runs it: the director, then the scene clock.
  void Frame() {
    device.ClearRecord();
    SceneDirector();
    SceneClockMs += FrameDeltaMs;
  }

  // Background pictures are the only quads drawn at depth 10: one per scene pass.
  std::vector<const RecordedDraw*> Pictures() const {
    std::vector<const RecordedDraw*> out;
    for (const RecordedDraw& d : device.draws) {
      if (d.primitiveType == D3DPT_TRIANGLESTRIP && d.Position(0).z == 10.0f) out.push_back(&d);
    }
    return out;
  }

  bool ViewWasSet() const {
    for (const std::string& c : device.calls) {
      if (c == "SetTransform 2 0") return true;
    }
    return false;
  }
};

void ExpectTint(const Colour4f& c, float r, float g, float b, float a) {
  EXPECT_EQ(c.r, r);
  EXPECT_EQ(c.g, g);
  EXPECT_EQ(c.b, b);
  EXPECT_EQ(c.a, a);
}
}  // namespace

TEST_F(DirectorTest, TheSixSecondChangeFrameByFrame) {
  Start(2, 0);
  FrameDeltaMs = 100.0f;
  for (int i = 0; i < 300; ++i) Frame();
  EXPECT_EQ(Director.sceneTimer, 30000.0);  // not yet above the delay
  EXPECT_EQ(sceneCursor, 0);
  EXPECT_EQ(Director.incomingBackground, nullptr);
  TextureRecord* outgoing = currentBackground;
  ASSERT_NE(outgoing, nullptr);

  for (int frame = 1; frame <= 61; ++frame) {
    Frame();
    SCOPED_TRACE(frame);
    if (frame == 1) {
      EXPECT_EQ(sceneCursor, 1);
      EXPECT_EQ(Director.targetScene, 1);
      ASSERT_NE(Director.incomingBackground, nullptr);
      EXPECT_STREQ(Director.incomingBackground->name, "_a_back1.jpg");
    }
    float expected = 0.0f;
    if (frame <= 29) expected = 6000.0f - 100.0f * frame;
    else if (frame <= 59) expected = 6000.0f - 100.0f * (frame + 1);  // lowered twice in frame 30
    EXPECT_EQ(crossfadeCountdown, expected);
    EXPECT_EQ(Pictures().size(), frame >= 30 && frame <= 59 ? 2u : 1u);
    EXPECT_EQ(ViewWasSet(), frame <= 60);  // crossfade frames set the outgoing view
    EXPECT_EQ(Director.sceneTimer, frame <= 60 ? -1.0 : 0.0);
    if (frame == 30) {
      EXPECT_EQ(Pictures()[1]->Diffuse(0) >> 24, 0u);  // the incoming scene, once at opacity 0
    }
    if (frame == 40) {
      // Fraction 1 - 2000/3000 from the countdown at the start of the frame.
      EXPECT_FLOAT_EQ(Director.fadeFraction, 1.0f - 2000.0f / 3000.0f);
      const RecordedDraw* incoming = Pictures()[1];
      EXPECT_EQ(incoming->Diffuse(0) >> 24, static_cast<uint32_t>(255.0f * Director.fadeFraction));
      EXPECT_EQ(incoming->magFilter, uint32_t{D3DTEXF_LINEAR});
      EXPECT_EQ(incoming->texture, Director.incomingBackground->texture.get());
      // The incoming scene's object under its picture is blended, the outgoing one's is not.
      EXPECT_EQ(device.draws[0].alphaBlendEnable, 0u);
      const RecordedDraw* underIncoming = incoming - 1;
      EXPECT_EQ(underIncoming->alphaBlendEnable, 1u);
      EXPECT_EQ(underIncoming->Position(0).x, 50.0f);  // level 1's object
      EXPECT_EQ(SceneObjectTable.objects[0].rect.x1, -10.0f);  // the table holds level 0 again
    }
    if (frame == 59) {
      EXPECT_EQ(shownScene, 1);
      ASSERT_NE(currentBackground, nullptr);
      EXPECT_STREQ(currentBackground->name, "_a_back1.jpg");
      EXPECT_EQ(Director.incomingBackground, nullptr);
      EXPECT_EQ(FindTexture("_a_back0.jpg"), nullptr);  // the old picture was released
      EXPECT_EQ(SceneObjectTable.count, 1);
    }
    if (frame == 60) {
      // Drawn by the crossfade frame, without zoom, the picture point-sampled.
      const RecordedDraw* picture = Pictures()[0];
      for (int i = 0; i < 16; ++i) EXPECT_EQ(picture->view.m[i], CameraView.m[i]) << i;
      EXPECT_EQ(picture->magFilter, uint32_t{D3DTEXF_POINT});
      EXPECT_EQ(picture->texture, currentBackground->texture.get());
    }
  }
  EXPECT_EQ(Director.fadeTimer, -1.0f);
  EXPECT_EQ(shownScene, 1);
}

TEST_F(DirectorTest, OutgoingViewAtHalfZoom) {
  Start(2, 0);
  Director.targetScene = 1;
  crossfadeCountdown = 3000.0f;  // zoomFactor 1 - 3000/6000
  FrameDeltaMs = 0.0f;
  DrawCrossfadeFrame();
  EXPECT_EQ(Director.zoomFactor, 0.5f);
  const Matrix4& view = Pictures()[0]->view;
  EXPECT_EQ(view.m[0], 1.375f);
  EXPECT_EQ(view.m[5], 1.375f);
  EXPECT_EQ(view.m[10], 1.0f);
  EXPECT_FLOAT_EQ(view.m[12], 7.5f * std::cos(2.3561945f));
  EXPECT_NEAR(view.m[12], -5.30f, 0.005f);
  EXPECT_FLOAT_EQ(view.m[13], 7.5f);
  EXPECT_EQ(view.m[14], 50.0f);
  EXPECT_EQ(Pictures()[0]->magFilter, uint32_t{D3DTEXF_LINEAR});
  // The frame's own view is back for whatever is drawn next.
  for (int i = 0; i < 16; ++i) EXPECT_EQ(device.view.m[i], CameraView.m[i]) << i;
}

TEST_F(DirectorTest, APlainFrameDrawsInPaintersOrder) {
  Start(1, 0);
  TextureRecord* rock = FindTexture("rock.tga");
  SceneObjectTable.objects[2].phase = 0.0;  // the spray will not emit in this frame
  SprayRing.slots[0] = {{0.0f, 0.0f}, 1000.0f, rock};
  FrameDeltaMs = 16.0f;
  Frame();
  ASSERT_EQ(device.draws.size(), 5u);
  const RecordedDraw& under = device.draws[0];
  EXPECT_EQ(under.alphaBlendEnable, 0u);
  EXPECT_EQ(under.alphaTestEnable, 0u);
  EXPECT_EQ(under.Position(0).x, 10.0f);
  const RecordedDraw& picture = device.draws[1];
  EXPECT_EQ(picture.Position(0).z, 10.0f);
  EXPECT_EQ(picture.texture, currentBackground->texture.get());
  EXPECT_EQ(picture.alphaBlendEnable, 1u);
  EXPECT_EQ(picture.srcBlend, uint32_t{D3DBLEND_SRCALPHA});
  EXPECT_EQ(picture.destBlend, uint32_t{D3DBLEND_INVSRCALPHA});
  EXPECT_EQ(picture.magFilter, uint32_t{D3DTEXF_POINT});
  EXPECT_EQ(picture.mipFilter, uint32_t{D3DTEXF_NONE});
  EXPECT_FLOAT_EQ(picture.TexCoord(0).x, 0.78025f);  // the 800 x 600 corner, inset
  EXPECT_FLOAT_EQ(picture.TexCoord(2).y, 0.5849375f);
  const RecordedDraw& over = device.draws[2];
  EXPECT_EQ(over.Position(0).x, 140.0f);
  EXPECT_EQ(over.magFilter, uint32_t{D3DTEXF_LINEAR});
  const RecordedDraw& puff = device.draws[3];
  EXPECT_EQ(puff.primitiveType, uint32_t{D3DPT_TRIANGLELIST});
  EXPECT_EQ(puff.srcBlend, uint32_t{D3DBLEND_SRCCOLOR});
  const RecordedDraw& leaves = device.draws[4];
  EXPECT_EQ(leaves.srcBlend, uint32_t{D3DBLEND_SRCALPHA});
  EXPECT_EQ(SwayList.count, 1);
  ExpectTint(SpriteTint, 1, 1, 1, 1);
  EXPECT_FALSE(ViewWasSet());
}

TEST_F(DirectorTest, OneSceneNeverChanges) {
  Start(1, 0);
  FrameDeltaMs = 100.0f;
  for (int i = 0; i < 700; ++i) {
    Frame();
    ASSERT_EQ(Pictures().size(), 1u) << i;
    ASSERT_FALSE(ViewWasSet()) << i;
  }
  EXPECT_EQ(sceneCursor, 0);
  EXPECT_EQ(crossfadeCountdown, 0.0f);
  EXPECT_EQ(Director.incomingBackground, nullptr);
}

TEST_F(DirectorTest, ZeroDelayChangesAgainRightAfterAChange) {
  Start(2, 7);  // not a valid choice: the delay stays 0
  EXPECT_EQ(SceneDelayMs, 0.0f);
  FrameDeltaMs = 0.0f;
  Frame();  // the first frame measures 0 ms: no change yet
  EXPECT_EQ(crossfadeCountdown, 0.0f);
  FrameDeltaMs = 100.0f;
  Frame();
  EXPECT_EQ(crossfadeCountdown, 5900.0f);
  for (int i = 2; i <= 61; ++i) Frame();
  EXPECT_EQ(Director.sceneTimer, 0.0);  // the 61st frame of the change: plain
  EXPECT_EQ(shownScene, 1);
  Frame();
  EXPECT_EQ(sceneCursor, 0);
  EXPECT_EQ(crossfadeCountdown, 5900.0f);
}

TEST_F(DirectorTest, APendingPictureIsKeptAndAStaleOneReleased) {
  Start(2, 0);
  TextureRecord* pending = MakeTexture("_a_back1.jpg", 77, 77);
  Director.incomingBackground = pending;
  const int textures = TextureManager.count;
  BeginSceneChange();
  EXPECT_EQ(Director.incomingBackground, pending);
  EXPECT_EQ(pending->width, 77);  // neither released nor loaded again
  EXPECT_EQ(TextureManager.count, textures);
  EXPECT_EQ(crossfadeCountdown, 6000.0f);

  Director.incomingBackground = MakeTexture("_a_back9.jpg");
  BeginSceneChange();  // towards scene 0 now
  EXPECT_EQ(FindTexture("_a_back9.jpg"), nullptr);
  ASSERT_NE(Director.incomingBackground, nullptr);
  EXPECT_EQ(Director.incomingBackground, currentBackground);  // the same picture, already loaded
}

// A missing background is no picture: the layers behind it and the objects still draw, no
// white sheet covers them, and one line on stderr names the file, once.
TEST_F(DirectorTest, AMissingPictureIsLeftOutWithALine) {
  std::remove("_a_back1.jpg");
  Start(2, 0);
  Director.sceneTimer = 30000.0;
  FrameDeltaMs = 100.0f;
  testing::internal::CaptureStderr();
  for (int i = 0; i < 61; ++i) Frame();
  EXPECT_EQ(shownScene, 1);
  EXPECT_EQ(currentBackground, nullptr);
  EXPECT_TRUE(Pictures().empty());
  ASSERT_EQ(device.draws.size(), 1u);  // scene 1's rock, under where the picture would be
  EXPECT_EQ(device.draws[0].Position(0).x, 50.0f);
  // Back to scene 0 and on to scene 1 again: the line is not repeated.
  Director.sceneTimer = 30000.0;
  for (int i = 0; i < 61; ++i) Frame();
  EXPECT_EQ(shownScene, 0);
  Director.sceneTimer = 30000.0;
  for (int i = 0; i < 61; ++i) Frame();
  const std::string message = testing::internal::GetCapturedStderr();
  EXPECT_NE(message.find("_a_back1.jpg"), std::string::npos) << message;
  EXPECT_EQ(message.find("_a_back1.jpg"), message.rfind("_a_back1.jpg")) << message;
}

TEST_F(DirectorTest, ALongStallInTheFirstHalfStillCompletesTheChange) {
  Start(2, 0);
  FrameDeltaMs = 30001.0f;  // the scene's whole time and the change's first half in one step
  Frame();
  EXPECT_EQ(shownScene, 1);
  EXPECT_EQ(crossfadeCountdown, 0.0f);
  EXPECT_EQ(Director.incomingBackground, nullptr);
  FrameDeltaMs = 100.0f;
  Frame();
  EXPECT_EQ(Director.sceneTimer, 0.0);
  for (int i = 0; i < 301; ++i) Frame();
  EXPECT_EQ(sceneCursor, 0);  // the next change has begun
  EXPECT_EQ(crossfadeCountdown, 5900.0f);
}

TEST_F(DirectorTest, DayCycleTintsEveryTwentySeconds) {
  Start(1, 0);
  Settings.dayCycle = 1;
  FrameDeltaMs = 100.0f;
  for (int i = 0; i < 200; ++i) Frame();
  EXPECT_EQ(Director.dayCycleState, 2);
  ExpectTint(Director.targetTint, 1, 1, 1, 1);
  Frame();  // 20.1 s
  EXPECT_EQ(Director.dayCycleState, 0);
  ExpectTint(Director.targetTint, 0.67f, 0.67f, 1, 1);
  EXPECT_FLOAT_EQ(Director.dayCycleTimer, 100.0f);  // the excess carries over
  ExpectTint(Director.currentTint, 1, 1, 1, 1);

  // The tint moves 0.03 % of the way per millisecond, and each frame draws the tint
  // from before its update.
  Frame();
  EXPECT_EQ(Pictures()[0]->Diffuse(0), 0xFFFFFFFFu);
  const float r1 = Director.currentTint.r;
  EXPECT_FLOAT_EQ(r1, 0.97f + 0.03f * 0.67f);
  Frame();
  const uint32_t shade = static_cast<uint32_t>(255.0f * r1);
  EXPECT_EQ(Pictures()[0]->Diffuse(0), 0xFF0000FFu | (shade << 16) | (shade << 8));
  EXPECT_NEAR(Director.currentTint.r - 0.67f, (r1 - 0.67f) * 0.97f, 1e-6f);

  for (int i = 0; i < 197; ++i) Frame();
  EXPECT_EQ(Director.dayCycleState, 0);
  Frame();  // 40.1 s
  ExpectTint(Director.targetTint, 1, 0.67f, 0.67f, 1);
  for (int i = 0; i < 200; ++i) Frame();  // 60.1 s
  ExpectTint(Director.targetTint, 1, 1, 1, 1);
  EXPECT_EQ(Director.dayCycleState, 2);

  Settings.dayCycle = 0;  // cleared: the last target stays
  SetDayTint(1);
  for (int i = 0; i < 300; ++i) Frame();
  ExpectTint(Director.targetTint, 1, 0.67f, 0.67f, 1);
}

TEST_F(DirectorTest, AStallDoesNotOvershootTheTint) {
  Start(1, 0);
  SetDayTint(0);
  FrameDeltaMs = 5000.0f;
  DrawSceneFrame();
  ExpectTint(Director.currentTint, 0.67f, 0.67f, 1, 1);
  device.ClearRecord();
  DrawSceneFrame();
  EXPECT_EQ(device.draws[1].Diffuse(0), 0xFFAAAAFFu);  // 255 x 0.67 = 170.85
}
