// Previews: the saver's drawing order, in software, for looking at a scene without the
// saver and for the preview.bmp picture.
#include <algorithm>
#include <cmath>

#include "tools/content/landscape.h"

namespace qhc {

namespace {
constexpr float kPi = 3.14159265f;
}

Image Composite(const World& world, int scene, float timeMs) {
  const Scene& s = world.scenes.at(size_t(scene));
  Image out(W, H, Rgb{0, 0, 0}, 1);
  auto drawObject = [&](const Placed& p, bool firstPass) {
    const Image& tex = world.TextureOf(p.name);
    const float w = std::fabs(p.x2 - p.x1), h = std::fabs(p.y2 - p.y1);
    const float cx = (p.x1 + p.x2) / 2, cy = (p.y1 + p.y2) / 2;
    float u0 = 0, v0 = 0, us = 1, vs = 1;
    const std::string& n = p.name;
    if (n.find("sky") != std::string::npos) {
      us = (p.x2 - p.x1) / (p.y2 - p.y1) * (float(tex.h) / tex.w);
      u0 = -timeMs * 3e-6f;
    } else if (n.find("waterfall") != std::string::npos || n.find("water") != std::string::npos) {
      const float k = n.find("waterfall") != std::string::npos ? 1.0f : 0.2f;
      u0 = -p.px * timeMs * 0.00001f * k;
      v0 = -p.py * timeMs * 0.00001f * k;
      us = (p.x2 - p.x1) / tex.w;
      vs = (p.y2 - p.y1) / tex.h;
    }
    const bool layer = us != 1 || vs != 1 || u0 != 0 || n.find("sky") != std::string::npos;
    if (firstPass != (p.behind || layer)) return;
    float ua = u0, ub = u0 + us;
    if (p.mirrored) std::swap(ua, ub);
    DrawSprite(out, tex, cx, cy, w, h, p.angle, cx, cy, ua, v0, ub, v0 + vs, Rgb{1, 1, 1}, 1,
               firstPass ? Blend::Opaque : Blend::Alpha);
  };
  auto special = [](const std::string& n) {
    return n.find("spray") != std::string::npos || n.find("leaves") != std::string::npos;
  };
  for (const Placed& p : s.objects) if (!special(p.name)) drawObject(p, true);
  DrawSprite(out, s.background, 0, 0, W, H, 0, 0, 0, 0, 0, 1, 1, Rgb{1, 1, 1}, 1, Blend::Alpha);
  for (const Placed& p : s.objects) if (!special(p.name)) drawObject(p, false);
  // Spray: run the emitters for the last two seconds before timeMs in 20 ms steps.
  struct Puff { float x, y, life; };
  std::vector<Puff> puffs;
  Rng rng(uint64_t(scene) * 7 + 1);
  const float dt = 20;
  std::vector<float> phase(s.objects.size(), 0);
  for (float t = 0; t < 2000; t += dt) {
    for (Puff& pf : puffs) pf.life -= dt;
    for (size_t i = 0; i < s.objects.size(); ++i) {
      const Placed& p = s.objects[i];
      if (p.name.find("spray") == std::string::npos) continue;
      const float area = std::fabs((p.x2 - p.x1) * (p.y2 - p.y1));
      phase[i] += dt;
      if (300000 / area < phase[i]) {
        phase[i] = 0;
        puffs.push_back({(p.x1 + p.x2) / 2 + rng.Range(-1, 1) * std::fabs(p.x2 - p.x1) * 0.5f,
                         (p.y1 + p.y2) / 2 + rng.Range(-1, 1) * std::fabs(p.y2 - p.y1) * 0.5f, 2000});
      }
    }
  }
  for (const Puff& pf : puffs) {
    if (pf.life <= 0) continue;
    const float sn = std::sin(pf.life / 2000 * kPi);
    const float size = (2000 - pf.life) * 0.011f + 15;
    const float bright = float(int(sn * 255)) / 255.0f;
    DrawSprite(out, world.TextureOf("spray"), pf.x, pf.y + 8 * sn * sn, size * 2, size * 2, 0, pf.x, pf.y,
               0, 0, 1, 1, Rgb{bright, bright, bright}, 1, Blend::Additive);
  }
  for (const Placed& p : s.objects) {
    if (p.name.find("leaves") == std::string::npos) continue;
    const float w = std::fabs(p.x2 - p.x1), h = std::fabs(p.y2 - p.y1);
    const float cx = (p.x1 + p.x2) / 2, cy = (p.y1 + p.y2) / 2;
    const float shade = float(255 - (int(std::sqrt(p.px * p.px + p.py * p.py)) & 255)) / 255.0f;
    // The pivot is the middle of the left edge, or of the right edge when mirrored.
    DrawSprite(out, world.TextureOf(p.name), cx, cy, w, h, p.angle, p.mirrored ? cx + w / 2 : cx - w / 2, cy,
               p.mirrored ? 1 : 0, 0, p.mirrored ? 0 : 1, 1, Rgb{shade, shade, shade}, 1, Blend::Alpha);
  }
  for (Rgb& c : out.c) c = {Clamp01(c.r), Clamp01(c.g), Clamp01(c.b)};
  return out;
}

}  // namespace qhc
