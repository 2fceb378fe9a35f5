// The frame timing every animation reads, and the view the frame is drawn with. Written
// by the host's main loop (MeasureFrameTime, RestartFrameTiming), the scene delay by the
// start-up and the director, SceneClockMs and CameraView by the frame's Render; read by
// the scene, the overlay and the sound.
#pragma once
#include <cstdint>

#include "core/math.h"

namespace qh {

extern uint32_t LastFrameTime;
extern uint32_t RawFrameDeltaMs;
extern float FrameDeltaMs;
extern float SceneDelayMs;
// The frame's view matrix, rebuilt by every Render; the spray and the director read it.
extern Matrix4 CameraView;
// Milliseconds of frame time summed over the frames rendered so far (added at the end of
// each Render). Kept in double precision so the picture still moves smoothly after weeks
// of running; readers convert what they need per frame.
extern double SceneClockMs;

// Frame timing: the difference to the last timing point in unsigned 32-bit arithmetic,
// no clamp. MeasureFrameTime runs once per frame; RestartFrameTiming when the window
// becomes active (the next frame then measures 0).
void MeasureFrameTime();
void RestartFrameTiming();

// The scene delay for a settings choice (0..6); other values leave SceneDelayMs unchanged.
void SetSceneDelay(int32_t sceneDelayChoice);

}  // namespace qh
