// Mesh files and ".cgo" model descriptors written by tests and fuzz seeds: the binary
// layout the mesh loader reads, little-endian and field by field, with room for broken
// counts.
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/math.h"

namespace qh {

struct MeshFileSpec {
  uint8_t smooth = 1;
  Vec3 translation;
  Vec3 angles;  // radians about X, Y and Z
  std::vector<Vec3> positions;
  std::vector<std::array<int32_t, 3>> triangles;  // position indices of the corners
  std::vector<Vec2> texCoords;  // as stored in the file, 3 per triangle; missing ones are (0, 0)
  // Written into the header instead of the list sizes, for files whose counts lie.
  std::optional<int32_t> positionCount;
  std::optional<int32_t> faceCount;
};

std::vector<uint8_t> MeshFileBytes(const MeshFileSpec& spec);

// A smooth unit cube from (0, 0, 0) to (1, 1, 1): 8 positions, 12 triangles wound so that
// their normals face outwards, every corner of a position with that position's one
// texture coordinate.
MeshFileSpec CubeMesh();

// Descriptor text with CR LF lines: "nummeshes=N", then "mesh%i=" and "texture%i=" for each
// (mesh file, texture file) pair.
std::string DescriptorText(const std::vector<std::pair<std::string, std::string>>& meshes);

}  // namespace qh
