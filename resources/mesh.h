// Mesh models: a ".cgo" descriptor names a model's meshes and one texture per mesh; each
// mesh is a binary file of positions, triangles and texture coordinates, loaded once per
// name with its normals, bounding sphere and local transform, and uploaded into vertex and
// index buffers. Nothing in the picture draws a model; the lists keep everything to the end.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/math.h"
#include "render/buffers.h"

namespace qh {

struct TextureRecord;

// Position, normal, texture coordinate: the vertex format 0x112 (XYZ | NORMAL | TEX1).
struct MeshVertex {
  float position[3] = {};
  float normal[3] = {};
  float texCoord[2] = {};
};
static_assert(sizeof(MeshVertex) == 32, "a mesh vertex is 32 bytes, as its vertex format says");

constexpr uint32_t kMeshVertexFormat = 0x112;
constexpr int32_t kMeshHeaderSize = 37;       // bytes before the positions
constexpr int32_t kMaxMeshVertices = 65536;   // what 16-bit indices can reach

struct BoundingSphere {
  float centre[3] = {};
  float radius = 0.0f;
};

// One loaded mesh file. Smooth meshes share vertices between triangles and keep the
// 3 x faceCount corner indices; flat meshes have three vertices per triangle and no indices.
class Mesh {
 public:
  virtual ~Mesh();

  uint8_t smooth = 0;
  char name[128] = {};                 // the mesh file's name, compared byte for byte
  int32_t vertexCount = 0;
  int32_t faceCount = 0;
  Matrix4 localMatrix;                 // rotation about X, then Y, then Z, then the translation
  std::vector<MeshVertex> vertices;
  std::vector<int32_t> indices;        // smooth meshes only
  BoundingSphere boundingSphere;       // of the positions' axis-aligned box, in file coordinates
  int32_t vertexFormat = 0;
  std::unique_ptr<VertexBuffer> vertexBuffer;
  std::unique_ptr<IndexBuffer> indexBuffer;  // smooth meshes only
  int16_t vertexStride = 0;
};

// One ".cgo" descriptor: its meshes and the texture of each (shared with their lists).
class Model {
 public:
  // Reads the descriptor and gets every mesh and texture it names. A file that cannot
  // be loaded or is refused ends the program with the loader's message.
  virtual bool Load(const char* name);
  // Draws nothing: nothing in the picture draws a model.
  virtual void Draw(const Matrix4& placement);
  virtual ~Model();  // after the two operations, which keep their places in the table

  char name[32] = {};                  // the descriptor's file name, at most 31 characters
  int32_t meshCount = 0;
  std::vector<Mesh*> meshes;           // owned by MeshList
  std::vector<TextureRecord*> textures;  // owned by the texture manager
};

constexpr int kMaxModels = 1024;
constexpr int kMaxMeshes = 1024;

// Filled in order of first use, never shrunk while the program runs; released at exit.
struct ModelListState {
  Model* models[kMaxModels] = {};
  int32_t count = 0;
  ~ModelListState();
};
struct MeshListState {
  Mesh* meshes[kMaxMeshes] = {};
  int32_t count = 0;
  ~MeshListState();
};
extern ModelListState ModelList;
extern MeshListState MeshList;

// The model of that exact name (case counts), loaded on first request. None for a name
// without ".cgo". A descriptor that is missing, empty or names a bad mesh, a name longer
// than 31 characters and a full list end the program with
// "Can't load %s...\nProgram will now stop." naming the file.
Model* GetModel(const char* name);

// The mesh of that exact name, loaded and uploaded on first request. A missing or refused
// mesh file, or a full list, ends the program with the same message naming the file.
Mesh* GetMesh(const char* name);

// Fills `mesh` from the bytes of a mesh file; reads nothing outside [bytes, bytes + size).
// Returns none when the mesh was made, otherwise why the file is refused (the mesh is then
// left in no particular state). Normals and the sphere's radius use the square-root table,
// which must have been built.
const char* ParseMesh(Mesh& mesh, const uint8_t* bytes, size_t size);

// Makes the mesh's buffers on Device and fills them. When the device refuses a buffer (or
// none exists) a line goes to stderr and the mesh keeps no buffers.
void UploadMesh(Mesh& mesh, uint32_t vertexFormat);

// The rotation block of the local matrix: about X by ax, then Y by ay, then Z by az.
Matrix4 RotationFromAngles(float ax, float ay, float az);

// Empty the lists (tests; at exit the lists release themselves).
void ReleaseAllModels();
void ReleaseAllMeshes();

}  // namespace qh
