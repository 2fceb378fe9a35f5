// The frame object and the Saver frame against the recording device: the frame states in
// their order, the camera and projection, the scene clock, the black start frame, the
// order of one frame, the start-up seeds and scene delay, and shutdown.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "host/application.h"
#include "core/clock.h"
#include "host/host_state.h"
#include "host/saver.h"
#include "render/device_setup.h"
#include "tests/support/recording_device.h"
#include "render/states.h"
#include "resources/decode_ahead.h"
#include "resources/file_table.h"
#include "resources/settings.h"
#include "resources/textures.h"
#include "scene/director.h"
#include "scene/level.h"

using namespace qh;

namespace {

class FrameObject : public ::testing::Test {
 protected:
  void SetUp() override {
    auto adapter = std::make_unique<RecordingAdapter>();
    adapter->modes = {{800, 600, 60, D3DFMT_X8R8G8B8}};
    RecordingAdapter* raw = adapter.get();
    ASSERT_TRUE(InitDevice(std::move(adapter), nullptr, DeviceConfig{}));
    device_ = raw->createdDevice;
    device_->ClearRecord();
    SceneClockMs = 0.0;
    FrameDeltaMs = 0.0f;
    CameraView = Identity();
    CurrentApplication = &TheSaverApplication;
  }
  void TearDown() override {
    ReleaseAllTextures();
    ReleaseDevice();
    InstallClock(nullptr);
    FrameDeltaMs = 0.0f;
    SceneClockMs = 0.0;
    SceneDelayMs = 0.0f;
    Settings = SettingsRecord{};
  }
  RecordingDevice* device_ = nullptr;
};

TEST_F(FrameObject, RenderSetsTheFrameStatesInOrder) {
  TheSaverApplication.Render();
  const std::vector<std::string> expected = {
      "SetRenderState 22 1",   // no culling
      "SetTransform 256 0",    // world
      "SetTransform 2 0",      // view
      "SetTransform 3 0",      // projection
      "SetRenderState 14 0",   // no depth writes
      "SetRenderState 27 1",   // blending on
      "SetRenderState 19 5",   // source alpha
      "SetRenderState 20 6",   // inverse source alpha
      "SetRenderState 7 0",    // no depth test
      "SetRenderState 15 1",   // alpha test on
      "SetRenderState 24 1",   // reference 1
  };
  // Then the scene and the overlays draw.
  ASSERT_GE(device_->calls.size(), expected.size());
  EXPECT_EQ(std::vector<std::string>(device_->calls.begin(), device_->calls.begin() + expected.size()), expected);
}

TEST_F(FrameObject, AfterRenderTheCameraLooksAtTheSceneFiftyUnitsAway) {
  TheSaverApplication.Render();
  Matrix4 translation = Identity();
  translation.m[14] = 50.0f;
  Matrix4 ortho;
  BuildOrthoMatrix(ortho, 800, 600, 1, 100);
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(device_->world.m[i], Identity().m[i]) << i;
    EXPECT_EQ(device_->view.m[i], translation.m[i]) << i;
    EXPECT_EQ(CameraView.m[i], translation.m[i]) << i;
    EXPECT_EQ(device_->projection.m[i], ortho.m[i]) << i;
  }
}

TEST_F(FrameObject, TheCameraIsRebuiltEveryFrame) {
  CameraView.m[12] = 123.0f;
  CameraView.m[14] = 7.0f;
  TheSaverApplication.Render();
  EXPECT_EQ(CameraView.m[12], 0.0f);
  EXPECT_EQ(CameraView.m[14], 50.0f);
}

TEST_F(FrameObject, TheSceneClockGrowsByEachFramesDeltaAfterTheFrameIsDrawn) {
  FrameDeltaMs = 0.0f;
  TheSaverApplication.Render();
  EXPECT_EQ(SceneClockMs, 0.0);
  FrameDeltaMs = 16.0f;
  TheSaverApplication.Render();
  EXPECT_EQ(SceneClockMs, 16.0);
  FrameDeltaMs = 17.0f;
  TheSaverApplication.Render();
  EXPECT_EQ(SceneClockMs, 33.0);
  // Weeks of 16 ms frames still advance by exactly 16 (a float sum would stall).
  SceneClockMs = 21.0 * 24 * 3600 * 1000;
  FrameDeltaMs = 16.0f;
  TheSaverApplication.Render();
  EXPECT_EQ(SceneClockMs, 21.0 * 24 * 3600 * 1000 + 16);
}

