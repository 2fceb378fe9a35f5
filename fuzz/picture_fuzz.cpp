// Pictures and alpha-plane pictures decoded in memory, as the texture manager does: a
// decoded picture has sides in 1..4096 and exactly one pixel per texel; the alpha-plane
// split lies inside the file right after the first FF D9 pair; a picture fitted into a
// texture writes only its rectangle.
#include <cstring>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "resources/image_decode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  qh::DecodedPicture picture;
  if (qh::DecodePicture(data, size, &picture)) {
    QH_FUZZ_CHECK(picture.width >= 1 && picture.width <= qh::kMaxPictureSide);
    QH_FUZZ_CHECK(picture.height >= 1 && picture.height <= qh::kMaxPictureSide);
    QH_FUZZ_CHECK(picture.pixels.size() == static_cast<size_t>(picture.width) * picture.height);
    if (!picture.hasAlpha) {
      for (const uint32_t p : picture.pixels) QH_FUZZ_CHECK((p >> 24) == 0xFF);
    }
  }

  const size_t split = qh::AlphaPlaneSplit(data, size);
  QH_FUZZ_CHECK(split <= size);
  if (split < size || (split == size && size >= 2 && data[size - 2] == 0xFF && data[size - 1] == 0xD9)) {
    QH_FUZZ_CHECK(split >= 2 && data[split - 2] == 0xFF && data[split - 1] == 0xD9);
    QH_FUZZ_CHECK(memmem(data, split - 1, "\xFF\xD9", 2) == nullptr);
  }

  // The JPEG part fitted into a 7x5 rectangle of a 16x8 texture; the rest stays untouched.
  qh::Texture texture(16, 8, 1, qh::D3DFMT_A8R8G8B8);
  qh::D3DLOCKED_RECT locked;
  QH_FUZZ_CHECK(!qh::Failed(texture.LockRect(0, &locked)));
  std::memset(locked.pBits, 0x5A, static_cast<size_t>(locked.Pitch) * 8);
  texture.UnlockRect(0);
  const bool fitted = !qh::Failed(qh::LoadSurfaceFromFileInMemory(&texture, 0, 7, 5, data, split));
  const uint8_t* bits = texture.Bits(0);
  for (uint32_t y = 0; y < 8; ++y) {
    for (uint32_t x = 0; x < 16; ++x) {
      if (fitted && x < 7 && y < 5) continue;
      for (int c = 0; c < 4; ++c) QH_FUZZ_CHECK(bits[(y * 16 + x) * 4 + c] == 0x5A);
    }
  }
  return 0;
}
