#include "render/sprites.h"

#include "render/device.h"

namespace qh {

SpriteVertex SpriteVertices[6];
Colour4f SpriteTint{1.0f, 1.0f, 1.0f, 1.0f};

void SetSpriteTint(float r, float g, float b, float a) { SpriteTint = {r, g, b, a}; }

namespace {
uint32_t TintChannel(uint32_t channel, float factor) {
  // Truncated toward zero; only the low 8 bits are kept.
  return static_cast<uint32_t>(static_cast<int32_t>(static_cast<float>(channel) * factor)) & 0xFFu;
}

void SubmitStrip() {
  Device->SetStreamSource(0, nullptr, sizeof(SpriteVertex));
  Device->SetVertexShader(kSpriteFvf);
  Device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, SpriteVertices, sizeof(SpriteVertex));
}

void Put(int index, float x, float y, float z, D3DCOLOR colour, float u, float v) {
  SpriteVertices[index] = {x, y, z, colour, u, v};
}
}  // namespace

D3DCOLOR TintColour(D3DCOLOR colour) {
  const uint32_t a = TintChannel((colour >> 24) & 0xFF, SpriteTint.a);
  const uint32_t r = TintChannel((colour >> 16) & 0xFF, SpriteTint.r);
  const uint32_t g = TintChannel((colour >> 8) & 0xFF, SpriteTint.g);
  const uint32_t b = TintChannel(colour & 0xFF, SpriteTint.b);
  return (a << 24) | (r << 16) | (g << 8) | b;
}

void DrawSprite(float x, float y, Vec2 pivot, float angle, float width, float height, const TexRect& rect,
                D3DCOLOR colour, float z) {
  const float s = Sin(angle * 0.017453292f);
  const float c = Cos(angle * 0.017453292f);
  const float hw = width * 0.5f;
  const float hh = height * 0.5f;
  auto turn = [&](float px, float py) {
    const float dx = px - pivot.x;
    const float dy = py - pivot.y;
    return Vec2{dx * c - dy * s + pivot.x, dx * s + dy * c + pivot.y};
  };
  const Vec2 a = turn(x - hw, y + hh);  // top left
  const Vec2 b = turn(x + hw, y + hh);  // top right
  const Vec2 cc = turn(x + hw, y - hh); // bottom right
  const Vec2 d = turn(x - hw, y - hh);  // bottom left
  const D3DCOLOR tinted = TintColour(colour);
  Put(0, b.x, b.y, z, tinted, rect.uRight, rect.vTop);
  Put(1, cc.x, cc.y, z, tinted, rect.uRight, rect.vBottom);
  Put(2, a.x, a.y, z, tinted, rect.uLeft, rect.vTop);
  Put(3, d.x, d.y, z, tinted, rect.uLeft, rect.vBottom);
  SubmitStrip();
}

void DrawQuad(const Vec3& p, const Vec3& q, const Vec3& r, const Vec3& s, const Vec2& tp, const Vec2& tq,
              const Vec2& tr, const Vec2& ts, D3DCOLOR colour) {
  const D3DCOLOR tinted = TintColour(colour);
  Put(0, q.x, q.y, q.z, tinted, tq.x, tq.y);
  Put(1, r.x, r.y, r.z, tinted, tr.x, tr.y);
  Put(2, p.x, p.y, p.z, tinted, tp.x, tp.y);
  Put(3, s.x, s.y, s.z, tinted, ts.x, ts.y);
  SubmitStrip();
}

void DrawGradientQuad(const Vec3& p, const Vec3& q, const Vec3& r, const Vec3& s, D3DCOLOR cp, D3DCOLOR cq,
                      D3DCOLOR cr, D3DCOLOR cs) {
  cp = TintColour(cp);
  cq = TintColour(cq);
  cr = TintColour(cr);
  cs = TintColour(cs);
  Put(0, p.x, p.y, p.z, cp, 0.0f, 0.0f);
  Put(1, q.x, q.y, q.z, cq, 0.0f, -1.0f);
  Put(2, r.x, r.y, r.z, cr, -1.0f, -1.0f);
  Put(3, p.x, p.y, p.z, cp, 0.0f, 0.0f);
  Put(4, r.x, r.y, r.z, cr, -1.0f, -1.0f);
  Put(5, s.x, s.y, s.z, cs, -1.0f, 0.0f);
  DrawUserPrimitives(SpriteVertices, 2, kSpriteFvf, D3DPT_TRIANGLELIST);
}

void DrawScreenRect(float left, float top, float right, float bottom, float uLeft, float vTop, float uRight,
                    float vBottom, D3DCOLOR colour) {
  const float xl = left - 400.0f;
  const float xr = right - 400.0f;
  const float yt = -(top - 300.0f);
  const float yb = -(bottom - 300.0f);
  // Pulled in by a thousandth so filtering never reaches the texels beyond the rectangle.
  uLeft += 0.001f;
  vTop += 0.001f;
  uRight -= 0.001f;
  vBottom -= 0.001f;
  DrawQuad({xr, yb, 10.0f}, {xr, yt, 10.0f}, {xl, yt, 10.0f}, {xl, yb, 10.0f}, {uRight, vBottom}, {uRight, vTop},
           {uLeft, vTop}, {uLeft, vBottom}, colour);
}

void DrawUserPrimitives(const void* data, uint32_t count, uint32_t fvf, uint32_t primitiveType) {
  const uint32_t stride = FvfStride(fvf);
  Device->SetStreamSource(0, nullptr, stride);
  Device->SetVertexShader(fvf);
  Device->DrawPrimitiveUP(primitiveType, count, data, stride);
}

}  // namespace qh
