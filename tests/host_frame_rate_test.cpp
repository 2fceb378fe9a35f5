// The frame-rate policy and the draw-or-tick decision: every renderer kind, power source,
// --max-fps value and display refresh, and what an unseen window gets.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "host/frame_rate.h"

using namespace qh;

TEST(FrameRateTest, SoftwareRenderersAreKnownByTheirNames) {
  for (const char* name : {"llvmpipe (LLVM 15.0.6, 256 bits)", "LLVMPIPE", "softpipe", "Software Rasterizer",
                           "Mesa DRI swrast", "Gallium 0.4 on llvmpipe (LLVM 3.4, 128 bits)"}) {
    EXPECT_TRUE(IsSoftwareRenderer(name)) << name;
  }
  for (const char* name : {"", "AMD Radeon RX 6600 (navi23, LLVM 15.0.6, DRM 3.49, 6.1.0)",
                           "Mesa Intel(R) UHD Graphics 620 (KBL GT2)", "NVIDIA GeForce GTX 1060/PCIe/SSE2",
                           "virgl", "pipe"}) {
    EXPECT_FALSE(IsSoftwareRenderer(name)) << name;
  }
}

TEST(FrameRateTest, EveryCombination) {
  const char* const renderers[] = {"Mesa Intel(R) Xe Graphics (TGL GT2)", "llvmpipe (LLVM 15.0.6, 256 bits)",
                                   "softpipe", "Software Rasterizer", ""};
  const std::optional<int32_t> options[] = {std::nullopt, 0, 1, 20, 30, 60, 144, 240};
  const int32_t refreshes[] = {0, -5, 24, 30, 60, 75, 144, 1001};
  int checked = 0;
  for (const char* renderer : renderers) {
    const bool software = IsSoftwareRenderer(renderer);
    for (const bool battery : {false, true}) {
      for (const std::optional<int32_t>& option : options) {
        for (const int32_t refresh : refreshes) {
          const int32_t display = refresh >= 1 && refresh <= 1000 ? refresh : 60;  // unknown: 60
          int32_t expected = display;
          if (option && *option > 0) {
            expected = *option;  // a given --max-fps wins over everything
          } else if (!option && (software || battery)) {
            expected = display < 30 ? display : 30;  // never above what the display shows
          }
          const int32_t got = ChooseFrameRate({renderer, battery, option, refresh});
          EXPECT_EQ(got, expected) << "renderer \"" << renderer << "\" battery " << battery << " option "
                                   << (option ? std::to_string(*option) : "none") << " refresh " << refresh;
          ++checked;
        }
      }
    }
  }
  EXPECT_EQ(checked, 5 * 2 * 8 * 8);
  // The defaults as a user meets them.
  EXPECT_EQ(ChooseFrameRate({"Mesa Intel(R) Xe Graphics", false, std::nullopt, 144}), 144);
  EXPECT_EQ(ChooseFrameRate({"Mesa Intel(R) Xe Graphics", true, std::nullopt, 144}), 30);
  EXPECT_EQ(ChooseFrameRate({"llvmpipe (LLVM 15.0.6, 256 bits)", false, std::nullopt, 60}), 30);
  EXPECT_EQ(ChooseFrameRate({"llvmpipe (LLVM 15.0.6, 256 bits)", true, 0, 60}), 60);
  EXPECT_EQ(ChooseFrameRate({"llvmpipe (LLVM 15.0.6, 256 bits)", true, 240, 60}), 240);
}
