// Levels and the objects of the scene now loaded. A scene is one level "level%i.lev",
// which places catalogue parts as rectangles on the 800x600 picture, and one background
// picture "_a_back%i.jpg" drawn between them. All level files are brought into the file
// table at start-up; LoadLevel parses the cached bytes whenever the director asks.
//
// Level file, little-endian: a 64-byte header (unused), an int32 count, then `count`
// 65-byte records: name[32], x1, y1, x2, y2, angle, param x, param y (float32 each),
// mirrored (uint8), behindBackground (int32).
#pragma once
#include <cstdint>

#include "core/math.h"

namespace qh {

struct CatalogueEntry;
struct TextureRecord;

constexpr int kMaxSceneObjects = 128;
constexpr int32_t kLevelHeaderSize = 64;
constexpr int32_t kLevelRecordSize = 65;

struct SceneObject {
  const CatalogueEntry* entry = nullptr;  // every loaded object has one
  Rect rect;                              // world corners, in any order
  float angle = 0.0f;                     // degrees about the rectangle's centre
  uint8_t mirrored = 0;
  Vec2 param;                             // behaviour parameter
  // The object's own running time in milliseconds (spray, leaves). Double, so that it
  // still advances by a frame's time after weeks of running.
  double phase = 0.0;
  uint8_t drawnThisFrame = 0;             // dealt with in the first pass of this scene pass
  int32_t behindBackground = 0;           // nonzero: drawn under the background picture
};

// Written by LoadLevel (and the behaviours, which run the objects' phases).
struct SceneObjectTableState {
  SceneObject objects[kMaxSceneObjects];
  int32_t count = 0;
};
extern SceneObjectTableState SceneObjectTable;

// Scene state shared with the director and the ambient sounds.
extern int32_t sceneCursor;                // the running scene index
extern int32_t shownScene;                 // the scene whose level is shown; -1 before the first
extern TextureRecord* currentBackground;   // the shown scene's picture, or none
extern float crossfadeCountdown;           // ms left of a change of scene; exactly 0 when none

// The number of installed scenes: the settings' sceneCount, where 0 counts as 1.
int32_t SceneCount();

// Start-up: the catalogue, then every level file into the file table (a missing one is
// fatal). Nothing is parsed here.
void PreloadScenes();
// Asks the decoding ahead (resources/decode_ahead.h) for the pictures PreloadScenes and
// ShowFirstScene will decode with sceneCursor at `cursor`: the catalogue's, then the first
// scene's background.
void QueueScenesAhead(int32_t cursor);
// Start-up, with sceneCursor set: shows scene sceneCursor (one outside 0..SceneCount()-1
// starts at scene 0), its background picture and its level.
void ShowFirstScene();
// The background picture of scene n ("_a_back%i.jpg", 800 x 600 in a power-of-two
// texture); none when it is missing or can't be decoded, and then the scene is drawn
// without it (one line on stderr names the file, once per scene).
TextureRecord* LoadBackground(int32_t n);
// Fills the object table from "level%i.lev" with n. Records are read only as far as whole
// records exist in the file, at most 128 objects are loaded, and a record whose name
// matches no catalogue entry is skipped. While no change of scene runs (countdown 0) each
// object gets a new start phase in [0, 500); otherwise slots keep their running phases.
void LoadLevel(int32_t n);
// What a level file asked for that could not be loaded.
struct LevelOmissions {
  int64_t missingRecords = 0;  // declared by the count but not in the file (or a count < 0)
  int32_t unknownNames = 0;    // records naming nothing in the catalogue
  int32_t beyondTable = 0;     // records past the table's 128 slots
  bool Any() const { return missingRecords != 0 || unknownNames != 0 || beyondTable != 0; }
};
// The same from level bytes already in memory (never reads outside them). LoadLevel says
// on stderr, once per level file, what was left out.
LevelOmissions ParseLevel(const uint8_t* bytes, int32_t size);

// Back to the program-start state (tests). Does not release textures.
void ResetLevelState();

}  // namespace qh
