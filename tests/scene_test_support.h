// Shared ground for the scene engine's tests: a recording device installed as Device,
// the scene, model, texture and file state reset around every test, a temporary data directory
// as the current directory, and builders for catalogue text, level files and pictures.
#pragma once
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "host/application.h"
#include "core/fatal.h"
#include "host/message_box.h"
#include "host/host_state.h"
#include "render/device.h"
#include "tests/support/recording_device.h"
#include "render/sprites.h"
#include "resources/file_table.h"
#include "resources/mesh.h"
#include "resources/settings.h"
#include "resources/textures.h"
#include "scene/behaviours.h"
#include "scene/catalogue.h"
#include "scene/director.h"
#include "scene/level.h"
#include "core/math.h"
#include "scene/spray.h"
#include "tests/support/test_data.h"

namespace qh::scenetest {

using testdata::kCountOfRecords;
using testdata::LevelBytes;
using testdata::LevelRecord;

inline void WriteBytes(const std::string& name, const std::vector<uint8_t>& bytes) {
  ASSERT_TRUE(testdata::WriteBytes(name, bytes)) << name;
}
inline void WriteText(const std::string& name, const std::string& text) {
  ASSERT_TRUE(testdata::WriteText(name, text)) << name;
}

// Every texel (b, g, r, a).
inline std::vector<uint8_t> TgaBytes(int width, int height, uint8_t b, uint8_t g, uint8_t r, uint8_t a) {
  return testdata::SolidTga(width, height, uint32_t{a} << 24 | uint32_t{r} << 16 | uint32_t{g} << 8 | b);
}

// A texture registered under `name` without any file behind it.
inline TextureRecord* MakeTexture(const char* name, int width = 64, int height = 64) {
  auto* record = new TextureRecord;
  std::snprintf(record->name, sizeof record->name, "%s", name);
  record->width = width;
  record->height = height;
  record->texture = std::make_unique<Texture>(width, height, 1, D3DFMT_A8R8G8B8);
  TextureManager.records[TextureManager.count++] = record;
  return record;
}

inline Matrix4 FrameView() {
  Matrix4 m = Identity();
  PreTranslate(m, 0.0f, 0.0f, 50.0f);
  return m;
}

class SceneTest : public ::testing::Test {
 protected:
  RecordingDevice device;

  static void SetUpTestSuite() {
    BuildSqrtTable();
    SetMessageBoxesEnabled(false);
  }

  void SetUp() override {
    Device = &device;
    ResetSceneState();
    ReleaseAllModels();
    ReleaseAllMeshes();
    ReleaseAllTextures();
    ReleaseAllFiles();
    Settings = SettingsRecord{};
    SettingsEx = SettingsExRecord{};
    FrameDeltaMs = 0.0f;
    SceneDelayMs = 0.0f;
    SceneClockMs = 0.0;
    CameraView = FrameView();
    SetSpriteTint(1.0f, 1.0f, 1.0f, 1.0f);
    SeedSceneRandom(0);
    oldDirectory_ = std::filesystem::current_path();
    char pattern[] = "/tmp/qh-scene-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dataDirectory_ = pattern;
    std::filesystem::current_path(dataDirectory_);
  }

  void TearDown() override {
    ResetSceneState();
    ReleaseAllModels();
    ReleaseAllMeshes();
    ReleaseAllTextures();
    ReleaseAllFiles();
    std::filesystem::current_path(oldDirectory_);
    std::error_code ignored;
    std::filesystem::remove_all(dataDirectory_, ignored);
    Device = nullptr;
  }

  // Parses catalogue text whose textures were registered beforehand.
  static void Catalogue(const std::string& text) {
    ParseCatalogue(reinterpret_cast<const uint8_t*>(text.data()), static_cast<int32_t>(text.size()));
  }

  static void Level(const std::vector<LevelRecord>& records) {
    const std::vector<uint8_t> bytes = LevelBytes(records);
    ParseLevel(bytes.data(), static_cast<int32_t>(bytes.size()));
  }

  // The sprite vertices of a recorded strip, in the order B (top right), C (bottom right),
  // A (top left), D (bottom left).
  static Vec2 Corner(const RecordedDraw& draw, int index) {
    const Vec3 p = draw.Position(static_cast<uint32_t>(index));
    return {p.x, p.y};
  }

 private:
  std::filesystem::path oldDirectory_;
  std::filesystem::path dataDirectory_;
};

}  // namespace qh::scenetest
