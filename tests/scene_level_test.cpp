// Level files and the scene-object table: field layout, bounds, phases, start-up.
#include "tests/scene_test_support.h"

using namespace qh;
using namespace qh::scenetest;

namespace {
class LevelTest : public SceneTest {
 protected:
  void SetUp() override {
    SceneTest::SetUp();
    rock = MakeTexture("rock.tga");
    fern = MakeTexture("fern.tga");
    other = MakeTexture("other.tga");
    Catalogue("[g/]\nrock=rock.tga\nfern=fern.tga\nfern=other.tga\n[/]");
  }
  TextureRecord* rock = nullptr;
  TextureRecord* fern = nullptr;
  TextureRecord* other = nullptr;
};

const SceneObject& Object(int i) { return SceneObjectTable.objects[i]; }
}  // namespace

TEST_F(LevelTest, RecordsAreReadFieldByField) {
  LevelRecord r{"rock", -10.5f, 20.25f, 30.0f, -40.0f, 12.5f, 3.0f, -4.0f, 7, 0x01020304};
  Level({r});
  ASSERT_EQ(SceneObjectTable.count, 1);
  const SceneObject& o = Object(0);
  EXPECT_EQ(o.entry, FindCatalogueEntry("rock"));
  EXPECT_EQ(o.rect.x1, -10.5f);
  EXPECT_EQ(o.rect.y1, 20.25f);
  EXPECT_EQ(o.rect.x2, 30.0f);
  EXPECT_EQ(o.rect.y2, -40.0f);
  EXPECT_EQ(o.angle, 12.5f);
  EXPECT_EQ(o.param.x, 3.0f);
  EXPECT_EQ(o.param.y, -4.0f);
  EXPECT_EQ(o.mirrored, 7);
  EXPECT_EQ(o.behindBackground, 0x01020304);
  EXPECT_EQ(o.drawnThisFrame, 0);
}

TEST_F(LevelTest, NamesBindToTheLastCatalogueEntry) {
  Level({{"fern"}, {"fern"}, {"rock"}});
  ASSERT_EQ(SceneObjectTable.count, 3);
  EXPECT_EQ(Object(0).entry->texture, other);
  EXPECT_EQ(Object(1).entry, Object(0).entry);
  EXPECT_EQ(Object(2).entry->texture, rock);
}

TEST_F(LevelTest, UnknownNamesAreSkipped) {
  Level({{"rock"}, {"ghost"}, {"fern"}, {""}});
  ASSERT_EQ(SceneObjectTable.count, 2);
  EXPECT_EQ(Object(0).entry->texture, rock);
  EXPECT_EQ(Object(1).entry->texture, other);
}

TEST_F(LevelTest, CountIsBoundedByTheBytesAndTheTable) {
  // Count claims five, two and a half records are present: only whole ones load.
  std::vector<uint8_t> bytes = LevelBytes({{"rock"}, {"fern"}, {"rock"}}, 5);
  bytes.resize(bytes.size() - 30);
  LevelOmissions left = ParseLevel(bytes.data(), static_cast<int32_t>(bytes.size()));
  EXPECT_EQ(SceneObjectTable.count, 2);
  EXPECT_EQ(left.missingRecords, 3);

  std::vector<LevelRecord> many(140, LevelRecord{"rock"});
  many[139].x1 = 99.0f;
  many[3].name = "nothing";
  const std::vector<uint8_t> manyBytes = LevelBytes(many);
  left = ParseLevel(manyBytes.data(), static_cast<int32_t>(manyBytes.size()));
  EXPECT_EQ(SceneObjectTable.count, kMaxSceneObjects);
  EXPECT_EQ(Object(127).entry->texture, rock);
  EXPECT_EQ(left.unknownNames, 1);
  EXPECT_EQ(left.beyondTable, 140 - 129);
  EXPECT_EQ(left.missingRecords, 0);

  bytes = LevelBytes({{"rock"}}, -3);
  left = ParseLevel(bytes.data(), static_cast<int32_t>(bytes.size()));
  EXPECT_EQ(SceneObjectTable.count, 0);
  EXPECT_EQ(left.missingRecords, -3);

  bytes = LevelBytes({{"rock"}}, 0x7FFFFFFF);
  left = ParseLevel(bytes.data(), static_cast<int32_t>(bytes.size()));
  EXPECT_EQ(SceneObjectTable.count, 1);
  EXPECT_EQ(left.missingRecords, 0x7FFFFFFE);

  bytes.assign(60, 0);  // not even a count
  left = ParseLevel(bytes.data(), static_cast<int32_t>(bytes.size()));
  EXPECT_EQ(SceneObjectTable.count, 0);
  EXPECT_FALSE(left.Any());

  // Loading from a file says what was left out, once however often the level is loaded.
  WriteBytes("level4.lev", LevelBytes({{"rock"}, {"no such part"}}));
  testing::internal::CaptureStderr();
  LoadLevel(4);
  LoadLevel(4);
  const std::string message = testing::internal::GetCapturedStderr();
  EXPECT_NE(message.find("level4.lev: objects left out: 0 declared but not in the file, 1 naming nothing"),
            std::string::npos) << message;
  EXPECT_EQ(message.find("level4.lev"), message.rfind("level4.lev")) << message;
}

