#include "render/states.h"

#include <bit>
#include <cmath>

#include "render/device.h"

namespace qh {

Matrix4 PerspectiveMatrix;

uint32_t FloatBits(float value) { return std::bit_cast<uint32_t>(value); }

void SetDeviceRenderState(uint32_t state, uint32_t value) { Device->SetRenderState(state, value); }

namespace {
void SetFiltering(uint32_t mag, uint32_t min, uint32_t mip) {
  Device->SetTextureStageState(0, D3DTSS_MAGFILTER, mag);
  Device->SetTextureStageState(0, D3DTSS_MINFILTER, min);
  Device->SetTextureStageState(0, D3DTSS_MIPFILTER, mip);
}
}  // namespace

void EnableFeature(int32_t feature) {
  switch (feature) {
    case Lighting: SetDeviceRenderState(D3DRS_LIGHTING, 1); break;
    case DepthTest: SetDeviceRenderState(D3DRS_ZENABLE, 1); break;
    case DepthWrite: SetDeviceRenderState(D3DRS_ZWRITEENABLE, 1); break;
    case Orthographic: SetOrthoProjection(800, 600, 1, 500); break;
    case AlphaBlend: SetDeviceRenderState(D3DRS_ALPHABLENDENABLE, 1); break;
    case AlphaTest: SetDeviceRenderState(D3DRS_ALPHATESTENABLE, 1); break;
    case PointSprite: SetDeviceRenderState(D3DRS_POINTSPRITEENABLE, 1); break;
    case LinearFiltering: SetFiltering(D3DTEXF_LINEAR, D3DTEXF_LINEAR, D3DTEXF_LINEAR); break;
    default: break;
  }
}

void DisableFeature(int32_t feature) {
  switch (feature) {
    case Lighting: SetDeviceRenderState(D3DRS_LIGHTING, 0); break;
    case DepthTest: SetDeviceRenderState(D3DRS_ZENABLE, 0); break;
    case DepthWrite: SetDeviceRenderState(D3DRS_ZWRITEENABLE, 0); break;
    case Orthographic: SetProjectionTransform(PerspectiveMatrix); break;
    case AlphaBlend: SetDeviceRenderState(D3DRS_ALPHABLENDENABLE, 0); break;
    case AlphaTest: SetDeviceRenderState(D3DRS_ALPHATESTENABLE, 0); break;
    case PointSprite: SetDeviceRenderState(D3DRS_POINTSPRITEENABLE, 0); break;
    case LinearFiltering: SetFiltering(D3DTEXF_POINT, D3DTEXF_POINT, D3DTEXF_NONE); break;
    default: break;
  }
}

void SetBlendMode(int32_t mode) {
  switch (mode) {
    case Alpha:
      SetDeviceRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
      SetDeviceRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
      break;
    case Additive:
      SetDeviceRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCCOLOR);
      SetDeviceRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
      break;
    case Opaque:
      SetDeviceRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
      SetDeviceRenderState(D3DRS_DESTBLEND, D3DBLEND_ZERO);
      break;
    default: break;
  }
}

void SetWorldTransform(const Matrix4* matrix) { Device->SetTransform(D3DTS_WORLD, matrix ? *matrix : Identity()); }
void SetViewTransform(const Matrix4* matrix) { Device->SetTransform(D3DTS_VIEW, matrix ? *matrix : Identity()); }
void SetProjectionTransform(const Matrix4& matrix) { Device->SetTransform(D3DTS_PROJECTION, matrix); }
void GetViewTransform(Matrix4* matrix) { Device->GetTransform(D3DTS_VIEW, matrix); }
void GetProjectionTransform(Matrix4* matrix) { Device->GetTransform(D3DTS_PROJECTION, matrix); }

void BuildOrthoMatrix(Matrix4& m, float width, float height, float zNear, float zFar) {
  for (float& e : m.m) e = 0.0f;
  m.m[0] = 2.0f / width;
  m.m[5] = 2.0f / height;
  m.m[10] = 1.0f / (zFar - zNear);
  m.m[14] = zNear / (zNear - zFar);
  m.m[15] = 1.0f;
}

void SetOrthoProjection(float width, float height, float zNear, float zFar) {
  Matrix4 m;
  BuildOrthoMatrix(m, width, height, zNear, zFar);
  SetProjectionTransform(m);
}

void BuildPerspectiveMatrix(Matrix4& m, float fovY, float aspect, float zNear, float zFar) {
  const float c = static_cast<float>(std::cos(static_cast<double>(fovY / 2.0f)));
  const float yScale = c / static_cast<float>(std::sin(static_cast<double>(fovY / 2.0f)));
  const float xScale = yScale / aspect;
  for (float& e : m.m) e = 0.0f;
  m.m[0] = xScale;
  m.m[5] = yScale;
  m.m[10] = zFar / (zFar - zNear);
  m.m[11] = 1.0f;
  m.m[14] = zNear * zFar / (zNear - zFar);
  m.m[15] = 0.0f;
}

void UpdatePerspective(uint32_t clientWidth, uint32_t clientHeight) {
  if (clientHeight == 0) return;  // a minimised window: the matrix is not used meanwhile
  const float aspect = static_cast<float>(clientWidth) / static_cast<float>(clientHeight);
  BuildPerspectiveMatrix(PerspectiveMatrix, 0.7853982f, aspect, 5.0f, 400.0f);
}

void ClearTarget(D3DCOLOR colour) { Device->Clear(0, nullptr, D3DCLEAR_TARGET, colour, 0.0f, 0); }
void BeginFrame() { Device->BeginScene(); }
void EndFrame() { Device->EndScene(); }

}  // namespace qh
