#include "resources/image_decode.h"

#include <SDL.h>
#include <SDL_image.h>
#include <jpeglib.h>
#include <jerror.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/byte_cursor.h"

namespace qh {

namespace {
thread_local std::string failureReason;

bool Refuse(const char* reason) {
  failureReason = reason;
  return false;
}
// Whether a TGA file holds every pixel its header promises. SDL_image fills the pixels of a
// cut-off file instead of failing, and a picture with a missing part is no picture.
bool TgaDataComplete(const uint8_t* bytes, size_t size) {
  ByteCursor header(bytes, size);
  const size_t idLength = header.U8();
  const uint8_t mapType = header.U8();
  const uint8_t imageType = header.U8();
  header.Skip(2);  // first map entry
  const size_t mapLength = mapType != 0 ? header.U16() : (header.Skip(2), 0);
  const size_t mapEntryBytes = (size_t{header.U8()} + 7) / 8;
  header.Skip(4);  // origin
  const size_t width = header.U16();
  const size_t height = header.U16();
  const size_t pixelBytes = (size_t{header.U8()} + 7) / 8;
  header.Skip(1);  // descriptor
  if (!header.Ok()) return false;
  const size_t pixels = width * height;
  size_t at = 18 + idLength + mapLength * mapEntryBytes;
  switch (imageType) {
    case 1:
    case 2:
    case 3:  // uncompressed: colour-mapped, true-colour, grey
      return at <= size && pixels * pixelBytes <= size - at;
    case 9:
    case 10:
    case 11: {  // run-length packets: a header byte, then one pixel (a run) or 1..128 pixels
      for (size_t done = 0; done < pixels;) {
        if (at >= size) return false;
        const uint8_t header = bytes[at++];
        const size_t count = size_t{header & 0x7Fu} + 1;
        const size_t packetBytes = (header & 0x80u) ? pixelBytes : count * pixelBytes;
        if (packetBytes > size - at) return false;
        at += packetBytes;
        done += count;
      }
      return true;
    }
    default:
      return false;
  }
}

// JPEG through libjpeg directly, so that a cut-off stream is refused: libjpeg fills the
// missing rows with grey and only warns, and a picture with a missing part is no picture.
// A stream that lacks only its end marker still decodes (every row arrived).
struct JpegErrors {
  jpeg_error_mgr manager;
  std::jmp_buf escape;
  bool dataMissing = false;
};

void JpegFail(j_common_ptr info) { std::longjmp(reinterpret_cast<JpegErrors*>(info->err)->escape, 1); }

void JpegMessage(j_common_ptr info, int level) {
  auto* errors = reinterpret_cast<JpegErrors*>(info->err);
  // Level -1 is a warning; "premature end of data segment" means rows were made up.
  if (level == -1 && errors->manager.msg_code == JWRN_HIT_MARKER) errors->dataMissing = true;
}

bool IsJpeg(const uint8_t* bytes, size_t size) { return size >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF; }
bool IsPng(const uint8_t* bytes, size_t size) { return size >= 8 && std::memcmp(bytes, "\x89PNG\r\n\x1a\n", 8) == 0; }
bool IsBmp(const uint8_t* bytes, size_t size) { return size >= 2 && bytes[0] == 'B' && bytes[1] == 'M'; }

// The row buffer belongs to the caller: nothing with a destructor lives in the frame that
// longjmp returns to.
bool DecodeJpeg(const uint8_t* bytes, size_t size, DecodedPicture* out, std::vector<uint8_t>& row) {
  jpeg_decompress_struct info;
  JpegErrors errors;
  info.err = jpeg_std_error(&errors.manager);
  errors.manager.error_exit = JpegFail;
  errors.manager.emit_message = JpegMessage;
  if (setjmp(errors.escape) != 0) {
    jpeg_destroy_decompress(&info);
    return Refuse("the JPEG data is damaged");
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, bytes, static_cast<unsigned long>(size));
  jpeg_read_header(&info, TRUE);
  if (info.image_width == 0 || info.image_height == 0 || info.image_width > kMaxPictureSide ||
      info.image_height > kMaxPictureSide) {
    jpeg_destroy_decompress(&info);
    return Refuse("the picture's sides are 0 or above 4096 pixels");
  }
  info.out_color_space = JCS_RGB;
  jpeg_start_decompress(&info);
  const int32_t width = static_cast<int32_t>(info.output_width);
  const int32_t height = static_cast<int32_t>(info.output_height);
  out->pixels.assign(static_cast<size_t>(width) * height, 0xFF000000u);
  row.resize(static_cast<size_t>(width) * info.output_components);
  while (info.output_scanline < info.output_height && !errors.dataMissing) {
    JSAMPROW rows[1] = {row.data()};
    const int32_t y = static_cast<int32_t>(info.output_scanline);
    if (jpeg_read_scanlines(&info, rows, 1) != 1) break;
    uint32_t* dest = &out->pixels[static_cast<size_t>(y) * width];
    for (int32_t x = 0; x < width; ++x) {
      const uint8_t* p = &row[static_cast<size_t>(x) * info.output_components];
      const uint32_t r = p[0], g = info.output_components >= 3 ? p[1] : p[0], b = info.output_components >= 3 ? p[2] : p[0];
      dest[x] = 0xFF000000u | (r << 16) | (g << 8) | b;
    }
  }
  const bool complete = !errors.dataMissing && info.output_scanline == info.output_height;
  if (complete) jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  if (!complete) return Refuse("the JPEG data ends before the picture's last row");
  out->width = width;
  out->height = height;
  out->hasAlpha = false;
  return true;
}

// The sides a PNG, BMP or TGA header promises, read before anything is decoded so a
// header claiming a huge picture is refused without trying to allocate it.
bool HeaderSidesAcceptable(const uint8_t* bytes, size_t size) {
  auto sideOk = [](int64_t side) { return side > 0 && side <= kMaxPictureSide; };
  // PNG stores its sides big-endian: the cursor's little-endian field, byte-swapped.
  auto be32 = [](uint32_t le) { return int64_t{__builtin_bswap32(le)}; };
  ByteCursor header(bytes, size);
  if (size >= 24 && IsPng(bytes, size)) {
    header.Seek(16);
    const int64_t width = be32(header.U32());
    return sideOk(width) && sideOk(be32(header.U32()));
  }
  if (size >= 26 && IsBmp(bytes, size)) {
    header.Seek(18);
    const int64_t width = header.I32();
    const int64_t height = header.I32();
    return sideOk(width) && sideOk(height < 0 ? -height : height);
  }
  if (size >= 18 && !IsJpeg(bytes, size)) {
    // Anything else may be a TGA, which has no signature: when its header sides are out of
    // range, SDL_image must not be asked to try.
    const uint8_t type = bytes[2];
    if (type == 1 || type == 2 || type == 3 || type == 9 || type == 10 || type == 11) {
      header.Seek(12);
      const int64_t width = header.U16();
      return sideOk(width) && sideOk(header.U16());
    }
  }
  return true;
}

// Only the formats the program reads reach SDL_image, each through its own loader: left to
// guess, SDL_image also tries a dozen others whose readers trust their headers (a 20-byte
// file that calls itself a GIMP picture asks for petabytes).
SDL_Surface* LoadSurface(const uint8_t* bytes, size_t size) {
  if (bytes == nullptr || size == 0 || size > 0x7FFFFFFF) return nullptr;
  SDL_Surface* (*load)(SDL_RWops*) = nullptr;
  if (IsPng(bytes, size)) {
    load = IMG_LoadPNG_RW;
  } else if (IsBmp(bytes, size)) {
    load = IMG_LoadBMP_RW;
  } else if (TgaDataComplete(bytes, size)) {
    load = IMG_LoadTGA_RW;  // TGA files have no signature to recognise them by
  } else {
    SDL_SetError("no PNG or BMP header, and not a whole TGA picture");
    return nullptr;
  }
  SDL_RWops* rw = SDL_RWFromConstMem(bytes, static_cast<int>(size));
  if (rw == nullptr) return nullptr;
  SDL_Surface* surface = load(rw);
  SDL_RWclose(rw);
  return surface;
}
}  // namespace

const char* DecodeFailureReason() { return failureReason.c_str(); }

bool IsJpegStream(const uint8_t* bytes, size_t size) { return bytes != nullptr && IsJpeg(bytes, size); }

bool DecodePicture(const uint8_t* bytes, size_t size, DecodedPicture* out) {
  failureReason.clear();
  if (bytes == nullptr || size == 0) return Refuse("the file is empty");
  if (IsJpeg(bytes, size)) {
    std::vector<uint8_t> row;
    return DecodeJpeg(bytes, size, out, row);
  }
  if (!HeaderSidesAcceptable(bytes, size)) return Refuse("the picture's sides are 0 or above 4096 pixels");
  SDL_Surface* surface = LoadSurface(bytes, size);
  if (surface == nullptr) {
    failureReason = std::string("not a picture this program reads, or a damaged one (") + SDL_GetError() + ")";
    return false;
  }
  bool ok = surface->w > 0 && surface->h > 0 && surface->w <= kMaxPictureSide && surface->h <= kMaxPictureSide;
  SDL_Surface* argb = nullptr;
  if (ok) {
    out->hasAlpha = surface->format->Amask != 0 || SDL_ISPIXELFORMAT_ALPHA(surface->format->format) ||
                    (surface->format->palette != nullptr && SDL_HasColorKey(surface));
    argb = SDL_ConvertSurfaceFormat(surface, SDL_PIXELFORMAT_ARGB8888, 0);
    ok = argb != nullptr;
  }
  if (ok) {
    out->width = argb->w;
    out->height = argb->h;
    out->pixels.resize(static_cast<size_t>(argb->w) * argb->h);
    SDL_LockSurface(argb);
    for (int y = 0; y < argb->h; ++y) {
      std::memcpy(&out->pixels[static_cast<size_t>(y) * argb->w], static_cast<const uint8_t*>(argb->pixels) + y * argb->pitch,
                  static_cast<size_t>(argb->w) * 4);
    }
    SDL_UnlockSurface(argb);
    if (!out->hasAlpha) {
      for (uint32_t& p : out->pixels) p |= 0xFF000000u;
    }
  }
  if (argb != nullptr) SDL_FreeSurface(argb);
  SDL_FreeSurface(surface);
  if (!ok) Refuse("the picture's sides are 0 or above 4096 pixels, or it could not be converted");
  return ok;
}

namespace {
void StoreTexel(uint8_t* at, uint32_t argb) {
  at[0] = static_cast<uint8_t>(argb);
  at[1] = static_cast<uint8_t>(argb >> 8);
  at[2] = static_cast<uint8_t>(argb >> 16);
  at[3] = static_cast<uint8_t>(argb >> 24);
}

// Level 1 as the average of 2x2 blocks of level 0 (edges of odd sides repeat).
void BoxFilterDown(Texture* texture, uint32_t level) {
  D3DLOCKED_RECT src, dst;
  if (Failed(texture->LockRect(level - 1, &src)) || Failed(texture->LockRect(level, &dst))) return;
  const uint32_t sw = texture->Width(level - 1), sh = texture->Height(level - 1);
  const uint32_t dw = texture->Width(level), dh = texture->Height(level);
  for (uint32_t y = 0; y < dh; ++y) {
    for (uint32_t x = 0; x < dw; ++x) {
      uint32_t sum[4] = {};
      for (uint32_t dy = 0; dy < 2; ++dy) {
        for (uint32_t dx = 0; dx < 2; ++dx) {
          const uint32_t sx = std::min(2 * x + dx, sw - 1), sy = std::min(2 * y + dy, sh - 1);
          const uint8_t* p = static_cast<const uint8_t*>(src.pBits) + sy * src.Pitch + sx * 4;
          for (int c = 0; c < 4; ++c) sum[c] += p[c];
        }
      }
      uint8_t* q = static_cast<uint8_t*>(dst.pBits) + y * dst.Pitch + x * 4;
      for (int c = 0; c < 4; ++c) q[c] = static_cast<uint8_t>((sum[c] + 2) / 4);
    }
  }
  texture->UnlockRect(level);
  texture->UnlockRect(level - 1);
}
}  // namespace

HRESULT CreateTextureFromFileInMemory(GraphicsDevice* device, const uint8_t* bytes, size_t size, uint32_t levels,
                                      D3DFORMAT format, std::unique_ptr<Texture>* out) {
  out->reset();
  if (device == nullptr) return D3DERR_INVALIDCALL;
  DecodedPicture picture;
  if (!DecodePicture(bytes, size, &picture)) return D3DERR_INVALIDCALL;
  return CreateTextureFromPicture(device, picture, levels, format, out);
}

HRESULT CreateTextureFromPicture(GraphicsDevice* device, const DecodedPicture& picture, uint32_t levels,
                                 D3DFORMAT format, std::unique_ptr<Texture>* out) {
  out->reset();
  if (device == nullptr || picture.width <= 0 || picture.height <= 0 ||
      picture.pixels.size() != static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height)) {
    return D3DERR_INVALIDCALL;
  }
  if (format == D3DFMT_UNKNOWN) format = picture.hasAlpha ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
  if (format != D3DFMT_A8R8G8B8 && format != D3DFMT_X8R8G8B8) return D3DERR_INVALIDCALL;
  std::unique_ptr<Texture> texture;
  HRESULT hr = device->CreateTexture(static_cast<uint32_t>(picture.width), static_cast<uint32_t>(picture.height),
                                     levels, 0, format, D3DPOOL_MANAGED, &texture);
  if (Failed(hr) || texture == nullptr) return Failed(hr) ? hr : D3DERR_INVALIDCALL;
  D3DLOCKED_RECT locked;
  if (Failed(texture->LockRect(0, &locked))) return D3DERR_INVALIDCALL;
  for (int32_t y = 0; y < picture.height; ++y) {
    uint8_t* row = static_cast<uint8_t*>(locked.pBits) + static_cast<size_t>(y) * locked.Pitch;
    for (int32_t x = 0; x < picture.width; ++x) StoreTexel(row + x * 4, picture.pixels[static_cast<size_t>(y) * picture.width + x]);
  }
  texture->UnlockRect(0);
  for (uint32_t level = 1; level < texture->LevelCount(); ++level) BoxFilterDown(texture.get(), level);
  *out = std::move(texture);
  return D3D_OK;
}

