// The texture manager: every picture the scene and the font draw, loaded once per name
// from the data directory and shared by every holder of that name. Knows plain pictures
// (JPEG, TGA, PNG, BMP) and the alpha-plane picture: a JPEG stream followed by one raw
// alpha byte per pixel, in files named _a_*.jpg.
// A record is shared by every holder of its name: each GetTexture, CreateBlankTexture or
// LoadPicture that returns it is one hold, each ReleaseTexture lets one go, and the record
// is freed with its last holder. A catalogue entry that names a scene's background so keeps
// its picture when the scene change lets the background go.
#pragma once
#include <cstdint>
#include <memory>

#include "render/texture.h"

namespace qh {

struct TextureRecord {
  char name[128] = {};          // at most 127 characters; compared byte for byte
  int32_t width = 0;            // texels of the top level
  int32_t height = 0;
  std::unique_ptr<Texture> texture;
  uint8_t hasAlpha = 0;
  int32_t holds = 1;            // holders that have not let it go
};

constexpr int kMaxTextureRecords = 1023;

struct TextureManagerState {
  TextureRecord* records[1024] = {};
  int32_t count = 0;
};
extern TextureManagerState TextureManager;

// A look-up only: no hold is taken.
TextureRecord* FindTexture(const char* name);
// Never returns none: a picture that cannot be loaded ends the program
// ("Couldn't load texture: %s", caption "Loading error", exit code 1).
TextureRecord* GetTexture(const char* name);
// An alpha-plane picture of width x height pixels in the top-left corner of a
// power-of-two texture; none when the file is missing.
TextureRecord* LoadPicture(const char* name, int32_t width, int32_t height);
TextureRecord* CreateBlankTexture(const char* name, int32_t width, int32_t height, D3DFORMAT format);
// Ask the decoding ahead (resources/decode_ahead.h) for the file that GetTexture(name) or
// LoadPicture(name, ...) will decode, before StartDecodeAhead.
void QueueTextureAhead(const char* name);
void QueuePictureAhead(const char* name);
// Binds the record's texture to stage 0; none unbinds it.
void BindTexture(const TextureRecord* record);
// Lets one hold go, freeing the record with the last; unknown handles (and none) are ignored.
void ReleaseTexture(TextureRecord* record);
void ReleaseAllTextures();  // at exit, and between tests: every record, whoever holds it
// The power-of-two texture side for a picture side: 2..1024, strictly greater; 0 when none fits.
int32_t TextureSide(int32_t pictureSide);

}  // namespace qh
