// Settings persistence: the 20- and 10-byte records, their defaults, the installation's
// strings, links.txt, and what a run leaves behind in the user's store.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <string>

#include "core/fatal.h"
#include "host/message_box.h"
#include "resources/file_table.h"
#include "resources/settings.h"
#include "store_test_support.h"

using namespace qh;
using qh::test::StoreWorld;

namespace {
const std::string kDefaultsLine = "\"settings\"=hex:00,00,00,00,50,00,00,00,00,01,00,00,00,00,00,00,01,01,00,00";

class SettingsTest : public StoreWorld {
 protected:
  void SetUp() override {
    StoreWorld::SetUp();
    Settings = SettingsRecord{};
    SettingsEx = SettingsExRecord{};
    installShare_ = root_ + "/install/share/quiet-highland";
    // What the build writes: the installation's store and links.txt beside it.
    WriteFile(InstallFile(), Store("\"dir\"=\".\"\n\"namerus\"=\"Тихое нагорье\"\n\"musicname\"=\"music.ogg\"\n"));
    WriteFile(installShare_ + "/links.txt", "title=x\r\nlink1=file:///home/page\r\n");
  }
  void TearDown() override {
    ReleaseAllFiles();
    Settings = SettingsRecord{};
    SettingsEx = SettingsExRecord{};
    StoreWorld::TearDown();
  }
  static std::string Cwd() {
    char cwd[PATH_MAX];
    return getcwd(cwd, sizeof cwd) != nullptr ? cwd : "";
  }
  std::string installShare_;
};
}  // namespace

TEST(SettingsLayoutTest, KeyPathAndProductTrailer) {
  CompleteSettingsKeyPath();
  EXPECT_STREQ(SettingsKeyPath, "software\\quorvale\\screensavers\\Quiet Highland");
  CompleteSettingsKeyPath();  // once only
  EXPECT_STREQ(SettingsKeyPath, "software\\quorvale\\screensavers\\Quiet Highland");
  EXPECT_EQ(productTrailer, 36);
}

TEST(SettingsLayoutTest, FieldsSitAtTheirOffsetsLittleEndian) {
  uint8_t bytes[kSettingsBytes];
  for (uint8_t i = 0; i < kSettingsBytes; ++i) bytes[i] = static_cast<uint8_t>(0x10 + i);
  SettingsRecord s;
  DecodeSettings(bytes, &s);
  EXPECT_EQ(s.sceneDelayChoice, 0x13121110);
  EXPECT_EQ(s.volume, 0x17161514);
  EXPECT_EQ(s.dayCycle, 0x18);
  EXPECT_EQ(s.showClock, 0x19);
  EXPECT_EQ(s.reserved1[0], 0x1A);
  EXPECT_EQ(s.reserved1[1], 0x1B);
  EXPECT_EQ(s.startScene, 0x1F1E1D1C);
  EXPECT_EQ(s.musicOn, 0x20);
  EXPECT_EQ(s.natureSounds, 0x21);
  EXPECT_EQ(s.reserved2[0], 0x22);
  EXPECT_EQ(s.reserved2[1], 0x23);
  uint8_t back[kSettingsBytes];
  EncodeSettings(s, back);
  EXPECT_EQ(std::memcmp(back, bytes, kSettingsBytes), 0);

  SettingsRecord negative;
  negative.startScene = -2;
  EncodeSettings(negative, back);
  EXPECT_EQ(back[12], 0xFE);
  EXPECT_EQ(back[15], 0xFF);

  const uint8_t ex[kSettingsExBytes] = {3, 9, 1, 2, 3, 0, 1, 2, 3, 1};
  SettingsExRecord e;
  DecodeSettingsEx(ex, &e);
  EXPECT_EQ(e.sceneCount, 3);
  EXPECT_EQ(e.musicStartOrder, 9);
  EXPECT_EQ(e.ambientKind[0], 1);
  EXPECT_EQ(e.ambientKind[7], 1);
  EXPECT_EQ(e.ambientKind[4], 1);
}

