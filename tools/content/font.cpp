// The clock's bitmap font and the settings dialog's picture, both rendered from DejaVu
// Sans with FreeType. The font covers the Windows-1251 code page, the saver's 8-bit text.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "tools/content/generate.h"
#include "tools/content/paint.h"

namespace qhc {

namespace {

constexpr int kCellsPerRow = 16;
constexpr int kCell = 512 / kCellsPerRow;

// Unicode of each Windows-1251 byte from 0x80; 0 where the code page has no character.
constexpr uint16_t kCp1251High[64] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C,
    0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x0000, 0x2122, 0x0459, 0x203A,
    0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, 0x0401, 0x00A9,
    0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457};

uint32_t Cp1251ToUnicode(int code) {
  if (code < 32 || code == 127) return 0;
  if (code < 128) return uint32_t(code);
  if (code < 0xC0) return kCp1251High[code - 0x80];
  return 0x0410u + uint32_t(code - 0xC0);
}

struct Face {
  FT_Library lib = nullptr;
  FT_Face face = nullptr;
  explicit Face(const std::string& path) {
    if (FT_Init_FreeType(&lib)) throw std::runtime_error("FreeType could not start");
    if (FT_New_Face(lib, path.c_str(), 0, &face)) throw std::runtime_error("cannot open the font " + path);
  }
  ~Face() {
    if (face) FT_Done_Face(face);
    if (lib) FT_Done_FreeType(lib);
  }
  Face(const Face&) = delete;
  Face& operator=(const Face&) = delete;
};

// Draws a rendered glyph's coverage into the picture at (x, y) = the bitmap's top-left,
// clipped to the given box.
void BlitCoverage(Image& img, const FT_Bitmap& bm, int x, int y, int clipX0, int clipY0, int clipX1, int clipY1,
                  Rgb colour, bool coverageToAlpha) {
  for (unsigned row = 0; row < bm.rows; ++row) {
    for (unsigned col = 0; col < bm.width; ++col) {
      const int px = x + int(col), py = y + int(row);
      if (px < clipX0 || py < clipY0 || px >= clipX1 || py >= clipY1) continue;
      const float cov = bm.buffer[row * unsigned(bm.pitch) + col] / 255.0f;
      if (coverageToAlpha) img.A(px, py) = std::max(img.A(px, py), cov);
      else img.Over(px, py, colour, cov);
    }
  }
}

}  // namespace

FontFiles MakeFont(const std::string& ttfPath) {
  Face f(ttfPath);
  const int pixelSize = 22;
  if (FT_Set_Pixel_Sizes(f.face, 0, pixelSize)) throw std::runtime_error("the font has no scalable outlines");
  // The saver draws a cell 2 units wide and 1.8 high: glyphs are drawn 1/0.9 taller here
  // so they look right on the screen.
  FT_Matrix stretch{0x10000, 0, 0, FT_Fixed(0x10000 / 0.9)};
  FT_Set_Transform(f.face, &stretch, nullptr);
  const int baseline = 25;  // rows from a cell's top: digits and capitals sit centred
  Image grid(512, 512, Rgb{1, 1, 1}, 0);
  Bytes metrics;
  PutU32(metrics, kCellsPerRow);
  uint8_t widths[256] = {}, cells[256] = {};
  for (int code = 0; code < 256; ++code) {
    cells[code] = uint8_t(code);
    const uint32_t uni = Cp1251ToUnicode(code);
    if (uni == 0) continue;
    if (FT_Load_Char(f.face, uni, FT_LOAD_RENDER | FT_LOAD_TARGET_NORMAL)) continue;
    const FT_GlyphSlot g = f.face->glyph;
    const int advance = std::min(kCell, int((g->advance.x + 32) >> 6));
    widths[code] = uint8_t(advance);
    const int cellX = (code % kCellsPerRow) * kCell, cellY = (code / kCellsPerRow) * kCell;
    const int penX = cellX + (kCell - advance) / 2;  // the advance box is centred in the cell
    BlitCoverage(grid, g->bitmap, penX + g->bitmap_left, cellY + baseline - g->bitmap_top, cellX, cellY, cellX + kCell,
                 cellY + kCell, {}, true);
  }
  metrics.insert(metrics.end(), widths, widths + 256);
  metrics.insert(metrics.end(), cells, cells + 256);
  return {EncodeAlphaPlane(grid, 90), metrics};
}

