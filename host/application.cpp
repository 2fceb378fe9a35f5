#include "host/application.h"

#include "host/host_state.h"
#include "overlay/clock.h"
#include "render/d3d_types.h"
#include "render/device_setup.h"
#include "render/states.h"
#include "scene/director.h"
#include "sound/ambient.h"
#include "sound/audio_engine.h"

namespace qh {

Application StartupApplication;
SaverApplication TheSaverApplication;
Application* CurrentApplication = &TheSaverApplication;

void Application::PresentBlankFrame() {
  BeginFrame();
  ClearTarget(0x00000000);
  EndFrame();
  PresentFrame();
}

void SetSaverFrameStates() {
  // Quads may be wound either way.
  SetDeviceRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  // The world plane z = 0 lies 50 units in front of the eye.
  CameraView = Identity();
  PreTranslate(CameraView, 0.0f, 0.0f, 50.0f);
  SetWorldTransform(nullptr);
  SetViewTransform(&CameraView);
  // One world unit per pixel of the 800x600 picture, origin at its centre, y up.
  SetOrthoProjection(800.0f, 600.0f, 1.0f, 100.0f);
  // Painter's order: later quads cover earlier ones, no depth test or writes.
  SetDeviceRenderState(D3DRS_ZWRITEENABLE, 0);
  EnableFeature(AlphaBlend);
  SetBlendMode(Alpha);
  DisableFeature(DepthTest);
  // With the default GREATEREQUAL comparison, fully transparent texels are discarded.
  SetDeviceRenderState(D3DRS_ALPHATESTENABLE, 1);
  SetDeviceRenderState(D3DRS_ALPHAREF, 1);
}

void SaverApplication::Render() {
  SetSaverFrameStates();

  SceneDirector();  // the whole picture
  DrawClock();  // the clock overlay, over the finished picture
  UpdateAmbientSounds();  // this frame's nature-sound requests, before...
  UpdateAudio();          // ...the audio update that starts them in the same frame

  SceneClockMs += FrameDeltaMs;
}

}  // namespace qh
