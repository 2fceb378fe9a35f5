// What makes the picture live: each scene object is a textured rectangle whose behaviour
// is chosen by words in its catalogue entry's name. Skies drift, water and waterfalls
// scroll their texture, spray areas emit puffs, leaves sway about one edge. The director
// runs UpdateObject over the table (first pass: behaviours, and the objects under the
// background picture), then DrawPlainObject (second pass: the rest), the spray, and
// DrawSwayList (the leaves, last).
#pragma once
#include <cstdint>

#include "core/math.h"

namespace qh {

struct SceneObject;
struct TextureRecord;

constexpr int kMaxSwayEntries = 128;

struct SwayEntry {
  Vec2 centre;
  Vec2 pivot;                           // the point the sprite turns about
  float angle = 0.0f;                   // degrees
  float width = 0.0f;
  float height = 0.0f;
  Colour colour;
  const TextureRecord* texture = nullptr;
  uint8_t mirrored = 0;
};

// Emptied by the director at the start of every scene pass; filled by the leaves.
struct SwayListState {
  SwayEntry entries[kMaxSwayEntries];
  int32_t count = 0;
};
extern SwayListState SwayList;

// Set to 0 by the director before every object pass; each leaves object adds 400 ms so
// that the leaves of a level sway out of step.
extern float leafPhaseOffset;

// First pass: resets the object's drawn mark, applies its behaviour and draws it when it
// lies under the background picture or has a texture window of its own.
void UpdateObject(SceneObject& object);
// Second pass: draws the object plainly unless the first pass dealt with it.
void DrawPlainObject(const SceneObject& object);
// Appends to the sway list; does nothing when 128 entries are queued.
void QueueSway(Vec2 centre, Vec2 pivot, float angle, float width, float height, Colour colour,
               const TextureRecord* texture, uint8_t mirrored);
// Alpha blending on, then every queued leaves sprite in queue order.
void DrawSwayList();

void ResetBehaviourState();  // empty sway list, offset 0 (tests)

}  // namespace qh
