// A whole small installation held in memory, so the loaders meet each other's files: the
// input is split at every "\nFILE\n" into the catalogue, a level (scene 0 and 1), a mesh
// descriptor, a mesh file, a picture, a background and an alpha-plane picture, registered in
// the file table under the names the catalogue's seeds use. The scene is loaded and run
// through a change of scene on the recording device. Whatever the bytes: no holder's record
// or file is freed under it (the sanitizers see any use after a free), every catalogue entry
// and the shown background still name a live texture record, and the table holds only the
// installation's files. A loading error ends the input (thrown from the message, not exited).
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/fatal.h"
#include "core/frame_timing.h"
#include "core/math.h"
#include "fuzz/fuzz_check.h"
#include "resources/file_table.h"
#include "resources/mesh.h"
#include "resources/settings.h"
#include "resources/textures.h"
#include "scene/catalogue.h"
#include "scene/director.h"
#include "scene/level.h"
#include "tests/support/recording_device.h"

namespace {
constexpr const char* kNames[] = {"gameobjs.txt", "level0.lev", "thing.cgo", "thing.msh",
                                  "stone.tga",    "_a_back0.jpg", "_a_leaf.jpg"};
constexpr int kParts = sizeof kNames / sizeof kNames[0];
constexpr char kSeparator[] = "\nFILE\n";

struct LoadingStopped : std::runtime_error {
  LoadingStopped() : std::runtime_error("loading error") {}
};
void ThrowOnMessage(const char* caption, const char* /*text*/) {
  if (std::strncmp(caption, "Loading", 7) == 0) throw LoadingStopped();
}

// The file as LoadFile leaves it: malloc'd, one zero byte past its size, owned by the table.
void Register(const char* name, const uint8_t* bytes, size_t size) {
  auto* copy = static_cast<uint8_t*>(std::malloc(size + 1));
  if (size > 0) std::memcpy(copy, bytes, size);
  copy[size] = 0;
  QH_FUZZ_CHECK(qh::RegisterFile(name, static_cast<int32_t>(size), copy, 1));
  // The harness holds every file for the whole input, as a loader that is still reading.
  QH_FUZZ_CHECK(qh::LoadFile(name, nullptr, false) == copy);
}

bool LiveRecord(const qh::TextureRecord* record) {
  for (int32_t i = 0; i < qh::TextureManager.count; ++i) {
    if (qh::TextureManager.records[i] == record) return record->holds >= 1;
  }
  return false;
}

bool InstallationFile(const char* name) {
  if (std::strcmp(name, "LEVEL1.LEV") == 0) return true;
  for (const char* known : kNames) {
    char upper[64];
    std::snprintf(upper, sizeof upper, "%s", known);
    qh::UppercaseName(upper);
    if (std::strcmp(name, upper) == 0) return true;
  }
  return false;
}

void Check() {
  for (int32_t i = 0; i < qh::ObjectCatalogue.entryCount; ++i) {
    const qh::TextureRecord* texture = qh::ObjectCatalogue.entries[i].texture;
    QH_FUZZ_CHECK(texture == nullptr || LiveRecord(texture));
  }
  QH_FUZZ_CHECK(qh::currentBackground == nullptr || LiveRecord(qh::currentBackground));
  QH_FUZZ_CHECK(qh::Director.incomingBackground == nullptr || LiveRecord(qh::Director.incomingBackground));
  for (int32_t i = 0; i < qh::FileTable.count; ++i) {
    QH_FUZZ_CHECK(InstallationFile(qh::FileTable.entries[i]->name));
    QH_FUZZ_CHECK(qh::FileTable.entries[i]->holds >= 1);
  }
}

void Run() {
  qh::LoadCatalogue();
  qh::PreloadScenes();
  qh::ShowFirstScene();
  Check();
  // Thirty-one one-second frames: past the scene delay and through the whole change, so the
  // outgoing background is let go while the catalogue may still hold its record.
  qh::SceneDelayMs = 20000.0f;
  qh::FrameDeltaMs = 1000.0f;
  for (int frame = 0; frame < 31; ++frame) {
    qh::SceneDirector();
    Check();
  }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static qh::RecordingDevice device;
  // Nothing of the disk may stand in for a part the input lacks: the loaders run in an
  // empty folder (and libFuzzer, between inputs, in its own, where its corpus is).
  static char empty[] = "/tmp/qh-fuzz-installation-XXXXXX";
  static const bool ready = [] {
    qh::BuildSqrtTable();
    qh::SetMessagePresenter(ThrowOnMessage);
    return mkdtemp(empty) != nullptr;
  }();
  QH_FUZZ_CHECK(ready);
  const int home = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  QH_FUZZ_CHECK(home >= 0 && chdir(empty) == 0);
  if (size > (size_t{1} << 24)) return 0;
  qh::Device = &device;
  qh::ResetSceneState();
  qh::Settings = qh::SettingsRecord{};
  qh::SettingsEx = qh::SettingsExRecord{};
  qh::SettingsEx.sceneCount = 2;
  qh::SceneClockMs = 0.0;
  qh::CameraView = qh::Identity();
  qh::PreTranslate(qh::CameraView, 0.0f, 0.0f, 50.0f);  // the camera the saver sets up

  const uint8_t* at = data;
  const uint8_t* end = data + size;
  for (int part = 0; part < kParts && at <= end; ++part) {
    const auto* cut = static_cast<const uint8_t*>(memmem(at, static_cast<size_t>(end - at), kSeparator, 6));
    const uint8_t* stop = cut != nullptr ? cut : end;
    Register(kNames[part], at, static_cast<size_t>(stop - at));
    if (part == 1) Register("level1.lev", at, static_cast<size_t>(stop - at));
    if (cut == nullptr) break;
    at = cut + 6;
  }
  try {
    Run();
  } catch (const LoadingStopped&) {
    // The loading message: the program would end here.
  }
  qh::ResetSceneState();
  qh::ReleaseAllModels();
  qh::ReleaseAllMeshes();
  qh::ReleaseAllTextures();
  qh::ReleaseAllFiles();
  QH_FUZZ_CHECK(fchdir(home) == 0);
  close(home);
  return 0;
}
