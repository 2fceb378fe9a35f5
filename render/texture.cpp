#include "render/texture.h"

#include <cstddef>
#include <new>

namespace qh {

uint32_t Texture::BytesPerTexel(D3DFORMAT format) {
  switch (format) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
      return 4;
    case D3DFMT_R5G6B5:
      return 2;
    default:
      return 0;
  }
}

Texture::Texture(uint32_t width, uint32_t height, uint32_t levels, D3DFORMAT format) : format_(format) {
  if (levels == 0) levels = 1;
  uint32_t w = width;
  uint32_t h = height;
  for (uint32_t i = 0; i < levels; ++i) {
    Level level;
    level.width = w;
    level.height = h;
    AllocateBits(level);
    levels_.push_back(std::move(level));
    if (w <= 1 && h <= 1) break;
    w = w > 1 ? w / 2 : 1;
    h = h > 1 ? h / 2 : 1;
  }
}

void Texture::AllocateBits(Level& level) const {
  const size_t bytes = static_cast<size_t>(level.width) * level.height * BytesPerTexel(format_);
  level.bits.reset(bytes > 0 ? static_cast<uint8_t*>(std::calloc(bytes, 1)) : nullptr);
  if (bytes > 0 && level.bits == nullptr) throw std::bad_alloc();
}

HRESULT Texture::GetLevelDesc(uint32_t level, D3DSURFACE_DESC* desc) const {
  if (level >= levels_.size() || desc == nullptr) return D3DERR_INVALIDCALL;
  desc->Format = format_;
  desc->Width = levels_[level].width;
  desc->Height = levels_[level].height;
  return D3D_OK;
}

void Texture::DropPixels() {
  for (Level& level : levels_) level.bits.reset();
  pixelsDropped_ = true;
}

void Texture::RestorePixels() {
  if (!pixelsDropped_) return;
  for (Level& level : levels_) AllocateBits(level);
  pixelsDropped_ = false;
}

HRESULT Texture::LockRect(uint32_t level, D3DLOCKED_RECT* locked) {
  if (level >= levels_.size() || locked == nullptr) return D3DERR_INVALIDCALL;
  RestorePixels();
  locked->Pitch = static_cast<int32_t>(levels_[level].width * BytesPerTexel(format_));
  locked->pBits = levels_[level].bits.get();
  return D3D_OK;
}

HRESULT Texture::UnlockRect(uint32_t level) {
  if (level >= levels_.size()) return D3DERR_INVALIDCALL;
  ++revision_;
  return D3D_OK;
}

}  // namespace qh