Bytes MakeAdPicture(const std::string& ttfPath) {
  const int w = 250, h = 50;
  Image img(w, h);
  // Evening band: warm sky, three ridges fading with distance, a still lake.
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const float v = float(y) / h;
      img.At(x, y) = Mix(Hex(0x5b7fb0), Hex(0xf0c98e), std::pow(v, 1.3f) * 1.2f);
    }
  const Rgb ridge[3] = {Hex(0x8e9bbb), Hex(0x5d6f8e), Hex(0x2f4450)};
  const float base[3] = {30, 36, 41};
  for (int k = 0; k < 3; ++k) {
    for (int x = 0; x < w; ++x) {
      const float top = base[k] - (10 - 2.5f * k) * (Ridged(x * 0.012f, 0.5f, 900 + uint32_t(k), 4) * 1.2f - 0.3f);
      for (int y = 0; y < h; ++y) img.Over(x, y, ridge[k], Clamp01(y + 0.5f - top));
    }
  }
  for (int x = 0; x < w; ++x) {
    for (int y = 44; y < h; ++y) {
      const float shimmer = Fbm(x * 0.05f, y * 0.8f, 907, 3) * 0.08f;
      img.At(x, y) = Mix(Hex(0x3c5468), Hex(0xd8b98a), 0.35f + shimmer);
    }
  }
  Rng rng(911);
  for (int i = 0; i < 40; ++i) {
    const float x = rng.Range(0, w), th = rng.Range(5, 11);
    const float by = 44;
    for (int y = int(by - th); y < int(by); ++y) {
      const float hw = th * 0.22f * (y - (by - th)) / th;
      for (int px = int(x - hw - 1); px <= int(x + hw + 1); ++px)
        if (px >= 0 && px < w && y >= 0) img.Over(px, y, Hex(0x1d2d2a), Clamp01(hw - std::fabs(px + 0.5f - x) + 0.5f));
    }
  }
  // The product's name, in Russian, white over a soft shadow.
  Face f(ttfPath);
  FT_Set_Pixel_Sizes(f.face, 0, 24);
  const char32_t title[] = U"Тихое нагорье";
  int textWidth = 0;
  for (const char32_t* p = title; *p; ++p) {
    if (!FT_Load_Char(f.face, *p, FT_LOAD_DEFAULT)) textWidth += int((f.face->glyph->advance.x + 32) >> 6);
  }
  Image shadow(w, h, Rgb{}, 0);
  for (int pass = 0; pass < 2; ++pass) {
    int penX = (w - textWidth) / 2 + (pass == 0 ? 1 : 0);
    const int baseY = 22 + (pass == 0 ? 1 : 0);
    for (const char32_t* p = title; *p; ++p) {
      if (FT_Load_Char(f.face, *p, FT_LOAD_RENDER)) continue;
      const FT_GlyphSlot g = f.face->glyph;
      if (pass == 0) BlitCoverage(shadow, g->bitmap, penX + g->bitmap_left, baseY - g->bitmap_top, 0, 0, w, h, {}, true);
      else BlitCoverage(img, g->bitmap, penX + g->bitmap_left, baseY - g->bitmap_top, 0, 0, w, h, Hex(0xfbf8ef), false);
      penX += int((g->advance.x + 32) >> 6);
    }
    if (pass == 0) {
      GaussianBlur(shadow.a, w, h, 1.6f);
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) img.Over(x, y, Hex(0x1a2230), std::min(1.0f, shadow.A(x, y) * 1.5f) * 0.75f);
    }
  }
  return EncodeJpeg(img, 92);
}

}  // namespace qhc
