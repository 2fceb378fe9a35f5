// Vertex and index buffers made by a device: sizes, formats and bounded locks.
#include <gtest/gtest.h>

#include <memory>

#include "tests/support/recording_device.h"

using namespace qh;

namespace {

TEST(RenderBuffers, BuffersOfNoLengthOrAnUnknownIndexFormatAreRefused) {
  RecordingDevice device;
  std::unique_ptr<VertexBuffer> vertices;
  std::unique_ptr<IndexBuffer> indices;
  EXPECT_EQ(device.CreateVertexBuffer(0, D3DUSAGE_WRITEONLY, 0x112, D3DPOOL_MANAGED, &vertices), D3DERR_INVALIDCALL);
  EXPECT_EQ(vertices, nullptr);
  EXPECT_EQ(device.CreateIndexBuffer(0, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED, &indices),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(device.CreateIndexBuffer(6, D3DUSAGE_WRITEONLY, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &indices),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(indices, nullptr);
}

TEST(RenderBuffers, LocksReachExactlyTheBuffer) {
  RecordingDevice device;
  std::unique_ptr<VertexBuffer> vertices;
  ASSERT_EQ(device.CreateVertexBuffer(3 * 32, D3DUSAGE_WRITEONLY, 0x112, D3DPOOL_MANAGED, &vertices), D3D_OK);
  EXPECT_EQ(vertices->Length(), 96u);
  EXPECT_EQ(vertices->Fvf(), 0x112u);
  uint8_t* data = nullptr;
  ASSERT_EQ(vertices->Lock(0, 0, &data), D3D_OK);  // size 0: the whole buffer
  EXPECT_EQ(data, vertices->Data());
  data[95] = 7;
  EXPECT_EQ(vertices->Unlock(), D3D_OK);
  EXPECT_EQ(vertices->Data()[95], 7);
  ASSERT_EQ(vertices->Lock(32, 64, &data), D3D_OK);
  EXPECT_EQ(data, vertices->Data() + 32);
  EXPECT_EQ(vertices->Lock(32, 65, &data), D3DERR_INVALIDCALL);
  EXPECT_EQ(data, nullptr);
  EXPECT_EQ(vertices->Lock(97, 0, &data), D3DERR_INVALIDCALL);

  std::unique_ptr<IndexBuffer> indices;
  ASSERT_EQ(device.CreateIndexBuffer(2 * 3 * 2, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED, &indices), D3D_OK);
  EXPECT_EQ(indices->Format(), D3DFMT_INDEX16);
  EXPECT_EQ(indices->Length(), 12u);
  EXPECT_EQ(indices->Lock(0, 12, &data), D3D_OK);
}

}  // namespace
