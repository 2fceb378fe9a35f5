// Mesh models: mesh files parsed into vertices, normals, seams, bounds and local
// transforms; their buffers; the name-keyed lists; ".cgo" descriptors; refused files; and
// an installation whose catalogue names a model.
#include <gmock/gmock.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "tests/scene_test_support.h"
#include "tests/support/mesh_files.h"

using namespace qh;
using namespace qh::scenetest;

namespace {

class MeshTest : public SceneTest {
 protected:
  static Mesh* Load(const MeshFileSpec& spec, const char* name = "m.msh") {
    WriteBytes(name, MeshFileBytes(spec));
    return GetMesh(name);
  }

  // Parses a heap copy of exactly the file's bytes, so that the sanitizer build sees any
  // read past the end.
  static const char* Parse(Mesh& mesh, const std::vector<uint8_t>& bytes) {
    std::unique_ptr<uint8_t[]> exact(new uint8_t[bytes.size() + 1]);
    if (!bytes.empty()) std::memcpy(exact.get(), bytes.data(), bytes.size());
    return ParseMesh(mesh, bytes.empty() ? nullptr : exact.get(), bytes.size());
  }
};

Vec3 NormalOf(const MeshVertex& v) { return {v.normal[0], v.normal[1], v.normal[2]}; }
Vec3 PositionOf(const MeshVertex& v) { return {v.position[0], v.position[1], v.position[2]}; }
float Dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

void ExpectVec3Near(Vec3 actual, Vec3 expected, float tolerance) {
  EXPECT_NEAR(actual.x, expected.x, tolerance);
  EXPECT_NEAR(actual.y, expected.y, tolerance);
  EXPECT_NEAR(actual.z, expected.z, tolerance);
}

void ExpectSameNormal(const MeshVertex& a, const MeshVertex& b) {
  EXPECT_EQ(a.normal[0], b.normal[0]);
  EXPECT_EQ(a.normal[1], b.normal[1]);
  EXPECT_EQ(a.normal[2], b.normal[2]);
}

// Two triangles in the plane z = 0 sharing the edge 0-2, wound towards -z.
MeshFileSpec Square(uint8_t smooth) {
  MeshFileSpec s;
  s.smooth = smooth;
  s.positions = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
  s.triangles = {{0, 1, 2}, {0, 2, 3}};
  s.texCoords = {{0, 0}, {1, 0}, {1, 1}, {0, 0}, {1, 1}, {0, 1}};
  return s;
}

}  // namespace

// ---- geometry ------------------------------------------------------------------------

TEST_F(MeshTest, SmoothCubeSharesOneVertexPerPositionAndUploadsIt) {
  Mesh* cube = Load(CubeMesh());
  ASSERT_NE(cube, nullptr);
  EXPECT_EQ(cube->smooth, 1);
  EXPECT_STREQ(cube->name, "m.msh");
  EXPECT_EQ(cube->vertexCount, 8);
  EXPECT_EQ(cube->faceCount, 12);
  ASSERT_EQ(cube->vertices.size(), 8u);
  ASSERT_EQ(cube->indices.size(), 36u);
  for (int p = 0; p < 8; ++p) {
    // The file's positions in order, each with its one (flipped) coordinate.
    const MeshVertex& v = cube->vertices[p];
    ExpectVec3Near(PositionOf(v), CubeMesh().positions[p], 0.0f);
    EXPECT_EQ(v.texCoord[0], 0.125f * p);
    EXPECT_EQ(v.texCoord[1], 0.75f);
    // Unit normals pointing out of the cube.
    const Vec3 n = NormalOf(v);
    EXPECT_NEAR(Dot(n, n), 1.0f, 1e-4f) << p;
    EXPECT_GT(Dot(n, Subtract(PositionOf(v), {0.5f, 0.5f, 0.5f})), 0.5f) << p;
  }
  const MeshFileSpec spec = CubeMesh();
  for (size_t c = 0; c < 36; ++c) EXPECT_EQ(cube->indices[c], spec.triangles[c / 3][c % 3]) << c;
  EXPECT_EQ(cube->boundingSphere.centre[0], 0.5f);
  EXPECT_EQ(cube->boundingSphere.centre[1], 0.5f);
  EXPECT_EQ(cube->boundingSphere.centre[2], 0.5f);
  EXPECT_EQ(cube->boundingSphere.radius, FastSqrt(0.75f));  // the half-diagonal of the box

  // Uploaded: 32-byte vertices of format 0x112 and 16-bit indices, in the managed pool.
  EXPECT_EQ(cube->vertexFormat, 0x112);
  EXPECT_EQ(cube->vertexStride, 32);
  ASSERT_NE(cube->vertexBuffer, nullptr);
  ASSERT_NE(cube->indexBuffer, nullptr);
  EXPECT_EQ(cube->vertexBuffer->Length(), 8u * 32u);
  EXPECT_EQ(cube->vertexBuffer->Fvf(), 0x112u);
  EXPECT_EQ(std::memcmp(cube->vertexBuffer->Data(), cube->vertices.data(), 8 * 32), 0);
  EXPECT_EQ(cube->indexBuffer->Format(), D3DFMT_INDEX16);
  ASSERT_EQ(cube->indexBuffer->Length(), 72u);
  for (size_t c = 0; c < 36; ++c) {
    uint16_t stored;
    std::memcpy(&stored, cube->indexBuffer->Data() + 2 * c, 2);
    EXPECT_EQ(stored, cube->indices[c]);
  }

  // A device reset leaves the buffers as they were.
  const VertexBuffer* vertices = cube->vertexBuffer.get();
  const std::vector<uint8_t> before(vertices->Data(), vertices->Data() + vertices->Length());
  D3DPRESENT_PARAMETERS params;
  EXPECT_EQ(device.Reset(&params), D3D_OK);
  ASSERT_EQ(cube->vertexBuffer.get(), vertices);
  EXPECT_EQ(std::vector<uint8_t>(vertices->Data(), vertices->Data() + vertices->Length()), before);
}

