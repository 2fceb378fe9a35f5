// Vertex and index buffers as plain memory, made by any device like textures. The mesh
// files are uploaded into them at load; nothing in the picture draws from them.
#pragma once
#include <cstdint>
#include <vector>

#include "render/d3d_types.h"

namespace qh {

// Locks a byte range for writing: offset and size in bytes, size 0 meaning "to the end".
// A range beyond the buffer is refused.
class MemoryBuffer {
 public:
  explicit MemoryBuffer(uint32_t length) : bytes_(length, 0) {}
  HRESULT Lock(uint32_t offset, uint32_t size, uint8_t** data, uint32_t flags = 0);
  HRESULT Unlock() { return D3D_OK; }
  uint32_t Length() const { return static_cast<uint32_t>(bytes_.size()); }
  const uint8_t* Data() const { return bytes_.data(); }

 private:
  std::vector<uint8_t> bytes_;
};

class VertexBuffer : public MemoryBuffer {
 public:
  VertexBuffer(uint32_t length, uint32_t fvf) : MemoryBuffer(length), fvf_(fvf) {}
  uint32_t Fvf() const { return fvf_; }

 private:
  uint32_t fvf_;
};

class IndexBuffer : public MemoryBuffer {
 public:
  IndexBuffer(uint32_t length, D3DFORMAT format) : MemoryBuffer(length), format_(format) {}
  D3DFORMAT Format() const { return format_; }

 private:
  D3DFORMAT format_;
};

}  // namespace qh
