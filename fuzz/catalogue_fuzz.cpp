// The object catalogue over any bytes: the tables never overflow, every name stays
// terminated inside its field, every entry belongs to a group read before it, and every
// picture handed to the texture manager is a run of the input that names a picture.
#include <cstring>

#include "fuzz/fuzz_check.h"
#include "resources/mesh.h"
#include "resources/textures.h"
#include "scene/catalogue.h"

namespace {
const uint8_t* input = nullptr;
size_t inputSize = 0;
int picturesLoaded = 0;
qh::TextureRecord picture;

qh::TextureRecord* RecordPicture(const char* fileName) {
  const size_t length = std::strlen(fileName);
  QH_FUZZ_CHECK(length > 0 && length < 256);
  QH_FUZZ_CHECK(std::strstr(fileName, ".tga") != nullptr || std::strstr(fileName, ".jpg") != nullptr);
  QH_FUZZ_CHECK(memmem(input, inputSize, fileName, length) != nullptr);
  for (size_t i = 0; i < length; ++i) {
    // A file name ends at a blank (any byte <= 32 as a signed byte) or a comma.
    QH_FUZZ_CHECK(static_cast<int8_t>(fileName[i]) > 32 && fileName[i] != ',');
  }
  ++picturesLoaded;
  return &picture;
}

// ".cgo" names get a model the same way, checked the same way, and never a file read.
int modelsLoaded = 0;
qh::Model model;

qh::Model* RecordModel(const char* fileName) {
  const size_t length = std::strlen(fileName);
  QH_FUZZ_CHECK(length > 0 && length < 256);
  QH_FUZZ_CHECK(std::strstr(fileName, ".cgo") != nullptr);
  QH_FUZZ_CHECK(memmem(input, inputSize, fileName, length) != nullptr);
  ++modelsLoaded;
  return &model;
}

bool Terminated(const char* field, size_t size) { return std::memchr(field, 0, size) != nullptr; }
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 0x7FFFFFFF) return 0;
  input = data;
  inputSize = size;
  picturesLoaded = 0;
  modelsLoaded = 0;
  qh::SetCataloguePictureLoader(RecordPicture);
  qh::SetCatalogueModelLoader(RecordModel);
  qh::ParseCatalogue(data, static_cast<int32_t>(size));

  const qh::ObjectCatalogueState& cat = qh::ObjectCatalogue;
  QH_FUZZ_CHECK(cat.groupCount >= 0 && cat.groupCount <= qh::kMaxCatalogueGroups);
  QH_FUZZ_CHECK(cat.entryCount >= 0 && cat.entryCount <= qh::kMaxCatalogueEntries);
  QH_FUZZ_CHECK(cat.entryCount == 0 || cat.groupCount > 0);
  for (int32_t g = 0; g < cat.groupCount; ++g) QH_FUZZ_CHECK(Terminated(cat.groups[g], qh::kCatalogueNameSize));
  int withPicture = 0;
  int withModel = 0;
  for (int32_t i = 0; i < cat.entryCount; ++i) {
    const qh::CatalogueEntry& entry = cat.entries[i];
    QH_FUZZ_CHECK(Terminated(entry.name, qh::kCatalogueNameSize));
    QH_FUZZ_CHECK(entry.group >= 0 && entry.group < cat.groupCount);
    QH_FUZZ_CHECK(i == 0 || entry.group >= cat.entries[i - 1].group);
    QH_FUZZ_CHECK(entry.texture == nullptr || entry.texture == &picture);
    QH_FUZZ_CHECK(entry.mesh == nullptr || entry.mesh == &model);
    QH_FUZZ_CHECK(entry.texture == nullptr || entry.mesh == nullptr);
    if (entry.texture != nullptr) ++withPicture;
    if (entry.mesh != nullptr) ++withModel;
    // The lookup finds this name, at this entry or a later one of the same name.
    const qh::CatalogueEntry* found = qh::FindCatalogueEntry(entry.name);
    QH_FUZZ_CHECK(found != nullptr && found >= &entry && std::strcmp(found->name, entry.name) == 0);
  }
  QH_FUZZ_CHECK(withPicture == picturesLoaded);
  QH_FUZZ_CHECK(withModel == modelsLoaded);
  qh::SetCataloguePictureLoader(nullptr);
  qh::SetCatalogueModelLoader(nullptr);
  return 0;
}
