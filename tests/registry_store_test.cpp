// The settings store: .reg parsing of good and bad files, rewriting that keeps the
// user's lines, layer order, and atomic writes that never lose the user's file.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "resources/registry_store.h"
#include "store_test_support.h"

using namespace qh;
using qh::test::StoreWorld;

namespace {
constexpr const char* kKey = "HKEY_LOCAL_MACHINE\\software\\quorvale\\screensavers\\Quiet Highland";
constexpr const char* kRel = "software\\quorvale\\screensavers\\Quiet Highland";

std::string Bytes(std::initializer_list<int> values) {
  std::string out;
  for (const int v : values) out.push_back(static_cast<char>(v));
  return out;
}

RegValue Binary(const char* name, const std::string& bytes) {
  RegValue v;
  v.name = name;
  v.type = RegValueType::Binary;
  v.typeCode = 3;
  v.data = bytes;
  return v;
}

RegValue Text(const char* name, const std::string& text) {
  RegValue v;
  v.name = name;
  v.type = RegValueType::String;
  v.data = text;
  return v;
}

const std::string kSample =
    "REGEDIT4\n"
    "\n"
    "; installed values\n"
    "[HKEY_LOCAL_MACHINE\\software\\quorvale\\screensavers\\Quiet Highland]\n"
    "\"dir\"=\"/opt/quiet highland\"\n"
    "\"settingsex\"=hex:03,00,01,02,03,00,00,00,00,00\n"
    "\"count\"=dword:0000002a\n"
    "\"expand\"=hex(2):41,00,00,00\n"
    "@=\"default\"\n"
    "\n"
    "[HKEY_CURRENT_USER\\Other]\n"
    "\"dir\"=\"elsewhere\"\n";
}  // namespace

TEST(RegParseTest, EveryValueTypeOfACleanFile) {
  const RegDocument doc = ParseRegText(kSample);
  EXPECT_TRUE(doc.clean);
  EXPECT_FALSE(doc.crlf);
  const RegValue* dir = FindRegValue(doc, kKey, "dir");
  ASSERT_NE(dir, nullptr);
  EXPECT_EQ(dir->type, RegValueType::String);
  EXPECT_EQ(dir->data, "/opt/quiet highland");
  const RegValue* ex = FindRegValue(doc, kKey, "settingsex");
  ASSERT_NE(ex, nullptr);
  EXPECT_EQ(ex->type, RegValueType::Binary);
  EXPECT_EQ(ex->data, Bytes({3, 0, 1, 2, 3, 0, 0, 0, 0, 0}));
  const RegValue* count = FindRegValue(doc, kKey, "count");
  ASSERT_NE(count, nullptr);
  EXPECT_EQ(count->type, RegValueType::Dword);
  EXPECT_EQ(count->data, Bytes({42, 0, 0, 0}));
  const RegValue* expand = FindRegValue(doc, kKey, "expand");
  ASSERT_NE(expand, nullptr);
  EXPECT_EQ(expand->type, RegValueType::Other);
  EXPECT_EQ(expand->typeCode, 2u);
  const RegValue* def = FindRegValue(doc, kKey, "");
  ASSERT_NE(def, nullptr);
  EXPECT_EQ(def->data, "default");
  // The same name under another key is another value.
  EXPECT_EQ(FindRegValue(doc, "HKEY_CURRENT_USER\\Other", "dir")->data, "elsewhere");
  EXPECT_EQ(FindRegValue(doc, kKey, "missing"), nullptr);
}

TEST(RegParseTest, KeyPathsAndNamesIgnoreCase) {
  const RegDocument doc = ParseRegText(kSample);
  EXPECT_NE(FindRegValue(doc, "hkey_local_machine\\SOFTWARE\\Quorvale\\ScreenSavers\\QUIET HIGHLAND", "DIR"), nullptr);
  EXPECT_NE(FindRegValue(doc, std::string(kKey) + "\\", "SettingsEx"), nullptr);
  EXPECT_EQ(FindRegValue(doc, "HKEY_LOCAL_MACHINE\\software\\quorvale\\screensavers\\Quiet", "dir"), nullptr);
}

