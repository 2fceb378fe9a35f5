// The cover of a background picture: which parts count as opaque (with the margin that
// filtering reaches), that the cover lines up with the picture as it is drawn, the two
// slots, and where the director draws it and where it must not.
#include <algorithm>
#include <functional>

#include "render/device_setup.h"
#include "render/states.h"
#include "scene/picture_cover.h"
#include "tests/scene_test_support.h"

using namespace qh;
using namespace qh::scenetest;

namespace {

// A 1024 x 1024 texture, every texel opaque unless the test says otherwise.
TextureRecord* OpaquePicture(const char* name, D3DFORMAT format = D3DFMT_A8R8G8B8) {
  TextureRecord* record = MakeTexture(name, 1024, 1024);
  record->texture = std::make_unique<Texture>(1024, 1024, 1, format);
  D3DLOCKED_RECT locked;
  EXPECT_EQ(record->texture->LockRect(0, &locked), D3D_OK);
  std::memset(locked.pBits, 0xFF, size_t{1024} * 1024 * 4);
  record->texture->UnlockRect(0);
  return record;
}

void SetAlpha(TextureRecord* record, int x, int y, uint8_t alpha) {
  D3DLOCKED_RECT locked;
  ASSERT_EQ(record->texture->LockRect(0, &locked), D3D_OK);
  static_cast<uint8_t*>(locked.pBits)[(static_cast<size_t>(y) * 1024 + x) * 4 + 3] = alpha;
  record->texture->UnlockRect(0);
}

// Whether the world point lies inside one of the cover's rectangles.
bool Covers(const PictureCover& cover, float x, float y) {
  for (int32_t i = 0; i < cover.rectCount; ++i) {
    const SpriteVertex* v = &cover.vertices[i * 6];
    const float left = std::min(v[0].x, v[2].x), right = std::max(v[0].x, v[2].x);
    const float bottom = std::min(v[0].y, v[2].y), top = std::max(v[0].y, v[2].y);
    if (x > left && x < right && y > bottom && y < top) return true;
  }
  return false;
}

class PictureCoverTest : public SceneTest {
 protected:
  void SetUp() override {
    SceneTest::SetUp();
    ResetPictureCovers();
    // Where the picture's own rectangle puts each texel edge: read off the quad it submits.
    DrawScreenRect(0.0f, 0.0f, 800.0f, 600.0f, 0.0f, 0.0f, kPictureRight, kPictureBottom, 0xFFFFFFFFu);
    const RecordedDraw& quad = device.draws.back();
    const Vec3 p0 = quad.Position(2), p1 = quad.Position(1);  // top left, bottom right
    const Vec2 t0 = quad.TexCoord(2), t1 = quad.TexCoord(1);
    worldX_ = [=](float texel) { return p0.x + (texel / 1024.0f - t0.x) / (t1.x - t0.x) * (p1.x - p0.x); };
    worldY_ = [=](float texel) { return p0.y + (texel / 1024.0f - t0.y) / (t1.y - t0.y) * (p1.y - p0.y); };
    device.ClearRecord();
  }
  void TearDown() override {
    PresentParameters = D3DPRESENT_PARAMETERS{};
    SceneTest::TearDown();
  }

  // Whether the middle of the picture's cell (column, row) of 8 x 8 texels is covered.
  bool CellCovered(const TextureRecord* picture, int column, int row) {
    const PictureCover* cover = FindPictureCover(picture);
    if (cover == nullptr) return false;
    return Covers(*cover, worldX_(column * 8.0f + 4.0f), worldY_(row * 8.0f + 4.0f));
  }