TEST_F(MeshTest, OneMoreTextureCoordinateAtAPositionAddsExactlyOneVertex) {
  MeshFileSpec spec = CubeMesh();
  // Give the second corner that uses position 5 a coordinate of its own.
  int seen = 0, changed = -1;
  for (size_t c = 0; c < spec.texCoords.size(); ++c) {
    if (spec.triangles[c / 3][c % 3] == 5 && ++seen == 2) changed = static_cast<int>(c);
  }
  ASSERT_GE(changed, 0);
  spec.texCoords[changed] = {0.9f, 0.5f};
  Mesh* mesh = Load(spec);
  ASSERT_EQ(mesh->vertexCount, 9);
  // Position 5's first coordinate keeps vertex 5, its new one follows as vertex 6, and the
  // later positions move up by one.
  EXPECT_EQ(mesh->vertices[5].texCoord[0], 0.625f);
  EXPECT_EQ(mesh->vertices[6].texCoord[0], 0.9f);
  EXPECT_EQ(mesh->vertices[6].texCoord[1], 0.5f);
  ExpectVec3Near(PositionOf(mesh->vertices[6]), {1, 0, 1}, 0.0f);
  ExpectSameNormal(mesh->vertices[5], mesh->vertices[6]);
  ExpectVec3Near(PositionOf(mesh->vertices[8]), {1, 1, 1}, 0.0f);
  for (size_t c = 0; c < 36; ++c) {
    const int32_t position = spec.triangles[c / 3][c % 3];
    const int32_t expected = static_cast<int>(c) == changed ? 6 : position < 6 ? position : position + 1;
    EXPECT_EQ(mesh->indices[c], expected) << c;
  }
  EXPECT_EQ(mesh->vertexBuffer->Length(), 9u * 32u);
}

TEST_F(MeshTest, SeamVerticesFollowTheFirstCornerOfEachCoordinate) {
  // Position 0 is used by corners 0, 3 and 6 with the coordinates a, b, a: two vertices,
  // a before b, and corner 6 shares corner 0's vertex although another lies between them.
  MeshFileSpec s;
  s.positions = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  s.triangles = {{0, 1, 2}, {0, 2, 3}, {0, 3, 1}};
  const Vec2 a{0.5f, 0.5f}, b{0.25f, 0.5f}, one{1, 0}, two{0, 1}, three{1, 1};
  s.texCoords = {a, one, two, b, two, three, a, three, one};
  Mesh* mesh = Load(s);
  ASSERT_EQ(mesh->vertexCount, 5);
  EXPECT_EQ(mesh->vertices[0].texCoord[0], 0.5f);
  EXPECT_EQ(mesh->vertices[1].texCoord[0], 0.25f);
  ExpectVec3Near(PositionOf(mesh->vertices[1]), {0, 0, 0}, 0.0f);
  ExpectVec3Near(PositionOf(mesh->vertices[2]), {1, 0, 0}, 0.0f);
  ExpectVec3Near(PositionOf(mesh->vertices[4]), {0, 0, 1}, 0.0f);
  EXPECT_EQ(mesh->indices, (std::vector<int32_t>{0, 2, 3, 1, 3, 4, 0, 4, 2}));
}