TEST(RegParseTest, CrLfLineEndsAndByteOrderMark) {
  std::string crlf;
  for (const char c : kSample) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  const RegDocument doc = ParseRegText("\xEF\xBB\xBF" + crlf);
  EXPECT_TRUE(doc.clean);
  EXPECT_TRUE(doc.crlf);
  ASSERT_NE(FindRegValue(doc, kKey, "dir"), nullptr);
  EXPECT_EQ(FindRegValue(doc, kKey, "dir")->data, "/opt/quiet highland");
  EXPECT_EQ(FindRegValue(doc, kKey, "settingsex")->data.size(), 10u);
  // A rewrite keeps CR LF.
  RegDocument copy = doc;
  ASSERT_TRUE(SetRegValue(&copy, kKey, Binary("settings", Bytes({1, 2}))));
  const std::string text = FormatRegDocument(copy);
  EXPECT_NE(text.find("\"settings\"=hex:01,02\r\n"), std::string::npos);
  EXPECT_EQ(text.find("\n\n"), std::string::npos);
}

TEST(RegParseTest, BinaryListsContinueOverLines) {
  const RegDocument doc = ParseRegText(
      "REGEDIT4\n[HKEY_LOCAL_MACHINE\\k]\n"
      "\"settings\"=hex:00,00,00,00,50,00,00,00,\\\n"
      "  00,01,00,00,00,00,00,00,\\\n"
      "  01,01,00,00\n"
      "\"after\"=\"x\"\n");
  EXPECT_TRUE(doc.clean);
  ASSERT_NE(FindRegValue(doc, "HKEY_LOCAL_MACHINE\\k", "settings"), nullptr);
  EXPECT_EQ(FindRegValue(doc, "HKEY_LOCAL_MACHINE\\k", "settings")->data,
            Bytes({0, 0, 0, 0, 0x50, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 1, 1, 0, 0}));
  EXPECT_EQ(FindRegValue(doc, "HKEY_LOCAL_MACHINE\\k", "after")->data, "x");
}

TEST(RegParseTest, StringsEndingInABackslashDoNotContinue) {
  const RegDocument doc = ParseRegText("REGEDIT4\n[HKEY_LOCAL_MACHINE\\k]\n\"dir\"=\"C:\\\\\"\n\"next\"=\"n\"\n");
  EXPECT_TRUE(doc.clean);
  EXPECT_EQ(FindRegValue(doc, "HKEY_LOCAL_MACHINE\\k", "dir")->data, "C:\\");
  EXPECT_EQ(FindRegValue(doc, "HKEY_LOCAL_MACHINE\\k", "next")->data, "n");
}

TEST(RegParseTest, DuplicateValuesLastOneWins) {
  const RegDocument doc = ParseRegText(
      "REGEDIT4\n[HKEY_LOCAL_MACHINE\\k]\n\"v\"=\"first\"\n\"V\"=\"second\"\n"
      "[HKEY_LOCAL_MACHINE\\other]\n\"v\"=\"not this key\"\n[hkey_local_machine\\K]\n\"v\"=\"third\"\n");
  EXPECT_TRUE(doc.clean);
  EXPECT_EQ(FindRegValue(doc, "HKEY_LOCAL_MACHINE\\k", "v")->data, "third");
}

TEST(RegParseTest, DeletionsReadAsAbsent) {
  const RegDocument doc = ParseRegText(
      "REGEDIT4\n[HKEY_LOCAL_MACHINE\\k]\n\"gone\"=\"x\"\n\"gone\"=-\n\"kept\"=\"y\"\n"
      "[-HKEY_LOCAL_MACHINE\\dead]\n\"v\"=\"z\"\n");
  EXPECT_TRUE(doc.clean);
  EXPECT_EQ(FindRegValue(doc, "HKEY_LOCAL_MACHINE\\k", "gone"), nullptr);
  EXPECT_NE(FindRegValue(doc, "HKEY_LOCAL_MACHINE\\k", "kept"), nullptr);
  EXPECT_EQ(FindRegValue(doc, "HKEY_LOCAL_MACHINE\\dead", "v"), nullptr);
}