HRESULT LoadSurfaceFromFileInMemory(Texture* texture, uint32_t level, int32_t width, int32_t height,
                                    const uint8_t* bytes, size_t size) {
  if (texture == nullptr || level >= texture->LevelCount() || Texture::BytesPerTexel(texture->Format()) != 4 ||
      width <= 0 || height <= 0) {
    return D3DERR_INVALIDCALL;
  }
  DecodedPicture picture;
  if (!DecodePicture(bytes, size, &picture)) return D3DERR_INVALIDCALL;
  return LoadSurfaceFromPicture(texture, level, width, height, picture);
}

HRESULT LoadSurfaceFromPicture(Texture* texture, uint32_t level, int32_t width, int32_t height,
                               const DecodedPicture& picture) {
  if (texture == nullptr || level >= texture->LevelCount() || Texture::BytesPerTexel(texture->Format()) != 4 ||
      width <= 0 || height <= 0 || picture.width <= 0 || picture.height <= 0 ||
      picture.pixels.size() != static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height)) {
    return D3DERR_INVALIDCALL;
  }
  D3DLOCKED_RECT locked;
  if (Failed(texture->LockRect(level, &locked))) return D3DERR_INVALIDCALL;
  const int32_t w = std::min<int32_t>(width, static_cast<int32_t>(texture->Width(level)));
  const int32_t h = std::min<int32_t>(height, static_cast<int32_t>(texture->Height(level)));
  for (int32_t y = 0; y < h; ++y) {
    // Nearest source pixel: the whole picture fitted into the rectangle without filtering.
    const int32_t sy = static_cast<int32_t>(static_cast<int64_t>(y) * picture.height / height);
    uint8_t* row = static_cast<uint8_t*>(locked.pBits) + static_cast<size_t>(y) * locked.Pitch;
    for (int32_t x = 0; x < w; ++x) {
      const int32_t sx = static_cast<int32_t>(static_cast<int64_t>(x) * picture.width / width);
      uint32_t argb = picture.pixels[static_cast<size_t>(sy) * picture.width + sx];
      if (texture->Format() == D3DFMT_X8R8G8B8) argb |= 0xFF000000u;
      StoreTexel(row + x * 4, argb);
    }
  }
  texture->UnlockRect(level);
  return D3D_OK;
}

size_t AlphaPlaneSplit(const uint8_t* bytes, size_t size) {
  for (size_t i = 0; i + 1 < size; ++i) {
    if (bytes[i] == 0xFF && bytes[i + 1] == 0xD9) return i + 2;
  }
  return size;
}

}  // namespace qh
