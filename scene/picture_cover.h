// Where a background picture hides everything behind it. The sky, the water and the other
// layers under the picture are drawn first and then mostly painted over: on a software
// rasteriser that is several milliseconds a frame spent on pixels nobody sees. The parts
// of the picture that are opaque without exception are measured once, when the picture
// loads, and drawn into the depth buffer before those layers, so the rasteriser skips
// their hidden pixels; what reaches the screen is the same.
#pragma once
#include <cstdint>

#include "render/sprites.h"

namespace qh {

struct TextureRecord;

// The 800 x 600 picture sits in the top-left corner of its 1024 x 1024 texture.
constexpr float kPictureRight = 0.78125f;
constexpr float kPictureBottom = 0.5859375f;

// Opaque cells of 8 x 8 texels, merged into rectangles; at most every other cell of
// every row is a rectangle of its own.
constexpr int32_t kCoverCellSide = 8;
constexpr int32_t kCoverColumns = 800 / kCoverCellSide;
constexpr int32_t kCoverRows = (600 + kCoverCellSide - 1) / kCoverCellSide;
constexpr int32_t kMaxCoverRects = (kCoverColumns + 1) / 2 * kCoverRows;
// Nearer the eye than anything under the picture, inside the projection's depth range.
constexpr float kCoverDepth = -45.0f;

struct PictureCover {
  const void* texture = nullptr;  // the picture's texture object; nullptr: a free slot
  uint32_t lastUse = 0;
  int32_t rectCount = 0;
  SpriteVertex vertices[kMaxCoverRects * 6];  // two triangles per rectangle, world units
};

// One cover for the shown picture and one for the picture a change of scene brings in.
constexpr int32_t kPictureCoverSlots = 2;
extern PictureCover PictureCovers[kPictureCoverSlots];

// Measures a freshly loaded background (nullptr, or one without pixels in memory, gives no
// cover). Replaces the slot used least recently, and forgets any older cover of the same
// texture object, which may have been freed and its memory reused.
void MeasurePictureCover(const TextureRecord* picture);
// The cover of a measured picture, or nullptr.
const PictureCover* FindPictureCover(const TextureRecord* picture);
void ResetPictureCovers();

// Draws the cover into the depth buffer only and leaves the depth test on for what follows,
// which must lie behind it; EndPictureCover switches the test off again. Does nothing
// (and returns false) without a cover or a depth buffer.
bool BeginPictureCover(const PictureCover* cover);
void EndPictureCover();

}  // namespace qh
