// Device creation over made-up adapters: which modes enter the table, which one is chosen,
// which depth format each gets, the creation parameters, the default states, and the
// reset after the device was lost.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/fatal.h"
#include "host/message_box.h"
#include "host/host_state.h"
#include "render/device_setup.h"
#include "tests/support/recording_device.h"
#include "render/states.h"

using namespace qh;

namespace {

D3DDISPLAYMODE Mode(uint32_t w, uint32_t h, D3DFORMAT format, uint32_t refresh = 60) { return {w, h, refresh, format}; }

class DeviceSetup : public ::testing::Test {
 protected:
  void SetUp() override {
    SetMessageBoxesEnabled(false);
    config_ = DeviceConfig{};
    DeviceWindow = DeviceWindowHooks{};
    auto owned = std::make_unique<RecordingAdapter>();
    adapter_ = owned.get();
    pending_ = std::move(owned);
  }
  void TearDown() override {
    ReleaseDevice();
    DeviceWindow = DeviceWindowHooks{};
  }

  // Creates the device over the adapter prepared by the test.
  bool Init(void* window = nullptr) { return InitDevice(std::move(pending_), window, config_); }
  RecordingDevice* Recorder() { return adapter_->createdDevice; }

  RecordingAdapter* adapter_ = nullptr;
  std::unique_ptr<RecordingAdapter> pending_;
  DeviceConfig config_;  // 800 x 600, 32-bit preferred, vsync
};

TEST_F(DeviceSetup, EightHundredBySixHundredAtBothDepthsGivesTheThirtyTwoBitMode) {
  adapter_->modes = {Mode(640, 480, D3DFMT_R5G6B5), Mode(800, 600, D3DFMT_R5G6B5), Mode(640, 480, D3DFMT_X8R8G8B8),
                     Mode(800, 600, D3DFMT_X8R8G8B8)};
  int window = 0;
  ASSERT_TRUE(Init(&window));
  EXPECT_EQ(CurrentDisplayMode.width, 800u);
  EXPECT_EQ(CurrentDisplayMode.height, 600u);
  EXPECT_EQ(CurrentDisplayMode.bitsPerPixel, 32);
  EXPECT_EQ(CurrentDisplayMode.displayFormat, D3DFMT_X8R8G8B8);

  const D3DPRESENT_PARAMETERS& p = adapter_->createParams;
  EXPECT_EQ(p.BackBufferWidth, 800u);
  EXPECT_EQ(p.BackBufferHeight, 600u);
  EXPECT_EQ(p.BackBufferFormat, D3DFMT_X8R8G8B8);
  EXPECT_EQ(p.BackBufferCount, 0u);
  EXPECT_EQ(p.MultiSampleType, D3DMULTISAMPLE_NONE);
  EXPECT_EQ(p.SwapEffect, 1u);
  EXPECT_EQ(p.hDeviceWindow, &window);
  EXPECT_EQ(p.Windowed, 0);
  EXPECT_EQ(p.EnableAutoDepthStencil, 1);
  EXPECT_EQ(p.AutoDepthStencilFormat, D3DFMT_D32);
  EXPECT_EQ(p.Flags, 1u);
  EXPECT_EQ(p.FullScreen_RefreshRateInHz, 0u);
  EXPECT_EQ(p.FullScreen_PresentationInterval, D3DPRESENT_INTERVAL_ONE);
  EXPECT_EQ(Device, Recorder());
  EXPECT_EQ(Direct3D, adapter_);
}

TEST_F(DeviceSetup, WithoutAMatchTheFirstEntryIsUsedWhateverItIs) {
  // 800x600 only at 16 bits: no search for the same size at the other depth.
  adapter_->modes = {Mode(640, 480, D3DFMT_X8R8G8B8), Mode(800, 600, D3DFMT_R5G6B5)};
  ASSERT_TRUE(Init());
  EXPECT_EQ(CurrentDisplayMode.width, 640u);
  EXPECT_EQ(CurrentDisplayMode.height, 480u);
  EXPECT_EQ(CurrentDisplayMode.bitsPerPixel, 32);
  EXPECT_EQ(adapter_->createParams.BackBufferWidth, 640u);
}

TEST_F(DeviceSetup, WithoutAMatchEvenASixteenBitFirstEntryIsUsed) {
  adapter_->modes = {Mode(1024, 768, D3DFMT_R5G6B5), Mode(640, 480, D3DFMT_X8R8G8B8)};
  ASSERT_TRUE(Init());
  EXPECT_EQ(CurrentDisplayMode.width, 1024u);
  EXPECT_EQ(CurrentDisplayMode.bitsPerPixel, 16);
  EXPECT_EQ(CurrentDisplayMode.displayFormat, D3DFMT_R5G6B5);
  EXPECT_EQ(adapter_->createParams.BackBufferFormat, D3DFMT_R5G6B5);
}

TEST_F(DeviceSetup, SixteenBitsAreWantedWhenThirtyTwoAreNotPreferred) {
  config_.prefer32Bit = 0;
  adapter_->modes = {Mode(800, 600, D3DFMT_X8R8G8B8), Mode(800, 600, D3DFMT_R5G6B5)};
  ASSERT_TRUE(Init());
  EXPECT_EQ(CurrentDisplayMode.bitsPerPixel, 16);
}

TEST_F(DeviceSetup, AModeListedAtSeveralRefreshRatesGivesOneRecord) {
  adapter_->modes = {Mode(800, 600, D3DFMT_X8R8G8B8, 60), Mode(800, 600, D3DFMT_X8R8G8B8, 75),
                     Mode(800, 600, D3DFMT_X8R8G8B8, 85), Mode(800, 600, D3DFMT_R5G6B5, 60)};
  ASSERT_TRUE(Init());
  ASSERT_EQ(DisplayModeTable.count, 2);
  EXPECT_EQ(DisplayModeTable.records[0].bitsPerPixel, 32);
  EXPECT_EQ(DisplayModeTable.records[1].bitsPerPixel, 16);
  EXPECT_EQ(adapter_->createParams.FullScreen_RefreshRateInHz, 0u);
}

TEST_F(DeviceSetup, OnlyFourByThreeModesOfAtLeast640By480InTwoFormatsEnterTheTable) {
  adapter_->modes = {
      Mode(1280, 1024, D3DFMT_X8R8G8B8),  // 5:4
      Mode(1280, 720, D3DFMT_X8R8G8B8),   // 16:9
      Mode(1920, 1080, D3DFMT_X8R8G8B8),  Mode(1680, 1050, D3DFMT_X8R8G8B8),
      Mode(600, 450, D3DFMT_X8R8G8B8),    // 4:3 but too narrow
      Mode(640, 400, D3DFMT_X8R8G8B8),    // too short
      Mode(800, 600, D3DFMT_A8R8G8B8),    // a format no display mode uses
      Mode(800, 600, D3DFMT_UNKNOWN),
      Mode(640, 480, D3DFMT_X8R8G8B8),    Mode(800, 600, D3DFMT_X8R8G8B8),  Mode(1024, 768, D3DFMT_R5G6B5),
      Mode(1152, 864, D3DFMT_X8R8G8B8),   Mode(1280, 960, D3DFMT_X8R8G8B8), Mode(1600, 1200, D3DFMT_X8R8G8B8),
  };
  ASSERT_TRUE(Init());
  ASSERT_EQ(DisplayModeTable.count, 6);
  const uint32_t widths[6] = {640, 800, 1024, 1152, 1280, 1600};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(DisplayModeTable.records[i].width, widths[i]);
    EXPECT_EQ(DisplayModeTable.records[i].height, widths[i] * 3 / 4);
  }
  EXPECT_EQ(DisplayModeTable.records[2].bitsPerPixel, 16);
  EXPECT_EQ(CurrentDisplayMode.width, 800u);
}

