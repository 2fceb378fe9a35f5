#include "core/frame_timing.h"

#include "core/clock.h"

namespace qh {

uint32_t LastFrameTime = 0;
uint32_t RawFrameDeltaMs = 0;
float FrameDeltaMs = 0.0f;
float SceneDelayMs = 0.0f;
Matrix4 CameraView;
double SceneClockMs = 0.0;

void MeasureFrameTime() {
  CurrentClock().FrameEnded();
  const uint32_t now = CurrentClock().NowMs();
  RawFrameDeltaMs = now - LastFrameTime;  // unsigned: a wrap of the counter still gives the true step
  LastFrameTime = now;
  FrameDeltaMs = static_cast<float>(RawFrameDeltaMs);
}

void RestartFrameTiming() {
  LastFrameTime = CurrentClock().NowMs();
  FrameDeltaMs = 0.0f;
  RawFrameDeltaMs = 0;
}

void SetSceneDelay(int32_t sceneDelayChoice) {
  static const float kDelays[7] = {30000.0f, 60000.0f, 120000.0f, 180000.0f, 300000.0f, 600000.0f, 600000000.0f};
  if (sceneDelayChoice >= 0 && sceneDelayChoice < 7) SceneDelayMs = kDelays[sceneDelayChoice];
}

}  // namespace qh
