#include "render/letterbox.h"

#include <algorithm>

namespace qh {

PixelRect LetterboxRect(const PixelRect& area, int32_t pictureW, int32_t pictureH) {
  if (area.w <= 0 || area.h <= 0 || pictureW <= 0 || pictureH <= 0) return PixelRect{area.x, area.y, 0, 0};
  const int64_t aw = area.w, ah = area.h, pw = pictureW, ph = pictureH;
  int64_t w = aw, h = ah;
  if (aw * ph > ah * pw) {
    w = (ah * pw + ph / 2) / ph;  // wider than the picture: bars left and right
  } else {
    h = (aw * ph + pw / 2) / pw;  // taller: bars above and below
  }
  return PixelRect{area.x + static_cast<int32_t>((aw - w) / 2), area.y + static_cast<int32_t>((ah - h) / 2),
                   static_cast<int32_t>(w), static_cast<int32_t>(h)};
}

PixelRect CoverRect(const PixelRect& area, int32_t pictureW, int32_t pictureH) {
  if (area.w <= 0 || area.h <= 0 || pictureW <= 0 || pictureH <= 0) return PixelRect{area.x, area.y, 0, 0};
  const int64_t aw = area.w, ah = area.h, pw = pictureW, ph = pictureH;
  int64_t w = aw, h = ah;
  if (aw * ph > ah * pw) {
    h = (aw * ph + pw / 2) / pw;  // wider than the picture: its top and bottom are cut
  } else {
    w = (ah * pw + ph / 2) / ph;  // taller: its sides are cut
  }
  // Division toward zero leaves the odd pixel of the crop at the right or the bottom.
  return PixelRect{area.x + static_cast<int32_t>((aw - w) / 2), area.y + static_cast<int32_t>((ah - h) / 2),
                   static_cast<int32_t>(w), static_cast<int32_t>(h)};
}

PixelRect BoundingRect(const std::vector<PixelRect>& monitors) {
  if (monitors.empty()) return {};
  int64_t left = monitors[0].x, top = monitors[0].y;
  int64_t right = left + monitors[0].w, bottom = top + monitors[0].h;
  for (const PixelRect& m : monitors) {
    left = std::min<int64_t>(left, m.x);
    top = std::min<int64_t>(top, m.y);
    right = std::max<int64_t>(right, int64_t{m.x} + m.w);
    bottom = std::max<int64_t>(bottom, int64_t{m.y} + m.h);
  }
  return PixelRect{static_cast<int32_t>(left), static_cast<int32_t>(top), static_cast<int32_t>(right - left),
                   static_cast<int32_t>(bottom - top)};
}

std::vector<PixelRect> PlacePictureOnMonitors(const std::vector<PixelRect>& monitors, int32_t pictureW,
                                              int32_t pictureH) {
  const PixelRect desktop = BoundingRect(monitors);
  std::vector<PixelRect> places;
  places.reserve(monitors.size());
  for (const PixelRect& m : monitors) {
    const PixelRect local{m.x - desktop.x, m.y - desktop.y, m.w, m.h};
    places.push_back(LetterboxRect(local, pictureW, pictureH));
  }
  return places;
}

}  // namespace qh