TEST_F(MeshTest, FlatMeshHasThreeVerticesPerTriangleAndNoIndices) {
  MeshFileSpec spec = CubeMesh();
  spec.smooth = 0;
  Mesh* mesh = Load(spec);
  EXPECT_EQ(mesh->smooth, 0);
  EXPECT_EQ(mesh->vertexCount, 36);
  EXPECT_EQ(mesh->faceCount, 12);
  EXPECT_TRUE(mesh->indices.empty());
  EXPECT_EQ(mesh->indexBuffer, nullptr);
  ASSERT_NE(mesh->vertexBuffer, nullptr);
  EXPECT_EQ(mesh->vertexBuffer->Length(), 36u * 32u);
  EXPECT_EQ(std::memcmp(mesh->vertexBuffer->Data(), mesh->vertices.data(), 36 * 32), 0);
  for (size_t k = 0; k < 36; ++k) {
    const MeshVertex& v = mesh->vertices[k];
    ExpectVec3Near(PositionOf(v), spec.positions[spec.triangles[k / 3][k % 3]], 0.0f);
    EXPECT_EQ(v.texCoord[0], spec.texCoords[k].x);
    EXPECT_EQ(v.texCoord[1], 1.0f - spec.texCoords[k].y);
    ExpectSameNormal(v, mesh->vertices[k - k % 3]);
    // Each face's normal is its axis, pointing out.
    const Vec3 n = NormalOf(v);
    EXPECT_NEAR(std::fabs(n.x) + std::fabs(n.y) + std::fabs(n.z), 1.0f, 1e-6f);
    EXPECT_GT(Dot(n, Subtract(PositionOf(v), {0.5f, 0.5f, 0.5f})), 0.0f);
  }
}

TEST_F(MeshTest, DegenerateTrianglesAddNothingSmoothAndKeepAZeroNormalFlat) {
  MeshFileSpec plain = Square(1);
  MeshFileSpec withDegenerate = plain;
  // No area: two corners on one position, and a sliver whose corners lie on one line.
  withDegenerate.positions.push_back({2, 0, 0});
  withDegenerate.triangles.push_back({1, 1, 2});
  withDegenerate.triangles.push_back({0, 1, 4});
  withDegenerate.texCoords.resize(12, Vec2{0, 0});
  withDegenerate.texCoords[6] = {1, 0};
  withDegenerate.texCoords[7] = {1, 0};
  withDegenerate.texCoords[8] = {1, 1};
  withDegenerate.texCoords[10] = {1, 0};
  Mesh* reference = Load(plain, "plain.msh");
  Mesh* mesh = Load(withDegenerate, "degenerate.msh");
  ASSERT_EQ(reference->vertexCount, 4);
  ASSERT_EQ(mesh->vertexCount, 5);
  for (int v = 0; v < 4; ++v) {
    ExpectSameNormal(mesh->vertices[v], reference->vertices[v]);
    ExpectVec3Near(NormalOf(mesh->vertices[v]), {0, 0, -1}, 0.0f);
  }
  ExpectVec3Near(NormalOf(mesh->vertices[4]), {0, 0, 0}, 0.0f);  // used by the sliver only

  withDegenerate.smooth = 0;
  Mesh* flat = Load(withDegenerate, "flat.msh");
  ASSERT_EQ(flat->vertexCount, 12);
  for (int k = 6; k < 12; ++k) ExpectVec3Near(NormalOf(flat->vertices[k]), {0, 0, 0}, 0.0f);
  ExpectVec3Near(NormalOf(flat->vertices[0]), {0, 0, -1}, 0.0f);
}

TEST_F(MeshTest, EveryTriangleAddsAUnitNormalWhateverItsArea) {
  // A large triangle facing -z and a tiny one facing -x meet at position 0: its normal is
  // halfway between, not pulled towards the larger one.
  MeshFileSpec s;
  s.positions = {{0, 0, 0}, {100, 0, 0}, {0, 100, 0}, {0, 0.01f, 0}, {0, 0, 0.01f}};
  s.triangles = {{0, 1, 2}, {0, 3, 4}};
  Mesh* mesh = Load(s);
  ASSERT_EQ(mesh->vertexCount, 5);
  ExpectVec3Near(NormalOf(mesh->vertices[0]), {-0.70710678f, 0, -0.70710678f}, 1e-4f);
  ExpectVec3Near(NormalOf(mesh->vertices[1]), {0, 0, -1}, 1e-4f);
  ExpectVec3Near(NormalOf(mesh->vertices[3]), {-1, 0, 0}, 1e-4f);
}

