// The object catalogue: the "gameobjs.txt" scanner, its capacities, lookups and loading.
#include <random>

#include "tests/scene_test_support.h"
#include "tests/support/mesh_files.h"

using namespace qh;
using namespace qh::scenetest;

namespace {
class CatalogueTest : public SceneTest {};

const CatalogueEntry& Entry(int i) { return ObjectCatalogue.entries[i]; }
}  // namespace

TEST_F(CatalogueTest, GroupsAndEntriesInOrder) {
  TextureRecord* fir = MakeTexture("fir.tga");
  TextureRecord* pine = MakeTexture("pine.tga");
  TextureRecord* lake = MakeTexture("lake.jpg");
  Catalogue("[trees/]\r\nfir=fir.tga\r\npine=pine.tga\r\n[/]\r\n[water/]\r\nlake=lake.jpg\r\n[/]\r\n");
  ASSERT_EQ(ObjectCatalogue.groupCount, 2);
  EXPECT_STREQ(ObjectCatalogue.groups[0], "trees");
  EXPECT_STREQ(ObjectCatalogue.groups[1], "water");
  ASSERT_EQ(ObjectCatalogue.entryCount, 3);
  EXPECT_STREQ(Entry(0).name, "fir");
  EXPECT_EQ(Entry(0).group, 0);
  EXPECT_EQ(Entry(0).texture, fir);
  EXPECT_STREQ(Entry(1).name, "pine");
  EXPECT_EQ(Entry(1).group, 0);
  EXPECT_EQ(Entry(1).texture, pine);
  EXPECT_STREQ(Entry(2).name, "lake");
  EXPECT_EQ(Entry(2).group, 1);
  EXPECT_EQ(Entry(2).texture, lake);
  EXPECT_EQ(Entry(2).mesh, nullptr);
}

TEST_F(CatalogueTest, TextOutsideGroupsIsIgnored) {
  MakeTexture("a.tga");
  MakeTexture("b.tga");
  Catalogue("notes = here.tga, ignored\n[g/]\na=a.tga\n[/] trailing words=x.tga\nmore\n[h/]\nb=b.tga\n[/]\nend=z.tga");
  ASSERT_EQ(ObjectCatalogue.groupCount, 2);
  ASSERT_EQ(ObjectCatalogue.entryCount, 2);
  EXPECT_STREQ(Entry(0).name, "a");
  EXPECT_STREQ(Entry(1).name, "b");
  EXPECT_EQ(Entry(1).group, 1);
}

TEST_F(CatalogueTest, CommaStartsTheNextName) {
  TextureRecord* b = MakeTexture("b.tga");
  TextureRecord* d = MakeTexture("d.tga");
  Catalogue("[g/]\na=b.tga,c=d.tga\n[/]");
  ASSERT_EQ(ObjectCatalogue.entryCount, 2);
  EXPECT_STREQ(Entry(0).name, "a");
  EXPECT_EQ(Entry(0).texture, b);
  EXPECT_STREQ(Entry(1).name, ",c");
  EXPECT_EQ(Entry(1).texture, d);
}

TEST_F(CatalogueTest, BlanksBeforeEqualsBelongToTheName) {
  TextureRecord* b = MakeTexture("b.tga");
  Catalogue("[g/]\na = b.tga\n[/]");
  ASSERT_EQ(ObjectCatalogue.entryCount, 1);
  EXPECT_STREQ(Entry(0).name, "a ");
  EXPECT_EQ(Entry(0).texture, b);
}

TEST_F(CatalogueTest, HighBytesAreBlanks) {
  TextureRecord* b = MakeTexture("b.tga");
  TextureRecord* d = MakeTexture("d.tga");
  Catalogue("[g/]\na=b.tga\xE0\xFF" "c=\x80\xE0" "d.tga\n[/]");
  ASSERT_EQ(ObjectCatalogue.entryCount, 2);
  EXPECT_STREQ(Entry(0).name, "a");
  EXPECT_EQ(Entry(0).texture, b);
  EXPECT_STREQ(Entry(1).name, "c");
  EXPECT_EQ(Entry(1).texture, d);
}

TEST_F(CatalogueTest, GroupNamesKeepBlanksAndHeaderEndsAfterOneByte) {
  MakeTexture("a.tga");
  // The byte after "/" is skipped whatever it is; here it is "x", not "]".
  Catalogue("[my trees/x a=a.tga\n[/]");
  ASSERT_EQ(ObjectCatalogue.groupCount, 1);
  EXPECT_STREQ(ObjectCatalogue.groups[0], "my trees");
  ASSERT_EQ(ObjectCatalogue.entryCount, 1);
  EXPECT_STREQ(Entry(0).name, "a");
}

