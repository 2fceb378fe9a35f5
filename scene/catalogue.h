// The object catalogue: every scene part a level may place, read once at start-up from
// "gameobjs.txt" in named groups, each entry a short name and the picture (or model) that
// supplies it. Loading the catalogue loads every texture it names, so all scene textures
// are resident before the first frame. Filled by LoadCatalogue; read-only afterwards.
#pragma once
#include <cstdint>

namespace qh {

struct TextureRecord;
class Model;  // a mesh model (resources/mesh.h); the scene never draws it

constexpr int kMaxCatalogueGroups = 32;
constexpr int kMaxCatalogueEntries = 512;
constexpr int kCatalogueNameSize = 32;  // 31 characters and the terminating zero

struct CatalogueEntry {
  char name[kCatalogueNameSize] = {};  // compared byte for byte
  Model* mesh = nullptr;               // at most one of mesh and texture is set
  TextureRecord* texture = nullptr;
  int32_t group = 0;                   // index of the group whose section holds the entry
};

struct ObjectCatalogueState {
  char groups[kMaxCatalogueGroups][kCatalogueNameSize] = {};
  int32_t groupCount = 0;
  CatalogueEntry entries[kMaxCatalogueEntries];
  int32_t entryCount = 0;
};
extern ObjectCatalogueState ObjectCatalogue;

// Reads "gameobjs.txt" (a missing file ends the program with the file table's message)
// and parses it. A texture that cannot be loaded ends the program with the texture
// manager's message; a ".cgo" model that cannot be loaded, with the file table's.
void LoadCatalogue();

// Reads "gameobjs.txt" quietly (LoadCatalogue reports a missing one) and asks the decoding
// ahead for every picture the catalogue will load, in its order (QueueTextureAhead). Nothing
// is asked for while a fuzz target or a test has put its own picture loader in.
void QueueCatalogueAhead();

// Parses catalogue text of `size` bytes into ObjectCatalogue, which is cleared first.
// Never reads outside [bytes, bytes + size). A malformed file ends the parse where the
// bytes run out; what was read before stays. When a table is full (a 33rd group, a 513th
// entry) the parse stops there; group and entry names longer than 31 characters keep
// their first 31. File names (up to 255 characters) go to the texture manager whole.
void ParseCatalogue(const uint8_t* bytes, int32_t size);

// Where the parse gets the texture of a picture file name: the texture manager's
// GetTexture, unless a fuzz target or a test puts its own in (nullptr restores it).
using CataloguePictureLoader = TextureRecord* (*)(const char* fileName);
void SetCataloguePictureLoader(CataloguePictureLoader loader);
// The same for the model of a ".cgo" file name (GetModel unless replaced).
using CatalogueModelLoader = Model* (*)(const char* fileName);
void SetCatalogueModelLoader(CatalogueModelLoader loader);

// The last entry whose name equals `name`; none when no name is equal.
const CatalogueEntry* FindCatalogueEntry(const char* name);

// Empties the catalogue (tests). The textures it loaded stay with the texture manager.
void ResetCatalogue();

}  // namespace qh
