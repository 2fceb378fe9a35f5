#include "tests/support/recording_device.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace qh {

namespace {
template <typename T>
T ReadAt(const std::vector<uint8_t>& bytes, size_t offset) {
  T value{};
  if (offset + sizeof(T) <= bytes.size()) std::memcpy(&value, bytes.data() + offset, sizeof(T));
  return value;
}
std::string Call(const char* name, uint64_t a, uint64_t b) {
  return std::string(name) + " " + std::to_string(a) + " " + std::to_string(b);
}
// A creation the test refuses while `refuse` is set, as a device out of memory would.
template <typename T, typename Create>
HRESULT CreateUnlessRefused(bool refuse, std::unique_ptr<T>* out, Create create) {
  if (!refuse) return create();
  if (out != nullptr) out->reset();
  return D3DERR_OUTOFVIDEOMEMORY;
}
}  // namespace

Vec3 RecordedDraw::Position(uint32_t vertex) const {
  const size_t base = size_t{vertex} * stride;
  return {ReadAt<float>(vertexBytes, base), ReadAt<float>(vertexBytes, base + 4), ReadAt<float>(vertexBytes, base + 8)};
}

uint32_t RecordedDraw::Diffuse(uint32_t vertex) const {
  size_t offset = size_t{vertex} * stride + 12;
  if (fvf & D3DFVF_NORMAL) offset += 12;
  if (fvf & D3DFVF_PSIZE) offset += 4;
  return ReadAt<uint32_t>(vertexBytes, offset);
}

Vec2 RecordedDraw::TexCoord(uint32_t vertex) const {
  size_t offset = size_t{vertex} * stride + 12;
  if (fvf & D3DFVF_NORMAL) offset += 12;
  if (fvf & D3DFVF_PSIZE) offset += 4;
  if (fvf & D3DFVF_DIFFUSE) offset += 4;
  if (fvf & D3DFVF_SPECULAR) offset += 4;
  return {ReadAt<float>(vertexBytes, offset), ReadAt<float>(vertexBytes, offset + 4)};
}

RecordingDevice::RecordingDevice() = default;

HRESULT RecordingDevice::SetRenderState(uint32_t state, uint32_t value) {
  renderStates[state] = value;
  calls.push_back(Call("SetRenderState", state, value));
  return D3D_OK;
}

HRESULT RecordingDevice::SetTextureStageState(uint32_t stage, uint32_t type, uint32_t value) {
  stageStates[(uint64_t{stage} << 32) | type] = value;
  calls.push_back(Call("SetTextureStageState", stage, type) + " " + std::to_string(value));
  return D3D_OK;
}

HRESULT RecordingDevice::SetTransform(uint32_t type, const Matrix4& matrix) {
  if (type == D3DTS_WORLD) world = matrix;
  else if (type == D3DTS_VIEW) view = matrix;
  else if (type == D3DTS_PROJECTION) projection = matrix;
  else return D3DERR_INVALIDCALL;
  calls.push_back(Call("SetTransform", type, 0));
  return D3D_OK;
}

HRESULT RecordingDevice::GetTransform(uint32_t type, Matrix4* matrix) {
  if (matrix == nullptr) return D3DERR_INVALIDCALL;
  if (type == D3DTS_WORLD) *matrix = world;
  else if (type == D3DTS_VIEW) *matrix = view;
  else if (type == D3DTS_PROJECTION) *matrix = projection;
  else return D3DERR_INVALIDCALL;
  return D3D_OK;
}

HRESULT RecordingDevice::SetTexture(uint32_t stage, Texture* texture) {
  if (stage == 0) boundTexture = texture;
  calls.push_back(Call("SetTexture", stage, texture != nullptr));
  return D3D_OK;
}

HRESULT RecordingDevice::SetStreamSource(uint32_t stream, const void* buffer, uint32_t stride) {
  streamStride = stride;
  calls.push_back(Call("SetStreamSource", stream, stride) + (buffer ? " buffer" : ""));
  return D3D_OK;
}

HRESULT RecordingDevice::SetVertexShader(uint32_t fvf) {
  vertexShader = fvf;
  calls.push_back(Call("SetVertexShader", fvf, 0));
  return D3D_OK;
}

HRESULT RecordingDevice::DrawPrimitiveUP(uint32_t primitiveType, uint32_t primitiveCount, const void* vertexData,
                                         uint32_t stride) {
  RecordedDraw draw;
  draw.primitiveType = primitiveType;
  draw.primitiveCount = primitiveCount;
  draw.fvf = vertexShader;
  draw.stride = stride;
  draw.texture = boundTexture;
  uint32_t vertices = 0;
  switch (primitiveType) {
    case D3DPT_POINTLIST: vertices = primitiveCount; break;
    case D3DPT_LINELIST: vertices = primitiveCount * 2; break;
    case D3DPT_LINESTRIP: vertices = primitiveCount + 1; break;
    case D3DPT_TRIANGLELIST: vertices = primitiveCount * 3; break;
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN: vertices = primitiveCount + 2; break;
    default: return D3DERR_INVALIDCALL;
  }
  const auto* bytes = static_cast<const uint8_t*>(vertexData);
  if (bytes != nullptr) draw.vertexBytes.assign(bytes, bytes + size_t{vertices} * stride);
  draw.world = world;
  draw.view = view;
  draw.projection = projection;
  draw.alphaBlendEnable = RenderState(D3DRS_ALPHABLENDENABLE);
  draw.srcBlend = RenderState(D3DRS_SRCBLEND);
  draw.destBlend = RenderState(D3DRS_DESTBLEND);
  draw.alphaTestEnable = RenderState(D3DRS_ALPHATESTENABLE);
  draw.alphaRef = RenderState(D3DRS_ALPHAREF);
  draw.magFilter = TextureStageState(0, D3DTSS_MAGFILTER);
  draw.minFilter = TextureStageState(0, D3DTSS_MINFILTER);
  draw.mipFilter = TextureStageState(0, D3DTSS_MIPFILTER);
  draws.push_back(std::move(draw));
  calls.push_back(Call("DrawPrimitiveUP", primitiveType, primitiveCount));
  return D3D_OK;
}

