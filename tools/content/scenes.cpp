// The bundled scenes in the order they are installed: scene N is level N and _a_back N.
#include "tools/content/scenes.h"

namespace qhc {

void MakeScenes(World& world) {
  world.scenes.push_back(LakeScene(world));
  world.scenes.push_back(BrookScene(world));
  world.scenes.push_back(FallsScene(world));
}

}  // namespace qhc