TEST_F(MeshTest, TextureRowsAreFlipped) {
  for (uint8_t smooth : {1, 0}) {
    MeshFileSpec s = Square(smooth);
    for (Vec2& t : s.texCoords) t = {0.5f, 0.25f};
    Mesh mesh;
    ASSERT_EQ(Parse(mesh, MeshFileBytes(s)), nullptr);
    for (const MeshVertex& v : mesh.vertices) {
      EXPECT_EQ(v.texCoord[0], 0.5f);
      EXPECT_EQ(v.texCoord[1], 0.75f);
    }
  }
}

TEST_F(MeshTest, LocalMatrixHoldsTheTranslationRowAndTheRotation) {
  MeshFileSpec s = Square(1);
  s.translation = {1, 2, 3};
  Mesh moved;
  ASSERT_EQ(Parse(moved, MeshFileBytes(s)), nullptr);
  const float expected[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 1, 2, 3, 1};
  for (int i = 0; i < 16; ++i) EXPECT_EQ(moved.localMatrix.m[i], expected[i]) << i;

  s.translation = {};
  s.angles = {0, 0, 1.5707964f};
  Mesh turned;
  ASSERT_EQ(Parse(turned, MeshFileBytes(s)), nullptr);
  const float* m = turned.localMatrix.m;
  // (1, 0, 0) as a row vector times the matrix: its first row.
  EXPECT_NEAR(m[0], 0.0f, 1e-6f);
  EXPECT_NEAR(m[1], 1.0f, 1e-6f);
  EXPECT_NEAR(m[2], 0.0f, 1e-6f);
  EXPECT_NEAR(m[4], -1.0f, 1e-6f);
  EXPECT_EQ(m[12], 0.0f);
  EXPECT_EQ(m[15], 1.0f);
  // The bounds stay in the file's coordinates.
  EXPECT_EQ(turned.boundingSphere.centre[0], 0.5f);
  EXPECT_EQ(turned.boundingSphere.centre[2], 0.0f);
}

TEST_F(MeshTest, RotationEqualsTheProductOfTheThreeAxisRotations) {
  auto axis = [](int which, float angle) {
    const float c = Cos(angle), s = Sin(angle);
    Matrix4 r = Identity();
    const int i = (which + 1) % 3, j = (which + 2) % 3;  // the plane turned: YZ, ZX or XY
    r.m[4 * i + i] = c;
    r.m[4 * i + j] = s;
    r.m[4 * j + i] = -s;
    r.m[4 * j + j] = c;
    return r;
  };
  const float angles[] = {-3.1f, -1.5707964f, -0.7f, 0.0f, 0.2f, 1.0f, 1.5707964f, 2.5f, 3.1415927f, 6.0f};
  for (float ax : angles) {
    for (float ay : angles) {
      for (float az : angles) {
        const Matrix4 expected = Product(Product(axis(0, ax), axis(1, ay)), axis(2, az));
        const Matrix4 actual = RotationFromAngles(ax, ay, az);
        for (int i = 0; i < 16; ++i) {
          ASSERT_NEAR(actual.m[i], expected.m[i], 2e-6f) << "angles " << ax << " " << ay << " " << az << " at " << i;
        }
      }
    }
  }
  // The axis matrices themselves: a quarter turn about X takes y to z, about Y takes z to x.
  EXPECT_NEAR(RotationFromAngles(1.5707964f, 0, 0).m[6], 1.0f, 1e-6f);
  EXPECT_NEAR(RotationFromAngles(0, 1.5707964f, 0).m[8], 1.0f, 1e-6f);
}

TEST_F(MeshTest, SixtyFiveThousandFiveHundredAndThirtySixVerticesIsTheMost) {
  // One position whose corners carry n different coordinates gives n vertices.
  auto spread = [](int distinct) {
    MeshFileSpec s;
    s.positions = {{0, 0, 0}};
    s.triangles.assign(21846, {0, 0, 0});
    for (int c = 0; c < 3 * 21846; ++c) s.texCoords.push_back({0.01f * static_cast<float>(std::min(c, distinct - 1)), 0});
    return s;
  };
  Mesh* most = Load(spread(65536));
  ASSERT_EQ(most->vertexCount, 65536);
  uint16_t last;
  std::memcpy(&last, most->indexBuffer->Data() + most->indexBuffer->Length() - 2, 2);
  EXPECT_EQ(last, 0xFFFF);
  Mesh tooMany;
  EXPECT_NE(Parse(tooMany, MeshFileBytes(spread(65537))), nullptr);
}

// ---- lists and descriptors -----------------------------------------------------------

