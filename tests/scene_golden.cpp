// Golden pictures of the scene engine, drawn for real: a small two-scene installation made
// here (pictures, catalogue, levels, a mesh model, a settings store), run through quiet-highland-render
// headless, and three of its frames compared with tests/golden/scene_*.png within a
// tolerance: a plain frame, one in the first half of a change of scene (the outgoing scene
// zoomed), one in its second half (the incoming scene half faded in).
//
// QH_UPDATE_GOLDEN=1 writes the captured frames over the golden files instead; review the
// pictures before committing them.
#include <SDL.h>
#include <SDL_image.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "golden_support.h"
#include "tests/support/mesh_files.h"

namespace fs = std::filesystem;
using golden::LoadPng;
using golden::Rgba;
using golden::WriteFile;

namespace {

// ---- pictures -------------------------------------------------------------------------

struct Picture {
  int width = 0, height = 0;
  std::vector<uint8_t> bgra;  // rows top to bottom

  Picture(int w, int h) : width(w), height(h), bgra(static_cast<size_t>(w) * h * 4, 0) {}
  void Set(int x, int y, int r, int g, int b, int a) {
    uint8_t* p = &bgra[(static_cast<size_t>(y) * width + x) * 4];
    auto clamp = [](int v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 254 ? 254 : v); };
    p[0] = clamp(b);
    p[1] = clamp(g);
    p[2] = clamp(r);
    p[3] = static_cast<uint8_t>(a < 0 ? 0 : a > 255 ? 255 : a);
  }
};

// An uncompressed 32-bit TGA. The byte pair FF D9 would end the picture early when it is
// read as an alpha-plane file, so it is kept out of the pixel bytes.
std::vector<uint8_t> Tga(const Picture& p) {
  std::vector<uint8_t> out = qh::testdata::TgaFromBgra(p.width, p.height, p.bgra);
  for (size_t i = 0; i + 1 < out.size(); ++i) {
    if (out[i] == 0xFF && out[i + 1] == 0xD9) out[i + 1] = 0xD8;
  }
  return out;
}

Picture Sky() {
  Picture p(64, 64);
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; ++x) {
      const double cloud = std::max(0.0, std::sin(x * 0.098) * std::sin(y * 0.2 + 1.0));
      p.Set(x, y, 90 + y + static_cast<int>(100 * cloud), 140 + y / 2 + static_cast<int>(90 * cloud),
            210 + static_cast<int>(40 * cloud), 255);
    }
  }
  return p;
}

Picture Ripples(int r, int g, int b, double stretch) {
  Picture p(32, 32);
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) {
      const double wave = 0.5 + 0.5 * std::sin((x + stretch * y) * 0.19635 * 2) * std::cos(y * 0.19635);
      p.Set(x, y, r + static_cast<int>(60 * wave), g + static_cast<int>(60 * wave), b + static_cast<int>(50 * wave),
            255);
    }
  }
  return p;
}

Picture Puff() {
  Picture p(32, 32);
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) {
      const double d = std::hypot(x - 15.5, y - 15.5) / 16.0;
      const int v = static_cast<int>(240 * std::max(0.0, 1.0 - d));
      p.Set(x, y, v, v, v, 255);
    }
  }
  return p;
}

// A leafy blob, transparent around it, so the alpha test and blending show.
Picture Leaf() {
  Picture p(64, 64);
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; ++x) {
      const double dx = (x - 32) / 30.0, dy = (y - 32) / 22.0;
      const bool inside = dx * dx + dy * dy < 1.0 - 0.25 * std::sin(x * 0.6) * std::sin(y * 0.5);
      p.Set(x, y, 40 + x, 120 + y, 30, inside ? 255 : 0);
    }
  }
  return p;
}

Picture Rock() {
  Picture p(32, 32);
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) {
      const bool inside = std::hypot(x - 15.5, (y - 17.0) * 1.5) < 15.0;
      const int shade = 90 + ((x * 7 + y * 13) % 23) + (31 - y) * 2;
      p.Set(x, y, shade, shade - 5, shade - 15, inside ? 255 : 0);
    }
  }
  return p;
}

// An 800 x 600 background: an open sky above a ridge, hills, an open strip at the bottom
// for the lake, and (scene 0) a gap for the waterfall.
Picture Background(int scene) {
  Picture p(800, 600);
  for (int y = 0; y < 600; ++y) {
    for (int x = 0; x < 800; ++x) {
      const double ridge = scene == 0 ? 230 + 40 * std::sin(x / 90.0) : 260 + 30 * std::sin(x / 60.0 + 1.0);
      const bool fallGap = scene == 0 && x >= 380 && x < 440 && y < 480;
      if (y < ridge || y >= 480 || fallGap) {
        p.Set(x, y, 0, 0, 0, 0);
        continue;
      }
      const int depth = static_cast<int>(y - ridge);
      if (scene == 0) {
        p.Set(x, y, 60 + depth / 4, 110 - depth / 6 + (x % 17), 50, 255);
      } else {
        p.Set(x, y, 170 - depth / 5 + (x % 13), 110 - depth / 6, 40, 255);
      }
    }
  }
  return p;
}

// ---- level files ----------------------------------------------------------------------

using Placed = qh::testdata::LevelRecord;

std::vector<uint8_t> LevelFile(const std::vector<Placed>& objects) { return qh::testdata::LevelBytes(objects); }

// ---- the installation and the run ------------------------------------------------------

constexpr int kFrames[] = {0, 15, 45};
constexpr const char* kGoldenNames[] = {"scene_plain.png", "scene_crossfade_first.png", "scene_crossfade_second.png"};

