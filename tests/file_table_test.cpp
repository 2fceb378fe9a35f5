// The cached whole-file loader: one buffer per name, case-insensitive names, ordered
// removal, quiet and fatal misses.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/fatal.h"
#include "host/message_box.h"
#include "resources/file_table.h"

using namespace qh;

namespace {
class FileTableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ReleaseAllFiles();
    ASSERT_NE(getcwd(savedCwd_, sizeof savedCwd_), nullptr);
    char pattern[] = "/tmp/qh-files.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    ASSERT_EQ(chdir(dir_.c_str()), 0);
  }
  void TearDown() override {
    ReleaseAllFiles();
    ASSERT_EQ(chdir(savedCwd_), 0);
    std::string command = "rm -rf '" + dir_ + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
  }
  static void Write(const char* name, const std::string& bytes) {
    FILE* file = std::fopen(name, "wb");
    ASSERT_NE(file, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
  }
  char savedCwd_[PATH_MAX] = {};
  std::string dir_;
};
}  // namespace

TEST_F(FileTableTest, SameNameInCapitalsIsServedFromTheTable) {
  Write("level0.lev", "abcdef");
  int32_t size = -1;
  uint8_t* first = LoadFile("level0.lev", &size, false);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(size, 6);
  EXPECT_EQ(std::memcmp(first, "abcdef", 6), 0);
  ASSERT_EQ(unlink("level0.lev"), 0);  // a second disk read would now fail
  int32_t again = -1;
  EXPECT_EQ(LoadFile("LEVEL0.LEV", &again, false), first);
  EXPECT_EQ(again, 6);
  EXPECT_EQ(FileTable.count, 1);
  EXPECT_STREQ(FileTable.entries[0]->name, "LEVEL0.LEV");
  EXPECT_EQ(FileTable.entries[0]->owned, 1);
}

TEST_F(FileTableTest, BuffersEndWithAZeroPastTheirSize) {
  Write("links.txt", "link1=x\r\n");
  int32_t size = 0;
  uint8_t* data = LoadFile("links.txt", &size, false);
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(size, 9);
  EXPECT_EQ(data[9], 0);
  EXPECT_EQ(LoadFile("links.txt", nullptr, false), data);  // the size out may be absent
}

TEST_F(FileTableTest, EmptyFileGivesAZeroSizeEntry) {
  Write("empty.txt", "");
  int32_t size = -1;
  uint8_t* data = LoadFile("empty.txt", &size, false);
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(size, 0);
  EXPECT_EQ(data[0], 0);
  ASSERT_EQ(FileTable.count, 1);
  EXPECT_EQ(FileTable.entries[0]->size, 0);
}

TEST_F(FileTableTest, AfterReleaseTheDiskIsReadAgain) {
  Write("a.txt", "old");
  uint8_t* first = LoadFile("a.txt", nullptr, false);
  ASSERT_NE(first, nullptr);
  EXPECT_TRUE(ReleaseFile(first));
  EXPECT_EQ(FileTable.count, 0);
  Write("a.txt", "newer");
  int32_t size = 0;
  uint8_t* second = LoadFile("a.txt", &size, false);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(size, 5);
  EXPECT_EQ(std::memcmp(second, "newer", 5), 0);
  EXPECT_TRUE(ReleaseFileByName("A.TXT"));
  EXPECT_EQ(LoadFile("a.txt", nullptr, false) != nullptr, true);
}

