// Painting helpers shared by the textures and the backgrounds: soft brush strokes and
// the sprite drawing of the saver (for the previews and for cutting objects out of a
// background), plus the texture makers.
#pragma once
#include "tools/content/content.h"

namespace qhc {

// Anti-aliased filled ellipse (rotated by angle radians); softness widens the edge in pixels.
void FillEllipse(Image& img, float cx, float cy, float rx, float ry, float angle, Rgb colour, float opacity = 1,
                 float softness = 1);
// A round-capped stroke of the given width from (x0, y0) to (x1, y1).
void Stroke(Image& img, float x0, float y0, float x1, float y1, float width, Rgb colour, float opacity = 1);
// A stroke that tapers from w0 to w1.
void TaperStroke(Image& img, float x0, float y0, float x1, float y1, float w0, float w1, Rgb colour,
                 float opacity = 1);

// How a sprite is blended into a canvas, as the saver draws it.
enum class Blend { Opaque, Alpha, Additive };
// Draws a texture as the saver's DrawSprite does: a rectangle centred at (cx, cy) in world
// units (y up), width w, height h, rotated by angle degrees about (pivotX, pivotY), with
// texture rectangle (u0, v0)-(u1, v1) on its top-left and bottom-right corners, wrapping.
// The canvas is the 800x600 screen. tint multiplies the texture colour; coverage, when not
// null, receives the drawn alpha (for cut-outs).
void DrawSprite(Image& canvas, const Image& tex, float cx, float cy, float w, float h, float angleDeg, float pivotX,
                float pivotY, float u0, float v0, float u1, float v1, Rgb tint, float alpha, Blend blend,
                std::vector<float>* coverage = nullptr);

// ---- textures ----------------------------------------------------------------------------
struct SkyStyle {
  Rgb zenith, horizon, glow;     // gradient top, bottom, warm band near the horizon
  Rgb cloudLit, cloudShade;
  float cover;                   // 0 clear .. 1 overcast
  uint32_t seed;
};
Image MakeSky(const SkyStyle& s, int w, int h);
struct WaterStyle {
  Rgb deep, sky, sparkle;
  float rippleScale;             // vertical ripple frequency (periods per texture height)
  float streak;                  // elongation of the ripples (x periods)
  uint32_t seed;
};
Image MakeWater(const WaterStyle& s, int w, int h);
Image MakeWaterfall(int w, int h, uint32_t seed);
Image MakePuff(int size, uint32_t seed);
Image MakeBoulder(int w, int h, uint32_t seed, float mossy);
Image MakeConifer(int w, int h, uint32_t seed, bool pine);
enum class BranchKind { Birch, Spruce, Pine, AutumnBirch };
Image MakeBranch(BranchKind kind, int w, int h, uint32_t seed);
// A birch trunk standing on the texture's bottom edge and leaving it at the top: white
// bark with dark lenticels and scars, black and fissured towards the foot, lit from the left.
Image MakeBirchTrunk(int w, int h, uint32_t seed);
// The picture with every colour multiplied by mul (the coverage kept): the same object in
// another light.
Image Relit(Image img, Rgb mul);
// Fresh snow on the picture's upper edges: wherever sky lies just above a covered texel,
// a cap of snow, thicker with `depth` (texels), lit on the left and blue in shade.
Image Snowed(Image img, float depth, uint32_t seed);
// Snow lying heavy on a branch: the caps of Snowed, and soft pillows of snow resting on
// the upper edges wherever enough of the branch lies under them to carry them.
Image SnowLaden(Image img, float depth, uint32_t seed);
// A night sky: stars of different brightness sprinkled over the picture, fewer low down.
Image WithStars(Image sky, int count, uint32_t seed);

}  // namespace qhc
