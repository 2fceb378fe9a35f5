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

// A picture file encoded by SDL_image: JPEG (quality 95) or PNG.
std::vector<uint8_t> EncodePicture(int width, int height, const PixelFunction& argb, bool jpeg);
// An alpha-plane picture: a JPEG stream followed directly by one alpha byte per pixel.
std::vector<uint8_t> AlphaPlaneFile(const std::vector<uint8_t>& jpeg, const std::vector<uint8_t>& alpha);

// A font metrics file: the cells per row, then the width and the cell of each code.
struct FontMetrics {
  int32_t cellsPerRow = 16;
  uint8_t width[256] = {};
  uint8_t cell[256] = {};

  // Every code in the cell of its own number, all glyphs `width` texels wide.
  static FontMetrics Identity(int32_t cellsPerRow, uint8_t width);
  std::vector<uint8_t> Bytes() const;  // 516 bytes
};

// A test installation under `root`: install/Data and a user config folder, install's
// links.txt, and the font files of the build's generated content (every start-up loads
// them). Returns install/.
std::string StartInstallation(const std::string& root, const std::string& contentDir);
// The user's settings file of a test installation (config/quiet-highland/registry.reg):
// the installation folder and the two records, as the hex byte lists of the store format.
bool WriteStore(const std::string& root, const std::string& install, const std::string& settingsHex,
                const std::string& settingsExHex);

// Whole-file writes; false when the file could not be written.
bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);
bool WriteText(const std::string& path, const std::string& text);

}  // namespace qh::testdata
