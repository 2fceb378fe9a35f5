// Picture decoding for the texture manager: JPEG, TGA, PNG and BMP files held in memory,
// decoded with SDL2_image and converted to the texture's 32-bit format ourselves.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "render/device.h"

namespace qh {

constexpr int32_t kMaxPictureSide = 4096;

struct DecodedPicture {
  int32_t width = 0;
  int32_t height = 0;
  bool hasAlpha = false;          // the file carries an alpha channel of its own
  std::vector<uint32_t> pixels;   // 0xAARRGGBB, rows top to bottom
};

// False for corrupt, cut-off, empty or oversized pictures (a side of 0 or above 4096);
// DecodeFailureReason() then says which, in words for the user.
bool DecodePicture(const uint8_t* bytes, size_t size, DecodedPicture* out);
// Why the last DecodePicture of this thread failed ("" after a success).
const char* DecodeFailureReason();
// Whether the bytes begin a JPEG stream. DecodePicture decodes such a stream with libjpeg
// alone, never through SDL, so another thread may decode it (DecodeFailureReason is kept
// per thread).
bool IsJpegStream(const uint8_t* bytes, size_t size);

// A new texture of the picture's own size with `levels` mip levels (level 1 a box-filtered
// half). D3DFMT_UNKNOWN takes the format from the file: A8R8G8B8 when it has alpha,
// X8R8G8B8 otherwise.
HRESULT CreateTextureFromFileInMemory(GraphicsDevice* device, const uint8_t* bytes, size_t size, uint32_t levels,
                                      D3DFORMAT format, std::unique_ptr<Texture>* out);

// The same from a picture already decoded.
HRESULT CreateTextureFromPicture(GraphicsDevice* device, const DecodedPicture& picture, uint32_t levels,
                                 D3DFORMAT format, std::unique_ptr<Texture>* out);

// Decodes into the rectangle (0, 0, width, height) of a level of an existing 32-bit
// texture, fitting the whole picture into it without filtering; nothing outside the
// rectangle or the level is written.
HRESULT LoadSurfaceFromFileInMemory(Texture* texture, uint32_t level, int32_t width, int32_t height,
                                    const uint8_t* bytes, size_t size);
// The same from a picture already decoded.
HRESULT LoadSurfaceFromPicture(Texture* texture, uint32_t level, int32_t width, int32_t height,
                               const DecodedPicture& picture);

// Where the JPEG stream of an alpha-plane picture ends: the length up to and including the
// first FF D9 pair, or the whole size when there is none.
size_t AlphaPlaneSplit(const uint8_t* bytes, size_t size);

}  // namespace qh
