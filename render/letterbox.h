// Where the 4:3 picture goes on the screen: the largest rectangle of its shape that fits an
// area, centred with black bars (or the smallest that covers it, cropped), and the same for every monitor of a desktop that one
// window covers. Pure arithmetic on pixel rectangles, y downwards as the window system has it.
#pragma once
#include <cstdint>
#include <vector>

namespace qh {

struct PixelRect {
  int32_t x = 0, y = 0, w = 0, h = 0;
  bool operator==(const PixelRect&) const = default;
};

// The largest rectangle of pictureW:pictureH that fits the area, centred; sizes rounded to
// the nearest pixel, the odd pixel of a bar going to the right or the bottom. Empty (0x0 at
// the area's origin) when the area or the picture has no size.
PixelRect LetterboxRect(const PixelRect& area, int32_t pictureW, int32_t pictureH);

// The smallest rectangle of pictureW:pictureH that covers the area, centred on it, so the
// picture is cropped instead of barred; sizes rounded to the nearest pixel, the odd pixel
// of the crop going to the right or the bottom. Empty as LetterboxRect is.
PixelRect CoverRect(const PixelRect& area, int32_t pictureW, int32_t pictureH);

// The smallest rectangle holding every monitor (empty for no monitors).
PixelRect BoundingRect(const std::vector<PixelRect>& monitors);

// For a window covering BoundingRect(monitors): the picture letterboxed to each monitor,
// in that window's coordinates, in the order of the monitors. Monitors may have any sizes
// and origins (negative ones too); overlapping (mirrored) monitors each get their own.
std::vector<PixelRect> PlacePictureOnMonitors(const std::vector<PixelRect>& monitors, int32_t pictureW,
                                              int32_t pictureH);

}  // namespace qh