TEST_F(DeviceSetup, TheAspectToleranceIsOneHundredthAroundOnePointThreeThree) {
  EXPECT_TRUE(IsUsableDisplayMode(Mode(669, 500, D3DFMT_X8R8G8B8)));   // 1.338
  EXPECT_FALSE(IsUsableDisplayMode(Mode(671, 500, D3DFMT_X8R8G8B8)));  // 1.342
  EXPECT_TRUE(IsUsableDisplayMode(Mode(661, 500, D3DFMT_X8R8G8B8)));   // 1.322
  EXPECT_FALSE(IsUsableDisplayMode(Mode(659, 500, D3DFMT_X8R8G8B8)));  // 1.318
}

TEST_F(DeviceSetup, TheTableHoldsTwoHundredFiftySixModesAndIgnoresTheRest) {
  for (uint32_t i = 0; i < 300; ++i) adapter_->modes.push_back(Mode(640 + 4 * i, 480 + 3 * i, D3DFMT_X8R8G8B8));
  config_.width = 640 + 4 * 299;  // listed, but beyond the table
  config_.height = 480 + 3 * 299;
  ASSERT_TRUE(Init());
  EXPECT_EQ(DisplayModeTable.count, 256);
  EXPECT_EQ(DisplayModeTable.records[255].width, 640u + 4 * 255);
  EXPECT_EQ(CurrentDisplayMode.width, 640u);
}