TEST(RegParseTest, GarbageLinesAreDamagedButTheRestReads) {
  const RegDocument doc = ParseRegText(
      "REGEDIT4\n[HKEY_LOCAL_MACHINE\\k]\n\"a\"=\"1\"\nthis is not a value\n\x01\x02\xff\n"
      "\"b\"=hex:zz\n\"c\"=hex:100\n\"d\"=\"no end\n\"e\"=word:1\n\"f\"=\"\xC3\x28\"\n[unclosed\n\"g\"=\"7\"\n");
  EXPECT_FALSE(doc.clean);
  EXPECT_EQ(FindRegValue(doc, "HKEY_LOCAL_MACHINE\\k", "a")->data, "1");
  // "g" follows a key line that cannot be read: it is not taken for a value of "k".
  for (const char* bad : {"b", "c", "d", "e", "f", "g"}) {
    EXPECT_EQ(FindRegValue(doc, "HKEY_LOCAL_MACHINE\\k", bad), nullptr) << bad;
  }
}

TEST(RegParseTest, CutOffFilesKeepWhatWasComplete) {
  const RegDocument hex = ParseRegText("REGEDIT4\n[HKEY_LOCAL_MACHINE\\k]\n\"a\"=\"1\"\n\"settings\"=hex:00,00,\\");
  EXPECT_FALSE(hex.clean);
  EXPECT_EQ(FindRegValue(hex, "HKEY_LOCAL_MACHINE\\k", "settings"), nullptr);
  EXPECT_NE(FindRegValue(hex, "HKEY_LOCAL_MACHINE\\k", "a"), nullptr);
  const RegDocument list = ParseRegText("REGEDIT4\n[HKEY_LOCAL_MACHINE\\k]\n\"settings\"=hex:00,01,");
  EXPECT_FALSE(list.clean);
  EXPECT_EQ(FindRegValue(list, "HKEY_LOCAL_MACHINE\\k", "settings"), nullptr);
  const RegDocument key = ParseRegText("REGEDIT4\n[HKEY_LOCAL_MACHINE\\k");
  EXPECT_FALSE(key.clean);
  const RegDocument string = ParseRegText("REGEDIT4\n[HKEY_LOCAL_MACHINE\\k]\n\"dir\"=\"/ho");
  EXPECT_FALSE(string.clean);
  EXPECT_EQ(FindRegValue(string, "HKEY_LOCAL_MACHINE\\k", "dir"), nullptr);
}

TEST(RegParseTest, HeaderIsRequiredButEmptyTextIsFine) {
  EXPECT_TRUE(ParseRegText("").clean);
  EXPECT_TRUE(ParseRegText("\n\n").clean);
  EXPECT_TRUE(ParseRegText("Windows Registry Editor Version 5.00\r\n").clean);
  const RegDocument noHeader = ParseRegText("[HKEY_LOCAL_MACHINE\\k]\n\"a\"=\"1\"\n");
  EXPECT_FALSE(noHeader.clean);
  EXPECT_NE(FindRegValue(noHeader, "HKEY_LOCAL_MACHINE\\k", "a"), nullptr);
  // Values outside any key belong nowhere.
  const RegDocument orphan = ParseRegText("REGEDIT4\n\"a\"=\"1\"\n");
  EXPECT_FALSE(orphan.clean);
}

