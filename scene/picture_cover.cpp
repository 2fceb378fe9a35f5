#include "scene/picture_cover.h"

#include "render/device.h"
#include "render/device_setup.h"
#include "render/states.h"
#include "render/texture.h"
#include "resources/textures.h"

namespace qh {

PictureCover PictureCovers[kPictureCoverSlots];

namespace {
uint32_t coverClock = 0;

// A cell counts as opaque only when the texels around it are opaque too: filtering and the
// inset of the picture's texture window reach up to two texels past a cell's edge.
constexpr int32_t kMargin = 2;
constexpr int32_t kPictureWidth = 800;
constexpr int32_t kPictureHeight = 600;

struct CellRect {
  int32_t left, top, right, bottom;  // cells; right and bottom exclusive
};

int32_t Wrap(int32_t i, int32_t size) { return ((i % size) + size) % size; }

// Which cells of the picture are opaque, margin included. Texels outside the picture are
// read where the texture's wrap addressing would read them.
bool MeasureCells(const Texture& texture, bool opaque[kCoverRows][kCoverColumns]) {
  if (texture.LevelCount() == 0) return false;
  const int32_t width = static_cast<int32_t>(texture.Width(0));
  const int32_t height = static_cast<int32_t>(texture.Height(0));
  if (width < kPictureWidth + kMargin || height < kPictureHeight + kMargin) return false;
  const uint8_t* bits = texture.Bits(0);
  if (bits == nullptr) return false;
  const bool hasAlpha = texture.Format() == D3DFMT_A8R8G8B8;

  // For each texel row the margin reaches, whether each cell's span of it (margin
  // included) is opaque; then a cell is opaque when every row of its span is.
  constexpr int32_t kRowCount = kPictureHeight + 2 * kMargin;
  static bool rowClear[kRowCount][kCoverColumns];
  static int32_t transparentBefore[kPictureWidth + 2 * kMargin + 1];
  for (int32_t r = 0; r < kRowCount; ++r) {
    const uint8_t* row = bits + static_cast<size_t>(Wrap(r - kMargin, height)) * static_cast<size_t>(width) * 4;
    transparentBefore[0] = 0;
    for (int32_t i = 0; i < kPictureWidth + 2 * kMargin; ++i) {
      const bool transparent = hasAlpha && row[static_cast<size_t>(Wrap(i - kMargin, width)) * 4 + 3] != 0xFF;
      transparentBefore[i + 1] = transparentBefore[i] + (transparent ? 1 : 0);
    }
    for (int32_t c = 0; c < kCoverColumns; ++c) {
      const int32_t from = c * kCoverCellSide;  // in the shifted row: texel from - kMargin
      const int32_t to = (c + 1) * kCoverCellSide + 2 * kMargin;
      rowClear[r][c] = transparentBefore[to] == transparentBefore[from];
    }
  }
  for (int32_t cr = 0; cr < kCoverRows; ++cr) {
    const int32_t top = cr * kCoverCellSide;
    const int32_t bottom = (cr + 1) * kCoverCellSide < kPictureHeight ? (cr + 1) * kCoverCellSide : kPictureHeight;
    for (int32_t c = 0; c < kCoverColumns; ++c) {
      bool clear = true;
      for (int32_t r = top; r < bottom + 2 * kMargin && clear; ++r) clear = rowClear[r][c];
      opaque[cr][c] = clear;
    }
  }
  return true;
}

// Runs of opaque cells along each row, a run merged into the one above it when both span
// the same columns.
int32_t MergeCells(const bool opaque[kCoverRows][kCoverColumns], CellRect* rects) {
  int32_t count = 0;
  for (int32_t cr = 0; cr < kCoverRows; ++cr) {
    for (int32_t c = 0; c < kCoverColumns;) {
      if (!opaque[cr][c]) {
        ++c;
        continue;
      }
      const int32_t left = c;
      while (c < kCoverColumns && opaque[cr][c]) ++c;
      bool merged = false;
      for (int32_t i = 0; i < count && !merged; ++i) {
        if (rects[i].bottom == cr && rects[i].left == left && rects[i].right == c) {
          rects[i].bottom = cr + 1;
          merged = true;
        }
      }
      if (!merged && count < kMaxCoverRects) rects[count++] = {left, cr, c, cr + 1};
    }
  }
  return count;
}

// Where a texel edge of the picture lands in world units: the inverse of the mapping the
// picture's own screen rectangle uses, inset included, so cover and picture line up under
// any view.
float WorldX(int32_t texel) {
  const float u = static_cast<float>(texel) / 1024.0f;
  const float left = kScreenRectInset;
  const float right = kPictureRight - kScreenRectInset;
  return (u - left) / (right - left) * 800.0f - 400.0f;
}

float WorldY(int32_t texel) {
  const float v = static_cast<float>(texel) / 1024.0f;
  const float top = kScreenRectInset;
  const float bottom = kPictureBottom - kScreenRectInset;
  return -((v - top) / (bottom - top) * 600.0f - 300.0f);
}

void BuildVertices(PictureCover& cover, const CellRect* rects, int32_t count) {
  for (int32_t i = 0; i < count; ++i) {
    const CellRect& r = rects[i];
    const float xl = WorldX(r.left * kCoverCellSide);
    const float xr = WorldX(r.right * kCoverCellSide);
    const float yt = WorldY(r.top * kCoverCellSide);
    const int32_t bottomTexel = r.bottom * kCoverCellSide < kPictureHeight ? r.bottom * kCoverCellSide : kPictureHeight;
    const float yb = WorldY(bottomTexel);
    SpriteVertex* v = &cover.vertices[i * 6];
    const D3DCOLOR white = 0xFFFFFFFFu;
    v[0] = {xl, yt, kCoverDepth, white, 0.0f, 0.0f};
    v[1] = {xr, yt, kCoverDepth, white, 0.0f, 0.0f};
    v[2] = {xr, yb, kCoverDepth, white, 0.0f, 0.0f};
    v[3] = v[0];
    v[4] = v[2];
    v[5] = {xl, yb, kCoverDepth, white, 0.0f, 0.0f};
  }
  cover.rectCount = count;
}
}  // namespace

void ResetPictureCovers() {
  for (PictureCover& cover : PictureCovers) {
    cover.texture = nullptr;
    cover.lastUse = 0;
    cover.rectCount = 0;
  }
  coverClock = 0;
}

void MeasurePictureCover(const TextureRecord* picture) {
  const Texture* texture = picture != nullptr ? picture->texture.get() : nullptr;
  if (texture == nullptr) return;
  PictureCover* slot = &PictureCovers[0];
  for (PictureCover& cover : PictureCovers) {
    if (cover.texture == texture) cover.texture = nullptr;
  }
  for (PictureCover& cover : PictureCovers) {
    if (cover.texture == nullptr) {
      slot = &cover;
      break;
    }
    if (cover.lastUse < slot->lastUse) slot = &cover;
  }
  static bool opaque[kCoverRows][kCoverColumns];
  static CellRect rects[kMaxCoverRects];
  slot->texture = nullptr;
  slot->rectCount = 0;
  if (!MeasureCells(*texture, opaque)) return;
  BuildVertices(*slot, rects, MergeCells(opaque, rects));
  slot->texture = texture;
  slot->lastUse = ++coverClock;
}

const PictureCover* FindPictureCover(const TextureRecord* picture) {
  const Texture* texture = picture != nullptr ? picture->texture.get() : nullptr;
  if (texture == nullptr) return nullptr;
  for (PictureCover& cover : PictureCovers) {
    if (cover.texture == texture) {
      cover.lastUse = ++coverClock;
      return &cover;
    }
  }
  return nullptr;
}

bool BeginPictureCover(const PictureCover* cover) {
  if (cover == nullptr || cover->rectCount == 0) return false;
  if (PresentParameters.AutoDepthStencilFormat == D3DFMT_UNKNOWN) return false;
  Device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
  EnableFeature(DepthTest);
  SetDeviceRenderState(D3DRS_ZWRITEENABLE, 1);
  SetDeviceRenderState(D3DRS_COLORWRITEENABLE, 0);
  Device->SetTexture(0, nullptr);
  DrawUserPrimitives(cover->vertices, static_cast<uint32_t>(cover->rectCount) * 2, kSpriteFvf, D3DPT_TRIANGLELIST);
  SetDeviceRenderState(D3DRS_COLORWRITEENABLE, 0xF);
  SetDeviceRenderState(D3DRS_ZWRITEENABLE, 0);
  return true;
}

void EndPictureCover() { DisableFeature(DepthTest); }

}  // namespace qh
