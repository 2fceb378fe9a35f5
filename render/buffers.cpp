#include "render/buffers.h"

namespace qh {

HRESULT MemoryBuffer::Lock(uint32_t offset, uint32_t size, uint8_t** data, uint32_t /*flags*/) {
  if (data == nullptr) return D3DERR_INVALIDCALL;
  *data = nullptr;
  if (offset > bytes_.size() || size > bytes_.size() - offset) return D3DERR_INVALIDCALL;
  *data = bytes_.data() + offset;
  return D3D_OK;
}

}  // namespace qh
