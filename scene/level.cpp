#include "scene/level.h"

#include <bit>
#include <cstdio>
#include <cstring>

#include "resources/file_table.h"
#include "resources/settings.h"
#include "resources/textures.h"
#include "scene/catalogue.h"

namespace qh {

SceneObjectTableState SceneObjectTable;
int32_t sceneCursor = 0;
int32_t shownScene = -1;
TextureRecord* currentBackground = nullptr;
float crossfadeCountdown = 0.0f;

namespace {
// Little-endian reads at fixed offsets of a record whose bytes are known to exist.
uint32_t U32At(const uint8_t* p) {
  return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}
float F32At(const uint8_t* p) { return std::bit_cast<float>(U32At(p)); }
int32_t I32At(const uint8_t* p) { return static_cast<int32_t>(U32At(p)); }

void LevelName(char* out, size_t size, int32_t n) { std::snprintf(out, size, "level%i.lev", n); }
}  // namespace

int32_t SceneCount() { return SettingsEx.sceneCount == 0 ? 1 : SettingsEx.sceneCount; }

void ParseLevel(const uint8_t* bytes, int32_t size) {
  // The count is trusted only as far as whole records follow it in the file.
  int64_t count = 0;
  if (bytes != nullptr && size >= kLevelHeaderSize + 4) {
    count = I32At(bytes + kLevelHeaderSize);
    const int64_t present = (int64_t{size} - kLevelHeaderSize - 4) / kLevelRecordSize;
    if (count > present) count = present;
    if (count < 0) count = 0;
  }
  const bool newPhases = crossfadeCountdown == 0.0f;
  int32_t filled = 0;
  for (int64_t i = 0; i < count && filled < kMaxSceneObjects; ++i) {
    const uint8_t* record = bytes + kLevelHeaderSize + 4 + i * kLevelRecordSize;
    char name[33];
    std::memcpy(name, record, 32);
    name[32] = '\0';
    const CatalogueEntry* entry = FindCatalogueEntry(name);
    if (entry == nullptr) continue;  // a part the catalogue does not know is left out
    SceneObject& object = SceneObjectTable.objects[filled++];
    object.entry = entry;
    object.rect = {F32At(record + 32), F32At(record + 36), F32At(record + 40), F32At(record + 44)};
    object.angle = F32At(record + 48);
    object.param = {F32At(record + 52), F32At(record + 56)};
    object.mirrored = record[60];
    object.behindBackground = I32At(record + 61);
    if (newPhases) object.phase = RandomUpTo(500.0f);
    object.drawnThisFrame = 0;
  }
  SceneObjectTable.count = filled;
}

void LoadLevel(int32_t n) {
  char name[32];
  LevelName(name, sizeof name, n);
  int32_t size = 0;
  const uint8_t* bytes = LoadFile(name, &size, true);
  ParseLevel(bytes, size);
}

void PreloadScenes() {
  LoadCatalogue();
  const int32_t count = SceneCount();
  for (int32_t i = 0; i < count; ++i) {
    char name[32];
    LevelName(name, sizeof name, i);
    int32_t size = 0;
    LoadFile(name, &size, true);
  }
}

void ShowFirstScene() {
  if (sceneCursor < 0 || sceneCursor >= SceneCount()) sceneCursor = 0;
  crossfadeCountdown = 0.0f;
  shownScene = sceneCursor;
  ReleaseTexture(currentBackground);
  char name[32];
  std::snprintf(name, sizeof name, "_a_back%i.jpg", shownScene);
  currentBackground = LoadPicture(name, 800, 600);
  SceneObjectTable.count = 0;
  LoadLevel(shownScene);
}

void ResetLevelState() {
  SceneObjectTable = SceneObjectTableState{};
  sceneCursor = 0;
  shownScene = -1;
  currentBackground = nullptr;
  crossfadeCountdown = 0.0f;
}

}  // namespace qh
