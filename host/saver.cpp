// Placeholder until the graphics device lands: frames only advance the timing.
#include "host/saver.h"

#include "host/host_state.h"
#include "scene/math.h"

namespace qh {

bool StartSaverMode(SDL_Window* /*window*/) {
  BuildSqrtTable();
  return true;
}

void RenderFrame() { MeasureFrameTime(); }

void ShutdownSaverMode() {}

}  // namespace qh