TEST_F(FrameObject, TheStartFrameIsBlackWhateverTheBackBufferHeld) {
  StartupApplication.PresentBlankFrame();
  EXPECT_EQ(device_->calls, (std::vector<std::string>{"BeginScene", "Clear 1 0", "EndScene", "Present"}));
  ASSERT_EQ(device_->clears.size(), 1u);
  EXPECT_EQ(device_->clears[0].flags, D3DCLEAR_TARGET);
  EXPECT_EQ(device_->clears[0].colour, 0x00000000u);
  // The base application draws nothing of its own.
  device_->ClearRecord();
  StartupApplication.Render();
  StartupApplication.AfterFrame();
  EXPECT_TRUE(device_->calls.empty());
}

TEST_F(FrameObject, OneFrameRendersBetweenTheBracketsThenPresentsThenMeasures) {
  FixedStepClock clock(1000, 16);
  InstallClock(&clock);
  LastFrameTime = clock.NowMs();
  RenderFrame();
  ASSERT_GE(device_->calls.size(), 4u);
  EXPECT_EQ(device_->calls.front(), "BeginScene");
  EXPECT_EQ(device_->calls[1], "SetRenderState 22 1");  // Render comes right after
  EXPECT_EQ(device_->calls[device_->calls.size() - 2], "EndScene");
  EXPECT_EQ(device_->calls.back(), "Present");
  // The first frame ran with 0 ms; the next runs with the measured step.
  EXPECT_EQ(SceneClockMs, 0.0);
  EXPECT_EQ(FrameDeltaMs, 16.0f);
  RenderFrame();
  EXPECT_EQ(SceneClockMs, 16.0);
  EXPECT_EQ(RawFrameDeltaMs, 16u);
}

TEST_F(FrameObject, ALostDeviceIsResetAtTheEndOfTheFrame) {
  device_->nextCooperativeLevel = D3DERR_DEVICENOTRESET;
  RenderFrame();
  EXPECT_EQ(device_->resets, 1);
  // The defaults were applied again after the reset.
  EXPECT_EQ(device_->RenderState(D3DRS_ALPHAREF), 0x80u);
}

// Content loading reads the data folder: the one the build generates.
class ContentLoading : public FrameObject {
 protected:
  void SetUp() override {
    FrameObject::SetUp();
    ASSERT_NE(getcwd(savedFolder_, sizeof savedFolder_), nullptr);
    ASSERT_EQ(chdir(QH_TEST_DATA_DIR), 0) << "no generated data folder at " << QH_TEST_DATA_DIR;
  }
  void TearDown() override {
    ReleaseAllTextures();
    ResetSceneState();
    ReleaseAllFiles();
    EXPECT_EQ(chdir(savedFolder_), 0);
    FrameObject::TearDown();
  }
  char savedFolder_[4096] = {};
};

TEST_F(ContentLoading, SeedsBothGeneratorsFromTheClockAndSetsTheSceneDelay) {
  FixedStepClock clock(0x1234, 16);
  InstallClock(&clock);
  Settings.sceneDelayChoice = 6;
  CurrentApplication = &StartupApplication;
  SceneRandom = {};
  std::srand(1);
  EXPECT_TRUE(LoadContent());

  // Seeded with 0x1234: hi 0x12, lo 0x34. Every draw since moved hi by 1 and lo by 3, so
  // lo - 3 hi (mod 256) still tells the seed, however much the loading drew.
  EXPECT_EQ((SceneRandom.lo - 3 * SceneRandom.hi) & 0xFFu, (0x34u - 3 * 0x12u) & 0xFFu);
  // The C generator continues the sequence that starts at srand(0x1234).
  const int next = std::rand();
  std::srand(0x1234);
  bool inSequence = false;
  for (int i = 0; i < 10000 && !inSequence; ++i) inSequence = std::rand() == next;
  EXPECT_TRUE(inSequence);

  EXPECT_EQ(SceneDelayMs, 600000000.0f);
  EXPECT_EQ(CurrentApplication, &TheSaverApplication);
}

