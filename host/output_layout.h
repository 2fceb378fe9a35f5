// The presentation choice on a compositor with one surface per output, as plain arithmetic:
// how each surface is set up for the run (saver above everything, or wallpaper below the
// windows), its buffer's pixel size from the output's logical size and scale, where the
// picture goes in it (letterboxed or cropped to cover), and which surfaces must be made or
// destroyed when outputs come and go.
#pragma once
#include <cstdint>
#include <vector>

#include "render/letterbox.h"

namespace qh {

enum class PictureFit { Letterbox, Cover };

// The layer-shell request values of one run's surfaces.
struct SurfaceRole {
  uint32_t layer = 0;                // zwlr_layer_shell_v1 layer: 0 background .. 3 overlay
  uint32_t anchor = 0;               // zwlr_layer_surface_v1 anchor bits
  int32_t exclusiveZone = 0;
  uint32_t keyboard = 0;             // 0 none, 1 exclusive
  bool inputPassesThrough = false;   // an empty input region
};
// The saver: overlay, all four edges, over panels (zone -1), the keyboard its own.
// The wallpaper: background, all four edges, under panels, no keyboard, input passes through.
SurfaceRole RoleOfRun(bool wallpaper);

// The fit a run uses when the command line names none: the saver letterboxes as on X11,
// the wallpaper covers (no bars on a desktop).
PictureFit DefaultFit(bool wallpaper);

struct SurfaceLayout {
  int32_t pixelWidth = 0, pixelHeight = 0;  // the buffer
  PixelRect picture;                        // in buffer pixels; may reach past its edges
};
// For a surface of logicalW x logicalH at scale120 / 120 (120: 1x, 180: 1.5x, 240: 2x).
// A surface without a size yet gets an empty layout.
SurfaceLayout LayoutSurface(int32_t logicalW, int32_t logicalH, int32_t scale120, PictureFit fit, int32_t pictureW,
                            int32_t pictureH);

// Outputs and surfaces named by the outputs' registry names. `create`: outputs without a
// surface, in the outputs' order; `destroy`: surfaces whose output has gone, newest first.
struct SurfaceChanges {
  std::vector<uint32_t> create;
  std::vector<uint32_t> destroy;
};
SurfaceChanges ReconcileSurfaces(const std::vector<uint32_t>& outputs, const std::vector<uint32_t>& surfaces);

}  // namespace qh