TEST(RegWriteTest, RoundTripsStringsAndBinaries) {
  const std::string strings[] = {"plain", "with \"quotes\"", "back\\slash\\", "Тихое нагорье", "", "\\\"mixed\\\""};
  const std::string binaries[] = {Bytes({}), Bytes({3, 0, 1, 2, 3, 0, 0, 0, 0, 0}),
                                  Bytes({0, 0, 0, 0, 80, 0, 0, 0, 0, 1, 0xAA, 0xBB, 0, 0, 0, 0, 1, 1, 0xCC, 0xDD}),
                                  std::string(300, '\xFE')};
  RegDocument doc;
  int n = 0;
  for (const std::string& s : strings) ASSERT_TRUE(SetRegValue(&doc, kKey, Text(("s" + std::to_string(n++)).c_str(), s)));
  n = 0;
  for (const std::string& b : binaries) ASSERT_TRUE(SetRegValue(&doc, kKey, Binary(("b" + std::to_string(n++)).c_str(), b)));
  const RegDocument back = ParseRegText(FormatRegDocument(doc));
  ASSERT_TRUE(back.clean) << FormatRegDocument(doc);
  n = 0;
  for (const std::string& s : strings) {
    const RegValue* v = FindRegValue(back, kKey, "s" + std::to_string(n++));
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->type, RegValueType::String);
    EXPECT_EQ(v->data, s);
  }
  n = 0;
  for (const std::string& b : binaries) {
    const RegValue* v = FindRegValue(back, kKey, "b" + std::to_string(n++));
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->type, RegValueType::Binary);
    EXPECT_EQ(v->data, b);
  }
  // Names with quotes and backslashes survive too.
  ASSERT_TRUE(SetRegValue(&doc, kKey, Text("odd \"name\\", "v")));
  EXPECT_NE(FindRegValue(ParseRegText(FormatRegDocument(doc)), kKey, "odd \"name\\"), nullptr);
}

TEST(RegWriteTest, ARewriteChangesOnlyTheValueItSets) {
  RegDocument doc = ParseRegText(kSample + "\"settings\"=hex:00\n");
  ASSERT_TRUE(SetRegValue(&doc, kKey, Binary("SETTINGSEX", Bytes({9}))));
  const std::string text = FormatRegDocument(doc);
  std::string expected = kSample;
  expected.replace(expected.find("\"settingsex\"=hex:03,00,01,02,03,00,00,00,00,00"),
                   std::string("\"settingsex\"=hex:03,00,01,02,03,00,00,00,00,00").size(), "\"SETTINGSEX\"=hex:09");
  EXPECT_EQ(text, expected + "\"settings\"=hex:00\n");
}

TEST(RegWriteTest, NewValuesJoinTheirKeyAndNewKeysGoLast) {
  RegDocument doc = ParseRegText(kSample);
  ASSERT_TRUE(SetRegValue(&doc, kKey, Binary("settings", Bytes({1}))));
  std::string text = FormatRegDocument(doc);
  EXPECT_NE(text.find("@=\"default\"\n\"settings\"=hex:01\n\n[HKEY_CURRENT_USER\\Other]"), std::string::npos) << text;
  ASSERT_TRUE(SetRegValue(&doc, "HKEY_LOCAL_MACHINE\\new key", Text("a", "b")));
  text = FormatRegDocument(doc);
  EXPECT_NE(text.find("\"dir\"=\"elsewhere\"\n\n[HKEY_LOCAL_MACHINE\\new key]\n\"a\"=\"b\"\n"), std::string::npos) << text;
  // An empty document gets the header first.
  RegDocument empty;
  ASSERT_TRUE(SetRegValue(&empty, kKey, Binary("settings", Bytes({}))));
  EXPECT_EQ(FormatRegDocument(empty), std::string("REGEDIT4\n\n[") + kKey + "]\n\"settings\"=hex:\n");
}

TEST(RegWriteTest, DuplicatesCollapseIntoTheLastPlace) {
  RegDocument doc = ParseRegText("REGEDIT4\n[HKEY_LOCAL_MACHINE\\k]\n\"v\"=\"1\"\n\"w\"=\"w\"\n\"V\"=\"2\"\n");
  ASSERT_TRUE(SetRegValue(&doc, "HKEY_LOCAL_MACHINE\\k", Text("v", "3")));
  EXPECT_EQ(FormatRegDocument(doc), "REGEDIT4\n[HKEY_LOCAL_MACHINE\\k]\n\"w\"=\"w\"\n\"v\"=\"3\"\n");
}

