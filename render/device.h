// The graphics device interface the engine draws through. It offers the operations of
// the device the picture was designed for, with the same numeric arguments, so scene,
// texture and font code stay free of any real graphics API. Two implementations:
// the OpenGL 3.3 device (render/gl_device.*) and the recording device that unit tests
// read back (render/recording_device.*).
#pragma once
#include <cstdint>
#include <memory>

#include "render/buffers.h"
#include "render/d3d_types.h"
#include "render/texture.h"
#include "core/math.h"

namespace qh {

class GraphicsDevice;

// The adapter: what the display can do, and the factory of the device.
class GraphicsAdapter {
 public:
  virtual ~GraphicsAdapter() = default;
  virtual uint32_t GetAdapterModeCount() = 0;
  virtual HRESULT EnumAdapterModes(uint32_t index, D3DDISPLAYMODE* mode) = 0;
  virtual HRESULT CheckDeviceFormat(D3DFORMAT adapterFormat, uint32_t usage, D3DRESOURCETYPE type,
                                    D3DFORMAT checkFormat) = 0;
  virtual HRESULT CheckDepthStencilMatch(D3DFORMAT adapterFormat, D3DFORMAT renderTargetFormat,
                                         D3DFORMAT depthStencilFormat) = 0;
  // Creates the device for the window in params.hDeviceWindow; nullptr on failure.
  virtual std::unique_ptr<GraphicsDevice> CreateDevice(D3DPRESENT_PARAMETERS* params) = 0;
};

class GraphicsDevice {
 public:
  virtual ~GraphicsDevice() = default;

  virtual HRESULT SetRenderState(uint32_t state, uint32_t value) = 0;
  virtual HRESULT SetTextureStageState(uint32_t stage, uint32_t type, uint32_t value) = 0;
  virtual HRESULT SetTransform(uint32_t type, const Matrix4& matrix) = 0;
  virtual HRESULT GetTransform(uint32_t type, Matrix4* matrix) = 0;
  // The texture is not owned by the device; nullptr unbinds the stage.
  virtual HRESULT SetTexture(uint32_t stage, Texture* texture) = 0;
  // Only user-memory drawing is used: the stream source is always "none" with a stride.
  virtual HRESULT SetStreamSource(uint32_t stream, const void* buffer, uint32_t stride) = 0;
  virtual HRESULT SetVertexShader(uint32_t fvf) = 0;
  virtual HRESULT DrawPrimitiveUP(uint32_t primitiveType, uint32_t primitiveCount, const void* vertexData,
                                  uint32_t stride) = 0;
  virtual HRESULT Clear(uint32_t count, const void* rects, uint32_t flags, D3DCOLOR colour, float z,
                        uint32_t stencil) = 0;
  virtual HRESULT BeginScene() = 0;
  virtual HRESULT EndScene() = 0;
  virtual HRESULT Present() = 0;
  virtual HRESULT TestCooperativeLevel() = 0;
  virtual HRESULT Reset(D3DPRESENT_PARAMETERS* params) = 0;
  // Textures are plain memory (render/texture.h); any device can make them.
  virtual HRESULT CreateTexture(uint32_t width, uint32_t height, uint32_t levels, uint32_t usage,
                                D3DFORMAT format, D3DPOOL pool, std::unique_ptr<Texture>* out);
  // Buffers are plain memory too. A length of 0 is refused, as is an index format other
  // than INDEX16 / INDEX32.
  virtual HRESULT CreateVertexBuffer(uint32_t length, uint32_t usage, uint32_t fvf, D3DPOOL pool,
                                     std::unique_ptr<VertexBuffer>* out);
  virtual HRESULT CreateIndexBuffer(uint32_t length, uint32_t usage, D3DFORMAT format, D3DPOOL pool,
                                    std::unique_ptr<IndexBuffer>* out);
  // Called before a texture is destroyed so a device can free what it made for it.
  virtual void ForgetTexture(Texture* /*texture*/) {}
};

// Vertex stride of a flexible vertex format, as user-memory drawing computes it.
uint32_t FvfStride(uint32_t fvf);

}  // namespace qh

namespace qh {
// The program's one adapter and device; none until the saver creates them.
extern GraphicsAdapter* Direct3D;
extern GraphicsDevice* Device;
}  // namespace qh
