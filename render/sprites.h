// Textured quads, the one thing the scene is made of: rotated sprites, free quads,
// screen rectangles and gradient quads, built on the CPU into one small shared vertex
// array and submitted as user-memory primitives. A global tint multiplies every colour.
#pragma once
#include <cstdint>

#include "render/d3d_types.h"
#include "core/math.h"

namespace qh {

// 24 bytes, flexible vertex format XYZ | DIFFUSE | TEX1 (0x142).
struct SpriteVertex {
  float x = 0.0f, y = 0.0f, z = 0.0f;
  D3DCOLOR colour = 0;
  float u = 0.0f, v = 0.0f;
};
static_assert(sizeof(SpriteVertex) == 24, "sprite vertices are submitted as 24-byte records");
constexpr uint32_t kSpriteFvf = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;

extern SpriteVertex SpriteVertices[6];
extern Colour4f SpriteTint;  // (1, 1, 1, 1) at start; callers keep components within 0..1

struct TexRect {
  float uLeft = 0.0f, vTop = 0.0f, uRight = 1.0f, vBottom = 1.0f;
};

void SetSpriteTint(float r, float g, float b, float a);
D3DCOLOR TintColour(D3DCOLOR colour);  // each channel x tint, truncated, low 8 bits
void DrawSprite(float x, float y, Vec2 pivot, float angle, float width, float height, const TexRect& rect,
                D3DCOLOR colour, float z);
void DrawQuad(const Vec3& p, const Vec3& q, const Vec3& r, const Vec3& s, const Vec2& tp, const Vec2& tq,
              const Vec2& tr, const Vec2& ts, D3DCOLOR colour);
void DrawGradientQuad(const Vec3& p, const Vec3& q, const Vec3& r, const Vec3& s, D3DCOLOR cp, D3DCOLOR cq,
                      D3DCOLOR cr, D3DCOLOR cs);
void DrawScreenRect(float left, float top, float right, float bottom, float uLeft, float vTop, float uRight,
                    float vBottom, D3DCOLOR colour);
void DrawUserPrimitives(const void* data, uint32_t count, uint32_t fvf, uint32_t primitiveType);

}  // namespace qh