TEST(RegWriteTest, DamagedLinesAreDroppedAndAHeaderAdded) {
  RegDocument doc = ParseRegText("[HKEY_LOCAL_MACHINE\\k]\n\"a\"=\"1\"\ngarbage\n");
  ASSERT_TRUE(SetRegValue(&doc, "HKEY_LOCAL_MACHINE\\k", Text("b", "2")));
  EXPECT_EQ(FormatRegDocument(doc), "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\k]\n\"a\"=\"1\"\n\"b\"=\"2\"\n");
}

TEST(RegWriteTest, BlankLinesBeforeTheHeaderGetNoSecondHeader) {
  // A clean file whose header follows blank lines must still read clean after a rewrite.
  RegDocument doc = ParseRegText("\n\nREGEDIT4\n\n[HKEY_LOCAL_MACHINE\\k]\n\"a\"=\"1\"\n");
  ASSERT_TRUE(doc.clean);
  ASSERT_TRUE(SetRegValue(&doc, "HKEY_LOCAL_MACHINE\\k", Text("b", "2")));
  const std::string text = FormatRegDocument(doc);
  EXPECT_EQ(text.find("REGEDIT4"), text.rfind("REGEDIT4")) << text;
  const RegDocument again = ParseRegText(text);
  EXPECT_TRUE(again.clean) << text;
  ASSERT_NE(FindRegValue(again, "HKEY_LOCAL_MACHINE\\k", "b"), nullptr);
  EXPECT_EQ(FindRegValue(again, "HKEY_LOCAL_MACHINE\\k", "a")->data, "1");
}

TEST(RegWriteTest, ValuesTheFormatCannotHoldAreRefused) {
  RegDocument doc;
  EXPECT_FALSE(SetRegValue(&doc, kKey, Text("a", "two\nlines")));
  EXPECT_FALSE(SetRegValue(&doc, kKey, Text("a\r", "x")));
  EXPECT_FALSE(SetRegValue(&doc, "HKEY_LOCAL_MACHINE\\[bracket]", Text("a", "x")));
  EXPECT_FALSE(SetRegValue(&doc, "", Text("a", "x")));
  EXPECT_FALSE(SetRegValue(&doc, kKey, Text("a", "\xC3\x28")));
  EXPECT_TRUE(doc.items.empty());
}

TEST(RegWriteTest, LongBinariesWrapLikeTheRegistryEditor) {
  RegDocument doc;
  ASSERT_TRUE(SetRegValue(&doc, kKey, Binary("big", std::string(60, '\x11'))));
  const std::string text = FormatRegDocument(doc);
  EXPECT_NE(text.find(",\\\n  11,"), std::string::npos);
  EXPECT_EQ(FindRegValue(ParseRegText(text), kKey, "big")->data, std::string(60, '\x11'));
}

// ---- layers and files ----

using StoreLayersTest = StoreWorld;

TEST_F(StoreLayersTest, FilesInLookupOrder) {
  const std::vector<std::string> files = StoreFiles();
  ASSERT_EQ(files.size(), 4u);
  EXPECT_EQ(files[0], UserFile());
  EXPECT_EQ(files[1], SystemFile(1));
  EXPECT_EQ(files[2], SystemFile(2));
  EXPECT_EQ(files[3], InstallFile());
}

TEST_F(StoreLayersTest, FirstFileHoldingTheValueWins) {
  WriteFile(InstallFile(), Store("\"v\"=\"install\"\n\"only-install\"=\"i\"\n"));
  WriteFile(SystemFile(2), Store("\"v\"=\"system2\"\n"));
  WriteFile(SystemFile(1), Store("\"v\"=\"system1\"\n"));
  WriteFile(UserFile(), Store("\"v\"=\"user\"\n"));
  std::string value;
  ASSERT_TRUE(ReadRegistryString(kRel, "v", &value));
  EXPECT_EQ(value, "user");
  ASSERT_EQ(unlink(UserFile().c_str()), 0);
  ReadRegistryString(kRel, "v", &value);
  EXPECT_EQ(value, "system1");
  ASSERT_EQ(unlink(SystemFile(1).c_str()), 0);
  ReadRegistryString(kRel, "v", &value);
  EXPECT_EQ(value, "system2");
  ASSERT_EQ(unlink(SystemFile(2).c_str()), 0);
  std::string folder;
  ReadRegistryString(kRel, "v", &value, &folder);
  EXPECT_EQ(value, "install");
  EXPECT_EQ(folder, root_ + "/install/share/quiet-highland");
  ASSERT_TRUE(ReadRegistryString(kRel, "ONLY-INSTALL", &value));
  EXPECT_EQ(value, "i");
}

