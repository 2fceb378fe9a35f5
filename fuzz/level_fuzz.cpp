// Level files over any bytes, against a small catalogue: never more objects than whole
// records in the file or slots in the table, every object bound to the catalogue entry its
// record names, fields copied bit for bit, start phases in [0, 500).
#include <cstring>

#include "core/byte_cursor.h"
#include "fuzz/fuzz_check.h"
#include "resources/textures.h"
#include "scene/catalogue.h"
#include "scene/level.h"

namespace {
qh::TextureRecord picture;
qh::TextureRecord* AnyPicture(const char* /*fileName*/) { return &picture; }

void LoadSmallCatalogue() {
  static const char kText[] = "[parts/]\nsky=sky.jpg\nrock=rock.tga\nwater=water.jpg\n[/]\n[more/]\nrock=rock2.tga\n[/]\n";
  qh::SetCataloguePictureLoader(AnyPicture);
  qh::ParseCatalogue(reinterpret_cast<const uint8_t*>(kText), sizeof kText - 1);
  qh::SetCataloguePictureLoader(nullptr);
}

bool SameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = (LoadSmallCatalogue(), true);
  (void)ready;
  if (size < 1 || size > 0x7FFFFFFF) return 0;
  // The first byte chooses whether a change of scene runs (phases are then kept).
  qh::crossfadeCountdown = (data[0] & 1) != 0 ? 100.0f : 0.0f;
  for (auto& object : qh::SceneObjectTable.objects) object.phase = 1234.0;
  const uint8_t* bytes = data + 1;
  const size_t length = size - 1;
  qh::ParseLevel(bytes, static_cast<int32_t>(length));

  // What the table must hold, read independently: the records that exist and name an entry.
  qh::ByteCursor in(bytes, length);
  in.Skip(qh::kLevelHeaderSize);
  const int64_t declared = in.I32();
  int64_t records = length >= 68 ? static_cast<int64_t>((length - 68) / qh::kLevelRecordSize) : 0;
  if (declared < records) records = declared < 0 ? 0 : declared;
  int32_t expected = 0;
  for (int64_t r = 0; r < records && expected < qh::kMaxSceneObjects; ++r) {
    const uint8_t* record = bytes + 68 + r * qh::kLevelRecordSize;
    char name[33] = {};
    std::memcpy(name, record, 32);
    const qh::CatalogueEntry* entry = qh::FindCatalogueEntry(name);
    if (entry == nullptr) continue;
    const qh::SceneObject& object = qh::SceneObjectTable.objects[expected++];
    QH_FUZZ_CHECK(object.entry == entry);
    qh::ByteCursor fields(record + 32, 33);
    QH_FUZZ_CHECK(SameBits(object.rect.x1, fields.F32()) && SameBits(object.rect.y1, fields.F32()));
    QH_FUZZ_CHECK(SameBits(object.rect.x2, fields.F32()) && SameBits(object.rect.y2, fields.F32()));
    QH_FUZZ_CHECK(SameBits(object.angle, fields.F32()));
    QH_FUZZ_CHECK(SameBits(object.param.x, fields.F32()) && SameBits(object.param.y, fields.F32()));
    QH_FUZZ_CHECK(object.mirrored == fields.U8());
    QH_FUZZ_CHECK(object.behindBackground == fields.I32());
    if (qh::crossfadeCountdown == 0.0f) {
      QH_FUZZ_CHECK(object.phase >= 0.0 && object.phase < 500.0);
    } else {
      QH_FUZZ_CHECK(object.phase == 1234.0);
    }
  }
  QH_FUZZ_CHECK(qh::SceneObjectTable.count == expected);
  return 0;
}