TEST_F(DeviceSetup, AnEmptyModeListSelectsAnAllZeroMode) {
  ASSERT_TRUE(Init());
  EXPECT_EQ(DisplayModeTable.count, 0);
  EXPECT_EQ(CurrentDisplayMode.width, 0u);
  EXPECT_EQ(CurrentDisplayMode.height, 0u);
  EXPECT_EQ(CurrentDisplayMode.bitsPerPixel, 0);
  EXPECT_EQ(CurrentDisplayMode.displayFormat, D3DFMT_UNKNOWN);
}

TEST_F(DeviceSetup, ThirtyTwoBitDepthIsPreferredThenSixteenBeforeTwentyFour) {
  adapter_->modes = {Mode(800, 600, D3DFMT_X8R8G8B8)};
  adapter_->refusedDepthFormats = {D3DFMT_D32};
  ASSERT_TRUE(Init());
  EXPECT_EQ(CurrentDisplayMode.depthFormat, D3DFMT_D16);
  EXPECT_EQ(adapter_->createParams.AutoDepthStencilFormat, D3DFMT_D16);
}

TEST_F(DeviceSetup, ADepthFormatMustPassBothChecks) {
  DisplayModeRecord record;
  record.displayFormat = D3DFMT_X8R8G8B8;
  RecordingAdapter adapter;
  Direct3D = &adapter;
  // D32 is a valid format but does not match the target; D16 is refused outright.
  adapter.unmatchedDepthFormats = {D3DFMT_D32};
  adapter.refusedDepthFormats = {D3DFMT_D16};
  ProbeDepthFormat(record);
  EXPECT_EQ(record.depthFormat, D3DFMT_D24S8);

  // The rest of the order: D24X4S4, D15S1, D24X8, D16_LOCKABLE.
  const D3DFORMAT order[] = {D3DFMT_D32, D3DFMT_D16, D3DFMT_D24S8, D3DFMT_D24X4S4, D3DFMT_D15S1, D3DFMT_D24X8,
                             D3DFMT_D16_LOCKABLE};
  adapter.unmatchedDepthFormats.clear();
  adapter.refusedDepthFormats.clear();
  for (int accepted = 0; accepted < 7; ++accepted) {
    adapter.refusedDepthFormats.assign(order, order + accepted);
    record.depthFormat = D3DFMT_UNKNOWN;
    ProbeDepthFormat(record);
    EXPECT_EQ(record.depthFormat, order[accepted]) << accepted;
  }
  // None passes: the record says so and the device is made without a depth format.
  adapter.refusedDepthFormats.assign(order, order + 7);
  record.depthFormat = D3DFMT_UNKNOWN;
  ProbeDepthFormat(record);
  EXPECT_EQ(record.depthFormat, D3DFMT_UNKNOWN);
  Direct3D = nullptr;
}