TEST_F(StoreLayersTest, AValueOfTheWrongTypeDoesNotFallThrough) {
  WriteFile(UserFile(), Store("\"settings\"=\"text\"\n\"dir\"=hex:2f\n"));
  WriteFile(InstallFile(), Store("\"settings\"=hex:01\n\"dir\"=\"/x\"\n"));
  uint8_t buffer[1] = {0x77};
  uint32_t size = 1;
  ReadRegistryBlob(kRel, "settings", buffer, &size);
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(buffer[0], 0x77);
  std::string value = "stale";
  EXPECT_FALSE(ReadRegistryString(kRel, "dir", &value));
  EXPECT_EQ(value, "");
}

TEST_F(StoreLayersTest, BlobSizesMustMatch) {
  WriteFile(UserFile(), Store("\"twenty\"=hex:01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14\n"));
  uint8_t buffer[21] = {};
  for (const uint32_t wrong : {19u, 21u, 0u}) {
    uint32_t size = wrong;
    ReadRegistryBlob(kRel, "twenty", buffer, &size);
    EXPECT_EQ(size, 0u) << wrong;
    EXPECT_EQ(buffer[0], 0) << "the buffer stays untouched";
  }
  uint32_t size = 20;
  ReadRegistryBlob(kRel, "twenty", buffer, &size);
  EXPECT_EQ(size, 20u);
  EXPECT_EQ(buffer[0], 1);
  EXPECT_EQ(buffer[19], 0x14);
  size = 20;
  ReadRegistryBlob(kRel, "absent", buffer, &size);
  EXPECT_EQ(size, 0u);
  size = 0;
  ReadRegistryBlob("software\\nothing", "x", nullptr, &size);
  EXPECT_EQ(size, 0u);
}

TEST_F(StoreLayersTest, ConfigHomeUnsetEmptyOrRelativeMeansDotConfig) {
  const std::string dotConfig = root_ + "/home/.config/quiet-highland/registry.reg";
  for (const char* value : {"", "relative/path", "./config"}) {
    setenv("XDG_CONFIG_HOME", value, 1);
    EXPECT_EQ(UserStoreFile(), dotConfig) << value;
  }
  unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(UserStoreFile(), dotConfig);
  // And a save then lands there.
  WriteRegistryBlob(kRel, "settings", "\x01", 1);
  EXPECT_TRUE(Exists(dotConfig));
  // Without HOME the account's home folder is asked for.
  unsetenv("HOME");
  const std::string fallback = UserStoreFile();
  EXPECT_FALSE(fallback.empty());
  EXPECT_EQ(fallback.rfind("/.config/quiet-highland/registry.reg"), fallback.size() - 36);
}

TEST_F(StoreLayersTest, SystemFoldersDefaultToEtcXdgAndSkipRelativeEntries) {
  unsetenv("XDG_CONFIG_DIRS");
  std::vector<std::string> files = StoreFiles();
  ASSERT_EQ(files.size(), 3u);
  EXPECT_EQ(files[1], "/etc/xdg/quiet-highland/registry.reg");
  setenv("XDG_CONFIG_DIRS", "", 1);
  EXPECT_EQ(StoreFiles()[1], "/etc/xdg/quiet-highland/registry.reg");
  setenv("XDG_CONFIG_DIRS", ("relative::" + root_ + "/xdg2:").c_str(), 1);
  files = StoreFiles();
  ASSERT_EQ(files.size(), 3u);
  EXPECT_EQ(files[1], SystemFile(2));
}