TEST(SettingsLayoutTest, DefaultsLeaveTheDelayChoiceAndReservedBytes) {
  SettingsRecord s;
  s.sceneDelayChoice = 4;
  s.reserved1[0] = 0xAA;
  s.reserved2[1] = 0xBB;
  s.volume = 3;
  s.startScene = 5;
  SetDefaultSettings(&s);
  EXPECT_EQ(s.volume, 80);
  EXPECT_EQ(s.dayCycle, 0);
  EXPECT_EQ(s.showClock, 1);
  EXPECT_EQ(s.musicOn, 1);
  EXPECT_EQ(s.natureSounds, 1);
  EXPECT_EQ(s.startScene, 0);
  EXPECT_EQ(s.sceneDelayChoice, 4);
  EXPECT_EQ(s.reserved1[0], 0xAA);
  EXPECT_EQ(s.reserved2[1], 0xBB);
}

TEST_F(SettingsTest, AMachineWithoutTheUserStoreRunsWithTheDefaults) {
  LoadSettings();
  EXPECT_EQ(Settings.sceneDelayChoice, 0);
  EXPECT_EQ(Settings.volume, 80);
  EXPECT_EQ(Settings.dayCycle, 0);
  EXPECT_EQ(Settings.showClock, 1);
  EXPECT_EQ(Settings.startScene, 0);
  EXPECT_EQ(Settings.musicOn, 1);
  EXPECT_EQ(Settings.natureSounds, 1);
  EXPECT_EQ(SettingsEx.sceneCount, 1);
  EXPECT_EQ(SettingsEx.musicStartOrder, 36);
  for (const uint8_t kind : SettingsEx.ambientKind) EXPECT_EQ(kind, 0);
  EXPECT_EQ(MusicVolume, 80);
  EXPECT_EQ(SampleVolume, 80);
  EXPECT_STREQ(musicName, "music.ogg");
  EXPECT_STREQ(titleName, "Тихое нагорье");
  EXPECT_STREQ(homeLink, "file:///home/page");
  EXPECT_EQ(installDir, installShare_);  // "." of the installation's file, made absolute
  EXPECT_EQ(Cwd(), installShare_);
  EXPECT_EQ(FileTable.count, 0);  // links.txt was released again

  // ... and leaves behind the key with a 20-byte value holding exactly those values.
  EXPECT_FALSE(Exists(UserFile()));
  SaveSettings();
  const std::string user = ReadFile(UserFile());
  EXPECT_EQ(user, Store(kDefaultsLine + "\n"));
}

TEST_F(SettingsTest, StoredValuesAreReadFieldByField) {
  WriteFile(UserFile(), Store("\"settings\"=hex:05,00,00,00,2a,00,00,00,01,00,00,00,02,00,00,00,00,01,00,00\n"
                              "\"settingsex\"=hex:04,07,01,02,03,00,00,00,00,00\n"));
  LoadSettings();
  EXPECT_EQ(Settings.sceneDelayChoice, 5);
  EXPECT_EQ(Settings.volume, 42);
  EXPECT_EQ(Settings.dayCycle, 1);
  EXPECT_EQ(Settings.showClock, 0);
  EXPECT_EQ(Settings.startScene, 2);
  EXPECT_EQ(Settings.musicOn, 0);
  EXPECT_EQ(Settings.natureSounds, 1);
  EXPECT_EQ(MusicVolume, 42);
  EXPECT_EQ(SampleVolume, 42);
  EXPECT_EQ(SettingsEx.sceneCount, 4);
  EXPECT_EQ(SettingsEx.musicStartOrder, 36);  // whatever was stored
  EXPECT_EQ(SettingsEx.ambientKind[0], 1);
  EXPECT_EQ(SettingsEx.ambientKind[1], 2);
  EXPECT_EQ(SettingsEx.ambientKind[2], 3);
  EXPECT_EQ(SettingsEx.ambientKind[3], 0);
}

