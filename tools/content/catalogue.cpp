// The catalogue of the bundled scenes: every object name the levels place, in its group,
// with the texture it draws. Skies and water tile; rocks, trees and branches are cut-outs.
#include "tools/content/scenes.h"

#include <stdexcept>

namespace qhc {

const Image& World::TextureOf(const std::string& objectName) const {
  for (const Entry& e : entries) {
    if (e.name == objectName) return textures.at(e.file).image;
  }
  throw std::runtime_error("no catalogue entry " + objectName);
}

void MakeTextures(World& world) {
  auto add = [&](const std::string& group, const std::string& name, const std::string& file, Store store, Image img) {
    if (store != Store::Jpeg && name != "spray") {
      // A clear rim: with wrap addressing and linear filtering, the far side's texels would
      // otherwise bleed into each edge of the sprite.
      for (int x = 0; x < img.w; ++x) img.A(x, 0) = img.A(x, img.h - 1) = 0;
      for (int y = 0; y < img.h; ++y) img.A(0, y) = img.A(img.w - 1, y) = 0;
    }
    world.entries.push_back({group, name, file});
    if (!world.textures.count(file)) world.textures[file] = {file, store, std::move(img)};
  };
  // Skies: 512x256, tiling sideways.
  add("sky", "sky_lake", "sky_lake.jpg", Store::Jpeg,
      MakeSky({Hex(0x4f7fbf), Hex(0xc9dced), Hex(0x2a1c08), Hex(0xfbfaf5), Hex(0x9aa6bd), 0.55f, 11}, 512, 256));
  add("sky", "sky_valley", "sky_valley.jpg", Store::Jpeg,
      MakeSky({Hex(0x6a93c8), Hex(0xdfe6e6), Hex(0x3a2a10), Hex(0xfffbf0), Hex(0xa9aebd), 0.7f, 23}, 512, 256));
  add("sky", "sky_falls", "sky_falls.jpg", Store::Jpeg,
      MakeSky({Hex(0x5d86b8), Hex(0xd6e0ea), Hex(0x352418), Hex(0xf6f1ea), Hex(0x8f97ad), 0.45f, 37}, 512, 256));
  // Dawn: violet overhead, peach at the horizon, clouds lit pink from below.
  add("sky", "sky_dawn", "sky_dawn.jpg", Store::Jpeg,
      MakeSky({Hex(0x3e4a7a), Hex(0xf0c3a4), Hex(0x4a2410), Hex(0xffc7a6), Hex(0x6d5f8a), 0.5f, 29}, 512, 256));
  // An autumn afternoon: pale blue, hazy gold low down.
  add("sky", "sky_autumn", "sky_autumn.jpg", Store::Jpeg,
      MakeSky({Hex(0x7aa2cc), Hex(0xf1e4c2), Hex(0x3a2808), Hex(0xfff6e2), Hex(0xb0a8a6), 0.35f, 31}, 512, 256));
  // Winter: a pale, low sun in a cold sky. Alpine noon: deep blue, a few bright clouds.
  // Night: deep blue, thin moonlit clouds and stars.
  add("sky", "sky_winter", "sky_winter.jpg", Store::Jpeg,
      MakeSky({Hex(0x7f9dc6), Hex(0xf0e2d6), Hex(0x3a2418), Hex(0xfff1e4), Hex(0xa4a6bc), 0.45f, 131}, 512, 256));
  add("sky", "sky_alpine", "sky_alpine.jpg", Store::Jpeg,
      MakeSky({Hex(0x2c5fae), Hex(0xbfd6ee), Hex(0x101010), Hex(0xffffff), Hex(0x9eb0cc), 0.35f, 143}, 512, 256));
  add("sky", "sky_night", "sky_night.jpg", Store::Jpeg,
      WithStars(MakeSky({Hex(0x050a1e), Hex(0x24365c), Hex(0x050608), Hex(0x8e9cc0), Hex(0x1c2640), 0.22f, 139}, 512, 256),
                260, 141));
  // Water: one texel per world unit, tiling both ways.
  add("water", "lakewater", "lake.jpg", Store::Jpeg,
      MakeWater({Hex(0x5b7d93), Hex(0xa3bfd4), Hex(0xe6f0f6), 40, 6, 41}, 512, 256));
  add("water", "brookwater", "brook.jpg", Store::Jpeg,
      MakeWater({Hex(0x3c5148), Hex(0xa8c0c4), Hex(0xf4f8f6), 14, 6, 43}, 256, 256));
  add("water", "poolwater", "pool.jpg", Store::Jpeg,
      MakeWater({Hex(0x2d4d55), Hex(0x9cb9c6), Hex(0xf0f6f8), 18, 5, 47}, 256, 256));
  add("water", "waterfall", "waterfall.jpg", Store::Jpeg, MakeWaterfall(256, 256, 53));
  add("water", "spray", "puff.tga", Store::Tga, MakePuff(64, 59));
  // The still tarn at dawn mirrors a pink and violet sky; the wood's stream runs dark
  // under the trees with the pale sky in its ripples; its cascade is peaty amber.
  add("water", "tarnwater", "tarn.jpg", Store::Jpeg,
      MakeWater({Hex(0x4e4a6c), Hex(0xa88fa8), Hex(0xe9c9c2), 56, 8, 101}, 512, 256));
  add("water", "forestwater", "forestbrook.jpg", Store::Jpeg,
      MakeWater({Hex(0x2b2a20), Hex(0x9fb0b0), Hex(0xfff6e0), 16, 6, 103}, 256, 256));
  add("water", "waterfall_amber", "waterfall_amber.jpg", Store::Jpeg,
      Relit(MakeWaterfall(128, 256, 107), Rgb{1.0f, 0.93f, 0.78f}));
  // A winter stream under ice-blue light, an alpine pond, a lake under the moon.
  add("water", "winterwater", "winterbrook.jpg", Store::Jpeg,
      MakeWater({Hex(0x263a48), Hex(0xc3d4e2), Hex(0xffffff), 14, 6, 149}, 256, 256));
  add("water", "alpinewater", "alpinepond.jpg", Store::Jpeg,
      MakeWater({Hex(0x1f4a74), Hex(0x6a94c0), Hex(0xe4eef8), 30, 6, 151}, 512, 256));
  add("water", "moonwater", "moonlake.jpg", Store::Jpeg,
      MakeWater({Hex(0x08111f), Hex(0x34466a), Hex(0xe2e9f6), 40, 7, 157}, 512, 256));
  // Rocks and trees: alpha-plane pictures serve the .tga names; one is a real TGA.
  add("rocks", "boulder", "boulder.tga", Store::AlphaPlane, MakeBoulder(256, 128, 61, 0.5f));
  add("rocks", "mossrock", "mossrock.tga", Store::AlphaPlane, MakeBoulder(128, 128, 67, 0.9f));
  add("rocks", "stone", "stone.tga", Store::Tga, MakeBoulder(128, 64, 71, 0.2f));
  // A boulder in the cool light before sunrise.
  add("rocks", "dawnrock", "dawnrock.tga", Store::AlphaPlane, Relit(MakeBoulder(256, 128, 109, 0.4f), Rgb{0.72f, 0.7f, 0.86f}));
  add("trees", "spruce", "spruce.tga", Store::AlphaPlane, MakeConifer(128, 256, 73, false));
  add("trees", "pine", "pine.tga", Store::AlphaPlane, MakeConifer(256, 256, 79, true));
  // A spruce in the cool light before sunrise; a birch trunk of the autumn wood.
  add("trees", "darkspruce", "darkspruce.tga", Store::AlphaPlane, Relit(MakeConifer(128, 256, 113, false), Rgb{0.62f, 0.62f, 0.8f}));
  add("trees", "birchtrunk", "birchtrunk.tga", Store::AlphaPlane, MakeBirchTrunk(64, 512, 127));
  // Under fresh snow, and under the moon.
  add("rocks", "snowrock", "snowrock.tga", Store::AlphaPlane, Snowed(Relit(MakeBoulder(256, 128, 163, 0.1f), Rgb{0.85f, 0.9f, 1.05f}), 34, 165));
  add("trees", "snowspruce", "snowspruce.tga", Store::AlphaPlane, Snowed(Relit(MakeConifer(128, 256, 167, false), Rgb{0.8f, 0.88f, 1.0f}), 8, 169));
  add("rocks", "moonrock", "moonrock.tga", Store::AlphaPlane, Relit(MakeBoulder(256, 128, 171, 0.3f), Rgb{0.22f, 0.27f, 0.42f}));
  add("trees", "moonpine", "moonpine.tga", Store::AlphaPlane, Relit(MakeConifer(256, 256, 173, true), Rgb{0.11f, 0.14f, 0.24f}));
  // Swaying branches: the stem starts at the middle of the left edge.
  add("foliage", "leaves", "birch.tga", Store::AlphaPlane, MakeBranch(BranchKind::Birch, 512, 256, 83));
  add("foliage", "leaves1", "sprucebranch.tga", Store::Tga, MakeBranch(BranchKind::Spruce, 512, 256, 89));
  add("foliage", "leaves2", "pinebranch.tga", Store::AlphaPlane, MakeBranch(BranchKind::Pine, 512, 256, 97));
  add("foliage", "leaves_gold", "goldbirch.tga", Store::AlphaPlane, MakeBranch(BranchKind::AutumnBirch, 512, 256, 131));
  add("foliage", "leaves1_gold", "goldbirch.tga", Store::AlphaPlane, Image());  // the same picture, swaying as leaves1
  add("foliage", "leaves1_snow", "snowbranch.tga", Store::AlphaPlane,
      SnowLaden(Relit(MakeBranch(BranchKind::Spruce, 512, 256, 175), Rgb{0.8f, 0.88f, 1.0f}), 9, 177));
  add("foliage", "leaves2_night", "nightbranch.tga", Store::AlphaPlane,
      Relit(MakeBranch(BranchKind::Pine, 512, 256, 179), Rgb{0.2f, 0.25f, 0.38f}));
  add("foliage", "leaves_alpine", "larch.tga", Store::AlphaPlane, MakeBranch(BranchKind::Birch, 512, 256, 181));
}

}  // namespace qhc
