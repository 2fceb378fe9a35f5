#include "tests/support/test_data.h"

#include <cstdio>
#include <cstring>

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