TEST_F(CatalogueTest, BracketWithoutSlashIsDropped) {
  MakeTexture("a.tga");
  MakeTexture("b.tga");
  // A new header without a group end: its "[" is dropped and the rest runs into a name.
  Catalogue("[g/]\na=a.tga\n[b=b.tga\n[/]");
  ASSERT_EQ(ObjectCatalogue.groupCount, 1);
  ASSERT_EQ(ObjectCatalogue.entryCount, 2);
  EXPECT_STREQ(Entry(1).name, "b");
  EXPECT_EQ(Entry(1).group, 0);
}

TEST_F(CatalogueTest, FileKindsDecideTextureModelOrNothing) {
  TextureRecord* both = MakeTexture("x.cgo.jpg");
  MakeTexture("rock.tga");
  WriteBytes("rock.msh", MeshFileBytes(CubeMesh()));
  WriteText("rock.cgo", DescriptorText({{"rock.msh", "rock.tga"}}));
  Catalogue("[g/]\nmodel=rock.cgo\nnote=readme.txt\nboth=x.cgo.jpg\nupper=ROCK.TGA\n[/]");
  ASSERT_EQ(ObjectCatalogue.entryCount, 4);
  // A ".cgo" entry has its model and no texture.
  EXPECT_EQ(Entry(0).texture, nullptr);
  ASSERT_NE(Entry(0).mesh, nullptr);
  EXPECT_EQ(Entry(0).mesh, GetModel("rock.cgo"));
  EXPECT_EQ(Entry(0).mesh->meshCount, 1);
  EXPECT_EQ(Entry(1).texture, nullptr);
  EXPECT_EQ(Entry(1).mesh, nullptr);
  EXPECT_EQ(Entry(2).texture, both);  // the picture test is made first
  EXPECT_EQ(Entry(3).texture, nullptr);  // the extension test is case-sensitive
}

TEST_F(CatalogueTest, FindReturnsTheLastEqualName) {
  TextureRecord* first = MakeTexture("first.tga");
  TextureRecord* second = MakeTexture("second.tga");
  Catalogue("[g/]\nrock=first.tga\nrocky=first.tga\nrock=second.tga\n[/]");
  ASSERT_NE(FindCatalogueEntry("rock"), nullptr);
  EXPECT_EQ(FindCatalogueEntry("rock")->texture, second);
  EXPECT_EQ(FindCatalogueEntry("rocky")->texture, first);
  EXPECT_EQ(FindCatalogueEntry("roc"), nullptr);
  EXPECT_EQ(FindCatalogueEntry("Rock"), nullptr);
}

TEST_F(CatalogueTest, MalformedTextKeepsWhatCameBefore) {
  MakeTexture("a.tga");
  Catalogue("[g/]\na=a.tga\nno equals sign here");
  EXPECT_EQ(ObjectCatalogue.entryCount, 1);
  Catalogue("[g/]\na=a.tga\n[/]\n[never closed");
  EXPECT_EQ(ObjectCatalogue.groupCount, 1);
  EXPECT_EQ(ObjectCatalogue.entryCount, 1);
  Catalogue("[g/]\nlast=   ");  // nothing after "=": no entry
  EXPECT_EQ(ObjectCatalogue.entryCount, 0);
  Catalogue("");
  EXPECT_EQ(ObjectCatalogue.groupCount, 0);
}

TEST_F(CatalogueTest, ReadsOnlyTheBytesItIsGiven) {
  TextureRecord* a = MakeTexture("a.tga");
  // A file name that runs up to the very last byte is complete and loaded.
  const std::string text = "[g/]\nx=a.tga";
  std::vector<uint8_t> exact(text.begin(), text.end());
  ParseCatalogue(exact.data(), static_cast<int32_t>(exact.size()));
  ASSERT_EQ(ObjectCatalogue.entryCount, 1);
  EXPECT_EQ(Entry(0).texture, a);
  // Bytes past the size do not count, even when they would complete an entry.
  const std::string longer = "[g/]\nx=a.tga\ny=a.tga\n";
  ParseCatalogue(reinterpret_cast<const uint8_t*>(longer.data()), 16);  // ends inside "y=a"
  ASSERT_EQ(ObjectCatalogue.entryCount, 2);
  EXPECT_STREQ(Entry(1).name, "y");
  EXPECT_EQ(Entry(1).texture, nullptr);  // its file name was cut to "a"
}

