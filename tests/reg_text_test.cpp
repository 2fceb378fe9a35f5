// The .reg text format: parsing of good and bad files, rewriting that keeps the user's
// lines, and values that read back as they were set.
#include <gtest/gtest.h>

#include <string>

#include "resources/reg_text.h"

using namespace qh;

namespace {
constexpr const char* kKey = "HKEY_LOCAL_MACHINE\\software\\quorvale\\screensavers\\Quiet Highland";

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

// A byte is two hex digits; longer runs are refused before they can overflow a number.
TEST(RegParseTest, HexBytesOfMoreThanTwoDigitsAreRefused) {
  for (const char* list : {"80000000ffffffff", "0100", "fffffffffffffffffffffffffffffffff", "01,7fffffff", "1,002"}) {
    const RegDocument doc = ParseRegText(std::string("REGEDIT4\n[HKEY_LOCAL_MACHINE\\k]\n\"settings\"=hex:") + list + "\n");
    EXPECT_FALSE(doc.clean) << list;
    EXPECT_EQ(FindRegValue(doc, "HKEY_LOCAL_MACHINE\\k", "settings"), nullptr) << list;
  }
  const RegDocument one = ParseRegText("REGEDIT4\n[HKEY_LOCAL_MACHINE\\k]\n\"v\"=hex:1,0f, ff\n");
  ASSERT_NE(FindRegValue(one, "HKEY_LOCAL_MACHINE\\k", "v"), nullptr);
  EXPECT_EQ(FindRegValue(one, "HKEY_LOCAL_MACHINE\\k", "v")->data, Bytes({1, 15, 255}));
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