TEST_F(MeshTest, MeshesAreKeptByExactName) {
  WriteBytes("cube.msh", MeshFileBytes(CubeMesh()));
  Mesh* first = GetMesh("cube.msh");
  EXPECT_EQ(FileTable.count, 0);  // the file was released after parsing
  std::filesystem::remove("cube.msh");
  EXPECT_EQ(GetMesh("cube.msh"), first);  // no file is read again
  EXPECT_EQ(MeshList.count, 1);

  MeshFileSpec flat = CubeMesh();
  flat.smooth = 0;
  WriteBytes("CUBE.msh", MeshFileBytes(flat));
  Mesh* other = GetMesh("CUBE.msh");
  EXPECT_NE(other, first);
  EXPECT_EQ(other->vertexCount, 36);  // its own file
  EXPECT_EQ(MeshList.count, 2);
}

TEST_F(MeshTest, ModelGetsItsMeshesAndTexturesOnce) {
  WriteBytes("moss.tga", TgaBytes(4, 4, 10, 20, 30, 255));
  WriteBytes("rock.msh", MeshFileBytes(CubeMesh()));
  WriteBytes("slab.msh", MeshFileBytes(Square(0)));
  WriteText("hill.cgo", DescriptorText({{"rock.msh", "moss.tga"}, {"slab.msh", "moss.tga"}, {"rock.msh", "moss.tga"}}));
  Model* hill = GetModel("hill.cgo");
  ASSERT_NE(hill, nullptr);
  EXPECT_STREQ(hill->name, "hill.cgo");
  ASSERT_EQ(hill->meshCount, 3);
  ASSERT_EQ(hill->meshes.size(), 3u);
  ASSERT_EQ(hill->textures.size(), 3u);
  EXPECT_EQ(hill->meshes[0], GetMesh("rock.msh"));
  EXPECT_EQ(hill->meshes[1]->vertexCount, 6);
  EXPECT_EQ(hill->meshes[2], hill->meshes[0]);  // shared through the mesh list
  EXPECT_EQ(MeshList.count, 2);
  EXPECT_EQ(hill->textures[0], FindTexture("moss.tga"));
  EXPECT_EQ(hill->textures[2], hill->textures[0]);
  EXPECT_EQ(FileTable.count, 0);  // descriptor and mesh files are released

  std::filesystem::remove("hill.cgo");
  EXPECT_EQ(GetModel("hill.cgo"), hill);  // read once
  EXPECT_EQ(ModelList.count, 1);

  WriteText("Hill.cgo", "nummeshes=0\r\n");
  Model* other = GetModel("Hill.cgo");
  EXPECT_NE(other, hill);
  EXPECT_EQ(other->meshCount, 0);

  // Drawing a model draws nothing.
  device.ClearRecord();
  hill->Draw(Identity());
  EXPECT_TRUE(device.calls.empty());
  EXPECT_TRUE(device.draws.empty());
}

TEST_F(MeshTest, DescriptorsWithoutMeshesAndNamesWithoutCgo) {
  // Absent, zero, and a last line without its LF (the last byte is the end mark).
  WriteText("none.cgo", "no meshes here\r\n");
  WriteText("zero.cgo", "nummeshes=0\r\n");
  WriteText("tail.cgo", "nummeshes=1\r\nmesh0=slab.msh\r\ntexture0=moss.tga\r");
  WriteBytes("slab.msh", MeshFileBytes(Square(0)));
  WriteBytes("moss.tga", TgaBytes(4, 4, 10, 20, 30, 255));
  EXPECT_EQ(GetModel("none.cgo")->meshCount, 0);
  EXPECT_EQ(GetModel("zero.cgo")->meshCount, 0);
  EXPECT_EQ(GetModel("tail.cgo")->meshCount, 1);
  WriteText("abcdefghijklmnopqrstuvwxyz1.cgo", "nummeshes=0\r\n");  // 31 characters, the most
  EXPECT_STREQ(GetModel("abcdefghijklmnopqrstuvwxyz1.cgo")->name, "abcdefghijklmnopqrstuvwxyz1.cgo");
  // A name the catalogue would never pass: refused without touching a file.
  EXPECT_EQ(GetModel("rock.tga"), nullptr);
  EXPECT_EQ(GetModel("hill.CGO"), nullptr);
  EXPECT_EQ(ModelList.count, 4);
}

