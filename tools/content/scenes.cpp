// The bundled scenes in the order they are installed: scene N is level N and _a_back N.
// Their nature sounds alternate so that no two scenes in a row, nor the last and the
// first, sound the same: birds, brook, waterfall, birds, brook, birds, brook, and the
// night's silence.
#include "tools/content/scenes.h"

namespace qhc {

void MakeScenes(World& world) {
  world.scenes.push_back(LakeScene(world));
  world.scenes.push_back(BrookScene(world));
  world.scenes.push_back(FallsScene(world));
  world.scenes.push_back(TarnScene(world));
  world.scenes.push_back(BirchwoodScene(world));
  world.scenes.push_back(MeadowScene(world));
  world.scenes.push_back(WinterScene(world));
  world.scenes.push_back(MoonlakeScene(world));
}

}  // namespace qhc
