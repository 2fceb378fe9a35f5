// The files tests make: level records, TGA pictures, and writing bytes to disk. Plain
// writers with no engine behind them, so the golden-picture programs use them too.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace qh::testdata {

void PutU32(std::vector<uint8_t>& out, uint32_t value);  // little-endian
void PutF32(std::vector<uint8_t>& out, float value);

struct LevelRecord {
  std::string name;  // up to 32 bytes are written; exactly 32 leaves no terminator
  float x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  float angle = 0;
  float paramX = 0, paramY = 0;
  uint8_t mirrored = 0;
  int32_t behindBackground = 0;
};

// A level file: 64-byte header, the count (the number of records unless given), records.
constexpr int64_t kCountOfRecords = INT64_MIN;
std::vector<uint8_t> LevelBytes(const std::vector<LevelRecord>& records, int64_t count = kCountOfRecords);

// Uncompressed 32-bit TGA pictures, top row first.
using PixelFunction = std::function<uint32_t(int x, int y)>;  // 0xAARRGGBB
std::vector<uint8_t> TgaBytes(int width, int height, const PixelFunction& argb);
std::vector<uint8_t> SolidTga(int width, int height, uint32_t argb);
// From texels already in memory as blue, green, red, alpha bytes, rows from the top.
std::vector<uint8_t> TgaFromBgra(int width, int height, const std::vector<uint8_t>& bgra);

// Whole-file writes; false when the file could not be written.
bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);
bool WriteText(const std::string& path, const std::string& text);

}  // namespace qh::testdata
