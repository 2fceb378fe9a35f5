// The application frame object: the seam between the main loop and what is drawn.
// The main loop knows only an Application; SaverApplication composes every Saver frame.
#pragma once
#include <cstdint>

#include "scene/math.h"

namespace qh {

class Application {
 public:
  virtual ~Application() = default;
  virtual void AfterFrame() {}
  virtual void Render() {}
  virtual void SetValue(int32_t /*value*/) {}
  // Begin, clear to black, end, present: the screen shows black while content loads.
  void PresentBlankFrame();
};

class SaverApplication : public Application {
 public:
  void Render() override;
  void SetValue(int32_t value) override { value_ = value; }

 private:
  int32_t value_ = 0;
};

extern Application StartupApplication;
extern SaverApplication TheSaverApplication;
extern Application* CurrentApplication;

// The frame's view matrix, rebuilt by every Render; the spray and the director read it.
extern Matrix4 CameraView;
// Milliseconds of frame time summed over the frames rendered so far (added at the end of
// each Render). Kept in double precision so the picture still moves smoothly after weeks
// of running; readers convert what they need per frame.
extern double SceneClockMs;

}  // namespace qh