TEST_F(FileTableTest, ABufferIsFreedOnlyByItsLastHolder) {
  // A descriptor naming the catalogue as its mesh: the second loader is handed the bytes
  // the first is still reading, and its release must leave them to the first.
  Write("gameobjs.txt", "[sky/]\n");
  uint8_t* first = LoadFile("gameobjs.txt", nullptr, false);
  uint8_t* second = LoadFile("GAMEOBJS.TXT", nullptr, false);
  ASSERT_EQ(first, second);
  EXPECT_EQ(FileTable.entries[0]->holds, 2);
  EXPECT_TRUE(ReleaseFile(second));
  ASSERT_EQ(FileTable.count, 1) << "the first holder still reads it";
  EXPECT_EQ(std::memcmp(first, "[sky/]\n", 7), 0);
  EXPECT_TRUE(ReleaseFileByName("gameobjs.txt"));
  EXPECT_EQ(FileTable.count, 0);
  EXPECT_FALSE(ReleaseFile(first)) << "a hold let go twice is not let go again";

  // A registered file is held by nobody until it is asked for.
  static uint8_t bytes[2] = {'x', 0};
  ASSERT_TRUE(RegisterFile("given", 1, bytes, 0));
  EXPECT_EQ(FileTable.entries[0]->holds, 0);
  EXPECT_EQ(LoadFile("given", nullptr, false), bytes);
  EXPECT_TRUE(ReleaseFile(bytes));
  EXPECT_EQ(FileTable.count, 0);
}

TEST_F(FileTableTest, RemovingTheMiddleEntryKeepsTheOrder) {
  Write("one", "1");
  Write("two", "22");
  Write("three", "333");
  uint8_t* one = LoadFile("one", nullptr, false);
  uint8_t* two = LoadFile("two", nullptr, false);
  uint8_t* three = LoadFile("three", nullptr, false);
  ASSERT_TRUE(one && two && three);
  EXPECT_TRUE(ReleaseFile(two));
  ASSERT_EQ(FileTable.count, 2);
  EXPECT_EQ(FileTable.entries[0]->data, one);
  EXPECT_EQ(FileTable.entries[1]->data, three);
  EXPECT_EQ(FileTable.entries[2], nullptr);
  EXPECT_TRUE(ReleaseFileByName("one"));
  ASSERT_EQ(FileTable.count, 1);
  EXPECT_EQ(FileTable.entries[0]->data, three);
}

TEST_F(FileTableTest, UnknownPointersAndNamesAreNotReleased) {
  Write("kept", "k");
  ASSERT_NE(LoadFile("kept", nullptr, false), nullptr);
  int local = 0;
  EXPECT_FALSE(ReleaseFile(&local));
  EXPECT_FALSE(ReleaseFile(nullptr));
  EXPECT_FALSE(ReleaseFileByName("other"));
  EXPECT_EQ(FileTable.count, 1);
}

TEST_F(FileTableTest, MissingFileInQuietFormChangesNothing) {
  Write("present", "p");
  ASSERT_NE(LoadFile("present", nullptr, false), nullptr);
  int32_t size = 77;
  EXPECT_EQ(LoadFile("absent.jpg", &size, false), nullptr);
  EXPECT_EQ(size, 77);
  EXPECT_EQ(FileTable.count, 1);
  EXPECT_EQ(FindFile("absent.jpg"), nullptr);
}

TEST_F(FileTableTest, FoldersAreNotFiles) {
  ASSERT_EQ(mkdir("Sounds", 0700), 0);
  EXPECT_EQ(LoadFile("Sounds", nullptr, false), nullptr);
  EXPECT_EQ(FileTable.count, 0);
}

// A pipe or a device in place of a data file is a missing file, found at once: opening it
// must not wait for a writer (the alarm ends a run that hangs).
TEST_F(FileTableTest, PipesAndDevicesAreMissingFilesNotWaits) {
  ASSERT_EQ(mkfifo("gameobjs.txt", 0600), 0);
  ASSERT_EQ(symlink("/dev/zero", "font.dat"), 0);
  alarm(10);
  EXPECT_EQ(LoadFile("gameobjs.txt", nullptr, false), nullptr);
  EXPECT_EQ(LoadFile("font.dat", nullptr, false), nullptr);
  EXPECT_EXIT(
      {
        SetMessageBoxesEnabled(false);
        LoadFile("gameobjs.txt", nullptr, true);
      },
      ::testing::ExitedWithCode(1), ::testing::HasSubstr("Can't load gameobjs.txt..."));
  alarm(0);
  EXPECT_EQ(FileTable.count, 0);
}