TEST_F(StoreLayersTest, DefaultInstallationFileSitsBesideTheExecutable) {
  SetInstallationStoreFile(nullptr);
  const std::string file = InstallationStoreFile();
  EXPECT_EQ(file.rfind("/share/quiet-highland/registry.reg"), file.size() - 34);
  EXPECT_EQ(file.find("/bin/"), std::string::npos);
}

TEST_F(StoreLayersTest, WritesGoToTheUserFileOnlyAndKeepItsOtherLines) {
  const std::string user = "REGEDIT4\n\n; mine\n[HKEY_CURRENT_USER\\keep]\n\"x\"=\"y\"\n\n" + std::string(kKeyLine) +
                           "\n\"dir\"=\"/mine\"\n\"settings\"=hex:00\n";
  WriteFile(UserFile(), user);
  const std::string install = Store("\"settings\"=hex:05\n");
  WriteFile(InstallFile(), install);
  WriteRegistryBlob(kRel, "settings", "\x07\x08", 2);
  EXPECT_EQ(ReadFile(UserFile()), "REGEDIT4\n\n; mine\n[HKEY_CURRENT_USER\\keep]\n\"x\"=\"y\"\n\n" +
                                      std::string(kKeyLine) + "\n\"dir\"=\"/mine\"\n\"settings\"=hex:07,08\n");
  EXPECT_EQ(ReadFile(InstallFile()), install);
  EXPECT_TRUE(WriteRegistryString(kRel, "namerus", "Тихое \"нагорье\""));
  std::string value;
  ReadRegistryString(kRel, "namerus", &value);
  EXPECT_EQ(value, "Тихое \"нагорье\"");
}

