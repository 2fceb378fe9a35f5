// A texture as plain memory, shared by every device implementation.
// Pixels live in main memory in the texture's format (A8R8G8B8 / X8R8G8B8: 4 bytes
// per texel, memory order blue, green, red, alpha); a device that draws on a GPU
// uploads a level again whenever its revision has changed since the last upload.
#pragma once
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "render/d3d_types.h"

namespace qh {

struct D3DLOCKED_RECT {
  int32_t Pitch = 0;     // bytes from one row to the next
  void* pBits = nullptr;
};

struct D3DSURFACE_DESC {
  D3DFORMAT Format = D3DFMT_UNKNOWN;
  uint32_t Width = 0;
  uint32_t Height = 0;
};

class Texture {
 public:
  // Levels beyond what the sizes allow are not made (a 1x1 level ends the chain).
  Texture(uint32_t width, uint32_t height, uint32_t levels, D3DFORMAT format);

  uint32_t LevelCount() const { return static_cast<uint32_t>(levels_.size()); }
  D3DFORMAT Format() const { return format_; }
  HRESULT GetLevelDesc(uint32_t level, D3DSURFACE_DESC* desc) const;
  // Locks a whole level for reading and writing. Nothing is copied; the
  // revision grows at UnlockRect so devices know to upload again. After DropPixels the
  // levels first come back, every byte zero.
  HRESULT LockRect(uint32_t level, D3DLOCKED_RECT* locked);
  HRESULT UnlockRect(uint32_t level);

  // Direct read access for devices and tests (level must exist); none after DropPixels
  // until RestorePixels or LockRect.
  const uint8_t* Bits(uint32_t level) const { return levels_[level].bits.get(); }

  // Gives the memory of every level back, for a device that keeps its own copy once it has
  // uploaded them. Sizes, format and revision stay. What was in the levels is gone: should a
  // device need them again (a new device, or a LockRect to write), RestorePixels brings them
  // back zero-filled (transparent black; black for X8R8G8B8), never the memory of others.
  void DropPixels();
  bool PixelsDropped() const { return pixelsDropped_; }
  void RestorePixels();
  uint32_t Width(uint32_t level) const { return levels_[level].width; }
  uint32_t Height(uint32_t level) const { return levels_[level].height; }
  uint32_t Revision() const { return revision_; }

  // Bytes per texel of a colour format this texture type can hold (0 when unsupported).
  static uint32_t BytesPerTexel(D3DFORMAT format);

  // A device may keep its own object for this texture here (e.g. a GL name). The
  // generation tells which device made it, so a handle never outlives its context.
  uint32_t deviceHandle = 0;
  uint32_t deviceGeneration = 0;
  uint32_t uploadedRevision = 0;

 private:
  struct FreeBits {
    void operator()(uint8_t* bits) const { std::free(bits); }
  };
  // Zeroed by calloc, which leaves a large block's fresh pages untouched: the part of a level
  // nobody writes (a picture's padding to a power of two) costs no memory of its own.
  struct Level {
    uint32_t width = 0;
    uint32_t height = 0;
    std::unique_ptr<uint8_t, FreeBits> bits;
  };
  void AllocateBits(Level& level) const;
  std::vector<Level> levels_;
  D3DFORMAT format_;
  uint32_t revision_ = 1;
  bool pixelsDropped_ = false;
};

}  // namespace qh
