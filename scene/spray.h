// Spray puffs: short-lived glowing squares that spray objects emit at random points of
// their rectangle. One ring of 256 puffs is shared by every spray object and persists
// across changes of scene; the oldest puff is overwritten when the ring is full.
#pragma once
#include <cstdint>

#include "render/d3d_types.h"
#include "core/math.h"

namespace qh {

struct TextureRecord;

constexpr int kSprayRingSize = 256;
constexpr float kSprayLifeMs = 2000.0f;

struct SprayParticle {
  Vec2 position;                      // world centre at birth
  float life = 0.0f;                  // ms left; live while above 0
  const TextureRecord* texture = nullptr;
};

// Written by EmitSpray (new puffs) and DrawSpray (ageing).
struct SprayRingState {
  SprayParticle slots[kSprayRingSize];
  int32_t next = 0;                   // the slot the next puff goes to
};
extern SprayRingState SprayRing;

// A new puff of 2000 ms at (x, y); nothing while a change of scene runs.
void EmitSpray(float x, float y, const TextureRecord* texture);
// Sets additive blending (left set on return), draws every live puff and ages it by the
// frame time.
void DrawSpray();
// A camera-facing square of half-side `size` centred on (x, y, 0), drawn with the frame's
// view (CameraView) and the sprite tint.
void DrawBillboard(float x, float y, float size, D3DCOLOR colour);

void ResetSprayRing();  // every puff dead, next 0 (tests)

}  // namespace qh
