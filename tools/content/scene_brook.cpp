// Scene 1: a brook meandering towards the viewer down a green valley between wooded
// hillsides; the brook's sound.
#include <algorithm>
#include <cmath>

#include "tools/content/landscape.h"

namespace qhc {

Scene BrookScene(const World& world) {
  Scene s;
  s.ambient = 2;
  Image bg(W, H, Hex(0xdfe6e6), 0);
  const Rgb haze = Hex(0xc9d6dc);
  Range far{215, 75, 0.0028f, 201, Hex(0xc6c4cc), Hex(0x7886a2), Hex(0x8d9cb0), 60, 0.5f, haze, 0.4f, 60, 0.5f};
  auto farTop = RangeProfile(far);
  PaintRange(bg, far, farTop);
  // Valley sides: a hill from the left and one from the right, the brook between them.
  auto leftHill = GroundLine(200, 330, 14, 0.006f, 203);
  for (int x = 0; x < W; ++x) leftHill[size_t(x)] += std::max(0.0f, (x - 380.0f)) * 0.9f;
  Range leftR{0, 30, 0.01f, 205, Hex(0x6f8a52), Hex(0x3a5540), Hex(0x4d6b3e), 0, 0, haze, 0.18f, 90, 0.2f, 0.5f, 0};
  PaintRange(bg, leftR, leftHill);
  PaintForest(bg, leftHill, 2, 120, 5, 16, 0.6f, Hex(0x1c3226), Hex(0x40603f), haze, 0.3f, 0.1f, 207, 0, 520,
              {0.3f, 0.45f, Hex(0x7d9a55)});
  auto rightHill = GroundLine(360, 230, 12, 0.007f, 209);
  for (int x = 0; x < W; ++x) rightHill[size_t(x)] += std::max(0.0f, 430.0f - x) * 0.8f;
  Range rightR{0, 30, 0.01f, 211, Hex(0x7f9758), Hex(0x405a3e), Hex(0x587a44), 0, 0, haze, 0.15f, 90, 0.2f, 0.5f, 0};
  PaintRange(bg, rightR, rightHill);
  PaintForest(bg, rightHill, 0, 110, 6, 17, 0.55f, Hex(0x1a2f22), Hex(0x45663f), haze, 0.25f, 0.08f, 213, 340, 800,
              {0.3f, 0.45f, Hex(0x86a058)});
  // Where the two hillsides meet, the valley goes on into the distance: its far reach, in
  // the gap between the forests, fades into the haze.
  for (int y = 240; y < 340; ++y) {
    for (int x = 300; x < 540; ++x) {
      const float far = std::exp(-std::pow((x - 410) / 60.0f, 2.0f)) * SmoothStep(240, 330, float(y));
      bg.At(x, y) = Mix(bg.At(x, y), haze, 0.55f * far);
    }
  }
  // A row of small trees along the far end of the valley floor closes the gap.
  PaintForest(bg, std::vector<float>(W, 330.0f), 0, 6, 5, 9, 0.9f, Hex(0x1c3226), Hex(0x40603f), haze, 0.5f, 0.45f,
              245, 340, 480);
  // Valley floor meadow.
  auto floorTop = GroundLine(338, 336, 3, 0.01f, 215);
  Meadow meadow{Hex(0xa2b55a), Hex(0x53733a), Hex(0xc7b577), haze, 0.35f, 217};
  PaintMeadow(bg, floorTop, meadow, 120);
  // The conifer behind the picture stands on the left bank; a grassy knoll hides its foot.
  Placed hidden{"spruce", -345, -75, -275, 55, 0, 0, 0, false, true};
  CutOut(bg, world, hidden);
  auto knoll = GroundLine(385, 430, 6, 0.01f, 219, 40, 30, 140);
  for (int x = 0; x < W; ++x) {
    if (x > 330) knoll[size_t(x)] = 2000;  // only on the left
    else knoll[size_t(x)] += SmoothStep(260, 330, float(x)) * 120;
  }
  Meadow knollM{Hex(0x9cb556), Hex(0x4c6c35), Hex(0xc0ae6c), haze, 0.05f, 221};
  PaintMeadow(bg, knoll, knollM, 20);
  // Break the valley floor into patches: dry turf, lush hollows, dark rushes, in perspective.
  for (int y = 340; y < H; ++y) {
    const float persp = 0.3f + float(y) / H;
    const float fade = SmoothStep(340, 420, float(y));
    for (int x = 0; x < W; ++x) {
      if (bg.A(x, y) < 0.99f) continue;
      const float dryN = Fbm(x * 0.005f / persp, y * 0.012f / persp, 229 + 7, 3);
      const float lushN = Fbm(x * 0.008f / persp, y * 0.02f / persp, 229 + 8, 3);
      const float rushN = Fbm(x * 0.02f / persp, y * 0.05f / persp, 237, 3);
      Rgb& c = bg.At(x, y);
      c = Mix(c, Hex(0xbfb173) * (0.85f + 0.3f * Luma(c)), SmoothStep(0.05f, 0.35f, dryN) * 0.55f * fade);
      c = Mix(c, c * Rgb{0.55f, 0.7f, 0.55f}, SmoothStep(0.1f, 0.35f, lushN) * 0.6f * fade);
      c = Mix(c, Hex(0x2d4425), SmoothStep(0.3f, 0.5f, rushN) * 0.5f * fade);
    }
  }
  // The brook: from a thin thread in the distance, winding and widening towards us.
  // The course is a gentle meander on the valley floor seen in perspective: bends crowd
  // together and shrink into the distance, the nearest one swings widest.
  auto centre = [](float row) {
    const float d = std::max(0.0f, row - 336);
    const float z = 3000 / (d + 20);
    return 405 + d * (0.5f * std::sin(z * 0.1f + 2.1f) - 0.1f);
  };
  auto halfWidth = [](float row) {
    const float d = std::max(0.0f, row - 336);
    return 1.5f + 0.3f * d + 0.0004f * d * d;
  };
  for (int y = 335; y < H; ++y) {
    const float c = centre(y), hw = halfWidth(y);
    const float d = y - 336.0f;
    for (int x = std::max(0, int(c - hw - 40)); x < std::min(W, int(c + hw + 40)); ++x) {
      const float edge = hw - std::fabs(x + 0.5f - c) + 2.5f * Fbm(x * 0.08f, y * 0.08f, 223, 3) * (1 + hw * 0.05f);
      // Banks of wet earth and gravel, wider where the water has cut into the meadow.
      const float bankW = (1.5f + 0.1f * d) * (0.5f + Fbm(x * 0.03f, y * 0.05f, 231, 2) + 0.5f);
      const float bank = Clamp01(edge + bankW) - Clamp01(edge);
      if (bank > 0) {
        const float g = Fbm(x * 0.15f, y * 0.3f, 233, 2) * 0.5f + 0.5f;
        const float wet = SmoothStep(bankW, 0, edge + bankW);  // darker near the water
        const Rgb earth = Mix(Mix(Hex(0x5c4f3a), Hex(0x9a8d70), g), Hex(0x2f3326), wet * 0.7f);
        bg.Over(x, y, earth, bank * 0.9f);
      }
      const float open = Clamp01(edge + 0.5f);
      if (open > 0) {
        // A faint reflection of the banks keeps some colour in the water near its edges.
        const float refl = 0.45f * SmoothStep(hw * 0.5f + 6, 0, edge) + 0.08f;
        bg.At(x, y) = Mix(bg.At(x, y), Hex(0x40573f), open);
        bg.A(x, y) = Lerp(bg.A(x, y), refl, open);
      }
    }
  }
  // Pebbles and stones along the brook.
  {
    Rng rng(225);
    for (int i = 0; i < 900; ++i) {
      // More stones near the viewer, where each row covers less ground.
      const float y = 338 + (H - 338) * std::sqrt(rng.Uniform());
      const float side = rng.Uniform() < 0.5f ? -1.0f : 1.0f;
      const float hw = halfWidth(y), d = y - 336;
      const float x = centre(y) + side * (hw + rng.Range(-0.1f, 0.25f) * (3 + 0.3f * d));
      const float r = (0.5f + 0.045f * d) * rng.Range(0.4f, 1.3f);
      const float l = rng.Range(0.25f, 0.85f);
      const Rgb tone = Mix(Hex(0x5b5347), Hex(0x6b7178), rng.Uniform());
      Shadow(bg, x + r * 0.3f, y + r * 0.5f, r * 1.5f, r * 0.5f, 0.4f);
      FillEllipse(bg, x, y, r * 1.4f, r, rng.Range(-0.3f, 0.3f), Mix(tone * 0.7f, Hex(0xbdb4a0), l), 1, 0.9f);
      FillEllipse(bg, x - r * 0.35f, y - r * 0.4f, r * 0.75f, r * 0.4f, 0, Hex(0xdcd6c8), 0.4f * l, 1);
    }
  }
  PaintFlowers(bg, floorTop, 350, 600, 227, 0.8f);
  auto grassTop = floorTop;
  PaintGrass(bg, grassTop, 380, Hex(0x3b5a2c), Hex(0xbac86c), 229, 0.6f, 1);
  // The grass must not cover the water: reopen the brook where blades fell on it.
  for (int y = 335; y < H; ++y) {
    const float c = centre(y), hw = halfWidth(y);
    for (int x = std::max(0, int(c - hw)); x < std::min(W, int(c + hw)); ++x) {
      const float edge = hw - std::fabs(x + 0.5f - c) + 2.5f * Fbm(x * 0.08f, y * 0.08f, 223, 3) * (1 + hw * 0.05f);
      if (edge > 3) bg.A(x, y) = std::min(bg.A(x, y), 0.45f * SmoothStep(hw * 0.5f + 6, 0, edge) + 0.08f);
    }
  }
  // Tussocks: dense clumps of darker blades fanning from one root.
  {
    Rng rng(239);
    for (int i = 0; i < 70; ++i) {
      const float y = 395 + (H + 10 - 395) * std::sqrt(rng.Uniform());
      const float x = rng.Range(-10, W + 10);
      if (std::fabs(x - centre(y)) < halfWidth(y) + 12 + 0.1f * (y - 336)) continue;
      const float near = (y - 336) / (H - 336);
      const float size = (6 + 34 * near * near) * rng.Range(0.6f, 1.2f);
      const int blades = 25 + rng.Below(20);
      Shadow(bg, x, y, size * 0.5f, size * 0.12f, 0.3f);
      for (int b = 0; b < blades; ++b) {
        const float lean = rng.Range(-0.6f, 0.6f);
        const float l = size * rng.Range(0.5f, 1.0f);
        const float bx = x + rng.Range(-0.3f, 0.3f) * size;
        const float ex = bx + lean * l * 0.7f, ey = y - l * (1 - 0.25f * std::fabs(lean));
        // Blades arch over: the tip bends further out than the middle.
        const float mx = bx + lean * l * 0.25f, my = y - l * 0.55f;
        const Rgb col = Mix(Hex(0x2c4723), Hex(0xaab866), rng.Uniform() * 0.6f + 0.4f * (b % 3 == 0));
        TaperStroke(bg, bx, y, mx, my, 1.0f + 1.5f * near, 0.7f + near, col, 0.8f);
        TaperStroke(bg, mx, my, ex, ey, 0.7f + near, 0.25f, col, 0.8f);
      }
    }
  }
  // A few stones stand in the current: wet and dark, with a ruffle of white water on their
  // upstream side and a trail of foam below them; fewer towards the viewer, where the
  // water runs deeper.
  {
    Rng rng(235);
    for (int i = 0; i < 34; ++i) {
      const float y = 380 + (H - 380) * rng.Uniform();
      const float hw = halfWidth(y), d = y - 336;
      const float x = centre(y) + rng.Range(-0.8f, 0.8f) * hw;
      const float r = (0.5f + 0.03f * d) * rng.Range(0.45f, 1.0f);
      const float l = rng.Range(0.3f, 0.7f);
      const float wake = rng.Range(0.8f, 1.6f);
      for (int side = -1; side <= 1; side += 2)
        TaperStroke(bg, x + side * r * 0.9f, y + r * 0.3f, x + side * r * 1.6f, y + r * (1.5f + 2.5f * wake),
                    r * 0.35f, 0.2f, Hex(0xdfe8e6), 0.45f);
      FillEllipse(bg, x, y - r * 0.6f, r * 1.6f, r * 0.5f, 0, Hex(0xe8eeec), 0.6f, 1.2f);
      FillEllipse(bg, x, y, r * 1.3f, r * 0.8f, rng.Range(-0.2f, 0.2f), Mix(Hex(0x2f3532), Hex(0x8a8f86), l), 1, 0.9f);
      FillEllipse(bg, x - r * 0.3f, y - r * 0.35f, r * 0.6f, r * 0.28f, 0, Hex(0xe4e8e2), 0.55f * l, 1);
    }
  }
  // The rocks behind the picture sit in the valley floor's turf.
  Placed stone{"stone", 40, -122, 96, -94, 0, 0, 0, false, true};
  Placed mossrock{"mossrock", 140, -232, 230, -150, 12, 0, 0, true, true};
  SinkIntoGround(bg, world, stone, 4, Hex(0x3b5a2c), Hex(0xa8b866), 241);
  SinkIntoGround(bg, world, mossrock, 9, Hex(0x3b5a2c), Hex(0xb0bf6a), 243);

  s.background = std::move(bg);
  s.objects = {
      {"sky_valley", -400, 40, 400, 300, 0, 0, 0, false, true},
      {"brookwater", -250, -300, 250, -34, 0, 2, 28, false, true},
      hidden,
      mossrock,
      stone,
      {"boulder", -435, -314, -190, -188, 4, 0, 0, false, false},
      {"pine", 250, -165, 470, 110, 0, 0, 0, true, false},
      {"spruce", 200, -90, 250, 10, 0, 0, 0, false, false},
      {"leaves1", -410, 120, -30, 330, -20, 0, 0, false, false},
      {"leaves", 120, -20, 430, 180, -30, 40, 0, true, false},
  };
  return s;
}

}  // namespace qhc