TEST_F(StoreLayersTest, MissingFoldersAreCreated) {
  ASSERT_FALSE(Exists(root_ + "/config"));
  WriteRegistryBlob(kRel, "settings", "\x01\x02", 2);
  EXPECT_EQ(ReadFile(UserFile()), Store("\"settings\"=hex:01,02\n"));
  struct stat info;
  ASSERT_EQ(stat(UserFile().c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST_F(StoreLayersTest, AWriteKeepsTheFilesPermissions) {
  WriteFile(UserFile(), Store(""));
  ASSERT_EQ(chmod(UserFile().c_str(), 0644), 0);
  WriteRegistryBlob(kRel, "settings", "\x01", 1);
  struct stat info;
  ASSERT_EQ(stat(UserFile().c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0644u);
}

TEST_F(StoreLayersTest, LeftoverTemporaryFilesChangeNothing) {
  WriteFile(UserFile(), Store("\"v\"=\"real\"\n"));
  // What an interrupted write leaves behind: a temporary file that was never renamed.
  WriteFile(UserFile() + ".tmp-AbC123", Store("\"v\"=\"half-writ"));
  std::string value;
  ReadRegistryString(kRel, "v", &value);
  EXPECT_EQ(value, "real");
  EXPECT_TRUE(WriteRegistryString(kRel, "w", "new"));
  ReadRegistryString(kRel, "v", &value);
  EXPECT_EQ(value, "real");
  // The write left no temporary file of its own.
  const std::string command = "test $(ls -a '" + root_ + "/config/quiet-highland' | grep -c tmp) -eq 1";
  EXPECT_EQ(std::system(command.c_str()), 0);
}

TEST_F(StoreLayersTest, AnUnparseableUserFileIsMovedAsideNotLost) {
  const std::string damaged = Store("\"dir\"=\"/mine\"\nrandom garbage line\n\"settings\"=hex:01,0");
  WriteFile(UserFile(), damaged);
  testing::internal::CaptureStderr();
  WriteRegistryBlob(kRel, "settings", "\x09", 1);
  const std::string message = testing::internal::GetCapturedStderr();
  EXPECT_NE(message.find("registry.reg.bad"), std::string::npos) << message;
  EXPECT_EQ(ReadFile(UserFile() + ".bad"), damaged);
  // The new file holds the readable values and the new one.
  EXPECT_EQ(ReadFile(UserFile()), Store("\"dir\"=\"/mine\"\n\"settings\"=hex:09\n"));
  // A second damaged file does not replace the first one kept aside.
  WriteFile(UserFile(), "\xFF\xFE garbage");
  testing::internal::CaptureStderr();
  WriteRegistryBlob(kRel, "settings", "\x0a", 1);
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(ReadFile(UserFile() + ".bad"), damaged);
  EXPECT_EQ(ReadFile(UserFile() + ".bad.1"), "\xFF\xFE garbage");
  EXPECT_EQ(ReadFile(UserFile()), Store("\"settings\"=hex:0a\n"));
}

TEST_F(StoreLayersTest, AnUnreadableUserFileIsLeftAlone) {
  MakeDir(UserFile());  // a folder where the file should be
  testing::internal::CaptureStderr();
  EXPECT_FALSE(WriteUserStoreValue(kRel, Binary("settings", "\x01")));
  const std::string message = testing::internal::GetCapturedStderr();
  EXPECT_NE(message.find("can't"), std::string::npos) << message;
  struct stat info;
  ASSERT_EQ(stat(UserFile().c_str(), &info), 0);
  EXPECT_TRUE(S_ISDIR(info.st_mode));
  // Reads skip it and go on to the next layer.
  WriteFile(InstallFile(), Store("\"v\"=\"install\"\n"));
  std::string value;
  EXPECT_TRUE(ReadRegistryString(kRel, "v", &value));
  EXPECT_EQ(value, "install");
}

TEST_F(StoreLayersTest, APipeInPlaceOfTheFileDoesNotHang) {
  MakeDir(root_ + "/config/quiet-highland");
  ASSERT_EQ(mkfifo(UserFile().c_str(), 0600), 0);
  WriteFile(InstallFile(), Store("\"v\"=\"install\"\n"));
  std::string value;
  EXPECT_TRUE(ReadRegistryString(kRel, "v", &value));
  EXPECT_EQ(value, "install");
  testing::internal::CaptureStderr();
  EXPECT_FALSE(WriteUserStoreValue(kRel, Binary("settings", "\x01")));
  testing::internal::GetCapturedStderr();
  struct stat info;
  ASSERT_EQ(lstat(UserFile().c_str(), &info), 0);
  EXPECT_TRUE(S_ISFIFO(info.st_mode));
}

TEST_F(StoreLayersTest, AFileLinkedFromElsewhereIsWrittenThrough) {
  const std::string target = root_ + "/dotfiles/registry.reg";
  WriteFile(target, Store("\"dir\"=\"/mine\"\n"));
  MakeDir(root_ + "/config/quiet-highland");
  ASSERT_EQ(symlink(target.c_str(), UserFile().c_str()), 0);
  WriteRegistryBlob(kRel, "settings", "\x03", 1);
  struct stat info;
  ASSERT_EQ(lstat(UserFile().c_str(), &info), 0);
  EXPECT_TRUE(S_ISLNK(info.st_mode));
  EXPECT_EQ(ReadFile(target), Store("\"dir\"=\"/mine\"\n\"settings\"=hex:03\n"));
}

TEST_F(StoreLayersTest, AHugeUserFileIsSkippedAndKeptAside) {
  WriteFile(UserFile(), Store("\"v\"=\"" + std::string(1 << 21, 'a') + "\"\n"));
  WriteFile(InstallFile(), Store("\"v\"=\"install\"\n"));
  std::string value;
  ReadRegistryString(kRel, "v", &value);
  EXPECT_EQ(value, "install");
  testing::internal::CaptureStderr();
  WriteRegistryBlob(kRel, "settings", "\x01", 1);
  testing::internal::GetCapturedStderr();
  EXPECT_TRUE(Exists(UserFile() + ".bad"));
  EXPECT_EQ(ReadFile(UserFile()), Store("\"settings\"=hex:01\n"));
}
