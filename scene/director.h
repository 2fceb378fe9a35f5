// The scene engine's per-frame entry point. It shows the current scene, times the scenes,
// runs the six-second change of scene (the outgoing scene zooms and pans while the
// incoming one fades in over it) and the optional day cycle, which slowly tints the whole
// picture through morning, day and evening colours.
#pragma once
#include <cstdint>

#include "core/math.h"

namespace qh {

struct TextureRecord;

constexpr float kSceneChangeMs = 6000.0f;
constexpr float kDayCycleStepMs = 20000.0f;

// Written only by the director (and the start-up that resets it); the behaviours read
// fadeFraction. Timers are milliseconds; -1 marks an inactive one.
struct SceneDirectorState {
  // Time the current scene has been shown. Double: with the longest delay it would
  // otherwise stop growing after a few days of frames.
  double sceneTimer = 0.0;
  float fadeTimer = -1.0f;              // time since the current change began
  float fadeFraction = 0.0f;            // opacity of the incoming scene, 0..1
  float zoomFactor = 0.0f;              // progress of the change for the outgoing zoom, this frame
  int32_t targetScene = -1;             // the scene being faded in
  TextureRecord* incomingBackground = nullptr;
  Colour4f currentTint{1.0f, 1.0f, 1.0f, 1.0f};
  Colour4f targetTint{1.0f, 1.0f, 1.0f, 1.0f};
  int32_t dayCycleState = 2;
  float dayCycleTimer = 0.0f;
};
extern SceneDirectorState Director;

// Once per frame from the frame object, after the camera and the frame's states are set.
void SceneDirector();
// A plain frame of the shown scene under the current tint.
void DrawSceneFrame();
// A frame of a change of scene (and the frames after its swap until the change's 6 s end).
void DrawCrossfadeFrame();
// Advances sceneCursor and starts the change towards it, loading its background picture.
void BeginSceneChange();
// The day-cycle tint the picture moves towards: 0 morning, 1 evening, 2 day.
void SetDayTint(int32_t state);

void ResetDirectorState();  // program-start values (tests)

// Everything the scene engine keeps between frames back to program start: catalogue,
// level state, sway list, spray ring and director (tests). Textures and files stay.
void ResetSceneState();

}  // namespace qh