TEST_F(LevelTest, EmptyLevelAndUnusedSlotsStayAsTheyWere) {
  Level({{"rock", 1, 2, 3, 4}, {"fern", 5, 6, 7, 8}});
  const double phase1 = Object(1).phase;
  Level({{"rock", 9, 9, 9, 9}});
  EXPECT_EQ(SceneObjectTable.count, 1);
  EXPECT_EQ(Object(1).rect.x1, 5.0f);  // slot 1 keeps what it held
  EXPECT_EQ(Object(1).phase, phase1);
  Level({});
  EXPECT_EQ(SceneObjectTable.count, 0);
}

TEST_F(LevelTest, StartPhasesComeFromTheSceneRandomInObjectOrder) {
  SeedSceneRandom(4321);
  Level({{"rock"}, {"fern"}, {"rock"}});
  SeedSceneRandom(4321);
  for (int i = 0; i < 3; ++i) {
    const float expected = RandomUpTo(500.0f);
    EXPECT_EQ(Object(i).phase, static_cast<double>(expected));
    EXPECT_GE(Object(i).phase, 0.0);
    EXPECT_LT(Object(i).phase, 500.0);
  }
  // During a change of scene the slots keep their running phases and no number is drawn.
  SceneObjectTable.objects[0].phase = 12345.5;
  crossfadeCountdown = 2500.0f;
  const SceneRandomState before = SceneRandom;
  Level({{"fern"}, {"fern"}});
  EXPECT_EQ(Object(0).phase, 12345.5);
  EXPECT_EQ(SceneRandom.hi, before.hi);
  EXPECT_EQ(SceneRandom.lo, before.lo);
}

TEST_F(LevelTest, PreloadThenShowTheStartScene) {
  SettingsEx.sceneCount = 3;
  WriteText("gameobjs.txt", "[g/]\nrock=rock.tga\n[/]\n");
  for (int i = 0; i < 3; ++i) WriteBytes("level" + std::to_string(i) + ".lev", LevelBytes({{"rock", float(i)}}));
  WriteBytes("_a_back2.jpg", TgaBytes(8, 6, 0x40, 0x50, 0x60, 0x80));
  PreloadScenes();
  for (int i = 0; i < 3; ++i) EXPECT_NE(FindFile(("level" + std::to_string(i) + ".lev").c_str()), nullptr) << i;
  EXPECT_EQ(ObjectCatalogue.entryCount, 1);

  sceneCursor = 2;
  crossfadeCountdown = 100.0f;
  ShowFirstScene();
  EXPECT_EQ(crossfadeCountdown, 0.0f);
  EXPECT_EQ(shownScene, 2);
  ASSERT_NE(currentBackground, nullptr);
  EXPECT_STREQ(currentBackground->name, "_a_back2.jpg");
  EXPECT_EQ(currentBackground->width, 1024);
  ASSERT_EQ(SceneObjectTable.count, 1);
  EXPECT_EQ(Object(0).rect.x1, 2.0f);
}

TEST_F(LevelTest, OutOfRangeStartAndZeroSceneCount) {
  WriteBytes("level0.lev", LevelBytes({{"rock"}}));
  SettingsEx.sceneCount = 0;
  EXPECT_EQ(SceneCount(), 1);
  sceneCursor = 5;
  ShowFirstScene();
  EXPECT_EQ(sceneCursor, 0);
  EXPECT_EQ(shownScene, 0);
  EXPECT_EQ(currentBackground, nullptr);  // no picture: left out, with a line on stderr
  SettingsEx.sceneCount = 2;
  sceneCursor = -1;
  ShowFirstScene();
  EXPECT_EQ(shownScene, 0);
}

TEST_F(LevelTest, ShowingAgainReleasesTheOldPicture) {
  WriteBytes("level0.lev", LevelBytes({}));
  WriteBytes("_a_back0.jpg", TgaBytes(8, 6, 0x40, 0x50, 0x60, 0x80));
  ShowFirstScene();
  ASSERT_NE(currentBackground, nullptr);
  const int textures = TextureManager.count;
  ShowFirstScene();
  EXPECT_EQ(TextureManager.count, textures);
  EXPECT_NE(FindTexture("_a_back0.jpg"), nullptr);
}

TEST_F(LevelTest, MissingLevelFileEndsTheProgram) {
  EXPECT_EXIT(LoadLevel(3), ::testing::ExitedWithCode(1), "Can't load level3.lev...");
  SettingsEx.sceneCount = 2;
  WriteText("gameobjs.txt", "[g/]\n[/]\n");
  WriteBytes("level0.lev", LevelBytes({}));
  EXPECT_EXIT(PreloadScenes(), ::testing::ExitedWithCode(1), "Can't load level1.lev...");
}
