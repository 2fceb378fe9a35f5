// The bundled scenes: their textures, their levels and their painted backgrounds.
#pragma once
#include <map>
#include <string>

#include "tools/content/paint.h"

namespace qhc {

// One texture of the catalogue and how it is stored in the data folder.
enum class Store { Jpeg, Tga, AlphaPlane };
struct TextureFile {
  std::string file;  // the name the catalogue gives (.jpg or .tga)
  Store store;
  Image image;
};

// A catalogue entry: the object name levels use and the texture file it draws.
struct Entry {
  std::string group, name, file;
};

struct Scene {
  Image background;              // 800x600; alpha 0 where the layers behind show
  std::vector<Placed> objects;   // the level, in drawing order
  int ambient = 0;               // 0 silence, 1 birds, 2 brook, 3 waterfall
};

struct World {
  std::map<std::string, TextureFile> textures;  // by catalogue file name
  std::vector<Entry> entries;
  std::vector<Scene> scenes;
  const Image& TextureOf(const std::string& objectName) const;
};

void MakeTextures(World& world);
// Every bundled scene, in order, into world.scenes (after MakeTextures).
void MakeScenes(World& world);
// The scenes one by one; each reads the catalogue's textures for its cut-outs and stamps.
Scene LakeScene(const World& world);
Scene BrookScene(const World& world);
Scene FallsScene(const World& world);
Scene TarnScene(const World& world);
Scene BirchwoodScene(const World& world);
Scene MeadowScene(const World& world);
Scene WinterScene(const World& world);
Scene MoonlakeScene(const World& world);
// The scene as the saver would show it after timeMs of running (layers scrolled, spray
// puffs simulated, leaves at rest); for previews and the preview.bmp picture.
Image Composite(const World& world, int scene, float timeMs);

}  // namespace qhc
