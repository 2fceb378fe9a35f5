// The bitmap font the clock is written with: one texture holding every glyph in a square
// grid of cells, and a metrics file giving each of the 256 byte values its cell and its
// width. Text is drawn one textured quad per character, in the picture's 800x600 scene
// space, with whatever render states the frame has set.
#pragma once
#include <cstdint>

#include "render/d3d_types.h"

namespace qh {

struct TextureRecord;

// The metrics file: cellsPerRow (signed 32-bit LE), 256 glyph widths in texels of the
// 512-texel-wide texture, 256 cell numbers.
constexpr int32_t kFontMetricsSize = 516;
constexpr int32_t kMaxFontCellsPerRow = 64;  // cells of at least 8 texels
constexpr float kFontTextZ = 45.0f;

struct BitmapFont {
  float advance[256] = {};   // glyph width in half cells; x size gives scene units
  uint8_t glyphCell[256] = {};
  int32_t cellsPerRow = 0;   // 0 until a font is loaded
  TextureRecord* texture = nullptr;
  float cellUV = 0.0f;       // one cell's width and height in texture coordinates
};

// The one font, written by LoadFont only.
extern BitmapFont Font;
// The text colour in ARGB order; opaque white once the font is loaded.
extern D3DCOLOR TextColour;

// Loads "<base>.tga" (through the texture manager) and "<base>.dat" from the data
// directory. A missing picture or metrics file, or metrics that do not describe a grid
// of 1..64 cells per row holding every glyph, end the program with the loading message.
bool LoadFont(const char* baseName);
// Asks the decoding ahead (resources/decode_ahead.h) for the picture LoadFont(baseName) loads.
void QueueFontAhead(const char* baseName);
// Builds the font's tables (not its texture) from metrics bytes; false, with *font
// untouched, when they do not describe a grid of 1..64 cells per row holding every glyph.
bool ParseFontMetrics(const uint8_t* bytes, int32_t size, BitmapFont* font);
void SetTextColour(uint8_t red, uint8_t green, uint8_t blue, uint8_t alpha);
// Draws a zero-terminated text of byte codes with its first glyph centred on (x, y, 45).
// Each glyph quad is 2 x size wide and 1.8 x size tall. CR LF or LF starts a new line
// 1.8 x size lower, its first glyph centred on x again. The texture is bound even when
// the text is empty.
void DrawFontText(float x, float y, float size, const char* text);

}  // namespace qh
