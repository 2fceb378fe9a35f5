// The texture's own memory: given back after an upload, and what a later use finds then.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

#include "render/texture.h"

using namespace qh;

namespace {

bool AllZero(const D3DLOCKED_RECT& locked, uint32_t rows) {
  const auto* bytes = static_cast<const uint8_t*>(locked.pBits);
  return std::all_of(bytes, bytes + static_cast<size_t>(locked.Pitch) * rows, [](uint8_t b) { return b == 0; });
}

TEST(TextureMemory, DroppedPixelsKeepTheShapeAndComeBackZeroedWhenWritten) {
  Texture texture(8, 4, 3, D3DFMT_A8R8G8B8);
  D3DLOCKED_RECT locked;
  ASSERT_EQ(texture.LockRect(0, &locked), D3D_OK);
  std::fill_n(static_cast<uint8_t*>(locked.pBits), 8 * 4 * 4, uint8_t{0xAB});
  texture.UnlockRect(0);
  const uint32_t revision = texture.Revision();

  texture.DropPixels();
  EXPECT_TRUE(texture.PixelsDropped());
  for (uint32_t level = 0; level < texture.LevelCount(); ++level) EXPECT_EQ(texture.Bits(level), nullptr) << level;
  EXPECT_EQ(texture.LevelCount(), 3u);
  EXPECT_EQ(texture.Width(2), 2u);
  EXPECT_EQ(texture.Height(2), 1u);
  EXPECT_EQ(texture.Format(), D3DFMT_A8R8G8B8);
  EXPECT_EQ(texture.Revision(), revision);  // nothing to upload again
  texture.DropPixels();                      // twice is harmless
  EXPECT_TRUE(texture.PixelsDropped());

  // Locking any level brings every level back, zero-filled: never the old bytes or others'.
  ASSERT_EQ(texture.LockRect(1, &locked), D3D_OK);
  EXPECT_FALSE(texture.PixelsDropped());
  EXPECT_EQ(locked.Pitch, 16);
  EXPECT_TRUE(AllZero(locked, 2));
  texture.UnlockRect(1);
  EXPECT_GT(texture.Revision(), revision);
  ASSERT_EQ(texture.LockRect(0, &locked), D3D_OK);
  EXPECT_TRUE(AllZero(locked, 4));
  texture.UnlockRect(0);
}

TEST(TextureMemory, RestoringPixelsThatWereNeverDroppedChangesNothing) {
  Texture texture(2, 2, 1, D3DFMT_X8R8G8B8);
  D3DLOCKED_RECT locked;
  ASSERT_EQ(texture.LockRect(0, &locked), D3D_OK);
  static_cast<uint8_t*>(locked.pBits)[5] = 77;
  texture.UnlockRect(0);
  texture.RestorePixels();
  EXPECT_EQ(texture.Bits(0)[5], 77);
  texture.DropPixels();
  texture.RestorePixels();
  ASSERT_NE(texture.Bits(0), nullptr);
  EXPECT_EQ(texture.Bits(0)[5], 0);
}

}  // namespace