TEST_F(DeviceSetup, WithoutVSyncFramesArePresentedImmediately) {
  config_.vsync = 0;
  adapter_->modes = {Mode(800, 600, D3DFMT_X8R8G8B8)};
  ASSERT_TRUE(Init());
  EXPECT_EQ(adapter_->createParams.FullScreen_PresentationInterval, D3DPRESENT_INTERVAL_IMMEDIATE);
}

TEST_F(DeviceSetup, AFailedCreationSaysSoAndLeavesNoDevice) {
  adapter_->modes = {Mode(800, 600, D3DFMT_X8R8G8B8)};
  adapter_->failCreateDevice = true;
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(Init());
  const std::string said = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find("Initialization failed"), std::string::npos) << said;
  EXPECT_NE(said.find("Can't init Direct3D"), std::string::npos) << said;
  EXPECT_EQ(Device, nullptr);
}

TEST_F(DeviceSetup, NoAdapterFailsWithoutAMessage) {
  pending_.reset();
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(InitDevice(nullptr, nullptr, config_));
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(Device, nullptr);
  EXPECT_EQ(Direct3D, nullptr);
}

const std::vector<std::string> kDefaultStateCalls = {
    "SetRenderState 7 1",           "SetRenderState 24 128",      "SetRenderState 25 7",
    "SetRenderState 16 0",          "SetRenderState 22 3",        "SetRenderState 137 0",
    "SetRenderState 146 0",         "SetRenderState 139 4294967295", "SetRenderState 156 1",
    "SetRenderState 157 1",         "SetRenderState 154 1065353216",  // 1.0f
    "SetRenderState 155 1008981770",                                   // 0.01f
    "SetRenderState 158 0",         "SetRenderState 159 1084227584",  // 5.0f
    "SetRenderState 160 1084227584", "SetTextureStageState 0 13 1", "SetTextureStageState 0 14 1",
    "SetTextureStageState 0 24 2",  "SetTextureStageState 0 16 0", "SetTextureStageState 0 17 0",
    "SetTextureStageState 0 18 0",  "SetTextureStageState 0 4 4",
};

TEST_F(DeviceSetup, CreationAppliesTheDefaultStatesInOrder) {
  adapter_->modes = {Mode(800, 600, D3DFMT_X8R8G8B8)};
  ASSERT_TRUE(Init());
  EXPECT_EQ(Recorder()->calls, kDefaultStateCalls);
}

namespace placement {
int calls = 0;
void* window = nullptr;
int32_t x = 0, y = 0, w = 0, h = 0;
int32_t screenWidth = 1366, screenHeight = 768;
void Screen(void*, int32_t* width, int32_t* height) {
  *width = screenWidth;
  *height = screenHeight;
}
void Place(void* win, int32_t px, int32_t py, int32_t pw, int32_t ph) {
  ++calls;
  window = win;
  x = px;
  y = py;
  w = pw;
  h = ph;
}
}  // namespace placement

class DeviceLoss : public DeviceSetup {
 protected:
  void SetUp() override {
    DeviceSetup::SetUp();
    adapter_->modes = {Mode(640, 480, D3DFMT_X8R8G8B8), Mode(800, 600, D3DFMT_X8R8G8B8)};
    ASSERT_TRUE(Init(&window_));
    DeviceWindow.screenSize = placement::Screen;
    DeviceWindow.placeWindow = placement::Place;
    placement::calls = 0;
    placement::screenWidth = 1366;
    placement::screenHeight = 768;
    Recorder()->ClearRecord();
  }
  int window_ = 0;
};

