#include "scene/director.h"

#include <malloc.h>

#include <cstdio>
#include <cstring>

#include "core/frame_timing.h"
#include "render/sprites.h"
#include "render/states.h"
#include "resources/settings.h"
#include "resources/textures.h"
#include "scene/behaviours.h"
#include "scene/catalogue.h"
#include "scene/level.h"
#include "scene/spray.h"

namespace qh {

SceneDirectorState Director;

void ResetDirectorState() { Director = SceneDirectorState{}; }

void ResetSceneState() {
  ResetCatalogue();
  ResetLevelState();
  ResetBehaviourState();
  ResetSprayRing();
  ResetDirectorState();
}

namespace {
constexpr D3DCOLOR kOpaqueWhite = 0xFFFFFFFFu;
// The 800 x 600 picture in the top-left corner of its 1024 x 1024 texture.
constexpr float kPictureRight = 0.78125f;
constexpr float kPictureBottom = 0.5859375f;

enum class Sampling { Point, Linear };

void BlendingOn() {
  SetDeviceRenderState(D3DRS_ALPHABLENDENABLE, 1);
  SetDeviceRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  SetDeviceRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
}

void ApplyTint(const Colour4f& tint) { SetSpriteTint(tint.r, tint.g, tint.b, tint.a); }

// How far the tint moves towards its target this frame. Clamped to the whole way: after a
// stall of more than 3.3 s an unclamped factor would overshoot and flash wrong colours.
float TintStep(float dt) {
  const float t = 0.0003f * dt;
  return t < 1.0f ? t : 1.0f;
}

// One scene in painter's order: the behaviours and the objects under the picture, the
// background picture, the objects over it, the spray, the swaying leaves.
void ScenePass(const TextureRecord* background, bool blendUnderPicture, Sampling pictureSampling) {
  SwayList.count = 0;
  DisableFeature(AlphaBlend);
  DisableFeature(AlphaTest);
  leafPhaseOffset = 0.0f;
  if (blendUnderPicture) BlendingOn();
  for (int32_t i = 0; i < SceneObjectTable.count; ++i) UpdateObject(SceneObjectTable.objects[i]);
  BlendingOn();
  BindTexture(background);
  if (pictureSampling == Sampling::Point) {
    DisableFeature(LinearFiltering);
  } else {
    EnableFeature(LinearFiltering);
  }
  // No picture (missing or undecodable) is no picture: an untextured rectangle would cover
  // the sky and the water behind it with a white sheet.
  if (background != nullptr) {
    DrawScreenRect(0.0f, 0.0f, 800.0f, 600.0f, 0.0f, 0.0f, kPictureRight, kPictureBottom, kOpaqueWhite);
  }
  if (pictureSampling == Sampling::Point) EnableFeature(LinearFiltering);
  for (int32_t i = 0; i < SceneObjectTable.count; ++i) DrawPlainObject(SceneObjectTable.objects[i]);
  DrawSpray();
  DrawSwayList();
}
}  // namespace

void SetDayTint(int32_t state) {
  static const Colour4f kTints[3] = {
      {0.67f, 0.67f, 1.0f, 1.0f},  // morning
      {1.0f, 0.67f, 0.67f, 1.0f},  // evening
      {1.0f, 1.0f, 1.0f, 1.0f},    // day
  };
  if (state < 0 || state > 2) return;
  Director.targetTint = kTints[state];
}

void BeginSceneChange() {
  SceneDirectorState& d = Director;
  sceneCursor = (sceneCursor + 1) % SceneCount();
  d.targetScene = sceneCursor;
  crossfadeCountdown = kSceneChangeMs;
  char name[32];
  std::snprintf(name, sizeof name, "_a_back%i.jpg", d.targetScene);
  if (d.incomingBackground != nullptr && std::strcmp(d.incomingBackground->name, name) == 0) return;
  ReleaseTexture(d.incomingBackground);
  // A change of scene is where the memory peaks (two pictures and the driver's copies of
  // them). What the frames before it freed inside the heap (the driver's first-frame work,
  // the last change's) stays resident until given back, so it is given back first: once a
  // change, never a frame.
  malloc_trim(0);
  d.incomingBackground = LoadBackground(d.targetScene);
}

void DrawSceneFrame() {
  SceneDirectorState& d = Director;
  ApplyTint(d.currentTint);  // this frame is drawn with the tint before the update
  d.currentTint = Lerp(d.currentTint, d.targetTint, TintStep(FrameDeltaMs));
  ScenePass(currentBackground, false, Sampling::Point);
  SetSpriteTint(1.0f, 1.0f, 1.0f, 1.0f);
}

void DrawCrossfadeFrame() {
  SceneDirectorState& d = Director;
  const float dt = FrameDeltaMs;
  const Colour4f saved = d.currentTint;
  ApplyTint(d.currentTint);
  d.currentTint = Lerp(d.currentTint, d.targetTint, TintStep(dt));
  ApplyTint(d.currentTint);

  // Progress: the first half only zooms the outgoing scene, the second fades the new one in.
  const bool changeRunning = crossfadeCountdown > 0.0f;
  d.zoomFactor = 0.0f;
  if (changeRunning) {
    d.zoomFactor = 1.0f - crossfadeCountdown / kSceneChangeMs;
    if (crossfadeCountdown < 3000.0f) {
      d.fadeFraction = 1.0f - crossfadeCountdown / 3000.0f;
    } else {
      d.fadeFraction = 0.0f;
      crossfadeCountdown -= dt;
    }
  }
  if (crossfadeCountdown <= 0.0f) d.fadeFraction = 0.0f;

  // The outgoing view grows to 2.5 times its size about the centre while it swings along
  // a curve that leaves the centre and comes back to it.
  const float k = d.zoomFactor;
  Matrix4 view = CameraView;
  const float r = k * k * 30.0f;
  PreTranslate(view, Cos(4.712389f * k) * r, Sin(3.1415927f * k) * r, 0.0f);
  const float q = k * k;
  SetDiagonalScale(view, 1.5f * q + 1.0f, 1.5f * q + 1.0f, 1.0f);
  SetViewTransform(&view);

  ScenePass(currentBackground, false, crossfadeCountdown == 0.0f ? Sampling::Point : Sampling::Linear);
  SetSpriteTint(1.0f, 1.0f, 1.0f, 1.0f);
  SetViewTransform(&CameraView);

  // The second half. A change whose first half a long stall ended at once (the countdown
  // fell from above 3000 to 0 or below in this frame) also comes here, so that it
  // completes its swap instead of waiting for a countdown that never moves again.
  if (changeRunning && crossfadeCountdown <= 3000.0f) {
    crossfadeCountdown -= dt;
    LoadLevel(d.targetScene);
    SetSpriteTint(saved.r, saved.g, saved.b, d.fadeFraction);
    ScenePass(d.incomingBackground, true, Sampling::Linear);
    SetSpriteTint(1.0f, 1.0f, 1.0f, 1.0f);
    if (crossfadeCountdown <= 0.0f) {
      // The swap: the outgoing picture's hold goes. Whoever else holds its record (the
      // incoming scene, a catalogue entry naming the same file) keeps it.
      ReleaseTexture(currentBackground);
      LoadLevel(d.targetScene);
      shownScene = d.targetScene;
      currentBackground = d.incomingBackground;
      d.incomingBackground = nullptr;
      crossfadeCountdown = 0.0f;
    } else {
      LoadLevel(shownScene);  // the next frame starts again with the outgoing level
    }
  }
}

void SceneDirector() {
  SceneDirectorState& d = Director;
  const float dt = FrameDeltaMs;
  if (SceneCount() == 1) {
    DrawSceneFrame();
  } else {
    if (d.sceneTimer > -1.0) d.sceneTimer += dt;
    if (d.sceneTimer > SceneDelayMs) {
      BeginSceneChange();
      d.sceneTimer = -1.0;
      d.fadeTimer = 0.0f;
    }
    if (d.fadeTimer > -1.0f) d.fadeTimer += dt;
    if (d.fadeTimer > kSceneChangeMs && crossfadeCountdown == 0.0f) {
      d.sceneTimer = 0.0;
      d.fadeTimer = -1.0f;
    }
    if (d.sceneTimer > -1.0) {
      DrawSceneFrame();
    } else {
      DrawCrossfadeFrame();
    }
  }
  if (Settings.dayCycle) {
    d.dayCycleTimer += dt;
    if (d.dayCycleTimer > kDayCycleStepMs) {
      d.dayCycleState = (d.dayCycleState + 1) % 3;
      SetDayTint(d.dayCycleState);
      d.dayCycleTimer -= kDayCycleStepMs;  // the excess carries over
    }
  }
}

}  // namespace qh
