#include "tests/support/test_data.h"

#include <SDL.h>
#include <SDL_image.h>

#include <cstdio>
#include <cstring>
#include <filesystem>

namespace qh::testdata {

void PutU32(std::vector<uint8_t>& out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void PutF32(std::vector<uint8_t>& out, float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, 4);
  PutU32(out, bits);
}

std::vector<uint8_t> LevelBytes(const std::vector<LevelRecord>& records, int64_t count) {
  std::vector<uint8_t> out(64, 0);
  std::memcpy(out.data(), "test level", 10);
  PutU32(out, static_cast<uint32_t>(count == kCountOfRecords ? static_cast<int64_t>(records.size()) : count));
  for (const LevelRecord& r : records) {
    uint8_t name[32] = {};
    std::memcpy(name, r.name.data(), r.name.size() < 32 ? r.name.size() : 32);
    out.insert(out.end(), name, name + 32);
    for (float f : {r.x1, r.y1, r.x2, r.y2, r.angle, r.paramX, r.paramY}) PutF32(out, f);
    out.push_back(r.mirrored);
    PutU32(out, static_cast<uint32_t>(r.behindBackground));
  }
  return out;
}

namespace {
std::vector<uint8_t> TgaHeader(int width, int height) {
  // Image type 2 (true colour), 32 bits per texel, 8 alpha bits, top-left origin.
  return {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0,
          static_cast<uint8_t>(width), static_cast<uint8_t>(width >> 8),
          static_cast<uint8_t>(height), static_cast<uint8_t>(height >> 8), 32, 0x28};
}
}  // namespace

std::vector<uint8_t> TgaBytes(int width, int height, const PixelFunction& argb) {
  std::vector<uint8_t> out = TgaHeader(width, height);
  out.reserve(out.size() + static_cast<size_t>(width) * height * 4);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) PutU32(out, argb(x, y));  // B, G, R, A in memory
  }
  return out;
}

std::vector<uint8_t> SolidTga(int width, int height, uint32_t argb) {
  return TgaBytes(width, height, [=](int, int) { return argb; });
}

std::vector<uint8_t> TgaFromBgra(int width, int height, const std::vector<uint8_t>& bgra) {
  std::vector<uint8_t> out = TgaHeader(width, height);
  out.insert(out.end(), bgra.begin(), bgra.end());
  return out;
}

std::vector<uint8_t> EncodePicture(int width, int height, const PixelFunction& argb, bool jpeg) {
  SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, width, height, 32, SDL_PIXELFORMAT_ARGB8888);
  if (surface == nullptr) return {};
  for (int y = 0; y < height; ++y) {
    auto* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(surface->pixels) + y * surface->pitch);
    for (int x = 0; x < width; ++x) row[x] = argb(x, y);
  }
  std::vector<uint8_t> buffer(size_t{64} << 10 | static_cast<size_t>(width) * height * 8);
  SDL_RWops* rw = SDL_RWFromMem(buffer.data(), static_cast<int>(buffer.size()));
  const int result = jpeg ? IMG_SaveJPG_RW(surface, rw, 0, 95) : IMG_SavePNG_RW(surface, rw, 0);
  buffer.resize(result == 0 ? static_cast<size_t>(SDL_RWtell(rw)) : 0);
  SDL_RWclose(rw);
  SDL_FreeSurface(surface);
  return buffer;
}

std::vector<uint8_t> AlphaPlaneFile(const std::vector<uint8_t>& jpeg, const std::vector<uint8_t>& alpha) {
  std::vector<uint8_t> out = jpeg;
  out.insert(out.end(), alpha.begin(), alpha.end());
  return out;
}

FontMetrics FontMetrics::Identity(int32_t cellsPerRow, uint8_t width) {
  FontMetrics m;
  m.cellsPerRow = cellsPerRow;
  for (int c = 0; c < 256; ++c) {
    m.width[c] = width;
    m.cell[c] = static_cast<uint8_t>(c % (cellsPerRow * cellsPerRow));
  }
  return m;
}

std::vector<uint8_t> FontMetrics::Bytes() const {
  std::vector<uint8_t> bytes;
  PutU32(bytes, static_cast<uint32_t>(cellsPerRow));
  bytes.insert(bytes.end(), width, width + 256);
  bytes.insert(bytes.end(), cell, cell + 256);
  return bytes;
}

std::string StartInstallation(const std::string& root, const std::string& contentDir) {
  namespace fs = std::filesystem;
  const fs::path install = fs::path(root) / "install";
  const fs::path data = install / "Data";
  fs::create_directories(data);
  fs::create_directories(fs::path(root) / "config" / "quiet-highland");
  WriteText((install / "links.txt").string(), "link1=https://example.invalid/\n");
  const fs::path content = fs::path(contentDir) / "Data";
  for (const char* name : {"_a_font.jpg", "font.tga", "font.dat"}) {
    std::error_code ignored;
    if (fs::exists(content / name)) fs::copy_file(content / name, data / name, ignored);
  }
  return install.string();
}

bool WriteStore(const std::string& root, const std::string& install, const std::string& settingsHex,
                const std::string& settingsExHex) {
  const std::string store =
      "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\software\\quorvale\\screensavers\\Quiet Highland]\r\n"
      "\"dir\"=\"" + install + "\"\r\n"
      "\"settings\"=hex:" + settingsHex + "\r\n"
      "\"settingsex\"=hex:" + settingsExHex + "\r\n";
  return WriteText(root + "/config/quiet-highland/registry.reg", store);
}

bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

bool WriteText(const std::string& path, const std::string& text) {
  return WriteBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
}

}  // namespace qh::testdata
