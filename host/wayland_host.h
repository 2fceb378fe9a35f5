// The saver and the wallpaper on a Wayland compositor that offers wlr-layer-shell: one
// layer surface per output (overlay for the saver, background for the wallpaper), one EGL
// context for them all, the back buffer drawn once per frame and presented to each output
// at its own pixel size, frames drawn on the compositor's frame callbacks.
#pragma once
#include <cstdint>
#include <optional>

#include "host/output_layout.h"

namespace qh {

// What $WAYLAND_DISPLAY offers: no compositor (or none named), one without the layer shell
// (GNOME), or one with it. With LayerShell the connection stays open for RunOnLayerSurfaces.
enum class WaylandDesktop { None, NoLayerShell, LayerShell };
WaylandDesktop ConnectWaylandDesktop();

struct LayerSurfaceRun {
  bool wallpaper = false;  // background layer, no input, ends only on a signal
  PictureFit fit = PictureFit::Letterbox;
  std::optional<int32_t> maxFps;  // --max-fps as given
};

// The run on the open connection: surfaces, device, content, the loop (until QuitRequested:
// a signal; for the saver also a key, a button, the sleep notice or a surface the compositor
// closed). Returns the exit code; the caller saves the settings. The device is left for the
// process's end to take away.
int RunOnLayerSurfaces(const LayerSurfaceRun& run);

}  // namespace qh
