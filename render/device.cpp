#include "render/device.h"

namespace qh {

HRESULT GraphicsDevice::CreateTexture(uint32_t width, uint32_t height, uint32_t levels, uint32_t /*usage*/,
                                      D3DFORMAT format, D3DPOOL /*pool*/, std::unique_ptr<Texture>* out) {
  if (out == nullptr) return D3DERR_INVALIDCALL;
  out->reset();
  // The sides the drawing layer relies on: powers of two up to 4096 (a 1024 side is the most it asks for).
  if (width == 0 || height == 0 || width > 4096 || height > 4096) return D3DERR_INVALIDCALL;
  if (Texture::BytesPerTexel(format) == 0) return D3DERR_INVALIDCALL;
  *out = std::make_unique<Texture>(width, height, levels, format);
  return D3D_OK;
}

HRESULT GraphicsDevice::CreateVertexBuffer(uint32_t length, uint32_t /*usage*/, uint32_t fvf, D3DPOOL /*pool*/,
                                           std::unique_ptr<VertexBuffer>* out) {
  if (out == nullptr) return D3DERR_INVALIDCALL;
  out->reset();
  if (length == 0) return D3DERR_INVALIDCALL;
  *out = std::make_unique<VertexBuffer>(length, fvf);
  return D3D_OK;
}

HRESULT GraphicsDevice::CreateIndexBuffer(uint32_t length, uint32_t /*usage*/, D3DFORMAT format, D3DPOOL /*pool*/,
                                          std::unique_ptr<IndexBuffer>* out) {
  if (out == nullptr) return D3DERR_INVALIDCALL;
  out->reset();
  if (length == 0 || (format != D3DFMT_INDEX16 && format != D3DFMT_INDEX32)) return D3DERR_INVALIDCALL;
  *out = std::make_unique<IndexBuffer>(length, format);
  return D3D_OK;
}

GraphicsAdapter* Direct3D = nullptr;
GraphicsDevice* Device = nullptr;

uint32_t FvfStride(uint32_t fvf) {
  uint32_t stride = 12;
  if (fvf & D3DFVF_NORMAL) stride += 12;
  if (fvf & D3DFVF_TEX1) stride += 8;
  if (fvf & D3DFVF_PSIZE) stride += 4;
  if (fvf & D3DFVF_DIFFUSE) stride += 4;
  if (fvf & D3DFVF_SPECULAR) stride += 4;
  return stride;
}

}  // namespace qh
