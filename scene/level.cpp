#include "scene/level.h"

#include <cstdio>
#include <cstring>

#include "core/byte_cursor.h"
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
void LevelName(char* out, size_t size, int32_t n) { std::snprintf(out, size, "level%i.lev", n); }

// Scenes whose missing picture has been reported: once is enough, not at every change.
bool backgroundReported[256] = {};
bool levelReported[256] = {};
}  // namespace

TextureRecord* LoadBackground(int32_t n) {
  char name[32];
  std::snprintf(name, sizeof name, "_a_back%i.jpg", n);
  TextureRecord* picture = LoadPicture(name, 800, 600);
  if (picture == nullptr) {
    const bool known = n >= 0 && n < 256;
    if (!known || !backgroundReported[n]) {
      std::fprintf(stderr, "Quiet Highland: the background picture %s is missing or can't be read; "
                   "the scene is drawn without it.\n", name);
    }
    if (known) backgroundReported[n] = true;
  }
  return picture;
}

int32_t SceneCount() { return SettingsEx.sceneCount == 0 ? 1 : SettingsEx.sceneCount; }

LevelOmissions ParseLevel(const uint8_t* bytes, int32_t size) {
  LevelOmissions omissions;
  // The count is trusted only as far as whole records follow it in the file.
  ByteCursor in(bytes, size > 0 ? static_cast<size_t>(size) : 0);
  in.Skip(kLevelHeaderSize);
  int64_t count = in.I32();
  const int64_t present = static_cast<int64_t>(in.Remaining() / kLevelRecordSize);
  if (count > present) {
    omissions.missingRecords = count - present;
    count = present;
  }
  if (count < 0) {
    omissions.missingRecords = count;
    count = 0;
  }
  const bool newPhases = crossfadeCountdown == 0.0f;
  int32_t filled = 0;
  int64_t i = 0;
  for (; i < count && filled < kMaxSceneObjects; ++i) {
    char name[33] = {};
    in.Bytes(name, 32);
    Rect rect;
    rect.x1 = in.F32();
    rect.y1 = in.F32();
    rect.x2 = in.F32();
    rect.y2 = in.F32();
    const float angle = in.F32();
    Vec2 param;
    param.x = in.F32();
    param.y = in.F32();
    const uint8_t mirrored = in.U8();
    const int32_t behind = in.I32();
    const CatalogueEntry* entry = FindCatalogueEntry(name);
    if (entry == nullptr) {  // a part the catalogue does not know is left out
      ++omissions.unknownNames;
      continue;
    }
    SceneObject& object = SceneObjectTable.objects[filled++];
    object.entry = entry;
    object.rect = rect;
    object.angle = angle;
    object.param = param;
    object.mirrored = mirrored;
    object.behindBackground = behind;
    if (newPhases) object.phase = RandomUpTo(500.0f);
    object.drawnThisFrame = 0;
  }
  SceneObjectTable.count = filled;
  omissions.beyondTable = static_cast<int32_t>(count - i);
  return omissions;
}

void LoadLevel(int32_t n) {
  char name[32];
  LevelName(name, sizeof name, n);
  int32_t size = 0;
  const uint8_t* bytes = LoadFile(name, &size, true);
  const LevelOmissions omissions = ParseLevel(bytes, size);
  ReleaseFile(bytes);  // PreloadScenes keeps the file in the table for the next frame
  // Said once per file: a change of scene parses the same level in every frame.
  const bool known = n >= 0 && n < 256;
  if (omissions.Any() && (!known || !levelReported[n])) {
    std::fprintf(stderr,
                 "Quiet Highland: %s: objects left out: %lld declared but not in the file, %d naming nothing "
                 "in the catalogue, %d beyond the %d the scene holds.\n",
                 name, static_cast<long long>(omissions.missingRecords), omissions.unknownNames,
                 omissions.beyondTable, kMaxSceneObjects);
  }
  if (known && omissions.Any()) levelReported[n] = true;
}

void PreloadScenes() {
  LoadCatalogue();
  const int32_t count = SceneCount();
  for (int32_t i = 0; i < count; ++i) {
    char name[32];
    LevelName(name, sizeof name, i);
    int32_t size = 0;
    LoadFile(name, &size, true);  // held for the run: a change of scene parses it in every frame
  }
}

namespace {
// The scene ShowFirstScene shows for a cursor: one not installed starts at scene 0.
int32_t FirstScene(int32_t cursor) { return cursor < 0 || cursor >= SceneCount() ? 0 : cursor; }
}  // namespace

void QueueScenesAhead(int32_t cursor) {
  QueueCatalogueAhead();
  char name[32];
  std::snprintf(name, sizeof name, "_a_back%i.jpg", FirstScene(cursor));
  QueuePictureAhead(name);
}

void ShowFirstScene() {
  sceneCursor = FirstScene(sceneCursor);
  crossfadeCountdown = 0.0f;
  shownScene = sceneCursor;
  ReleaseTexture(currentBackground);
  currentBackground = LoadBackground(shownScene);
  SceneObjectTable.count = 0;
  LoadLevel(shownScene);
}

void ResetLevelState() {
  SceneObjectTable = SceneObjectTableState{};
  sceneCursor = 0;
  shownScene = -1;
  currentBackground = nullptr;
  crossfadeCountdown = 0.0f;
  for (bool& reported : backgroundReported) reported = false;
  for (bool& reported : levelReported) reported = false;
}

}  // namespace qh