TEST_F(ContentLoading, ASceneDelayChoiceOutsideTheListLeavesTheDelayAlone) {
  FixedStepClock clock(0, 16);
  InstallClock(&clock);
  SceneDelayMs = 0.0f;
  Settings.sceneDelayChoice = 7;
  EXPECT_TRUE(LoadContent());
  EXPECT_EQ(SceneDelayMs, 0.0f);
}

TEST_F(ContentLoading, TheShortestSceneDelayIsHalfAMinute) {
  FixedStepClock clock(0, 16);
  InstallClock(&clock);
  Settings.sceneDelayChoice = 0;
  EXPECT_TRUE(LoadContent());
  EXPECT_EQ(SceneDelayMs, 30000.0f);
}

// The start-up's decoding ahead asks for exactly the pictures the start-up then loads: every
// one a worker decoded is taken, and every texture is the one a start-up without it makes.
TEST_F(ContentLoading, EveryPictureDecodedAheadIsTakenAndTheTexturesAreTheSame) {
  FixedStepClock clock(0, 16);
  InstallClock(&clock);
  auto snapshot = [] {
    std::vector<std::pair<std::string, std::vector<uint8_t>>> textures;
    for (int32_t i = 0; i < TextureManager.count; ++i) {
      const Texture* t = TextureManager.records[i]->texture.get();
      std::vector<uint8_t> bits;
      for (uint32_t level = 0; level < t->LevelCount(); ++level) {
        bits.insert(bits.end(), t->Bits(level), t->Bits(level) + size_t{t->Width(level)} * t->Height(level) * 4);
      }
      textures.emplace_back(TextureManager.records[i]->name, std::move(bits));
    }
    return textures;
  };
  ASSERT_TRUE(LoadContent());
  ASSERT_NE(currentBackground, nullptr);
  const auto direct = snapshot();
  ReleaseAllTextures();
  ResetSceneState();
  ReleaseAllFiles();

  StartContentDecodeAhead();
  WaitForDecodeAhead();
  ASSERT_TRUE(LoadContent());
  const DecodeAheadCounts counts = DecodeAheadStatistics();
  EXPECT_GE(counts.decoded, 10);  // the font, the catalogue's JPEG pictures, the background
  EXPECT_EQ(counts.taken, counts.decoded);
  EXPECT_GE(counts.queued, counts.decoded);  // TGA files are left to the main thread
  EXPECT_EQ(snapshot(), direct);
}

std::vector<std::string> shutdownLog;

class WatchedDevice : public RecordingDevice {
 public:
  ~WatchedDevice() override { shutdownLog.push_back("device released"); }
  void ForgetTexture(Texture* texture) override {
    shutdownLog.push_back("texture forgotten");
    RecordingDevice::ForgetTexture(texture);
  }
};

class WatchedAdapter : public RecordingAdapter {
 public:
  ~WatchedAdapter() override { shutdownLog.push_back("adapter released"); }
  std::unique_ptr<GraphicsDevice> CreateDevice(D3DPRESENT_PARAMETERS*) override {
    return std::make_unique<WatchedDevice>();
  }
};

TEST_F(FrameObject, ShutdownReleasesTexturesThenTheDeviceThenTheAdapter) {
  auto adapter = std::make_unique<WatchedAdapter>();
  adapter->modes = {{800, 600, 60, D3DFMT_X8R8G8B8}};
  ASSERT_TRUE(InitDevice(std::move(adapter), nullptr, DeviceConfig{}));
  ASSERT_NE(CreateBlankTexture("one", 4, 4, D3DFMT_A8R8G8B8), nullptr);
  ASSERT_NE(CreateBlankTexture("two", 4, 4, D3DFMT_A8R8G8B8), nullptr);
  shutdownLog.clear();
  ShutdownSaverMode();
  EXPECT_EQ(shutdownLog, (std::vector<std::string>{"texture forgotten", "texture forgotten", "device released",
                                                   "adapter released"}));
  EXPECT_EQ(TextureManager.count, 0);
  EXPECT_EQ(Device, nullptr);
  EXPECT_EQ(Direct3D, nullptr);
  shutdownLog.clear();
  ShutdownSaverMode();  // a second shutdown finds nothing to release
  EXPECT_TRUE(shutdownLog.empty());
}

}  // namespace