HRESULT RecordingDevice::Clear(uint32_t /*count*/, const void* /*rects*/, uint32_t flags, D3DCOLOR colour,
                               float /*z*/, uint32_t /*stencil*/) {
  clears.push_back({flags, colour});
  calls.push_back(Call("Clear", flags, colour));
  return D3D_OK;
}

HRESULT RecordingDevice::BeginScene() {
  ++beginScenes;
  calls.push_back("BeginScene");
  return D3D_OK;
}

HRESULT RecordingDevice::EndScene() {
  ++endScenes;
  calls.push_back("EndScene");
  return D3D_OK;
}

HRESULT RecordingDevice::Present() {
  ++presents;
  calls.push_back("Present");
  return D3D_OK;
}

HRESULT RecordingDevice::TestCooperativeLevel() {
  const HRESULT answer = nextCooperativeLevel;
  nextCooperativeLevel = D3D_OK;
  return answer;
}

HRESULT RecordingDevice::Reset(D3DPRESENT_PARAMETERS* params) {
  ++resets;
  if (params != nullptr) lastResetParams = *params;
  calls.push_back("Reset");
  return D3D_OK;
}

HRESULT RecordingDevice::CreateTexture(uint32_t width, uint32_t height, uint32_t levels, uint32_t usage,
                                       D3DFORMAT format, D3DPOOL pool, std::unique_ptr<Texture>* out) {
  return CreateUnlessRefused(failCreateTexture, out, [&] {
    return GraphicsDevice::CreateTexture(width, height, levels, usage, format, pool, out);
  });
}

HRESULT RecordingDevice::CreateVertexBuffer(uint32_t length, uint32_t usage, uint32_t fvf, D3DPOOL pool,
                                            std::unique_ptr<VertexBuffer>* out) {
  calls.push_back(Call("CreateVertexBuffer", length, fvf));
  return CreateUnlessRefused(failCreateVertexBuffer, out, [&] {
    return GraphicsDevice::CreateVertexBuffer(length, usage, fvf, pool, out);
  });
}

HRESULT RecordingDevice::CreateIndexBuffer(uint32_t length, uint32_t usage, D3DFORMAT format, D3DPOOL pool,
                                           std::unique_ptr<IndexBuffer>* out) {
  calls.push_back(Call("CreateIndexBuffer", length, format));
  return CreateUnlessRefused(failCreateIndexBuffer, out, [&] {
    return GraphicsDevice::CreateIndexBuffer(length, usage, format, pool, out);
  });
}

void RecordingDevice::ForgetTexture(Texture* texture) {
  forgottenTextures.push_back(texture);
  if (boundTexture == texture) boundTexture = nullptr;
}

uint32_t RecordingDevice::RenderState(uint32_t state) const {
  auto it = renderStates.find(state);
  return it == renderStates.end() ? 0 : it->second;
}

uint32_t RecordingDevice::TextureStageState(uint32_t stage, uint32_t type) const {
  auto it = stageStates.find((uint64_t{stage} << 32) | type);
  return it == stageStates.end() ? 0 : it->second;
}

void RecordingDevice::ClearRecord() {
  calls.clear();
  draws.clear();
  clears.clear();
}

uint32_t RecordingAdapter::GetAdapterModeCount() { return static_cast<uint32_t>(modes.size()); }

HRESULT RecordingAdapter::EnumAdapterModes(uint32_t index, D3DDISPLAYMODE* mode) {
  if (index >= modes.size() || mode == nullptr) return D3DERR_INVALIDCALL;
  *mode = modes[index];
  return D3D_OK;
}

HRESULT RecordingAdapter::CheckDeviceFormat(D3DFORMAT, uint32_t, D3DRESOURCETYPE, D3DFORMAT checkFormat) {
  const bool refused =
      std::find(refusedDepthFormats.begin(), refusedDepthFormats.end(), checkFormat) != refusedDepthFormats.end();
  return refused ? D3DERR_NOTAVAILABLE : D3D_OK;
}

HRESULT RecordingAdapter::CheckDepthStencilMatch(D3DFORMAT, D3DFORMAT, D3DFORMAT depthStencilFormat) {
  const bool unmatched = std::find(unmatchedDepthFormats.begin(), unmatchedDepthFormats.end(), depthStencilFormat) !=
                         unmatchedDepthFormats.end();
  return unmatched ? D3DERR_NOTAVAILABLE : D3D_OK;
}

std::unique_ptr<GraphicsDevice> RecordingAdapter::CreateDevice(D3DPRESENT_PARAMETERS* params) {
  if (params != nullptr) createParams = *params;
  if (failCreateDevice) return nullptr;
  auto device = std::make_unique<RecordingDevice>();
  createdDevice = device.get();
  return device;
}

}  // namespace qh