TEST_F(FileTableTest, MissingFileInFatalFormStopsTheProgram) {
  EXPECT_EXIT(
      {
        SetMessageBoxesEnabled(false);
        LoadFile("x", nullptr, true);
      },
      ::testing::ExitedWithCode(1), ::testing::HasSubstr("Can't load x...\nProgram will now stop."));
  EXPECT_EXIT(
      {
        SetMessageBoxesEnabled(false);
        LoadFile("gameobjs.txt", nullptr, true);
      },
      ::testing::ExitedWithCode(1), ::testing::HasSubstr("Loading Error"));
}

TEST_F(FileTableTest, NamesLongerThanTheFieldsAreRefused) {
  const std::string longName(64, 'n');  // one past what a search compares
  Write(longName.c_str(), "data");
  EXPECT_EQ(LoadFile(longName.c_str(), nullptr, false), nullptr);
  EXPECT_EQ(FileTable.count, 0);
  const std::string fits(63, 'n');
  Write(fits.c_str(), "data");
  EXPECT_NE(LoadFile(fits.c_str(), nullptr, false), nullptr);

  uint8_t bytes[4] = {};
  EXPECT_FALSE(RegisterFile(std::string(128, 'r').c_str(), 4, bytes, 0));
  EXPECT_TRUE(RegisterFile(std::string(127, 'r').c_str(), 4, bytes, 0));
  EXPECT_EQ(FindFile(std::string(127, 'r').c_str()), nullptr);  // too long to be searched
  EXPECT_TRUE(ReleaseFileByName(std::string(127, 'R').c_str()));
  EXPECT_FALSE(ReleaseFileByName(std::string(200, 'R').c_str()));
}

TEST_F(FileTableTest, DuplicateNamesFindTheEarlierEntry) {
  uint8_t first[2] = {1, 0};
  uint8_t second[2] = {2, 0};
  EXPECT_TRUE(RegisterFile("dup", 1, first, 0));
  EXPECT_TRUE(RegisterFile("DUP", 1, second, 0));
  EXPECT_EQ(FileTable.count, 2);
  ASSERT_NE(FindFile("Dup"), nullptr);
  EXPECT_EQ(FindFile("Dup")->data, first);
  EXPECT_TRUE(ReleaseFileByName("dup"));  // the earlier one goes first
  EXPECT_EQ(FindFile("dup")->data, second);
  EXPECT_EQ(FileTable.entries[0]->data, second);
}

TEST_F(FileTableTest, TheTableHoldsAtMost1024Entries) {
  static uint8_t byte = 0;
  for (int i = 0; i < kMaxFiles; ++i) {
    ASSERT_TRUE(RegisterFile(("f" + std::to_string(i)).c_str(), 1, &byte, 0)) << i;
  }
  EXPECT_FALSE(RegisterFile("one-too-many", 1, &byte, 0));
  EXPECT_EQ(FileTable.count, kMaxFiles);
  Write("late.txt", "late");
  EXPECT_EQ(LoadFile("late.txt", nullptr, false), nullptr);  // nothing leaks, nothing registered
  EXPECT_EQ(FileTable.count, kMaxFiles);
}

TEST(UppercaseNameTest, LatinAndCyrillicSmallLettersOnly) {
  char text[] = "abc-xyz_09.JPG";
  UppercaseName(text);
  EXPECT_STREQ(text, "ABC-XYZ_09.JPG");

  // Windows-1251: 0xE0..0xFF are the small Cyrillic letters; 0xB8 (small yo) stays.
  char cyrillic[] = "\xE0\xEF\xFF\xB8\xC0\xDF\x7F\x80";
  UppercaseName(cyrillic);
  EXPECT_STREQ(cyrillic, "\xC0\xCF\xDF\xB8\xC0\xDF\x7F\x80");

  char empty[] = "";
  UppercaseName(empty);
  EXPECT_STREQ(empty, "");
}
