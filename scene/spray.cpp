#include "scene/spray.h"

#include <cmath>

#include "core/frame_timing.h"
#include "render/sprites.h"
#include "render/states.h"
#include "resources/textures.h"
#include "scene/level.h"

namespace qh {

SprayRingState SprayRing;

void ResetSprayRing() { SprayRing = SprayRingState{}; }

void EmitSpray(float x, float y, const TextureRecord* texture) {
  if (crossfadeCountdown > 0.0f) return;  // no new puffs while one scene gives way to the next
  SprayRing.slots[SprayRing.next] = {{x, y}, kSprayLifeMs, texture};
  SprayRing.next = (SprayRing.next + 1) % kSprayRingSize;
}

void DrawSpray() {
  // Additive, weighted by the source colour: a puff's brightness is its visibility.
  SetDeviceRenderState(D3DRS_ALPHABLENDENABLE, 1);
  SetDeviceRenderState(D3DRS_ZWRITEENABLE, 0);
  SetDeviceRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCCOLOR);
  SetDeviceRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
  for (SprayParticle& puff : SprayRing.slots) {
    const float life = puff.life;
    if (!(life > 0.0f)) continue;
    // The sine is kept in double up to the brightness, as the puffs were tuned with: at
    // mid-life s x 255 lies just below 255 and truncates to 254.
    const double s = std::sin(static_cast<double>(life / kSprayLifeMs * 3.1415927f));
    const float rise = 20.0f * static_cast<float>(s);
    const float lift = 0.02f * (rise * rise);
    const float size = (kSprayLifeMs - life) * 0.011f + 15.0f;
    const uint32_t bright = static_cast<uint32_t>(static_cast<int32_t>(s * 255.0)) & 0xFFu;
    const D3DCOLOR colour = 0xFF000000u | (bright << 16) | (bright << 8) | bright;
    BindTexture(puff.texture);
    DrawBillboard(puff.position.x, puff.position.y + lift, size, colour);
    puff.life = life - FrameDeltaMs;  // after drawing: a new puff is first drawn at full life
  }
}

void DrawBillboard(float x, float y, float size, D3DCOLOR colour) {
  const Vec3 p{x, y, 0.0f};
  const Vec3 right = Scale(AxisX(CameraView), size);
  const Vec3 up = Scale(AxisY(CameraView), size);
  const Vec3 topLeft = Add(Subtract(p, right), up);
  const Vec3 bottomLeft = Subtract(Subtract(p, right), up);
  const Vec3 bottomRight = Subtract(Add(p, right), up);
  const Vec3 topRight = Add(Add(p, right), up);
  DrawGradientQuad(topLeft, bottomLeft, bottomRight, topRight, colour, colour, colour, colour);
}

}  // namespace qh
