// Test support for the text overlay: a scratch data directory holding a small glyph
// picture and a metrics file of the test's choosing, a recording device installed as
// the program's device, and a way to read back which characters a frame drew.
#pragma once
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "core/fatal.h"
#include "host/message_box.h"
#include "overlay/font.h"
#include "render/device.h"
#include "tests/support/recording_device.h"
#include "tests/support/test_data.h"
#include "render/sprites.h"
#include "resources/file_table.h"
#include "resources/textures.h"

namespace qh::overlay_test {

using testdata::FontMetrics;

inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  ASSERT_TRUE(testdata::WriteBytes(path, bytes)) << path;
}

// An uncompressed 32-bit TGA, every texel the same colour.
inline std::vector<uint8_t> SolidTga(int side, uint32_t argb) { return testdata::SolidTga(side, side, argb); }

// A scratch data directory made current for the test, a recording device, and clean
// file and texture tables before and after.
class OverlayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetMessageBoxesEnabled(false);
    char pattern[] = "/tmp/qh-overlay-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dataDir_ = pattern;
    oldDir_ = std::filesystem::current_path();
    std::filesystem::current_path(dataDir_);
    Device = &device;
    SetSpriteTint(1.0f, 1.0f, 1.0f, 1.0f);
    ReleaseAllFiles();
    ReleaseAllTextures();
    Font = BitmapFont{};
  }

  void TearDown() override {
    ReleaseAllTextures();
    ReleaseAllFiles();
    Font = BitmapFont{};
    SetSpriteTint(1.0f, 1.0f, 1.0f, 1.0f);
    Device = nullptr;
    std::filesystem::current_path(oldDir_);
    std::filesystem::remove_all(dataDir_);
  }

  void WriteFont(const FontMetrics& metrics) {
    WriteBytes("font.tga", SolidTga(16, 0xFFFFFFFFu));
    WriteBytes("font.dat", metrics.Bytes());
  }

  void LoadIdentityFont(int32_t cellsPerRow = 16, uint8_t width = 32) {
    WriteFont(FontMetrics::Identity(cellsPerRow, width));
    ASSERT_TRUE(LoadFont("font"));
    device.ClearRecord();
  }

  // The codes drawn, read back from the cells of the glyph quads (top-left vertex); valid
  // with an identity font of 16 cells per row.
  std::string DrawnText() const {
    std::string text;
    for (const RecordedDraw& draw : device.draws) {
      const Vec2 uv = draw.TexCoord(0);
      const int column = static_cast<int>(uv.x * 16.0f + 0.5f);
      const int row = static_cast<int>(uv.y * 16.0f + 0.5f);
      text.push_back(static_cast<char>(row * 16 + column));
    }
    return text;
  }

  int TextureBinds() const {
    int binds = 0;
    for (const std::string& call : device.calls) binds += call.rfind("SetTexture", 0) == 0 ? 1 : 0;
    return binds;
  }

  RecordingDevice device;
  std::filesystem::path dataDir_;
  std::filesystem::path oldDir_;
};

}  // namespace qh::overlay_test
