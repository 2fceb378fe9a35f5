// "key=value" lookup in loaded text: the first occurrence anywhere wins, the value runs
// untrimmed to the next carriage return, numbers are read like atof and truncated.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "resources/key_value.h"

using namespace qh;

TEST(KeyValueTest, DescriptorLinesGiveCountAndNames) {
  const char* text = "nummeshes=2\r\nmesh0=rock.msh\r\n";
  EXPECT_EQ(GetKeyInt(text, "nummeshes="), 2);
  char value[32];
  EXPECT_EQ(GetKeyValue(value, sizeof value, text, "mesh0="), value);
  EXPECT_STREQ(value, "rock.msh");
  std::strcpy(value, "stale");
  EXPECT_EQ(GetKeyValue(value, sizeof value, text, "mesh1="), nullptr);
  EXPECT_STREQ(value, "");
}

TEST(KeyValueTest, ValuesAreNotTrimmed) {
  char value[64];
  GetKeyValue(value, sizeof value, "link1= http://x \r\n", "link1=");
  EXPECT_STREQ(value, " http://x ");
  // Only CR ends a value; an LF before it belongs to the value.
  GetKeyValue(value, sizeof value, "a=one\ntwo\r\n", "a=");
  EXPECT_STREQ(value, "one\ntwo");
}

TEST(KeyValueTest, FirstOccurrenceWinsEvenInsideALongerKey) {
  char value[64];
  const char* text = "xlink1=wrong\r\nlink1=right\r\n";
  ASSERT_NE(GetKeyValue(value, sizeof value, text, "link1="), nullptr);
  EXPECT_STREQ(value, "wrong");
  // Also inside another line's value.
  GetKeyValue(value, sizeof value, "title=see link1=inner\r\nlink1=outer\r\n", "link1=");
  EXPECT_STREQ(value, "inner");
}

TEST(KeyValueTest, KeysAreCaseSensitive) {
  char value[16];
  EXPECT_EQ(GetKeyValue(value, sizeof value, "LINK1=x\r\n", "link1="), nullptr);
  EXPECT_STREQ(value, "");
}

TEST(KeyValueTest, KeyAtTheEndOfALineOrTextGivesAnEmptyValue) {
  char value[16] = "stale";
  EXPECT_EQ(GetKeyValue(value, sizeof value, "mesh0=\r\nmesh1=b\r\n", "mesh0="), value);
  EXPECT_STREQ(value, "");
  std::strcpy(value, "stale");
  EXPECT_EQ(GetKeyValue(value, sizeof value, "mesh0=", "mesh0="), value);
  EXPECT_STREQ(value, "");
}

TEST(KeyValueTest, LastLineWithoutLineEndEndsAtTheText) {
  char value[32];
  EXPECT_NE(GetKeyValue(value, sizeof value, "a=1\r\nlink1=file:///x", "link1="), nullptr);
  EXPECT_STREQ(value, "file:///x");
}

TEST(KeyValueTest, LongValuesAreCutToTheDestination) {
  const std::string text = "link1=" + std::string(300, 'u') + "\r\n";
  char value[256];
  ASSERT_NE(GetKeyValue(value, sizeof value, text.c_str(), "link1="), nullptr);
  EXPECT_EQ(std::strlen(value), 255u);
  char tiny[1] = {'x'};
  EXPECT_EQ(GetKeyValue(tiny, sizeof tiny, text.c_str(), "link1="), tiny);
  EXPECT_EQ(tiny[0], '\0');
}

TEST(KeyValueTest, NumbersAreReadLikeAtofAndTruncated) {
  EXPECT_EQ(GetKeyInt("n= 4 \r\n", "n="), 4);
  EXPECT_EQ(GetKeyInt("n=3\r\n", "n="), 3);
  EXPECT_EQ(GetKeyInt("n=3.9\r\n", "n="), 3);
  EXPECT_EQ(GetKeyInt("n=-2.5\r\n", "n="), -2);
  EXPECT_EQ(GetKeyInt("n=12abc\r\n", "n="), 12);
  EXPECT_EQ(GetKeyInt("n=1e2\r\n", "n="), 100);
  EXPECT_EQ(GetKeyInt("n=letters\r\n", "n="), 0);
  EXPECT_EQ(GetKeyInt("n=\r\n", "n="), 0);
  EXPECT_EQ(GetKeyInt("m=5\r\n", "n="), 0);
}

TEST(KeyValueTest, HugeNumbersSaturate) {
  EXPECT_EQ(GetKeyInt("n=1e30\r\n", "n="), INT32_MAX);
  EXPECT_EQ(GetKeyInt("n=-1e30\r\n", "n="), INT32_MIN);
  EXPECT_EQ(GetKeyInt("n=nan\r\n", "n="), 0);
}
