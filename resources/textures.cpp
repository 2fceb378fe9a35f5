#include "resources/textures.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/byte_cursor.h"
#include "core/fatal.h"
#include "render/device.h"
#include "resources/decode_ahead.h"
#include "resources/file_table.h"
#include "resources/image_decode.h"

namespace qh {

TextureManagerState TextureManager;

namespace {
bool HasTgaExtension(const char* name) {
  return std::strstr(name, ".tga") != nullptr || std::strstr(name, ".TGA") != nullptr;
}

// Appends a new zero-filled record; none when the table is full or the name does not fit.
TextureRecord* AddRecord(const char* name) {
  if (TextureManager.count >= kMaxTextureRecords || std::strlen(name) > sizeof(TextureRecord::name) - 1) {
    return nullptr;
  }
  auto* record = new TextureRecord;
  std::strcpy(record->name, name);
  TextureManager.records[TextureManager.count++] = record;
  return record;
}

// The message is the program's own; why the picture could not be used goes to stderr
// beside it, for whoever reads the log.
[[noreturn]] void FatalTexture(const char* name, const char* reason) {
  std::fprintf(stderr, "Quiet Highland: %s: %s\n", name, reason);
  char text[300];
  std::snprintf(text, sizeof text, "Couldn't load texture: %s", name);
  FatalError("Loading error", text);
}

void TakeTexture(TextureRecord* record, std::unique_ptr<Texture> texture) {
  D3DSURFACE_DESC desc;
  texture->GetLevelDesc(0, &desc);
  record->width = static_cast<int32_t>(desc.Width);
  record->height = static_cast<int32_t>(desc.Height);
  record->texture = std::move(texture);
}

// The alpha-plane picture that serves a .tga request: "_a_" + the name up to its first
// full stop + ".jpg" (leaf.tga -> _a_leaf.jpg).
std::string AlphaPlaneName(const char* name) {
  std::string base(name);
  const size_t dot = base.find('.');
  if (dot != std::string::npos) base.resize(dot);
  return "_a_" + base + ".jpg";
}

// The picture in `size` bytes of the file: the one decoded ahead from exactly these bytes
// when there is one, otherwise decoded here (DecodeFailureReason then says why not).
bool DecodeFileBytes(const char* fileName, const uint8_t* bytes, size_t size, DecodedPicture* picture) {
  return TakeDecodedAhead(fileName, bytes, size, picture) || DecodePicture(bytes, size, picture);
}

// A picture whose transparency is cut short is drawn with the rest opaque; said once per
// file, since backgrounds are loaded again at every change of scene.
void ReportShortAlphaPlane(const char* fileName, size_t have, size_t need) {
  static std::vector<std::string> reported;
  if (have >= need || std::find(reported.begin(), reported.end(), fileName) != reported.end()) return;
  reported.emplace_back(fileName);
  std::fprintf(stderr, "Quiet Highland: %s holds %zu of the %zu transparency bytes of its picture; the rest is "
               "left out (drawn opaque).\n", fileName, have, need);
}

// Writes the alpha plane over the alpha bytes of level 0, texel by texel in row order;
// never more bytes than the plane has, never more texels than the level has.
void ApplyAlphaPlane(Texture* texture, const uint8_t* plane, size_t planeSize) {
  D3DLOCKED_RECT locked;
  if (Failed(texture->LockRect(0, &locked))) return;
  const size_t texels = size_t{texture->Width(0)} * texture->Height(0);
  ByteCursor in(plane, planeSize);
  auto* bits = static_cast<uint8_t*>(locked.pBits);
  for (size_t i = 0; i < texels && in.Remaining() > 0; ++i) bits[i * 4 + 3] = in.U8();
  texture->UnlockRect(0);
}

TextureRecord* LoadFromAlphaPlane(const char* name) {
  const std::string planeName = AlphaPlaneName(name);
  int32_t size = 0;
  uint8_t* bytes = LoadFile(planeName.c_str(), &size, false);
  if (bytes == nullptr) return nullptr;
  const size_t jpegSize = AlphaPlaneSplit(bytes, static_cast<size_t>(size));
  std::unique_ptr<Texture> texture;
  TextureRecord* record = nullptr;
  DecodedPicture picture;
  if (Device != nullptr && DecodeFileBytes(planeName.c_str(), bytes, jpegSize, &picture) &&
      !Failed(CreateTextureFromPicture(Device, picture, 1, D3DFMT_A8R8G8B8, &texture)) &&
      (record = AddRecord(name)) != nullptr) {
    const size_t planeSize = static_cast<size_t>(size) - jpegSize;
    ApplyAlphaPlane(texture.get(), bytes + jpegSize, planeSize);
    ReportShortAlphaPlane(planeName.c_str(), planeSize, size_t{texture->Width(0)} * texture->Height(0));
    TakeTexture(record, std::move(texture));
    record->hasAlpha = 1;
  }
  ReleaseFile(bytes);
  return record;
}
}  // namespace

int32_t TextureSide(int32_t pictureSide) {
  for (int32_t side = 2; side <= 1024; side *= 2) {
    if (side > pictureSide) return side;
  }
  return 0;
}

TextureRecord* FindTexture(const char* name) {
  for (int32_t i = 0; i < TextureManager.count; ++i) {
    if (std::strcmp(TextureManager.records[i]->name, name) == 0) return TextureManager.records[i];
  }
  return nullptr;
}

namespace {
// One more holder of a record already there.
TextureRecord* Held(TextureRecord* record) {
  ++record->holds;
  return record;
}
}  // namespace

TextureRecord* GetTexture(const char* name) {
  if (TextureRecord* found = FindTexture(name)) return Held(found);
  if (HasTgaExtension(name)) {
    if (TextureRecord* record = LoadFromAlphaPlane(name)) return record;
  }
  int32_t size = 0;
  uint8_t* bytes = LoadFile(name, &size, false);
  std::unique_ptr<Texture> texture;
  DecodedPicture picture;
  const bool decoded = bytes != nullptr && Device != nullptr &&
                       DecodeFileBytes(name, bytes, static_cast<size_t>(size), &picture);
  const bool made = decoded && !Failed(CreateTextureFromPicture(Device, picture, 2, D3DFMT_UNKNOWN, &texture));
  if (bytes != nullptr) ReleaseFile(bytes);
  if (bytes == nullptr) FatalTexture(name, "the file is missing or cannot be read");
  if (!made) {
    const char* why = decoded ? "" : DecodeFailureReason();
    FatalTexture(name, why[0] != '\0' ? why : "the graphics device could not make a texture of it");
  }
  // A picture that decodes but finds the table full is as unusable as a missing one.
  TextureRecord* record = AddRecord(name);
  if (record == nullptr) FatalTexture(name, "no room for another picture (the name is too long or the table is full)");
  TakeTexture(record, std::move(texture));
  record->hasAlpha = HasTgaExtension(name) ? 1 : 0;
  return record;
}

TextureRecord* CreateBlankTexture(const char* name, int32_t width, int32_t height, D3DFORMAT format) {
  if (TextureRecord* found = FindTexture(name)) return Held(found);
  std::unique_ptr<Texture> texture;
  TextureRecord* record = nullptr;
  if (Device != nullptr && width > 0 && height > 0 &&
      !Failed(Device->CreateTexture(static_cast<uint32_t>(width), static_cast<uint32_t>(height), 1, 0, format,
                                    D3DPOOL_MANAGED, &texture)) &&
      texture != nullptr) {
    record = AddRecord(name);
  }
  if (record == nullptr) {
    char text[300];
    std::snprintf(text, sizeof text, "Couldn't create texture: %s", name);
    ShowMessage("Init error", text);
    return nullptr;
  }
  record->texture = std::move(texture);
  record->width = width;
  record->height = height;
  return record;
}

TextureRecord* LoadPicture(const char* name, int32_t width, int32_t height) {
  int32_t size = 0;
  uint8_t* bytes = LoadFile(name, &size, false);
  if (bytes == nullptr) return nullptr;
  const size_t jpegSize = AlphaPlaneSplit(bytes, static_cast<size_t>(size));
  TextureRecord* record = CreateBlankTexture(name, TextureSide(width), TextureSide(height), D3DFMT_A8R8G8B8);
  if (record != nullptr && record->texture != nullptr) {
    Texture* texture = record->texture.get();
    DecodedPicture picture;
    if (!DecodeFileBytes(name, bytes, jpegSize, &picture) ||
        Failed(LoadSurfaceFromPicture(texture, 0, width, height, picture))) {
      // A corrupt picture is no picture: the scene draws its place without a texture. Only
      // this hold goes: a record that others already held stays theirs.
      ReleaseTexture(record);
      record = nullptr;
    } else {
      const uint8_t* plane = bytes + jpegSize;
      const size_t planeSize = static_cast<size_t>(size) - jpegSize;
      ReportShortAlphaPlane(name, planeSize, static_cast<size_t>(width) * static_cast<size_t>(height));
      D3DLOCKED_RECT locked;
      if (!Failed(texture->LockRect(0, &locked))) {
        const int32_t w = std::min<int32_t>(width, static_cast<int32_t>(texture->Width(0)));
        const int32_t h = std::min<int32_t>(height, static_cast<int32_t>(texture->Height(0)));
        for (int32_t r = 0; r < h; ++r) {
          for (int32_t c = 0; c < w; ++c) {
            const size_t at = static_cast<size_t>(r) * width + c;
            if (at >= planeSize) break;
            static_cast<uint8_t*>(locked.pBits)[static_cast<size_t>(r) * locked.Pitch + c * 4 + 3] = plane[at];
          }
        }
        texture->UnlockRect(0);
      }
    }
  }
  ReleaseFile(bytes);
  return record;
}

void QueueTextureAhead(const char* name) {
  if (FindTexture(name) != nullptr) return;
  DecodeAheadRequest request;
  if (HasTgaExtension(name)) {
    request.file = AlphaPlaneName(name);
    request.alphaPlane = true;
    request.otherwise = name;
  } else {
    request.file = name;
  }
  QueueDecodeAhead(request);
}

void QueuePictureAhead(const char* name) {
  DecodeAheadRequest request;
  request.file = name;
  request.alphaPlane = true;
  QueueDecodeAhead(request);
}

void BindTexture(const TextureRecord* record) {
  Device->SetTexture(0, record != nullptr ? record->texture.get() : nullptr);
}

void ReleaseTexture(TextureRecord* record) {
  if (record == nullptr) return;
  for (int32_t i = 0; i < TextureManager.count; ++i) {
    if (TextureManager.records[i] != record) continue;
    if (record->holds > 1) {
      --record->holds;
      return;
    }
    if (Device != nullptr && record->texture != nullptr) Device->ForgetTexture(record->texture.get());
    delete record;
    for (int32_t j = i; j + 1 < TextureManager.count; ++j) TextureManager.records[j] = TextureManager.records[j + 1];
    TextureManager.records[--TextureManager.count] = nullptr;
    return;
  }
}

void ReleaseAllTextures() {
  while (TextureManager.count > 0) {
    TextureRecord* last = TextureManager.records[TextureManager.count - 1];
    last->holds = 1;
    ReleaseTexture(last);
  }
}

}  // namespace qh
