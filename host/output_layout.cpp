#include "host/output_layout.h"

#include <algorithm>

namespace qh {

namespace {
constexpr uint32_t kAllEdges = 1 | 2 | 4 | 8;  // top, bottom, left, right
constexpr uint32_t kLayerBackground = 0, kLayerOverlay = 3;
constexpr uint32_t kKeyboardNone = 0, kKeyboardExclusive = 1;
}  // namespace

SurfaceRole RoleOfRun(bool wallpaper) {
  SurfaceRole role;
  role.anchor = kAllEdges;
  role.exclusiveZone = -1;
  role.layer = wallpaper ? kLayerBackground : kLayerOverlay;
  role.keyboard = wallpaper ? kKeyboardNone : kKeyboardExclusive;
  role.inputPassesThrough = wallpaper;
  return role;
}

PictureFit DefaultFit(bool wallpaper) { return wallpaper ? PictureFit::Cover : PictureFit::Letterbox; }

SurfaceLayout LayoutSurface(int32_t logicalW, int32_t logicalH, int32_t scale120, PictureFit fit, int32_t pictureW,
                            int32_t pictureH) {
  SurfaceLayout layout;
  if (logicalW <= 0 || logicalH <= 0) return layout;
  if (scale120 <= 0) scale120 = 120;
  layout.pixelWidth = static_cast<int32_t>((int64_t{logicalW} * scale120 + 60) / 120);
  layout.pixelHeight = static_cast<int32_t>((int64_t{logicalH} * scale120 + 60) / 120);
  const PixelRect whole{0, 0, layout.pixelWidth, layout.pixelHeight};
  layout.picture = fit == PictureFit::Cover ? CoverRect(whole, pictureW, pictureH)
                                            : LetterboxRect(whole, pictureW, pictureH);
  return layout;
}

SurfaceChanges ReconcileSurfaces(const std::vector<uint32_t>& outputs, const std::vector<uint32_t>& surfaces) {
  SurfaceChanges changes;
  for (uint32_t output : outputs) {
    const bool has = std::find(surfaces.begin(), surfaces.end(), output) != surfaces.end();
    const bool listed = std::find(changes.create.begin(), changes.create.end(), output) != changes.create.end();
    if (!has && !listed) changes.create.push_back(output);
  }
  for (auto it = surfaces.rbegin(); it != surfaces.rend(); ++it) {
    if (std::find(outputs.begin(), outputs.end(), *it) == outputs.end()) changes.destroy.push_back(*it);
  }
  return changes;
}

}  // namespace qh
