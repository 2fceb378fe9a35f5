#include "tests/support/mesh_files.h"

#include <bit>

#include "core/byte_cursor.h"

namespace qh {

namespace {
void PutU32(std::vector<uint8_t>& out, uint32_t v) {
  uint8_t bytes[4];
  StoreU32(bytes, v);
  out.insert(out.end(), bytes, bytes + 4);
}
void PutF32(std::vector<uint8_t>& out, float f) { PutU32(out, std::bit_cast<uint32_t>(f)); }
void PutVec3(std::vector<uint8_t>& out, Vec3 v) {
  PutF32(out, v.x);
  PutF32(out, v.y);
  PutF32(out, v.z);
}
}  // namespace

std::vector<uint8_t> MeshFileBytes(const MeshFileSpec& spec) {
  std::vector<uint8_t> out = {'M', 'S', 'H', spec.smooth};
  PutVec3(out, spec.translation);
  PutVec3(out, spec.angles);
  out.push_back(0);
  PutU32(out, static_cast<uint32_t>(spec.positionCount.value_or(static_cast<int32_t>(spec.positions.size()))));
  PutU32(out, static_cast<uint32_t>(spec.faceCount.value_or(static_cast<int32_t>(spec.triangles.size()))));
  for (const Vec3& p : spec.positions) PutVec3(out, p);
  for (const auto& t : spec.triangles) {
    for (int32_t corner : t) PutU32(out, static_cast<uint32_t>(corner));
  }
  for (size_t c = 0; c < 3 * spec.triangles.size(); ++c) {
    const Vec2 t = c < spec.texCoords.size() ? spec.texCoords[c] : Vec2{};
    PutF32(out, t.x);
    PutF32(out, t.y);
  }
  return out;
}

MeshFileSpec CubeMesh() {
  MeshFileSpec cube;
  for (int i = 0; i < 8; ++i) {
    cube.positions.push_back({static_cast<float>(i & 1), static_cast<float>((i >> 1) & 1), static_cast<float>(i >> 2)});
  }
  // Each face as four corners around it; split into two triangles, then wound so that
  // (P2 - P0) x (P1 - P0) points away from the centre.
  const int faces[6][4] = {{0, 1, 3, 2}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 3, 7, 6}, {0, 2, 6, 4}, {1, 3, 7, 5}};
  for (const auto& f : faces) {
    for (std::array<int32_t, 3> t : {std::array<int32_t, 3>{f[0], f[1], f[2]}, std::array<int32_t, 3>{f[0], f[2], f[3]}}) {
      const Vec3 p0 = cube.positions[t[0]], p1 = cube.positions[t[1]], p2 = cube.positions[t[2]];
      const Vec3 a = Subtract(p2, p0), b = Subtract(p1, p0);
      const Vec3 n = {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
      const Vec3 out = Subtract(Scale(Add(Add(p0, p1), p2), 1.0f / 3.0f), {0.5f, 0.5f, 0.5f});
      if (n.x * out.x + n.y * out.y + n.z * out.z < 0) std::swap(t[1], t[2]);
      cube.triangles.push_back(t);
    }
  }
  for (const auto& t : cube.triangles) {
    for (int32_t corner : t) cube.texCoords.push_back({0.125f * static_cast<float>(corner), 0.25f});
  }
  return cube;
}

std::string DescriptorText(const std::vector<std::pair<std::string, std::string>>& meshes) {
  std::string text = "nummeshes=" + std::to_string(meshes.size()) + "\r\n";
  for (size_t i = 0; i < meshes.size(); ++i) {
    text += "mesh" + std::to_string(i) + "=" + meshes[i].first + "\r\n";
    text += "texture" + std::to_string(i) + "=" + meshes[i].second + "\r\n";
  }
  return text;
}

}  // namespace qh
