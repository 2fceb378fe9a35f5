// A device that draws nothing and remembers everything: every state, transform and
// bound texture, and every submitted vertex, so a test can read back exactly what a
// frame produced. Also a made-up adapter with a mode list and format answers of the
// test's choosing.
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "render/device.h"

namespace qh {

struct RecordedDraw {
  uint32_t primitiveType = 0;
  uint32_t primitiveCount = 0;
  uint32_t fvf = 0;
  uint32_t stride = 0;
  Texture* texture = nullptr;          // stage 0 at the time of the draw
  std::vector<uint8_t> vertexBytes;    // a copy of what was submitted
  Matrix4 world, view, projection;
  uint32_t alphaBlendEnable = 0, srcBlend = 0, destBlend = 0, alphaTestEnable = 0, alphaRef = 0;
  uint32_t magFilter = 0, minFilter = 0, mipFilter = 0;

  uint32_t VertexCount() const { return stride ? static_cast<uint32_t>(vertexBytes.size() / stride) : 0; }
  // Reads the position, colour and texture coordinate of a vertex of the sprite format (0x142).
  Vec3 Position(uint32_t vertex) const;
  uint32_t Diffuse(uint32_t vertex) const;
  Vec2 TexCoord(uint32_t vertex) const;
};

struct RecordedClear {
  uint32_t flags = 0;
  D3DCOLOR colour = 0;
};

class RecordingDevice : public GraphicsDevice {
 public:
  RecordingDevice();

  HRESULT SetRenderState(uint32_t state, uint32_t value) override;
  HRESULT SetTextureStageState(uint32_t stage, uint32_t type, uint32_t value) override;
  HRESULT SetTransform(uint32_t type, const Matrix4& matrix) override;
  HRESULT GetTransform(uint32_t type, Matrix4* matrix) override;
  HRESULT SetTexture(uint32_t stage, Texture* texture) override;
  HRESULT SetStreamSource(uint32_t stream, const void* buffer, uint32_t stride) override;
  HRESULT SetVertexShader(uint32_t fvf) override;
  HRESULT DrawPrimitiveUP(uint32_t primitiveType, uint32_t primitiveCount, const void* vertexData,
                          uint32_t stride) override;
  HRESULT Clear(uint32_t count, const void* rects, uint32_t flags, D3DCOLOR colour, float z,
                uint32_t stencil) override;
  HRESULT BeginScene() override;
  HRESULT EndScene() override;
  HRESULT Present() override;
  HRESULT TestCooperativeLevel() override;
  HRESULT Reset(D3DPRESENT_PARAMETERS* params) override;
  HRESULT CreateTexture(uint32_t width, uint32_t height, uint32_t levels, uint32_t usage, D3DFORMAT format,
                        D3DPOOL pool, std::unique_ptr<Texture>* out) override;
  HRESULT CreateVertexBuffer(uint32_t length, uint32_t usage, uint32_t fvf, D3DPOOL pool,
                             std::unique_ptr<VertexBuffer>* out) override;
  HRESULT CreateIndexBuffer(uint32_t length, uint32_t usage, D3DFORMAT format, D3DPOOL pool,
                            std::unique_ptr<IndexBuffer>* out) override;
  void ForgetTexture(Texture* texture) override;

  // The last value set for a state; unset states read as 0 unless has...() says otherwise.
  uint32_t RenderState(uint32_t state) const;
  bool HasRenderState(uint32_t state) const { return renderStates.count(state) != 0; }
  uint32_t TextureStageState(uint32_t stage, uint32_t type) const;

  // Every call in order, for tests that check sequences ("SetRenderState 27 1", ...).
  std::vector<std::string> calls;
  std::map<uint32_t, uint32_t> renderStates;
  std::map<uint64_t, uint32_t> stageStates;
  Matrix4 world, view, projection;
  Texture* boundTexture = nullptr;
  uint32_t streamStride = 0;
  uint32_t vertexShader = 0;
  std::vector<RecordedDraw> draws;
  std::vector<RecordedClear> clears;
  int beginScenes = 0, endScenes = 0, presents = 0, resets = 0;
  D3DPRESENT_PARAMETERS lastResetParams;
  // What TestCooperativeLevel answers next (then it answers D3D_OK again).
  HRESULT nextCooperativeLevel = D3D_OK;
  // Texture creation refused (as by a device out of memory) while set.
  bool failCreateTexture = false;
  // Vertex or index buffer creation refused while set.
  bool failCreateVertexBuffer = false;
  bool failCreateIndexBuffer = false;
  // Every texture the owner announced it is about to destroy, in order.
  std::vector<Texture*> forgottenTextures;

  void ClearRecord();  // forget draws, clears and calls; keep the states
};

class RecordingAdapter : public GraphicsAdapter {
 public:
  std::vector<D3DDISPLAYMODE> modes;
  // Formats refused by CheckDeviceFormat / CheckDepthStencilMatch (everything else passes).
  std::vector<D3DFORMAT> refusedDepthFormats;
  std::vector<D3DFORMAT> unmatchedDepthFormats;
  bool failCreateDevice = false;
  D3DPRESENT_PARAMETERS createParams;
  RecordingDevice* createdDevice = nullptr;

  uint32_t GetAdapterModeCount() override;
  HRESULT EnumAdapterModes(uint32_t index, D3DDISPLAYMODE* mode) override;
  HRESULT CheckDeviceFormat(D3DFORMAT adapterFormat, uint32_t usage, D3DRESOURCETYPE type,
                            D3DFORMAT checkFormat) override;
  HRESULT CheckDepthStencilMatch(D3DFORMAT adapterFormat, D3DFORMAT renderTargetFormat,
                                 D3DFORMAT depthStencilFormat) override;
  std::unique_ptr<GraphicsDevice> CreateDevice(D3DPRESENT_PARAMETERS* params) override;
};

}  // namespace qh