  std::function<float(float)> worldX_, worldY_;
};

TEST_F(PictureCoverTest, AnOpaquePictureIsOneRectangleOnThePicturesOwnEdges) {
  TextureRecord* picture = OpaquePicture("back.tga");
  MeasurePictureCover(picture);
  const PictureCover* cover = FindPictureCover(picture);
  ASSERT_NE(cover, nullptr);
  ASSERT_EQ(cover->rectCount, 1);
  const SpriteVertex* v = cover->vertices;
  // Corners where texels (0, 0) and (800, 600) land, nearer than anything under the picture.
  EXPECT_NEAR(std::min(v[0].x, v[2].x), worldX_(0.0f), 1e-3);
  EXPECT_NEAR(std::max(v[0].x, v[2].x), worldX_(800.0f), 1e-3);
  EXPECT_NEAR(std::max(v[0].y, v[2].y), worldY_(0.0f), 1e-3);
  EXPECT_NEAR(std::min(v[0].y, v[2].y), worldY_(600.0f), 1e-3);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(v[i].z, kCoverDepth);
  EXPECT_LT(kCoverDepth, 0.0f);
  EXPECT_GT(kCoverDepth + 50.0f, 1.0f);  // still beyond the near plane

  // Without an alpha channel every texel is opaque, whatever its fourth byte says.
  TextureRecord* plain = OpaquePicture("plain.tga", D3DFMT_X8R8G8B8);
  for (int x = 0; x < 1024; x += 7) SetAlpha(plain, x, x % 600, 0);
  MeasurePictureCover(plain);
  ASSERT_NE(FindPictureCover(plain), nullptr);
  EXPECT_EQ(FindPictureCover(plain)->rectCount, 1);
}

TEST_F(PictureCoverTest, ATransparentTexelUncoversEveryCellWithinTwoTexels) {
  TextureRecord* picture = OpaquePicture("back.tga");
  SetAlpha(picture, 100, 100, 254);  // cell (12, 12), three texels from its neighbours
  SetAlpha(picture, 401, 297, 0);    // cell (50, 37), one texel from cell 51 and from row 36
  SetAlpha(picture, 801, 200, 0);    // outside the picture, two texels from its last column
  SetAlpha(picture, 1023, 500, 0);   // read by the first column through wrap addressing
  SetAlpha(picture, 300, 1023, 0);   // read by the first row the same way
  MeasurePictureCover(picture);
  EXPECT_FALSE(CellCovered(picture, 12, 12));
  EXPECT_TRUE(CellCovered(picture, 11, 12));
  EXPECT_TRUE(CellCovered(picture, 13, 12));
  EXPECT_TRUE(CellCovered(picture, 12, 11));
  EXPECT_TRUE(CellCovered(picture, 12, 13));
  EXPECT_FALSE(CellCovered(picture, 50, 37));
  EXPECT_FALSE(CellCovered(picture, 49, 37));  // its margin reaches texel 401
  EXPECT_FALSE(CellCovered(picture, 50, 36));
  EXPECT_TRUE(CellCovered(picture, 50, 35));
  EXPECT_TRUE(CellCovered(picture, 50, 38));
  EXPECT_TRUE(CellCovered(picture, 51, 37));
  EXPECT_FALSE(CellCovered(picture, 99, 25));
  EXPECT_TRUE(CellCovered(picture, 98, 25));
  EXPECT_FALSE(CellCovered(picture, 0, 62));
  EXPECT_TRUE(CellCovered(picture, 1, 62));
  EXPECT_FALSE(CellCovered(picture, 37, 0));
  EXPECT_TRUE(CellCovered(picture, 37, 1));
  EXPECT_TRUE(CellCovered(picture, 70, 70));
  // The last row of cells is the picture's bottom 8 rows, no more.
  EXPECT_TRUE(CellCovered(picture, 70, 74));
  EXPECT_FALSE(Covers(*FindPictureCover(picture), worldX_(564.0f), worldY_(601.0f)));
}

TEST_F(PictureCoverTest, NoCoverWithoutPixelsAndTwoSlotsKeepTheRecentlyUsed) {
  MeasurePictureCover(nullptr);
  EXPECT_EQ(FindPictureCover(nullptr), nullptr);
  TextureRecord* small = MakeTexture("small.tga", 64, 64);  // too small to hold the picture
  MeasurePictureCover(small);
  EXPECT_EQ(FindPictureCover(small), nullptr);

  TextureRecord* a = OpaquePicture("a.tga");
  TextureRecord* b = OpaquePicture("b.tga");
  TextureRecord* c = OpaquePicture("c.tga");
  MeasurePictureCover(a);
  MeasurePictureCover(b);
  ASSERT_NE(FindPictureCover(a), nullptr);  // a is now the more recently used
  MeasurePictureCover(c);
  EXPECT_NE(FindPictureCover(a), nullptr);
  EXPECT_EQ(FindPictureCover(b), nullptr);
  EXPECT_NE(FindPictureCover(c), nullptr);

  // Measured again with a hole: the old cover of the same texture is gone, not kept beside.
  SetAlpha(a, 12, 12, 0);
  MeasurePictureCover(a);
  EXPECT_FALSE(CellCovered(a, 1, 1));
  int slotsOfA = 0;
  for (const PictureCover& cover : PictureCovers) slotsOfA += cover.texture == a->texture.get() ? 1 : 0;
  EXPECT_EQ(slotsOfA, 1);
}

class CoveredFrameTest : public PictureCoverTest {
 protected:
  void SetUp() override {
    PictureCoverTest::SetUp();
    PresentParameters.AutoDepthStencilFormat = D3DFMT_D16;
    WriteBytes("rock.tga", TgaBytes(4, 4, 10, 20, 30, 255));
    WriteBytes("sky.tga", TgaBytes(4, 4, 200, 100, 50, 255));
    WriteText("gameobjs.txt", "[g/]\nrock=rock.tga\nsky=sky.tga\n[/]\n");
    WriteBytes("level0.lev", LevelBytes({{"sky", -400, 0, 400, 300}, {"rock", 100, 100, 140, 120}}));
    WriteBytes("level1.lev", LevelBytes({{"sky", -400, 0, 400, 300}}));
    WriteBytes("_a_back0.jpg", TgaBytes(800, 600, 0x40, 0x50, 0x60, 0xFF));
    WriteBytes("_a_back1.jpg", TgaBytes(800, 600, 0x20, 0x30, 0x40, 0xFF));
    SettingsEx.sceneCount = 2;
    SetSceneDelay(0);
    PreloadScenes();
    ShowFirstScene();
  }

