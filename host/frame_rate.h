// How many frames a second the saver draws while it is seen. A pure decision, so every
// combination can be checked without a display: the loops gather the inputs (the context's
// renderer, the power source, --max-fps, the display's refresh) and host/pacing.h decides
// each frame from the interval it gives.
#pragma once
#include <cstdint>
#include <optional>
#include <string_view>

namespace qh {

// Where every frame is paid for by the CPU, or on battery, a smooth 30 frames a second
// costs half of what the display's 60 would.
constexpr int32_t kSoftwareFrameRate = 30;
constexpr int32_t kBatteryFrameRate = 30;
// --max-fps takes 1 to this; 0 asks for the display's refresh.
constexpr int32_t kMaxFrameRateOption = 240;
// When the display does not say its refresh (or says something absurd).
constexpr int32_t kAssumedRefreshRate = 60;

// True for Mesa's software rasterisers as GL_RENDERER names them ("llvmpipe (LLVM 15.0.6,
// 256 bits)", "softpipe", "Software Rasterizer" of swrast), in any case.
bool IsSoftwareRenderer(std::string_view renderer);

struct FrameRateInputs {
  std::string_view renderer;      // GL_RENDERER of the device's context
  bool onBattery = false;
  std::optional<int32_t> maxFps;  // --max-fps as given: 0 for the display's refresh, 1..240
  int32_t refreshHz = 0;          // the display's; 0 or beyond 1000 when unknown
};

// Frames drawn per second while the window is seen. A given --max-fps wins; otherwise the
// display's refresh, lowered to 30 on a software renderer or on battery.
int32_t ChooseFrameRate(const FrameRateInputs& inputs);

// Mesa's software rasteriser splits each frame over one thread per core. At the 30 frames a
// second a software renderer is given, one rasteriser thread beside the main thread keeps up
// at 1920x1080 and costs a little less CPU in all (a few per cent up to an eighth, measured):
// the handing over of each frame's tiles and the waiting for them go. Unless --max-fps asks
// for more (or for the display's refresh), or the user has chosen a count, it is set before
// any context exists; every other driver ignores it.
void LimitSoftwareRasteriserThreads(std::optional<int32_t> maxFps);

}  // namespace qh