TEST_F(SettingsTest, RecordsOfAnotherSizeCountAsMissing) {
  for (const char* value : {"hex:05,00,00,00,2a,00,00,00,01,00,00,00,02,00,00,00,00,01,00",
                            "hex:05,00,00,00,2a,00,00,00,01,00,00,00,02,00,00,00,00,01,00,00,00", "hex:",
                            "\"05000000\"", "dword:00000005"}) {
    SCOPED_TRACE(value);
    WriteFile(UserFile(), Store(std::string("\"settings\"=") + value + "\n\"settingsex\"=hex:02,00,01\n"));
    Settings = SettingsRecord{};
    LoadSettings();
    EXPECT_EQ(Settings.volume, 80);
    EXPECT_EQ(Settings.sceneDelayChoice, 0);
    EXPECT_EQ(SettingsEx.sceneCount, 1);
    EXPECT_EQ(SettingsEx.musicStartOrder, 36);
    // The next save replaces it with a 20-byte value.
    SaveSettings();
    const std::string user = ReadFile(UserFile());
    EXPECT_NE(user.find(kDefaultsLine + "\n"), std::string::npos) << user;
    EXPECT_EQ(user.find("\"settings\"=", user.find(kDefaultsLine) + 1), std::string::npos) << user;
  }
}

TEST_F(SettingsTest, ReservedBytesAreWrittenBackUnchanged) {
  const std::string stored = "\"settings\"=hex:02,00,00,00,64,00,00,00,00,01,aa,bb,01,00,00,00,01,00,cc,dd";
  WriteFile(UserFile(), Store(stored + "\n"));
  LoadSettings();
  Settings.volume = 30;  // what the dialog might change
  SaveSettings();
  EXPECT_EQ(ReadFile(UserFile()),
            Store("\"settings\"=hex:02,00,00,00,1e,00,00,00,00,01,aa,bb,01,00,00,00,01,00,cc,dd\n"));
}

TEST_F(SettingsTest, AnOutOfRangeDelayChoiceIsKeptAsRead) {
  WriteFile(UserFile(), Store("\"settings\"=hex:09,00,00,00,50,00,00,00,00,01,00,00,00,00,00,00,01,01,00,00\n"));
  LoadSettings();
  EXPECT_EQ(Settings.sceneDelayChoice, 9);  // content loading then sets no delay
}

TEST_F(SettingsTest, RelativeAndAbsoluteInstallationFolders) {
  const std::string elsewhere = root_ + "/elsewhere";
  WriteFile(elsewhere + "/links.txt", "link1=elsewhere\r\n");
  // Relative to the user's file, which holds it.
  WriteFile(UserFile(), Store("\"dir\"=\"../../elsewhere\"\n"));
  LoadSettings();
  EXPECT_EQ(installDir, elsewhere);
  EXPECT_EQ(Cwd(), elsewhere);
  EXPECT_STREQ(homeLink, "elsewhere");
  // Absolute, as it stands.
  WriteFile(UserFile(), Store("\"dir\"=\"" + installShare_ + "\"\n"));
  LoadSettings();
  EXPECT_EQ(installDir, installShare_);
  EXPECT_STREQ(homeLink, "file:///home/page");
}

TEST_F(SettingsTest, StringsOfTheWrongTypeStayEmpty) {
  WriteFile(UserFile(), Store("\"namerus\"=hex:41,42\n\"musicname\"=dword:00000001\n"));
  LoadSettings();
  EXPECT_STREQ(titleName, "");
  EXPECT_STREQ(musicName, "");
  EXPECT_EQ(installDir, installShare_);  // still found in the installation's file
}

TEST_F(SettingsTest, LongStringsAreCutOnACharacterBoundary) {
  std::string title;
  for (int i = 0; i < 200; ++i) title += "ж";  // two bytes each
  WriteFile(UserFile(), Store("\"namerus\"=\"" + title + "\"\n\"musicname\"=\"" + std::string(300, 'm') + "\"\n"));
  LoadSettings();
  EXPECT_EQ(std::strlen(titleName), 254u);  // 255 would split a letter
  EXPECT_EQ(std::string(titleName), title.substr(0, 254));
  EXPECT_EQ(std::strlen(musicName), 255u);
}

