// The painting of landscape backgrounds, shared by every scene: ranges of hills and
// mountains fading into haze, forests of small conifers, meadows with grass and flowers,
// lake reflections, stones, contact shadows, and the cut-outs through which objects
// behind the picture show. All of it works on the 800x600 background in pixel rows from
// the top; world units (y up, origin at the centre) only where a level object is involved.
#pragma once
#include <vector>

#include "tools/content/paint.h"
#include "tools/content/scenes.h"

namespace qhc {

constexpr int W = 800, H = 600;  // the background picture, in pixels

// ---- ranges of hills and mountains ------------------------------------------------------

struct Range {
  float baseRow, amp, freq;
  uint32_t seed;
  Rgb lit, shade, low;   // rock in light, rock in shade, the clothing of the lower slopes
  float lowFrom;         // pixels below the crest where the lower colour begins
  float snow;            // 0..1
  Rgb haze;
  float hazeAmt;         // aerial perspective: how far the whole range fades into the haze
  float fogDepth, fogAmt;  // valley mist towards the range's foot
  float gully = 1;       // strength of the vertical gullies
  float peaky = 0.7f;    // 0 rounded hills .. 1 sharp peaks
};
// The crest line of a range: one row per pixel column.
std::vector<float> RangeProfile(const Range& r);
// The profile smoothed over a window: deeper rows of a range follow broader shapes.
std::vector<float> BoxBlur(const std::vector<float>& v, int radius);
// Paints the range from its crest line down to the bottom of the picture.
void PaintRange(Image& bg, const Range& r, const std::vector<float>& top);

// ---- crags ----------------------------------------------------------------------------------

// A summit of a massif: where it stands, how high (its row), how steeply each flank falls
// (rows per column near the top; the flanks ease out lower down).
struct Summit {
  float x, row, left, right;
};
// The crest of a massif: the skyline of its summits standing in front of and beside each
// other, broken into towers, notches and shoulders at every scale.
std::vector<float> MassifProfile(const std::vector<Summit>& summits, float baseRow, float rough, uint32_t seed);
// How a massif is painted: bedded rock stepped into ledges, ridges and gullies running
// down the fall line from the crest, faces turned to the sun lit and the others in shade,
// snow lying in the gullies and on the ledges above the snow line.
struct Crags {
  Rgb lit, shade, warm;    // rock in sun and in shade; warm: the light on the lit faces
  Rgb snowLit, snowShade;
  float sunX = -0.8f;      // where the light comes from: -1 the left, 1 the right
  float snow = 0.6f;       // 0..1
  float cover = 0;         // fresh snow over the whole face as well, but the steepest rock
  float snowLine = 160;    // pixels below the crest where snow gives out
  float bedding = 18;      // thickness of the rock's beds in pixels (0: none)
  float tilt = 0.12f;      // how the beds dip across the face
  Rgb haze = {};
  float hazeAmt = 0, fogDepth = 100, fogAmt = 0.4f;
  float bottom = H;        // the last row painted (what lies below is painted over later)
  uint32_t seed = 1;
};
void PaintCrags(Image& bg, const Crags& c, const std::vector<float>& top);
// A hanging valley: a notch cut into a crest at column x, and the foot of the snowfield
// lying in the corrie behind it, seen through the notch, its melt running to the lip at
// lipRow where a fall begins. Paint the snowfield before the wall that has the notch.
void CutNotch(std::vector<float>& crest, float x, float depth, float halfWidth);
void PaintSnowfield(Image& bg, float x, float lipRow, float halfWidth, Rgb lit, Rgb shade, Rgb rock, uint32_t seed);

// ---- streams -------------------------------------------------------------------------------

// A winding course in the picture: the column of its middle at a row, on a smooth curve
// (Catmull-Rom) through the given points (rows increasing; the first and last points only
// steer the ends).
float CourseAt(const std::vector<float>& rows, const std::vector<float>& cols, float row);

// ---- forests -------------------------------------------------------------------------------

// One small painted conifer standing at (bx, by) with height th, lit from the left.
void PaintTreeSilhouette(Image& bg, float bx, float by, float th, Rgb dark, Rgb lit, Rng& rng);

// How a forest band is broken up: meadow clearings on the slope (painted in the ground
// colour, with a few lone trees left standing) and groves of taller and lower trees.
struct ForestBreaks {
  float clearing = 0;   // 0 none .. 1 about half the band open
  float heightVar = 0;  // relative spread of tree heights between groves
  Rgb ground;
};
// Scatters conifers over a band below a range's crest: back rows first, smaller and hazier.
void PaintForest(Image& bg, const std::vector<float>& top, float fromDepth, float toDepth, float minH, float maxH,
                 float density, Rgb dark, Rgb lit, Rgb haze, float hazeFar, float hazeNear, uint32_t seed,
                 float xFrom = 0, float xTo = W, const ForestBreaks& breaks = {});

// ---- meadows, grass and flowers ----------------------------------------------------------------

struct Meadow {
  Rgb lit, shade, dry;
  Rgb haze;
  float hazeAmt;
  uint32_t seed;
};
// Fills everything below the ground line with meadow, hazier near its far edge.
void PaintMeadow(Image& bg, const std::vector<float>& top, const Meadow& m, float hazeDepth);
// Grass blades, flowers: the textured front of a meadow, growing with nearness.
void PaintGrass(Image& bg, const std::vector<float>& top, float fromRow, Rgb dark, Rgb lit, uint32_t seed,
                float amount = 1, float patchy = 0);
void PaintFlowers(Image& bg, const std::vector<float>& top, float fromRow, float toRow, uint32_t seed, float amount);

// ---- things standing on the ground ---------------------------------------------------------------

// Stamps a texture into the background (alpha blended), tinted towards the haze.
void Stamp(Image& bg, const Image& tex, float cxPx, float footPx, float wPx, float hPx, bool mirror, Rgb haze,
           float hazeAmt, float shade = 1);
// A soft contact shadow on the ground under something standing there.
void Shadow(Image& bg, float cx, float cy, float rx, float ry, float strength);
// A stone lying at (x, y) with half-height r, turned by angle radians: its shadow, its body
// and a highlight of the sky on its upper left with the given opacity.
void PaintStone(Image& bg, float x, float y, float r, float angle, Rgb body, Rgb highlight, float highlightAmt,
                float shadow);
// Where the object covers the 800x600 screen, 0..1 per pixel.
std::vector<float> Coverage(const World& world, const Placed& p);
// The background opens exactly where the object is, so the object drawn behind it shows.
void CutOut(Image& bg, const World& world, const Placed& p);
// An object behind the picture set into the ground: the background opens where it is,
// except along its foot, where the ground stays in front of it up to an uneven line about
// `sink` pixels above its lowest row and grass grows over that line. Cut-out pictures end
// in a straight edge; this hides it.
void SinkIntoGround(Image& bg, const World& world, const Placed& p, float sink, Rgb grassDark, Rgb grassLit,
                    uint32_t seed);

// ---- water -----------------------------------------------------------------------------------------

// Reflection of everything above the water line in a lake's transparent area.
struct Lake {
  float shoreRow;    // far shore: the mirror line
  float reflect;     // opacity of the reflection near the far shore
  Rgb tint;
  uint32_t seed;
};
void PaintLakeReflection(Image& bg, const Lake& lake, float toRow);

// The ground line of a foreground band, rows from the top.
std::vector<float> GroundLine(float leftRow, float rightRow, float wobble, float freq, uint32_t seed,
                              float bumpX = -1, float bumpH = 0, float bumpW = 1);

}  // namespace qhc