TEST_F(MeshTest, BufferTheDeviceRefusesLeavesTheMeshWithoutBuffers) {
  device.failCreateVertexBuffer = true;
  ::testing::internal::CaptureStderr();
  Mesh* noVertices = Load(CubeMesh(), "a.msh");
  std::string said = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find("a.msh"), std::string::npos) << said;
  EXPECT_EQ(noVertices->vertexBuffer, nullptr);
  EXPECT_EQ(noVertices->indexBuffer, nullptr);
  EXPECT_EQ(noVertices->vertexCount, 8);  // the mesh itself is kept
  EXPECT_EQ(GetMesh("a.msh"), noVertices);

  device.failCreateVertexBuffer = false;
  device.failCreateIndexBuffer = true;
  ::testing::internal::CaptureStderr();
  Mesh* noIndices = Load(CubeMesh(), "b.msh");
  said = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find("b.msh"), std::string::npos) << said;
  EXPECT_EQ(noIndices->vertexBuffer, nullptr);  // no half-made mesh
  EXPECT_EQ(noIndices->indexBuffer, nullptr);

  // A flat mesh needs no index buffer.
  MeshFileSpec flat = CubeMesh();
  flat.smooth = 0;
  EXPECT_NE(Load(flat, "c.msh")->vertexBuffer, nullptr);
}

TEST_F(MeshTest, TheLastPlaceOfEachListIsUsedAndNoneBeyond) {
  for (int i = 0; i < kMaxMeshes - 1; ++i) {
    auto* mesh = new Mesh;
    std::snprintf(mesh->name, sizeof mesh->name, "m%d.msh", i);
    MeshList.meshes[MeshList.count++] = mesh;
  }
  Mesh* last = Load(Square(1), "last.msh");
  EXPECT_EQ(MeshList.count, kMaxMeshes);
  EXPECT_EQ(MeshList.meshes[kMaxMeshes - 1], last);
  EXPECT_EQ(GetMesh("m7.msh"), MeshList.meshes[7]);
  WriteBytes("over.msh", MeshFileBytes(Square(1)));
  EXPECT_EXIT(GetMesh("over.msh"), ::testing::ExitedWithCode(1),
              ::testing::HasSubstr("Can't load over.msh...\nProgram will now stop."));

  for (int i = 0; i < kMaxModels - 1; ++i) {
    auto* model = new Model;
    std::snprintf(model->name, sizeof model->name, "m%d.cgo", i);
    ModelList.models[ModelList.count++] = model;
  }
  WriteText("last.cgo", "nummeshes=0\r\n");
  WriteText("over.cgo", "nummeshes=0\r\n");
  Model* lastModel = GetModel("last.cgo");
  EXPECT_EQ(ModelList.models[kMaxModels - 1], lastModel);
  EXPECT_EQ(GetModel("m3.cgo"), ModelList.models[3]);
  EXPECT_EXIT(GetModel("over.cgo"), ::testing::ExitedWithCode(1),
              ::testing::HasSubstr("Can't load over.cgo...\nProgram will now stop."));
}

// ---- refused files -------------------------------------------------------------------

namespace {
struct BadMesh {
  const char* what;
  std::vector<uint8_t> bytes;
};

std::vector<BadMesh> BadMeshes() {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  std::vector<BadMesh> bad;
  auto with = [&](const char* what, auto change) {
    MeshFileSpec s = Square(1);
    change(s);
    bad.push_back({what, MeshFileBytes(s)});
  };
  bad.push_back({"empty file", {}});
  std::vector<uint8_t> header = MeshFileBytes(Square(1));
  header.resize(36);
  bad.push_back({"header one byte short", header});
  with("negative positions", [](MeshFileSpec& s) { s.positionCount = -1; });
  with("negative triangles", [](MeshFileSpec& s) { s.faceCount = -4; });
  with("no positions", [](MeshFileSpec& s) { s.positionCount = 0; });
  with("no triangles", [](MeshFileSpec& s) { s.faceCount = 0; });
  with("positions beyond the file", [](MeshFileSpec& s) { s.positionCount = 5; });
  with("triangles beyond the file", [](MeshFileSpec& s) { s.faceCount = 3; });
  with("positions overflowing", [](MeshFileSpec& s) { s.positionCount = INT32_MAX; });
  with("triangles overflowing", [](MeshFileSpec& s) { s.faceCount = INT32_MAX; });
  with("both counts huge", [](MeshFileSpec& s) { s.positionCount = 0x15555556; s.faceCount = 0x71C71C8; });
  std::vector<uint8_t> cut = MeshFileBytes(Square(1));
  cut.pop_back();
  bad.push_back({"last coordinate one byte short", cut});
  with("corner below 0", [](MeshFileSpec& s) { s.triangles[1][2] = -1; });
  with("corner at V", [](MeshFileSpec& s) { s.triangles[0][1] = 4; });
  with("flat corner beyond V", [](MeshFileSpec& s) { s.smooth = 0; s.triangles[1][0] = 1000; });
  with("u not a number", [&](MeshFileSpec& s) { s.texCoords[2].x = nan; });
  with("v infinite", [&](MeshFileSpec& s) { s.texCoords[5].y = inf; });
  with("u beyond 1000", [](MeshFileSpec& s) { s.texCoords[0].x = 1000.0001f; });
  with("u beyond -1000", [](MeshFileSpec& s) { s.texCoords[3].x = -1000.5f; });
  with("flat u not a number", [&](MeshFileSpec& s) { s.smooth = 0; s.texCoords[1].x = nan; });
  with("smooth position no corner uses", [](MeshFileSpec& s) { s.positions.push_back({5, 5, 5}); });
  MeshFileSpec many;
  many.positions = {{0, 0, 0}};
  many.triangles.assign(21846, {0, 0, 0});
  for (int c = 0; c < 3 * 21846; ++c) many.texCoords.push_back({0.001f * static_cast<float>(c), 0});
  bad.push_back({"65538 vertices after the split", MeshFileBytes(many)});
  return bad;
}
}  // namespace

