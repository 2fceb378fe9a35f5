// Font metrics over any bytes: accepted exactly when the file is long enough and describes
// a grid of 1..64 cells per row holding every glyph; an accepted font's advances are finite
// and its cells' texture coordinates stay inside the texture.
#include <cmath>

#include "core/byte_cursor.h"
#include "fuzz/fuzz_check.h"
#include "overlay/font.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 0x7FFFFFFF) return 0;
  qh::BitmapFont font;
  const bool accepted = qh::ParseFontMetrics(data, static_cast<int32_t>(size), &font);

  qh::ByteCursor in(data, size);
  const int32_t cells = in.I32();
  bool usable = size >= static_cast<size_t>(qh::kFontMetricsSize) && cells >= 1 && cells <= qh::kMaxFontCellsPerRow;
  for (int c = 0; usable && c < 256; ++c) usable = data[260 + c] < cells * cells;
  QH_FUZZ_CHECK(accepted == usable);
  if (!accepted) return 0;

  QH_FUZZ_CHECK(font.cellsPerRow == cells);
  QH_FUZZ_CHECK(std::fabs(font.cellUV * static_cast<float>(cells) - 1.0f) < 1e-5f);
  for (int c = 0; c < 256; ++c) {
    QH_FUZZ_CHECK(std::isfinite(font.advance[c]) && font.advance[c] >= 0.0f);
    QH_FUZZ_CHECK(font.advance[c] <= 255.0f * 2.0f * qh::kMaxFontCellsPerRow / 512.0f);
    const int32_t cell = font.glyphCell[c];
    const float left = static_cast<float>(cell % cells) * font.cellUV;
    const float top = static_cast<float>(cell / cells) * font.cellUV;
    QH_FUZZ_CHECK(left >= 0.0f && left + font.cellUV <= 1.0f + 1e-5f);
    QH_FUZZ_CHECK(top >= 0.0f && top + font.cellUV <= 1.0f + 1e-5f);
  }
  return 0;
}