TEST_F(SettingsTest, LinksWithoutTheKeyOrWithALongValue) {
  WriteFile(installShare_ + "/links.txt", "link2=other\r\n");
  LoadSettings();
  EXPECT_STREQ(homeLink, "");
  WriteFile(installShare_ + "/links.txt", "link1=" + std::string(400, 'h') + "\r\n");
  LoadSettings();
  EXPECT_EQ(std::strlen(homeLink), 255u);
  WriteFile(installShare_ + "/links.txt", "link1=last line without an end");
  LoadSettings();
  EXPECT_STREQ(homeLink, "last line without an end");
}

TEST_F(SettingsTest, MissingLinksFileStopsEveryRunMode) {
  ASSERT_EQ(unlink((installShare_ + "/links.txt").c_str()), 0);
  EXPECT_EXIT(
      {
        SetMessageBoxesEnabled(false);
        LoadSettings();
      },
      ::testing::ExitedWithCode(1), ::testing::HasSubstr("Can't load links.txt...\nProgram will now stop."));
}

TEST_F(SettingsTest, NoStoreAnywhereLeavesTheStringsEmpty) {
  ASSERT_EQ(unlink(InstallFile().c_str()), 0);
  // The current folder stays where it was; links.txt is looked for there.
  ASSERT_EQ(chdir(installShare_.c_str()), 0);
  LoadSettings();
  EXPECT_EQ(installDir, "");
  EXPECT_STREQ(titleName, "");
  EXPECT_STREQ(musicName, "");
  EXPECT_EQ(Settings.volume, 80);
  EXPECT_STREQ(homeLink, "file:///home/page");
}

TEST_F(SettingsTest, BadStoreFilesStillStartWithTheDefaults) {
  const char* damaged[] = {
      "\xEF\xBB\xBFREGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\software\\quorvale\\screensavers\\Quiet Highland]\r\n"
      "\"settings\"=hex:00,00,00,00,50,00,00,\\",  // cut off in a continuation
      "complete garbage \x01\x02\x03",
      "REGEDIT4\n[HKEY_LOCAL_MACHINE\\software\\quorvale\\screensavers\\Quiet Highland]\n\"settings\"=hex:zz\n",
      "",
  };
  for (const char* text : damaged) {
    SCOPED_TRACE(text);
    WriteFile(UserFile(), text);
    Settings = SettingsRecord{};
    Settings.volume = 5;
    LoadSettings();
    EXPECT_EQ(Settings.volume, 80);
    EXPECT_EQ(installDir, installShare_);
  }
}

TEST_F(SettingsTest, ReadableValuesOfADamagedFileStillCount) {
  WriteFile(UserFile(), "\xEF\xBB\xBFREGEDIT4\r\n\r\n" + std::string(kKeyLine) +
                            "\r\nnonsense\r\n\"settings\"=hex:01,00,00,00,0a,00,00,00,\\\r\n"
                            "  00,01,00,00,00,00,00,00,01,01,00,00\r\n\"settings\"=hex:03,00,00,00,14,00,00,00,00,01,"
                            "00,00,00,00,00,00,01,01,00,00\r\n");
  LoadSettings();
  EXPECT_EQ(Settings.sceneDelayChoice, 3);  // the last one wins
  EXPECT_EQ(Settings.volume, 20);
  testing::internal::CaptureStderr();
  SaveSettings();
  testing::internal::GetCapturedStderr();
  EXPECT_TRUE(Exists(UserFile() + ".bad"));
  EXPECT_EQ(ReadFile(UserFile()),
            "REGEDIT4\r\n\r\n" + std::string(kKeyLine) +
                "\r\n\"settings\"=hex:03,00,00,00,14,00,00,00,00,01,00,00,00,00,00,00,01,01,00,00\r\n");
}