TEST_F(DeviceLoss, AnOrdinaryFrameOnlyPresents) {
  PresentFrame();
  EXPECT_EQ(Recorder()->calls, std::vector<std::string>{"Present"});
  EXPECT_EQ(Recorder()->resets, 0);
  EXPECT_EQ(placement::calls, 0);
}

TEST_F(DeviceLoss, ALostDeviceThatCannotBeResetYetIsLeftAlone) {
  Recorder()->nextCooperativeLevel = D3DERR_DEVICELOST;
  PresentFrame();
  EXPECT_EQ(Recorder()->resets, 0);
  EXPECT_EQ(placement::calls, 0);
}

TEST_F(DeviceLoss, NotResetResetsRestoresTheDefaultsAndRecentresTheWindow) {
  Recorder()->nextCooperativeLevel = D3DERR_DEVICENOTRESET;
  PresentFrame();
  EXPECT_EQ(Recorder()->resets, 1);
  std::vector<std::string> expected = {"Present", "Reset"};
  expected.insert(expected.end(), kDefaultStateCalls.begin(), kDefaultStateCalls.end());
  EXPECT_EQ(Recorder()->calls, expected);

  const D3DPRESENT_PARAMETERS& p = Recorder()->lastResetParams;
  EXPECT_EQ(p.BackBufferWidth, 800u);
  EXPECT_EQ(p.BackBufferHeight, 600u);
  EXPECT_EQ(p.BackBufferFormat, D3DFMT_X8R8G8B8);
  EXPECT_EQ(p.Windowed, 0);
  // Everything else as at creation.
  EXPECT_EQ(p.hDeviceWindow, &window_);
  EXPECT_EQ(p.AutoDepthStencilFormat, D3DFMT_D32);
  EXPECT_EQ(p.FullScreen_PresentationInterval, D3DPRESENT_INTERVAL_ONE);
  EXPECT_EQ(p.SwapEffect, 1u);

  EXPECT_EQ(placement::calls, 1);
  EXPECT_EQ(placement::window, &window_);
  EXPECT_EQ(placement::x, 683 - 400);
  EXPECT_EQ(placement::y, 384 - 300);
  EXPECT_EQ(placement::w, 800);
  EXPECT_EQ(placement::h, 600);

  // The next frame is an ordinary one again.
  PresentFrame();
  EXPECT_EQ(Recorder()->resets, 1);
}

TEST_F(DeviceLoss, EachHalfOfTheCentringIsTruncated) {
  placement::screenWidth = 1365;  // 682, not 682.5
  placement::screenHeight = 601;  // 300
  DeviceConfiguration.width = 801;   // 400
  DeviceConfiguration.height = 599;  // 299
  Recorder()->nextCooperativeLevel = D3DERR_DEVICENOTRESET;
  PresentFrame();
  EXPECT_EQ(placement::x, 282);
  EXPECT_EQ(placement::y, 1);
  EXPECT_EQ(placement::w, 801);
  EXPECT_EQ(placement::h, 599);
}

TEST_F(DeviceLoss, ResetChoosesTheModeAgain) {
  DeviceConfiguration.width = 640;
  DeviceConfiguration.height = 480;
  ResetDevice();
  EXPECT_EQ(CurrentDisplayMode.width, 640u);
  EXPECT_EQ(Recorder()->lastResetParams.BackBufferWidth, 640u);
  EXPECT_EQ(Recorder()->lastResetParams.BackBufferHeight, 480u);
  EXPECT_EQ(PresentParameters.BackBufferWidth, 640u);
}

TEST_F(DeviceLoss, ReleaseEndsDeviceAndAdapterAndMayBeRepeated) {
  ReleaseDevice();
  EXPECT_EQ(Device, nullptr);
  EXPECT_EQ(Direct3D, nullptr);
  ReleaseDevice();
  EXPECT_EQ(Device, nullptr);
}

}  // namespace
