// Golden picture of the clock, drawn for real: an installation holding the build's bundled
// font and an empty scene, run through quiet-highland-render headless at the time of day
// 12:34:56, compared with tests/golden/overlay_clock.png within a tolerance. The scene is
// empty so that the picture shows the clock alone and stays valid whatever the scenes show.
//
// QH_UPDATE_GOLDEN=1 writes the captured frame over the golden file instead; review the
// picture before committing it.
#include <SDL.h>
#include <SDL_image.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "golden_support.h"

namespace fs = std::filesystem;
using golden::LoadPng;
using golden::Rgba;
using golden::WriteFile;

namespace {

using qh::testdata::SolidTga;

// One scene without objects and with a black background: nothing but the clock reaches
// the picture.
void MakeInstallation(const fs::path& root) {
  const fs::path install = golden::StartInstallation(root, QH_CONTENT_DIR);
  const fs::path data = install / "Data";
  WriteFile(data / "sky.tga", SolidTga(4, 4, 0xFF000000u));
  WriteFile(data / "_a_back0.jpg", SolidTga(800, 600, 0xFF000000u));
  WriteFile(data / "gameobjs.txt", std::string("[sky/]\r\nsky=sky.tga\r\n[/]\r\n"));
  WriteFile(data / "level0.lev", qh::testdata::LevelBytes({}));  // no objects

  // The clock on, no day cycle, no music, no nature sounds; one scene.
  golden::WriteStore(root, install, "00,00,00,00,50,00,00,00,00,01,00,00,00,00,00,00,00,00,00,00",
                     "01,00,00,00,00,00,00,00,00,00");
}

struct Difference {
  size_t differing = 0;  // pixels with a channel more than 24 levels apart
  double mean = 0.0;     // mean absolute difference per colour channel
};

Difference Compare(const Rgba& a, const Rgba& b) {
  Difference d;
  double total = 0.0;
  for (size_t i = 0; i + 3 < a.bytes.size() && i + 3 < b.bytes.size(); i += 4) {
    int worst = 0;
    for (int c = 0; c < 3; ++c) {
      const int delta = std::abs(int{a.bytes[i + c]} - int{b.bytes[i + c]});
      total += delta;
      worst = std::max(worst, delta);
    }
    if (worst > 24) ++d.differing;
  }
  d.mean = total / (a.bytes.size() / 4 * 3.0);
  return d;
}

// The clock's glyphs cover a few hundred pixels: a frame that matches may differ from the
// golden one in a handful of them, never in the glyphs of a different time.
constexpr size_t kAllowedDiffering = 40;
constexpr double kAllowedMean = 0.05;

class OverlayGolden : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    char pattern[] = "/tmp/qh-overlay-golden-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    MakeInstallation(root_);
    setenv("XDG_CONFIG_HOME", (root_ / "config").c_str(), 1);
    setenv("XDG_CONFIG_DIRS", (root_ / "no-system-config").c_str(), 1);
    setenv("HOME", root_.c_str(), 1);
    // The plain C time format, whatever the machine's locale: "12:34:56".
    setenv("LC_ALL", "C", 1);
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
  }

  static void TearDownTestSuite() {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }

  // Runs the capture tool and loads the one frame it wrote.
  static void Capture(const std::string& options, const std::string& name, Rgba* out) {
    const fs::path png = root_ / (name + ".png");
    const fs::path log = root_ / (name + ".log");
    const std::string command = std::string("'") + QH_CAPTURE_TOOL + "' " + options + " --png '" + png.string() +
                                "' > '" + log.string() + "' 2>&1";
    const int status = std::system(command.c_str());
    std::ifstream logFile(log);
    const std::string logText((std::istreambuf_iterator<char>(logFile)), std::istreambuf_iterator<char>());
    ASSERT_EQ(status, 0) << "quiet-highland-render " << options << " failed:\n" << logText;
    ASSERT_TRUE(LoadPng(png, out)) << png;
    ASSERT_EQ(out->width, 800);
    ASSERT_EQ(out->height, 600);
  }

  static inline fs::path root_;
};

TEST_F(OverlayGolden, ClockAtTwelveThirtyFourFiftySix) {
  Rgba got;
  ASSERT_NO_FATAL_FAILURE(Capture("--frames 1 --time 12:34:56", "clock", &got));
  const fs::path golden = fs::path(QH_GOLDEN_DIR) / "overlay_clock.png";
  if (const char* update = std::getenv("QH_UPDATE_GOLDEN"); update != nullptr && *update == '1') {
    fs::create_directories(golden.parent_path());
    fs::copy_file(root_ / "clock.png", golden, fs::copy_options::overwrite_existing);
    GTEST_SKIP() << "wrote " << golden;
  }
  bool anyLit = false;
  for (size_t i = 0; i + 3 < got.bytes.size() && !anyLit; i += 4) {
    anyLit = got.bytes[i] != 0 || got.bytes[i + 1] != 0 || got.bytes[i + 2] != 0;
  }
  ASSERT_TRUE(anyLit) << "the frame shows no clock at all: is the font loaded at start-up?";
  Rgba want;
  ASSERT_TRUE(LoadPng(golden, &want)) << golden << " (QH_UPDATE_GOLDEN=1 writes it)";
  ASSERT_EQ(want.width, 800);
  ASSERT_EQ(want.height, 600);
  const Difference d = Compare(got, want);
  EXPECT_LE(d.differing, kAllowedDiffering);
  EXPECT_LE(d.mean, kAllowedMean);

  // The same comparison tells another time of day apart.
  Rgba other;
  ASSERT_NO_FATAL_FAILURE(Capture("--frames 1 --time 12:34:59", "other", &other));
  const Difference o = Compare(other, want);
  EXPECT_GT(o.differing, kAllowedDiffering * 2) << "a different time must not pass for the golden one";
}

}  // namespace