TEST_F(CatalogueTest, LongFileNamesAreLoadedWhole) {
  // A picture name of 40 characters: cut to 31 it would lose its ".tga" and the entry
  // would silently show a white rectangle instead of the picture.
  const std::string file = "a_rather_long_picture_name_for_moss1.tga";
  ASSERT_GT(file.size(), 31u);
  TextureRecord* moss = MakeTexture(file.c_str());
  MakeTexture("a_rather_long_picture_name_for_");  // the cut name must not be what is found
  Catalogue("[g/]\nmoss=" + file + "\n[/]");
  ASSERT_EQ(ObjectCatalogue.entryCount, 1);
  EXPECT_EQ(Entry(0).texture, moss);
}

TEST_F(CatalogueTest, CapacitiesAreNeverExceeded) {
  std::string text;
  for (int g = 0; g < 40; ++g) text += "[group" + std::to_string(g) + "/]\nitem" + std::to_string(g) + "=x\n[/]\n";
  Catalogue(text);
  EXPECT_EQ(ObjectCatalogue.groupCount, kMaxCatalogueGroups);
  EXPECT_EQ(ObjectCatalogue.entryCount, kMaxCatalogueGroups);
  EXPECT_STREQ(ObjectCatalogue.groups[31], "group31");

  text = "[g/]\n";
  for (int i = 0; i < 600; ++i) text += "e" + std::to_string(i) + "=x\n";
  Catalogue(text);
  EXPECT_EQ(ObjectCatalogue.entryCount, kMaxCatalogueEntries);
  EXPECT_STREQ(Entry(511).name, "e511");

  const std::string longName(50, 'n');
  Catalogue("[" + std::string(40, 'g') + "/]\n" + longName + "=x\n[/]");
  EXPECT_EQ(std::string(ObjectCatalogue.groups[0]), std::string(31, 'g'));
  EXPECT_EQ(std::string(Entry(0).name), std::string(31, 'n'));
  EXPECT_EQ(FindCatalogueEntry(longName.c_str()), nullptr);
}

TEST_F(CatalogueTest, ArbitraryBytesStayWithinTheTables) {
  // Text made of the scanner's own punctuation, blanks and letters, never a picture name.
  const char alphabet[] = "[]/=, \n\t\x80\xE0" "abcxyz";
  std::mt19937 random(1234);
  for (int round = 0; round < 2000; ++round) {
    std::vector<uint8_t> bytes(random() % 400);
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(alphabet[random() % (sizeof alphabet - 1)]);
    ParseCatalogue(bytes.data(), static_cast<int32_t>(bytes.size()));
    ASSERT_LE(ObjectCatalogue.groupCount, kMaxCatalogueGroups);
    ASSERT_LE(ObjectCatalogue.entryCount, kMaxCatalogueEntries);
    for (int i = 0; i < ObjectCatalogue.entryCount; ++i) {
      ASSERT_LT(std::strlen(Entry(i).name), static_cast<size_t>(kCatalogueNameSize));
      ASSERT_GE(Entry(i).group, 0);
      ASSERT_LT(Entry(i).group, ObjectCatalogue.groupCount);
    }
  }
}

TEST_F(CatalogueTest, LoadsTheFileAndItsPictures) {
  WriteBytes("stone.tga", TgaBytes(4, 4, 10, 20, 30, 255));
  WriteText("gameobjs.txt", "[rocks/]\nstone=stone.tga\nagain=stone.tga\n[/]\n");
  LoadCatalogue();
  ASSERT_EQ(ObjectCatalogue.entryCount, 2);
  ASSERT_NE(Entry(0).texture, nullptr);
  EXPECT_EQ(Entry(0).texture->width, 4);
  EXPECT_EQ(Entry(0).texture, Entry(1).texture);  // decoded once, shared by name
  EXPECT_EQ(TextureManager.count, 1);
}

TEST_F(CatalogueTest, MissingFileOrPictureEndsTheProgram) {
  EXPECT_EXIT(LoadCatalogue(), ::testing::ExitedWithCode(1), "Can't load gameobjs.txt...");
  WriteText("gameobjs.txt", "[rocks/]\nstone=nothere.tga\n[/]\n");
  EXPECT_EXIT(LoadCatalogue(), ::testing::ExitedWithCode(1), "Couldn't load texture: nothere.tga");
}