TEST_F(MeshTest, BrokenMeshFilesAreRefusedWithinTheirBytes) {
  for (const BadMesh& bad : BadMeshes()) {
    Mesh mesh;
    EXPECT_NE(Parse(mesh, bad.bytes), nullptr) << bad.what;
  }
  // The edges that still load: u of exactly ±1000, bytes after the data, a flat mesh
  // with a position no corner uses, a flat mesh with u far beyond 1000 either way.
  MeshFileSpec s = Square(1);
  s.texCoords[0].x = 1000.0f;
  s.texCoords[1].x = -1000.0f;
  std::vector<uint8_t> bytes = MeshFileBytes(s);
  bytes.insert(bytes.end(), {1, 2, 3});
  Mesh edge;
  EXPECT_EQ(Parse(edge, bytes), nullptr);
  EXPECT_EQ(edge.vertices[0].texCoord[0], 1000.0f);
  s = Square(0);
  s.positions.push_back({9, 9, 9});
  Mesh flat;
  EXPECT_EQ(Parse(flat, MeshFileBytes(s)), nullptr);
  EXPECT_EQ(flat.vertexCount, 6);
  EXPECT_EQ(flat.boundingSphere.centre[0], 4.5f);  // the unused position still counts
  s = Square(0);
  s.texCoords[0].x = 1000.0001f;
  s.texCoords[4].x = -3.0e7f;
  Mesh wide;
  EXPECT_EQ(Parse(wide, MeshFileBytes(s)), nullptr);
  EXPECT_EQ(wide.vertices[0].texCoord[0], 1000.0001f);
  EXPECT_EQ(wide.vertices[4].texCoord[0], -3.0e7f);
}

TEST_F(MeshTest, BrokenMeshFilesEndTheProgramNamingTheFile) {
  for (const BadMesh& bad : BadMeshes()) {
    SCOPED_TRACE(bad.what);
    WriteBytes("bad.msh", bad.bytes);
    EXPECT_EXIT(GetMesh("bad.msh"), ::testing::ExitedWithCode(1),
                ::testing::HasSubstr("Can't load bad.msh...\nProgram will now stop."));
  }
}

