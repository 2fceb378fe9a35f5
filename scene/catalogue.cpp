#include "scene/catalogue.h"

#include <cstring>
#include <memory>

#include "resources/file_table.h"
#include "resources/mesh.h"
#include "resources/textures.h"

namespace qh {

ObjectCatalogueState ObjectCatalogue;

namespace {
// Longer than any name the texture manager can register, so that a file name too long
// for it is refused there with its message rather than cut here.
constexpr int32_t kCatalogueFileNameSize = 256;

// A blank is any byte that is at most 32 as a signed 8-bit number: the control bytes and
// the space, but also every byte from 0x80 on (the catalogue is plain ASCII).
bool IsBlank(uint8_t b) { return static_cast<int8_t>(b) <= 32; }

// Copies a name into a field of `fieldSize` bytes, keeping at most fieldSize - 1 characters.
void CopyName(char* field, const uint8_t* from, int32_t length, int32_t fieldSize = kCatalogueNameSize) {
  const int32_t n = length < fieldSize - 1 ? length : fieldSize - 1;
  std::memcpy(field, from, static_cast<size_t>(n));
  field[n] = '\0';
}

// Where a ".cgo" entry gets its model: loaded once per name, never drawn by the scene, so
// objects bound to such an entry draw untextured.
Model* GetCatalogueModel(const char* fileName) { return GetModel(fileName); }

CatalogueModelLoader modelLoader = GetCatalogueModel;

// A bounded cursor over the catalogue text; every move stops at the end of the bytes.
struct Scanner {
  const uint8_t* bytes;
  int32_t size;
  int32_t pos;

  uint8_t Peek() const { return bytes[pos]; }
  bool More() const { return pos < size; }
  // Moves to the next byte equal to c; false when none is left.
  bool SeekTo(uint8_t c) {
    while (pos < size && bytes[pos] != c) ++pos;
    return pos < size;
  }
  // Moves past blanks; false when the bytes ran out.
  bool SkipBlanks() {
    while (pos < size && IsBlank(bytes[pos])) ++pos;
    return pos < size;
  }
};

CataloguePictureLoader pictureLoader = GetTexture;

struct Loaders {
  CataloguePictureLoader picture;
  CatalogueModelLoader model;
};

void BindPicture(CatalogueEntry& entry, const char* fileName, const Loaders& loaders) {
  // The picture test comes first: a name holding both ".cgo" and ".jpg" is a texture.
  if (std::strstr(fileName, ".tga") != nullptr || std::strstr(fileName, ".jpg") != nullptr) {
    entry.texture = loaders.picture(fileName);
  } else if (std::strstr(fileName, ".cgo") != nullptr) {
    entry.mesh = loaders.model(fileName);
  }
}

void Parse(ObjectCatalogueState& cat, const uint8_t* bytes, int32_t size, const Loaders& loaders);

// Loaders for the decoding ahead: the picture is only asked for, nothing is loaded.
TextureRecord* QueuePicture(const char* fileName) {
  QueueTextureAhead(fileName);
  return nullptr;
}
Model* NoModel(const char* /*fileName*/) { return nullptr; }
}  // namespace

void SetCataloguePictureLoader(CataloguePictureLoader loader) { pictureLoader = loader != nullptr ? loader : GetTexture; }
void SetCatalogueModelLoader(CatalogueModelLoader loader) {
  modelLoader = loader != nullptr ? loader : GetCatalogueModel;
}

void ResetCatalogue() { ObjectCatalogue = ObjectCatalogueState{}; }

void ParseCatalogue(const uint8_t* bytes, int32_t size) { Parse(ObjectCatalogue, bytes, size, {pictureLoader, modelLoader}); }

void QueueCatalogueAhead() {
  // The same file LoadCatalogue reads; when it is missing, LoadCatalogue says so later.
  int32_t size = 0;
  const uint8_t* bytes = LoadFile("gameobjs.txt", &size, false);
  if (bytes == nullptr) return;
  if (pictureLoader == GetTexture) {
    // The same parse, into a catalogue of its own, so the names asked for are the ones the
    // real parse will load, in its order.
    auto scratch = std::make_unique<ObjectCatalogueState>();
    Parse(*scratch, bytes, size, {QueuePicture, NoModel});
  }
  ReleaseFile(bytes);
}

namespace {
void Parse(ObjectCatalogueState& cat, const uint8_t* bytes, int32_t size, const Loaders& loaders) {
  cat = ObjectCatalogueState{};
  if (bytes == nullptr || size <= 0) return;
  Scanner s{bytes, size, 0};
  for (;;) {
    // A group header: "[", the name up to "/", and one more byte (normally "]").
    if (!s.SeekTo('[')) return;
    ++s.pos;
    const int32_t groupStart = s.pos;
    if (!s.SeekTo('/')) return;
    if (cat.groupCount == kMaxCatalogueGroups) return;
    CopyName(cat.groups[cat.groupCount], bytes + groupStart, s.pos - groupStart);
    ++cat.groupCount;
    s.pos += 2;
    if (!s.SkipBlanks()) return;

    // Entries "name=file" until a group end "[/...".
    for (;;) {
      const int32_t nameStart = s.pos;
      if (!s.SeekTo('=')) return;
      const int32_t nameLength = s.pos - nameStart;  // blanks before "=" belong to the name
      ++s.pos;
      if (!s.SkipBlanks()) return;
      if (cat.entryCount == kMaxCatalogueEntries) return;
      CatalogueEntry& entry = cat.entries[cat.entryCount++];
      CopyName(entry.name, bytes + nameStart, nameLength);
      entry.group = cat.groupCount - 1;

      // The file name ends at a blank or a comma; one that runs to the last byte of the
      // file is complete and is still loaded. It is stored nowhere, so it is passed on
      // whole rather than cut to a table's 31 characters: a cut name would lose its
      // extension or name another file.
      const int32_t fileStart = s.pos;
      while (s.More() && !IsBlank(s.Peek()) && s.Peek() != ',') ++s.pos;
      char fileName[kCatalogueFileNameSize];
      CopyName(fileName, bytes + fileStart, s.pos - fileStart, kCatalogueFileNameSize);
      BindPicture(entry, fileName, loaders);

      if (!s.SkipBlanks()) return;
      if (s.Peek() == '[') {
        if (s.pos + 1 < size && bytes[s.pos + 1] == '/') {
          ++s.pos;
          while (s.More() && !IsBlank(s.Peek())) ++s.pos;
          break;  // look for the next group header
        }
        ++s.pos;  // a "[" that opens no group end is dropped
      }
      // Otherwise the next name begins here, a comma that ended the file name included.
    }
  }
}
}  // namespace

void LoadCatalogue() {
  int32_t size = 0;
  const uint8_t* bytes = LoadFile("gameobjs.txt", &size, true);
  // The loaders the entries call may be handed these same bytes (a descriptor naming the
  // catalogue as its mesh); their release lets only their own hold go.
  ParseCatalogue(bytes, size);
  ReleaseFile(bytes);
}

const CatalogueEntry* FindCatalogueEntry(const char* name) {
  const CatalogueEntry* found = nullptr;
  for (int32_t i = 0; i < ObjectCatalogue.entryCount; ++i) {
    if (std::strcmp(ObjectCatalogue.entries[i].name, name) == 0) found = &ObjectCatalogue.entries[i];
  }
  return found;
}

}  // namespace qh
