#include "resources/mesh.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/byte_cursor.h"
#include "render/device.h"
#include "resources/file_table.h"
#include "resources/key_value.h"
#include "resources/textures.h"

namespace qh {

ModelListState ModelList;
MeshListState MeshList;

Mesh::~Mesh() = default;
Model::~Model() = default;

ModelListState::~ModelListState() {
  for (int32_t i = 0; i < count; ++i) delete models[i];
}
MeshListState::~MeshListState() {
  for (int32_t i = 0; i < count; ++i) delete meshes[i];
}

void ReleaseAllModels() {
  while (ModelList.count > 0) {
    delete ModelList.models[--ModelList.count];
    ModelList.models[ModelList.count] = nullptr;
  }
}

void ReleaseAllMeshes() {
  while (MeshList.count > 0) {
    delete MeshList.meshes[--MeshList.count];
    MeshList.meshes[MeshList.count] = nullptr;
  }
}

namespace {

struct Quaternion {
  float x, y, z, w;
};

// Hamilton product a·b: the rotation b, then the rotation a.
Quaternion Multiply(const Quaternion& a, const Quaternion& b) {
  return {a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y,
          a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x,
          a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w,
          a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z};
}

Vec3 Cross(Vec3 a, Vec3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }

// Unit length through the square-root table; a vector of length 0 stays as it is.
Vec3 Normalised(Vec3 v) {
  const float length = FastSqrt(v.x * v.x + v.y * v.y + v.z * v.z);
  if (length == 0.0f) return v;
  return {v.x / length, v.y / length, v.z / length};
}

// The unit normal of a triangle, facing the side from which its corners run clockwise.
Vec3 TriangleNormal(Vec3 p0, Vec3 p1, Vec3 p2) { return Normalised(Cross(Subtract(p2, p0), Subtract(p1, p0))); }

MeshVertex MakeVertex(Vec3 position, Vec3 normal, Vec2 texCoord) {
  MeshVertex v;
  v.position[0] = position.x;
  v.position[1] = position.y;
  v.position[2] = position.z;
  v.normal[0] = normal.x;
  v.normal[1] = normal.y;
  v.normal[2] = normal.z;
  v.texCoord[0] = texCoord.x;
  v.texCoord[1] = texCoord.y;
  return v;
}

BoundingSphere BoxSphere(const std::vector<Vec3>& positions) {
  Vec3 lo = positions[0], hi = positions[0];
  for (const Vec3& p : positions) {
    lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
    hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
  }
  const Vec3 half = Scale(Subtract(hi, lo), 0.5f);
  const Vec3 centre = Add(lo, half);
  BoundingSphere sphere;
  sphere.centre[0] = centre.x;
  sphere.centre[1] = centre.y;
  sphere.centre[2] = centre.z;
  sphere.radius = FastSqrt(half.x * half.x + half.y * half.y + half.z * half.z);
  return sphere;
}

// Smooth meshes: one vertex per position and distinct texture coordinate of its corners,
// positions in order, each position's coordinates in the order of their first corner.
// Every corner's index becomes the number of its vertex. False when a position has no
// corner or the vertices would outnumber what 16-bit indices reach.
bool SplitAtSeams(const std::vector<Vec3>& positions, const std::vector<Vec3>& normals,
                  const std::vector<Vec2>& texCoords, std::vector<int32_t>& corners,
                  std::vector<MeshVertex>& vertices, const char** refusal) {
  const size_t positionCount = positions.size();
  // The corners of each position in corner order: counted, then placed (a counting sort).
  std::vector<uint32_t> start(positionCount + 1, 0);
  for (int32_t c : corners) ++start[static_cast<size_t>(c) + 1];
  for (size_t p = 0; p < positionCount; ++p) {
    if (start[p + 1] == 0) {
      *refusal = "a position that no corner uses";
      return false;
    }
    start[p + 1] += start[p];
  }
  std::vector<uint32_t> byPosition(corners.size());
  std::vector<uint32_t> fill(start.begin(), start.end() - 1);
  for (uint32_t c = 0; c < corners.size(); ++c) byPosition[fill[static_cast<size_t>(corners[c])]++] = c;

  auto coordLess = [&](uint32_t a, uint32_t b) {
    const Vec2 ta = texCoords[a], tb = texCoords[b];
    return ta.x < tb.x || (ta.x == tb.x && ta.y < tb.y);
  };
  auto coordEqual = [&](uint32_t a, uint32_t b) {
    return texCoords[a].x == texCoords[b].x && texCoords[a].y == texCoords[b].y;
  };

  std::vector<int32_t> newIndex(corners.size());
  struct Group {
    uint32_t firstCorner, begin, end;  // a run of byPosition
  };
  std::vector<Group> groups;
  vertices.clear();
  for (size_t p = 0; p < positionCount; ++p) {
    // Equal coordinates become neighbours; a stable sort keeps each run in corner order,
    // so a run's first element is its first corner.
    const auto first = byPosition.begin() + start[p], last = byPosition.begin() + start[p + 1];
    std::stable_sort(first, last, coordLess);
    groups.clear();
    for (uint32_t i = start[p]; i < start[p + 1];) {
      uint32_t j = i + 1;
      while (j < start[p + 1] && coordEqual(byPosition[i], byPosition[j])) ++j;
      groups.push_back({byPosition[i], i, j});
      i = j;
    }
    std::sort(groups.begin(), groups.end(), [](const Group& a, const Group& b) { return a.firstCorner < b.firstCorner; });
    if (vertices.size() + groups.size() > static_cast<size_t>(kMaxMeshVertices)) {
      *refusal = "more vertices than 16-bit indices reach";
      return false;
    }
    for (const Group& g : groups) {
      const auto number = static_cast<int32_t>(vertices.size());
      vertices.push_back(MakeVertex(positions[p], normals[p], texCoords[g.firstCorner]));
      for (uint32_t i = g.begin; i < g.end; ++i) newIndex[byPosition[i]] = number;
    }
  }
  corners = std::move(newIndex);
  return true;
}

}  // namespace

Matrix4 RotationFromAngles(float ax, float ay, float az) {
  const Quaternion qx{Sin(ax * 0.5f), 0.0f, 0.0f, Cos(ax * 0.5f)};
  const Quaternion qy{0.0f, Sin(ay * 0.5f), 0.0f, Cos(ay * 0.5f)};
  const Quaternion qz{0.0f, 0.0f, Sin(az * 0.5f), Cos(az * 0.5f)};
  const Quaternion q = Multiply(Multiply(qz, qy), qx);  // X first, then Y, then Z
  Matrix4 m = Identity();
  m.m[0] = 1.0f - 2.0f * (q.y * q.y + q.z * q.z);
  m.m[1] = 2.0f * (q.x * q.y + q.z * q.w);
  m.m[2] = 2.0f * (q.x * q.z - q.y * q.w);
  m.m[4] = 2.0f * (q.x * q.y - q.z * q.w);
  m.m[5] = 1.0f - 2.0f * (q.x * q.x + q.z * q.z);
  m.m[6] = 2.0f * (q.y * q.z + q.x * q.w);
  m.m[8] = 2.0f * (q.x * q.z + q.y * q.w);
  m.m[9] = 2.0f * (q.y * q.z - q.x * q.w);
  m.m[10] = 1.0f - 2.0f * (q.x * q.x + q.y * q.y);
  return m;
}

const char* ParseMesh(Mesh& mesh, const uint8_t* bytes, size_t size) {
  ByteCursor in(bytes, size);
  in.Skip(3);
  const uint8_t smooth = in.U8();
  const float tx = in.F32(), ty = in.F32(), tz = in.F32();
  const float ax = in.F32(), ay = in.F32(), az = in.F32();
  in.Skip(1);
  const int32_t positionCount = in.I32();
  const int32_t faceCount = in.I32();
  if (!in.Ok()) return "the header is cut short";
  if (positionCount <= 0 || faceCount <= 0) return "no positions or no triangles";
  // Both counts are below 2^31, so the byte count cannot overflow 64 bits.
  const uint64_t needed = uint64_t{12} * static_cast<uint32_t>(positionCount) + uint64_t{36} * static_cast<uint32_t>(faceCount);
  if (needed > in.Remaining()) return "the counts need more bytes than the file holds";

  const auto positionTotal = static_cast<size_t>(positionCount);
  const size_t cornerTotal = size_t{3} * static_cast<size_t>(faceCount);
  std::vector<Vec3> positions(positionTotal);
  for (Vec3& p : positions) p = {in.F32(), in.F32(), in.F32()};
  std::vector<int32_t> corners(cornerTotal);
  for (int32_t& c : corners) {
    c = in.I32();
    if (c < 0 || c >= positionCount) return "a corner refers to no position";
  }
  std::vector<Vec2> texCoords(cornerTotal);
  for (Vec2& t : texCoords) {
    t.x = in.F32();
    t.y = in.F32();
    if (!std::isfinite(t.x) || !std::isfinite(t.y)) return "a texture coordinate that is not finite";
    // The seam split compares u values of smooth meshes; flat meshes keep any finite u.
    if (smooth != 0 && std::fabs(t.x) > 1000.0f) return "a texture coordinate that lies beyond 1000";
    t.y = 1.0f - t.y;  // the picture's rows run the other way
  }
  if (!in.Ok()) return "the records are cut short";  // never, once the counts fit

  mesh.smooth = smooth;
  mesh.localMatrix = RotationFromAngles(ax, ay, az);
  mesh.localMatrix.m[12] = tx;
  mesh.localMatrix.m[13] = ty;
  mesh.localMatrix.m[14] = tz;
  mesh.boundingSphere = BoxSphere(positions);
  mesh.faceCount = faceCount;

  if (smooth != 0) {
    // Every triangle adds its unit normal to its corners' positions, whatever its area;
    // one of no area adds nothing.
    std::vector<Vec3> normals(positionTotal);
    for (size_t c = 0; c < cornerTotal; c += 3) {
      const size_t i0 = static_cast<size_t>(corners[c]), i1 = static_cast<size_t>(corners[c + 1]),
                   i2 = static_cast<size_t>(corners[c + 2]);
      const Vec3 n = TriangleNormal(positions[i0], positions[i1], positions[i2]);
      normals[i0] = Add(normals[i0], n);
      normals[i1] = Add(normals[i1], n);
      normals[i2] = Add(normals[i2], n);
    }
    for (Vec3& n : normals) n = Normalised(n);
    const char* refusal = nullptr;
    if (!SplitAtSeams(positions, normals, texCoords, corners, mesh.vertices, &refusal)) return refusal;
    mesh.vertexCount = static_cast<int32_t>(mesh.vertices.size());
    mesh.indices = std::move(corners);
  } else {
    mesh.vertices.resize(cornerTotal);
    for (size_t c = 0; c < cornerTotal; c += 3) {
      const Vec3 p0 = positions[static_cast<size_t>(corners[c])], p1 = positions[static_cast<size_t>(corners[c + 1])],
                 p2 = positions[static_cast<size_t>(corners[c + 2])];
      const Vec3 n = TriangleNormal(p0, p1, p2);
      mesh.vertices[c] = MakeVertex(p0, n, texCoords[c]);
      mesh.vertices[c + 1] = MakeVertex(p1, n, texCoords[c + 1]);
      mesh.vertices[c + 2] = MakeVertex(p2, n, texCoords[c + 2]);
    }
    mesh.vertexCount = static_cast<int32_t>(cornerTotal);
    mesh.indices.clear();
  }
  return nullptr;
}

void UploadMesh(Mesh& mesh, uint32_t vertexFormat) {
  uint32_t stride = 12;
  if (vertexFormat & D3DFVF_NORMAL) stride += 12;
  if (vertexFormat & D3DFVF_TEX1) stride += 8;
  mesh.vertexFormat = static_cast<int32_t>(vertexFormat);
  mesh.vertexStride = static_cast<int16_t>(stride);
  mesh.vertexBuffer.reset();
  mesh.indexBuffer.reset();

  const bool indexed = mesh.smooth != 0;
  const uint64_t vertexBytes = uint64_t{stride} * mesh.vertices.size();
  const uint64_t indexBytes = uint64_t{2} * mesh.indices.size();
  bool made = Device != nullptr && vertexBytes <= UINT32_MAX && indexBytes <= UINT32_MAX;
  if (made) {
    made = Device->CreateVertexBuffer(static_cast<uint32_t>(vertexBytes), D3DUSAGE_WRITEONLY, vertexFormat,
                                      D3DPOOL_MANAGED, &mesh.vertexBuffer) == D3D_OK &&
           mesh.vertexBuffer != nullptr;
  }
  if (made && indexed) {
    made = Device->CreateIndexBuffer(static_cast<uint32_t>(indexBytes), D3DUSAGE_WRITEONLY, D3DFMT_INDEX16,
                                     D3DPOOL_MANAGED, &mesh.indexBuffer) == D3D_OK &&
           mesh.indexBuffer != nullptr;
  }
  uint8_t* data = nullptr;
  if (made && mesh.vertexBuffer->Lock(0, 0, &data) == D3D_OK) {
    // One vertex per stride; a format narrower than MeshVertex keeps its leading fields.
    const size_t copied = std::min<size_t>(stride, sizeof(MeshVertex));
    for (size_t v = 0; v < mesh.vertices.size(); ++v) std::memcpy(data + v * stride, &mesh.vertices[v], copied);
    mesh.vertexBuffer->Unlock();
  } else {
    made = false;
  }
  if (made && indexed) {
    if (mesh.indexBuffer->Lock(0, 0, &data) == D3D_OK) {
      for (size_t i = 0; i < mesh.indices.size(); ++i) {
        const auto low = static_cast<uint16_t>(mesh.indices[i]);
        std::memcpy(data + 2 * i, &low, 2);
      }
      mesh.indexBuffer->Unlock();
    } else {
      made = false;
    }
  }
  if (!made) {
    std::fprintf(stderr, "Couldn't create the vertex and index buffers of mesh %s\n", mesh.name);
    mesh.vertexBuffer.reset();
    mesh.indexBuffer.reset();
  }
}

Mesh* GetMesh(const char* name) {
  for (int32_t i = 0; i < MeshList.count; ++i) {
    if (std::strcmp(MeshList.meshes[i]->name, name) == 0) return MeshList.meshes[i];
  }
  if (MeshList.count >= kMaxMeshes || std::strlen(name) >= sizeof(Mesh::name)) FatalMissingFile(name);
  auto mesh = std::make_unique<Mesh>();
  int32_t size = 0;
  uint8_t* bytes = LoadFile(name, &size, true);
  const char* refusal = ParseMesh(*mesh, bytes, static_cast<size_t>(size));
  ReleaseFile(bytes);
  if (refusal != nullptr) {
    std::fprintf(stderr, "Mesh file %s refused: %s\n", name, refusal);
    FatalMissingFile(name);
  }
  std::strcpy(mesh->name, name);
  Mesh* added = mesh.release();
  MeshList.meshes[MeshList.count++] = added;
  UploadMesh(*added, kMeshVertexFormat);
  return added;
}

bool Model::Load(const char* fileName) {
  int32_t size = 0;
  const uint8_t* bytes = LoadFile(fileName, &size, true);
  if (size <= 0) FatalMissingFile(fileName);  // no last byte to end the text with
  // A copy of the text, its last byte (the last line's LF) the end mark, and the file let
  // go at once.
  std::vector<char> text(bytes, bytes + size);
  text.back() = '\0';
  ReleaseFile(bytes);

  const int32_t count = GetKeyInt(text.data(), "nummeshes=");
  if (count < 0) FatalMissingFile(fileName);
  meshes.clear();
  textures.clear();
  for (int32_t i = 0; i < count; ++i) {
    // A missing line names an empty file, which ends the program as a missing file.
    char key[32], value[32];
    std::snprintf(key, sizeof key, "mesh%d=", i);
    GetKeyValue(value, sizeof value, text.data(), key);
    meshes.push_back(GetMesh(value));
    std::snprintf(key, sizeof key, "texture%d=", i);
    GetKeyValue(value, sizeof value, text.data(), key);
    textures.push_back(GetTexture(value));
  }
  meshCount = count;
  return true;
}

void Model::Draw(const Matrix4& /*placement*/) {}

Model* GetModel(const char* name) {
  if (std::strstr(name, ".cgo") == nullptr) return nullptr;
  for (int32_t i = 0; i < ModelList.count; ++i) {
    if (std::strcmp(ModelList.models[i]->name, name) == 0) return ModelList.models[i];
  }
  if (ModelList.count >= kMaxModels || std::strlen(name) >= sizeof(Model::name)) FatalMissingFile(name);
  auto* model = new Model;
  std::strcpy(model->name, name);
  ModelList.models[ModelList.count++] = model;
  model->Load(name);
  return model;
}

}  // namespace qh