TEST_F(MeshTest, BrokenDescriptorsEndTheProgramNamingTheFile) {
  WriteBytes("moss.tga", TgaBytes(4, 4, 10, 20, 30, 255));
  std::vector<uint8_t> cut = MeshFileBytes(Square(1));
  cut.resize(40);
  WriteBytes("bad.msh", cut);
  struct Case {
    const char* what;
    const char* model;
    std::string text;
    const char* named;
  };
  const Case cases[] = {
      {"zero bytes", "empty.cgo", "", "empty.cgo"},
      {"negative mesh count", "neg.cgo", "nummeshes=-2\r\n", "neg.cgo"},
      {"missing mesh line", "gap.cgo", "nummeshes=2\r\nmesh0=\r\n", "...\nProgram"},
      {"missing file", "absent.cgo", "", "absent.cgo"},
      {"a broken mesh", "broken.cgo", "nummeshes=1\r\nmesh0=bad.msh\r\ntexture0=moss.tga\r\n", "bad.msh"},
      {"a name of 32 characters", "abcdefghijklmnopqrstuvwxyz12.cgo", "nummeshes=0\r\n",
       "abcdefghijklmnopqrstuvwxyz12.cgo"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (std::strcmp(c.model, "absent.cgo") != 0) WriteText(c.model, c.text);
    EXPECT_EXIT(GetModel(c.model), ::testing::ExitedWithCode(1),
                ::testing::HasSubstr(std::string("Can't load ") + c.named));
  }
  // A missing texture line asks for a picture without a name: the texture manager's message.
  WriteBytes("good.msh", MeshFileBytes(Square(1)));
  WriteText("bare.cgo", "nummeshes=1\r\nmesh0=good.msh\r\n");
  EXPECT_EXIT(GetModel("bare.cgo"), ::testing::ExitedWithCode(1), ::testing::HasSubstr("Couldn't load texture: "));
}

// ---- a model in an installation ------------------------------------------------------

namespace {
// Everything a draw depends on, with the texture by name (pointers differ between runs).
std::string Describe(const RecordedDraw& d) {
  std::string out = std::to_string(d.primitiveType) + " " + std::to_string(d.primitiveCount) + " " +
                    std::to_string(d.fvf) + " " + std::to_string(d.stride) + " ";
  const char* texture = "none";
  for (int32_t i = 0; i < TextureManager.count; ++i) {
    if (TextureManager.records[i]->texture.get() == d.texture) texture = TextureManager.records[i]->name;
  }
  out += texture;
  for (uint32_t s : {d.alphaBlendEnable, d.srcBlend, d.destBlend, d.alphaTestEnable, d.alphaRef, d.magFilter,
                     d.minFilter, d.mipFilter}) {
    out += " " + std::to_string(s);
  }
  for (const Matrix4* m : {&d.world, &d.view, &d.projection}) {
    for (float f : m->m) out += " " + std::to_string(f);
  }
  for (uint8_t b : d.vertexBytes) out += " " + std::to_string(b);
  return out;
}
}  // namespace

TEST_F(MeshTest, AnInstallationWithAModelDrawsAsOneWithout) {
  WriteBytes("rock.tga", TgaBytes(4, 4, 10, 20, 30, 255));
  WriteBytes("moss.tga", TgaBytes(4, 4, 90, 20, 30, 255));
  WriteBytes("_a_back0.jpg", TgaBytes(8, 6, 0x40, 0x50, 0x60, 0x80));
  WriteBytes("level0.lev", LevelBytes({{"rock", -10, -10, 10, 10, 0, 0, 0, 0, 1},
                                       {"spray", -300, -300, -200, -200},
                                       {"rock", 100, 100, 140, 120}}));
  WriteBytes("crag.msh", MeshFileBytes(CubeMesh()));
  WriteText("crag.cgo", DescriptorText({{"crag.msh", "moss.tga"}}));

  auto run = [&](const std::string& catalogue) {
    RecordingDevice fresh;
    Device = &fresh;
    ResetSceneState();
    SeedSceneRandom(0);
    SceneClockMs = 0.0;
    WriteText("gameobjs.txt", catalogue);
    SettingsEx.sceneCount = 1;
    SetSceneDelay(0);
    sceneCursor = 0;
    PreloadScenes();
    ShowFirstScene();
    FrameDeltaMs = 16.0f;
    for (int frame = 0; frame < 3; ++frame) {
      SceneDirector();
      SceneClockMs += FrameDeltaMs;
    }
    std::vector<std::string> draws;
    for (const RecordedDraw& d : fresh.draws) draws.push_back(Describe(d));
    ResetSceneState();
    ReleaseAllModels();
    ReleaseAllMeshes();
    ReleaseAllTextures();
    ReleaseAllFiles();
    Device = &device;
    return draws;
  };

  const std::vector<std::string> without = run("[g/]\nrock=rock.tga\nspray=rock.tga\n[/]\n");
  ASSERT_FALSE(without.empty());
  std::vector<std::string> with;
  {
    // The same catalogue with a model entry in a group of its own and one among the rest.
    const std::string catalogue = "[g/]\nrock=rock.tga\ncrag=crag.cgo\nspray=rock.tga\n[/]\n[models/]\nhill=crag.cgo\n[/]\n";
    WriteText("gameobjs.txt", catalogue);
    ResetSceneState();
    LoadCatalogue();
    ASSERT_EQ(ModelList.count, 1);
    EXPECT_EQ(FindCatalogueEntry("crag")->mesh, ModelList.models[0]);
    EXPECT_EQ(FindCatalogueEntry("hill")->mesh, ModelList.models[0]);
    EXPECT_NE(ModelList.models[0]->meshes[0]->vertexBuffer, nullptr);
    ResetSceneState();
    ReleaseAllModels();
    ReleaseAllMeshes();
    ReleaseAllTextures();
    ReleaseAllFiles();
    with = run(catalogue);
  }
  EXPECT_EQ(with, without);
}