  void Frame() {
    device.ClearRecord();
    SceneDirector();
    SceneClockMs += FrameDeltaMs;
  }

  static bool IsCover(const RecordedDraw& d) { return d.colourWriteEnable == 0; }
};

TEST_F(CoveredFrameTest, ThePictureHidesTheLayersUnderItThroughTheDepthBuffer) {
  FrameDeltaMs = 16.0f;
  Frame();
  ASSERT_EQ(device.clears.size(), 1u);
  EXPECT_EQ(device.clears[0].flags, D3DCLEAR_ZBUFFER);
  ASSERT_EQ(device.draws.size(), 4u);
  const RecordedDraw& cover = device.draws[0];
  EXPECT_TRUE(IsCover(cover));
  EXPECT_EQ(cover.texture, nullptr);
  EXPECT_EQ(cover.zEnable, 1u);
  EXPECT_EQ(cover.zWriteEnable, 1u);
  EXPECT_EQ(cover.Position(0).z, kCoverDepth);
  const RecordedDraw& sky = device.draws[1];  // under the picture: tested, never written
  EXPECT_EQ(sky.colourWriteEnable, 0xFu);
  EXPECT_EQ(sky.zEnable, 1u);
  EXPECT_EQ(sky.zWriteEnable, 0u);
  EXPECT_EQ(sky.zFunc, 0u);  // never changed: the device's LESSEQUAL
  const RecordedDraw& picture = device.draws[2];
  EXPECT_EQ(picture.texture, currentBackground->texture.get());
  EXPECT_EQ(picture.zEnable, 0u);
  EXPECT_EQ(picture.colourWriteEnable, 0xFu);
  EXPECT_EQ(device.draws[3].zEnable, 0u);  // the rock over the picture

  // A morning tint keeps the picture opaque, so the cover stays.
  SetSpriteTint(0.67f, 0.67f, 1.0f, 1.0f);
  Director.currentTint = Director.targetTint = {0.67f, 0.67f, 1.0f, 1.0f};
  Frame();
  EXPECT_TRUE(IsCover(device.draws[0]));
}

TEST_F(CoveredFrameTest, NoCoverWithoutADepthBufferNorUnderAPictureFadingIn) {
  PresentParameters.AutoDepthStencilFormat = D3DFMT_UNKNOWN;
  FrameDeltaMs = 16.0f;
  Frame();
  EXPECT_TRUE(device.clears.empty());
  for (const RecordedDraw& d : device.draws) {
    EXPECT_FALSE(IsCover(d));
    EXPECT_EQ(d.zEnable, 0u);
  }

  // In the second half of a change the incoming picture is translucent over the outgoing
  // scene: only the outgoing pass may use a cover.
  PresentParameters.AutoDepthStencilFormat = D3DFMT_D16;
  SceneDelayMs = 0.0f;
  FrameDeltaMs = 100.0f;
  Frame();  // the change starts
  ASSERT_NE(Director.incomingBackground, nullptr);
  ASSERT_NE(FindPictureCover(Director.incomingBackground), nullptr);
  for (int i = 0; i < 40 && crossfadeCountdown > 2500.0f; ++i) Frame();
  ASSERT_GT(crossfadeCountdown, 0.0f);
  ASSERT_LE(crossfadeCountdown, 3000.0f);
  Frame();
  int covers = 0;
  for (const RecordedDraw& d : device.draws) covers += IsCover(d) ? 1 : 0;
  EXPECT_EQ(covers, 1);
  size_t secondPassStart = 0;  // just after the outgoing picture
  while (secondPassStart < device.draws.size() && device.draws[secondPassStart].Position(0).z != 10.0f) {
    ++secondPassStart;
  }
  ++secondPassStart;
  ASSERT_LT(secondPassStart, device.draws.size());
  EXPECT_TRUE(IsCover(device.draws[0]));
  for (size_t i = secondPassStart; i < device.draws.size(); ++i) EXPECT_EQ(device.draws[i].zEnable, 0u) << i;
}

}  // namespace
