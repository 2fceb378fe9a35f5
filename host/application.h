// The application frame object: the seam between the main loop and what is drawn.
// The main loop knows only an Application; SaverApplication composes every Saver frame.
#pragma once
#include <cstdint>

#include "core/frame_timing.h"

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

// The states every Saver frame sets before drawing: the camera, the projection, painter's
// order with blending and the alpha test.
void SetSaverFrameStates();

extern Application StartupApplication;
extern SaverApplication TheSaverApplication;
extern Application* CurrentApplication;

}  // namespace qh
