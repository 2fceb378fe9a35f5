// Mesh files over any bytes: a mesh that is made holds what it promises (at most 65536
// vertices; a smooth mesh three indices per triangle, each naming a vertex; a flat mesh three
// vertices per triangle and no indices; texture coordinates finite, a smooth mesh's u within 1000), and
// nothing is read outside the file (the sanitizers watch the exact-size copy).
#include <cmath>
#include <vector>

#include "core/math.h"
#include "fuzz/fuzz_check.h"
#include "resources/mesh.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = (qh::BuildSqrtTable(), true);
  (void)ready;
  const std::vector<uint8_t> file(data, data + size);  // exactly the file's bytes, no slack
  qh::Mesh mesh;
  if (qh::ParseMesh(mesh, file.data(), file.size()) != nullptr) return 0;
  QH_FUZZ_CHECK(mesh.vertexCount > 0 && mesh.faceCount > 0);
  QH_FUZZ_CHECK(mesh.vertices.size() <= static_cast<size_t>(qh::kMaxMeshVertices));
  const size_t corners = 3 * static_cast<size_t>(mesh.faceCount);
  if (mesh.smooth != 0) {
    QH_FUZZ_CHECK(mesh.indices.size() == corners);
    for (int32_t index : mesh.indices) {
      QH_FUZZ_CHECK(index >= 0 && static_cast<size_t>(index) < mesh.vertices.size());
    }
  } else {
    QH_FUZZ_CHECK(mesh.vertices.size() == corners);
    QH_FUZZ_CHECK(mesh.indices.empty());
  }
  for (const qh::MeshVertex& vertex : mesh.vertices) {
    QH_FUZZ_CHECK(std::isfinite(vertex.texCoord[0]));
    QH_FUZZ_CHECK(mesh.smooth == 0 || std::fabs(vertex.texCoord[0]) <= 1000.0f);
    QH_FUZZ_CHECK(std::isfinite(vertex.texCoord[1]));
  }
  return 0;
}
