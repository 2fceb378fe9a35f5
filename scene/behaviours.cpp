#include "scene/behaviours.h"

#include <cmath>
#include <cstring>

#include "core/frame_timing.h"
#include "render/sprites.h"
#include "render/states.h"
#include "resources/textures.h"
#include "scene/catalogue.h"
#include "scene/director.h"
#include "scene/level.h"
#include "scene/spray.h"

namespace qh {

SwayListState SwayList;
float leafPhaseOffset = 0.0f;

void ResetBehaviourState() {
  SwayList = SwayListState{};
  leafPhaseOffset = 0.0f;
}

namespace {
constexpr double kTwoPi = 6.283185307179586;
constexpr D3DCOLOR kOpaqueWhite = 0xFFFFFFFFu;

bool Contains(const char* name, const char* word) { return std::strstr(name, word) != nullptr; }

bool HasPicture(const TextureRecord* tex) { return tex != nullptr && tex->width > 0 && tex->height > 0; }

// The low 8 bits of the integer part of v, as a byte of a colour.
uint32_t LowByteOfInteger(double v) {
  if (!std::isfinite(v)) return 0;
  double m = std::fmod(std::trunc(v), 256.0);
  if (m < 0.0) m += 256.0;
  return static_cast<uint32_t>(m);
}

// A texture offset under wrap addressing: only its fraction matters, so it is reduced in
// double before it becomes a float and keeps its precision however long the clock has run.
float WrappedOffset(double offset) { return static_cast<float>(std::fmod(offset, 1.0)); }

// Sin(k x t) for a running time t that only grows: the argument is reduced to one turn in
// double, so that the sway still moves smoothly after weeks.
float SwaySin(float k, double t) { return Sin(static_cast<float>(std::fmod(static_cast<double>(k) * t, kTwoPi))); }

float SwayAngle(const char* name, double t) {
  if (Contains(name, "leaves1")) return 0.5f * SwaySin(0.003f, t) + 0.2f * SwaySin(0.0043f, t);
  if (Contains(name, "leaves2")) return 0.18f * SwaySin(0.004f, t) + 0.11f * SwaySin(0.0024f, t);
  return 0.6f * SwaySin(0.0022f, t) + 0.24f * SwaySin(0.0038f, t);
}

D3DCOLOR Grey(uint32_t shade) { return 0xFF000000u | (shade << 16) | (shade << 8) | shade; }

// Spray: at most one puff per object and pass, more often for larger areas.
void EmitFromSpray(SceneObject& object, float w, float h, Vec2 c) {
  const Rect& r = object.rect;
  const float area = Abs((r.x2 - r.x1) * (r.y2 - r.y1));
  if (area == 0.0f) return;  // an empty area emits nothing
  object.phase += FrameDeltaMs;
  if (static_cast<double>(300000.0f / area) < object.phase) {
    object.phase = 0.0;
    const float ry = RandomSpread(h * 0.5f);
    const float rx = RandomSpread(w * 0.5f);
    EmitSpray(c.x + rx, c.y + ry, object.entry->texture);
  }
}

void QueueLeaves(SceneObject& object, float w, float h, Vec2 c) {
  object.phase += FrameDeltaMs;
  const double t = static_cast<double>(leafPhaseOffset) + object.phase;
  leafPhaseOffset += 400.0f;
  Colour colour;
  colour.value = Grey(255u - LowByteOfInteger(Length(object.param)));
  const float s = object.mirrored ? -1.0f : 1.0f;
  const float angle = object.angle + SwayAngle(object.entry->name, t);
  // The middle of the left edge, or of the right edge when mirrored.
  const Vec2 pivot{c.x + s * (-w / 2.0f), c.y};
  QueueSway(c, pivot, angle, w, h, colour, object.entry->texture, object.mirrored);
}
}  // namespace

void UpdateObject(SceneObject& object) {
  object.drawnThisFrame = 0;
  if (object.entry == nullptr) {  // nothing to show; the level loader never leaves one
    object.drawnThisFrame = 1;
    return;
  }
  float ustart = 0.0f, vstart = 0.0f, uspan = 1.0f, vspan = 1.0f;
  const char* name = object.entry->name;
  const TextureRecord* tex = object.entry->texture;
  const Rect& r = object.rect;
  const float w = Width(r);
  const float h = Height(r);
  const Vec2 c = Centre(r);
  const double clock = SceneClockMs;

  if (Contains(name, "sky")) {
    // Keeps the picture's proportions over the rectangle's height, drifting sideways.
    object.drawnThisFrame = 1;
    if (!HasPicture(tex) || r.y2 == r.y1) return;  // nothing sensible to show
    uspan = ((r.x2 - r.x1) / (r.y2 - r.y1)) * (static_cast<float>(tex->height) / static_cast<float>(tex->width));
    vspan = 1.0f;
    ustart = WrappedOffset(-clock * static_cast<double>(3e-6f));
    vstart = 0.0f;
  } else if (Contains(name, "water")) {
    // One texel per world unit, scrolling by param; plain water five times slower.
    object.drawnThisFrame = 1;
    if (!HasPicture(tex)) return;
    double u = -static_cast<double>(object.param.x) * clock * static_cast<double>(0.00001f);
    double v = -static_cast<double>(object.param.y) * clock * static_cast<double>(0.00001f);
    if (!Contains(name, "waterfall")) {
      u *= static_cast<double>(0.2f);
      v *= static_cast<double>(0.2f);
    }
    ustart = WrappedOffset(u);
    vstart = WrappedOffset(v);
    uspan = (r.x2 - r.x1) / static_cast<float>(tex->width);
    vspan = (r.y2 - r.y1) / static_cast<float>(tex->height);
  } else if (Contains(name, "spray")) {
    EmitFromSpray(object, w, h, c);
    object.drawnThisFrame = 1;  // the emitter itself is never drawn
    return;
  } else if (Contains(name, "leaves")) {
    QueueLeaves(object, w, h, c);
    object.drawnThisFrame = 1;  // drawn from the sway list, last
    return;
  }

  // Objects under the picture, and those with a texture window, are drawn now.
  if (object.behindBackground == 0 && object.drawnThisFrame == 0) return;
  object.drawnThisFrame = 1;
  BindTexture(tex);
  TexRect window{ustart, vstart, ustart + uspan, vstart + vspan};
  if (object.mirrored) window = {ustart + uspan, vstart, ustart, vstart + vspan};
  D3DCOLOR colour = kOpaqueWhite;
  if (crossfadeCountdown > 0.0f && crossfadeCountdown <= 3000.0f) {
    const float f = Director.fadeFraction;
    colour = (LowByteOfInteger(255.0f * f * f * f) << 24) | 0x00FFFFFFu;
  }
  DrawSprite(c.x, c.y, c, object.angle, w, h, window, colour, 0.0f);
}

void DrawPlainObject(const SceneObject& object) {
  if (object.drawnThisFrame || object.entry == nullptr) return;
  BindTexture(object.entry->texture);
  const TexRect window = object.mirrored ? TexRect{1.0f, 0.0f, 0.0f, 1.0f} : TexRect{0.0f, 0.0f, 1.0f, 1.0f};
  const Vec2 c = Centre(object.rect);
  DrawSprite(c.x, c.y, c, object.angle, Width(object.rect), Height(object.rect), window, kOpaqueWhite, 0.0f);
}

void QueueSway(Vec2 centre, Vec2 pivot, float angle, float width, float height, Colour colour,
               const TextureRecord* texture, uint8_t mirrored) {
  if (SwayList.count >= kMaxSwayEntries) return;
  SwayList.entries[SwayList.count++] = {centre, pivot, angle, width, height, colour, texture, mirrored};
}

void DrawSwayList() {
  SetDeviceRenderState(D3DRS_ALPHABLENDENABLE, 1);
  SetDeviceRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  SetDeviceRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  for (int32_t i = 0; i < SwayList.count; ++i) {
    const SwayEntry& e = SwayList.entries[i];
    BindTexture(e.texture);
    const TexRect window = e.mirrored ? TexRect{1.0f, 0.0f, 0.0f, 1.0f} : TexRect{0.0f, 0.0f, 1.0f, 1.0f};
    DrawSprite(e.centre.x, e.centre.y, e.pivot, e.angle, e.width, e.height, window, e.colour.value, 0.0f);
  }
}

}  // namespace qh