void MakeInstallation(const fs::path& root) {
  const fs::path install = golden::StartInstallation(root, QH_CONTENT_DIR);
  const fs::path data = install / "Data";

  WriteFile(data / "sky.tga", Tga(Sky()));
  WriteFile(data / "water.tga", Tga(Ripples(40, 80, 120, 0.3)));
  WriteFile(data / "fall.tga", Tga(Ripples(150, 170, 190, 0.05)));
  WriteFile(data / "puff.tga", Tga(Puff()));
  WriteFile(data / "leaf.tga", Tga(Leaf()));
  WriteFile(data / "rock.tga", Tga(Rock()));
  WriteFile(data / "_a_back0.jpg", Tga(Background(0)));
  WriteFile(data / "_a_back1.jpg", Tga(Background(1)));
  // A mesh model the catalogue loads and nothing draws: the frames are those without it.
  WriteFile(data / "crag.msh", qh::MeshFileBytes(qh::CubeMesh()));
  WriteFile(data / "crag.cgo", qh::DescriptorText({{"crag.msh", "rock.tga"}}));
  WriteFile(data / "gameobjs.txt",
            std::string("[sky/]\r\nsky=sky.tga\r\n[/]\r\n[water/]\r\nlake_water=water.tga\r\n"
                        "waterfall=fall.tga\r\nspray=puff.tga\r\n[/]\r\n[plants/]\r\nleaves1=leaf.tga\r\n"
                        "leaves=leaf.tga\r\nrock=rock.tga\r\ncrag=crag.cgo\r\n[/]\r\n"));
  WriteFile(data / "level0.lev", LevelFile({
                                     {"sky", -400, -20, 400, 300, 0, 0, 0, 0, 0},
                                     {"waterfall", -20, -180, 40, 80, 0, 0, -20, 0, 0},
                                     {"lake_water", -400, -300, 400, -180, 0, 8, 1, 0, 0},
                                     {"spray", -40, -200, 60, -160, 0, 0, 0, 0, 0},
                                     {"rock", 150, -210, 270, -120, 8, 0, 0, 0, 0},
                                     {"leaves1", -400, 120, -230, 300, -10, 60, 0, 0, 0},
                                     {"leaves", 240, 140, 400, 300, 5, 0, 0, 1, 0},
                                 }));
  WriteFile(data / "level1.lev", LevelFile({
                                     {"sky", -400, -40, 400, 300, 0, 0, 0, 0, 0},
                                     {"lake_water", -400, -300, 400, -180, 0, -6, 2, 1, 0},
                                     {"rock", -300, -230, -120, -110, -5, 0, 0, 1, 0},
                                     {"leaves", -80, 160, 120, 320, 0, 120, 0, 0, 0},
                                 }));

  // Delay choice 7 is none of the listed delays, so the delay stays 0 and the first change
  // begins in frame 1. No clock, no music, no nature sounds; two scenes.
  golden::WriteStore(root, install, "07,00,00,00,50,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00",
                     "02,00,00,00,00,00,00,00,00,00");
}

class SceneGolden : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    char pattern[] = "/tmp/qh-scene-golden-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    MakeInstallation(root_);
    setenv("XDG_CONFIG_HOME", (root_ / "config").c_str(), 1);
    setenv("XDG_CONFIG_DIRS", (root_ / "no-system-config").c_str(), 1);
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    const std::string command = std::string("'") + QH_CAPTURE_TOOL + "' --frames 46 --dt 100 --start 0" +
                                " --at 0,15,45 --png '" + (root_ / "out" / "f%02d.png").string() + "' > '" +
                                (root_ / "capture.log").string() + "' 2>&1";
    captureStatus_ = std::system(command.c_str());
  }

  static void TearDownTestSuite() {
    // QH_KEEP_SCENE_RUN=1 keeps the installation and the captured frames for a look.
    const char* keep = std::getenv("QH_KEEP_SCENE_RUN");
    if (keep != nullptr && *keep == '1') {
      std::printf("scene golden run kept in %s\n", root_.c_str());
      return;
    }
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }

  void Compare(int which) {
    std::ifstream log(root_ / "capture.log");
    const std::string logText((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
    ASSERT_EQ(captureStatus_, 0) << "quiet-highland-render failed:\n" << logText;
    char name[16];
    std::snprintf(name, sizeof name, "f%02d.png", kFrames[which]);
    const fs::path captured = root_ / "out" / name;
    const fs::path golden = fs::path(QH_GOLDEN_DIR) / kGoldenNames[which];
    if (const char* update = std::getenv("QH_UPDATE_GOLDEN"); update != nullptr && *update == '1') {
      fs::create_directories(golden.parent_path());
      fs::copy_file(captured, golden, fs::copy_options::overwrite_existing);
      GTEST_SKIP() << "wrote " << golden;
    }
    Rgba got, want;
    ASSERT_TRUE(LoadPng(captured, &got)) << captured;
    ASSERT_TRUE(LoadPng(golden, &want)) << golden << " (QH_UPDATE_GOLDEN=1 writes it)";
    ASSERT_EQ(got.width, want.width);
    ASSERT_EQ(got.height, want.height);
    const golden::Difference d = golden::Compare(got.bytes, want.bytes);
    EXPECT_TRUE(d.Within()) << captured << " against " << golden << ": " << d.differing << " pixels off, mean "
                            << d.mean;
  }

  static inline fs::path root_;
  static inline int captureStatus_ = -1;
};

}  // namespace

TEST_F(SceneGolden, PlainFrame) { Compare(0); }
TEST_F(SceneGolden, FirstHalfOfAChange) { Compare(1); }
TEST_F(SceneGolden, SecondHalfOfAChange) { Compare(2); }
