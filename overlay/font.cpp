#include "overlay/font.h"

#include <cstdio>

#include "core/byte_cursor.h"
#include "render/sprites.h"
#include "resources/file_table.h"
#include "resources/textures.h"

namespace qh {

BitmapFont Font;
D3DCOLOR TextColour = 0xFFFFFFFFu;

namespace {
// Rewritten for every glyph; nothing is allocated while text is drawn.
SpriteVertex glyphQuad[4];

// The grid's cells per row: the metrics' first field.
int32_t CellsPerRow(const uint8_t* bytes, int32_t size) {
  ByteCursor in(bytes, size > 0 ? static_cast<size_t>(size) : 0);
  return in.I32();
}

// A metrics file the drawing can trust: long enough for both tables, a grid that cannot
// divide by zero, and every glyph inside the grid.
bool MetricsUsable(const uint8_t* bytes, int32_t size) {
  if (size < kFontMetricsSize) return false;
  const int32_t cellsPerRow = CellsPerRow(bytes, size);
  if (cellsPerRow < 1 || cellsPerRow > kMaxFontCellsPerRow) return false;
  const int32_t cellCount = cellsPerRow * cellsPerRow;
  for (int c = 0; c < 256; ++c) {
    if (bytes[260 + c] >= cellCount) return false;
  }
  return true;
}
}  // namespace

bool ParseFontMetrics(const uint8_t* bytes, int32_t size, BitmapFont* font) {
  if (!MetricsUsable(bytes, size)) return false;
  const int32_t cellsPerRow = CellsPerRow(bytes, size);
  font->cellsPerRow = cellsPerRow;
  font->cellUV = 1.0f / static_cast<float>(cellsPerRow);
  // The texture counts as 512 texels wide whatever its real size: a cell is 512 / cellsPerRow
  // texels, so a width in texels becomes a width in half cells.
  const float texelsPerCell = 512.0f / static_cast<float>(cellsPerRow);
  for (int c = 0; c < 256; ++c) {
    font->advance[c] = static_cast<float>(bytes[4 + c]) * 2.0f / texelsPerCell;
    font->glyphCell[c] = bytes[260 + c];
  }
  return true;
}

void QueueFontAhead(const char* baseName) {
  char name[128];
  std::snprintf(name, sizeof name, "%s.tga", baseName);
  QueueTextureAhead(name);
}

bool LoadFont(const char* baseName) {
  char name[128];
  std::snprintf(name, sizeof name, "%s.tga", baseName);
  TextureRecord* texture = GetTexture(name);

  std::snprintf(name, sizeof name, "%s.dat", baseName);
  int32_t size = 0;
  const uint8_t* bytes = LoadFile(name, &size, true);
  if (!ParseFontMetrics(bytes, size, &Font)) {
    ReleaseFile(bytes);
    FatalMissingFile(name);
  }
  Font.texture = texture;
  ReleaseFile(bytes);
  SetTextColour(255, 255, 255, 255);
  return true;
}

void SetTextColour(uint8_t red, uint8_t green, uint8_t blue, uint8_t alpha) {
  TextColour = (D3DCOLOR{alpha} << 24) | (D3DCOLOR{red} << 16) | (D3DCOLOR{green} << 8) | D3DCOLOR{blue};
}

void DrawFontText(float x, float y, float size, const char* text) {
  const float penX = x;
  float penY = y;
  const float penZ = kFontTextZ;
  const float halfWidth = size;
  const float halfHeight = 0.9f * size;
  const D3DCOLOR colour = TintColour(TextColour);

  BindTexture(Font.texture);
  if (Font.cellsPerRow < 1) return;  // no font loaded: nothing can be drawn

  const auto* bytes = reinterpret_cast<const unsigned char*>(text);
  const float cellUV = Font.cellUV;
  float lineOffset = 0.0f;
  size_t i = 0;
  while (bytes[i] != 0) {
    const unsigned char c = bytes[i];
    if (i != 0) lineOffset += size * Font.advance[c] * 0.5f;
    if (c == 13 || c == 10) {
      if (c == 13) {
        // CR is taken to be followed by LF, which is skipped with it; a CR that ends the
        // text ends the drawing rather than step over the terminating zero.
        if (bytes[i + 1] == 0) return;
        i += 2;
      } else {
        i += 1;
      }
      lineOffset = -size * Font.advance[bytes[i]] * 0.5f;
      penY -= 2.0f * halfHeight;
      continue;
    }

    const float centreX = penX + lineOffset;
    const float centreY = penY;
    const int32_t cell = Font.glyphCell[c];
    const float cellLeft = static_cast<float>(cell % Font.cellsPerRow) * cellUV;
    const float cellTop = static_cast<float>(cell / Font.cellsPerRow) * cellUV;
    // Scene y points up, so the cell's top texel row lands on the quad's upper edge.
    glyphQuad[0] = {centreX - halfWidth, centreY + halfHeight, penZ, colour, cellLeft, cellTop};
    glyphQuad[1] = {centreX + halfWidth, centreY + halfHeight, penZ, colour, cellLeft + cellUV, cellTop};
    glyphQuad[2] = {centreX - halfWidth, centreY - halfHeight, penZ, colour, cellLeft, cellTop + cellUV};
    glyphQuad[3] = {centreX + halfWidth, centreY - halfHeight, penZ, colour, cellLeft + cellUV, cellTop + cellUV};
    DrawUserPrimitives(glyphQuad, 2, kSpriteFvf, D3DPT_TRIANGLESTRIP);

    lineOffset += size * Font.advance[c] * 0.5f;
    i += 1;
  }
}

}  // namespace qh
