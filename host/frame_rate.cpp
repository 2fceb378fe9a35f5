#include "host/frame_rate.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace qh {

namespace {
bool ContainsWord(std::string_view text, std::string_view word) {
  const auto same = [](char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
  };
  return std::search(text.begin(), text.end(), word.begin(), word.end(), same) != text.end();
}
}  // namespace

bool IsSoftwareRenderer(std::string_view renderer) {
  // swrast calls itself "Software Rasterizer"; the DRI loader's name for it is swrast.
  for (std::string_view name : {"llvmpipe", "softpipe", "swrast", "software rasterizer"}) {
    if (ContainsWord(renderer, name)) return true;
  }
  return false;
}

int32_t ChooseFrameRate(const FrameRateInputs& inputs) {
  const int32_t refresh =
      inputs.refreshHz >= 1 && inputs.refreshHz <= 1000 ? inputs.refreshHz : kAssumedRefreshRate;
  if (inputs.maxFps) {
    const int32_t given = *inputs.maxFps;
    if (given >= 1 && given <= kMaxFrameRateOption) return given;
    return refresh;  // 0 (and anything the option parser would refuse): the display's refresh
  }
  int32_t rate = refresh;
  if (IsSoftwareRenderer(inputs.renderer)) rate = std::min(rate, kSoftwareFrameRate);
  if (inputs.onBattery) rate = std::min(rate, kBatteryFrameRate);
  return rate;
}

void LimitSoftwareRasteriserThreads(std::optional<int32_t> maxFps) {
  if (maxFps && (*maxFps == 0 || *maxFps > kSoftwareFrameRate)) return;
  setenv("LP_NUM_THREADS", "1", 0);
}

}  // namespace qh
