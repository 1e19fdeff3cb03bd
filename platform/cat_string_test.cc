#include <gtest/gtest.h>

#include "CATListOfCATString.h"
#include "CATListPV.h"
#include "CATString.h"
#include "CATUnicodeString.h"

namespace {

TEST(CATStringTest, StripRemovesEveryMatchAtTheNamedEnds) {
  CATString both("  a b  ");
  both.Strip();
  EXPECT_STREQ(both.CastToCharPtr(), "a b");
  CATString trailing("\r\ra\r\r");
  trailing.Strip(CATString::CATStripModeTrailing, '\r');
  EXPECT_STREQ(trailing.CastToCharPtr(), "\r\ra");
  CATString all("   ");
  all.Strip();
  EXPECT_STREQ(all.CastToCharPtr(), "");
}

TEST(CATStringTest, PositionsCountFromZeroAndClipAtTheEnds) {
  const CATString text("ab{cd}{");
  EXPECT_EQ(text.FindPosition("{"), 2);
  EXPECT_EQ(text.FindPosition("{", 3), 6);
  EXPECT_EQ(text.FindPosition("{", 7), -1);
  EXPECT_STREQ(text.SubString(3, 2).CastToCharPtr(), "cd");
  EXPECT_STREQ(text.SubString(6, 10).CastToCharPtr(), "{");
  EXPECT_STREQ(text.SubString(7, 1).CastToCharPtr(), "");
  CATString replaced("x@EOL@y");
  replaced.ReplaceSubString(1, 5, "\n");
  EXPECT_STREQ(replaced.CastToCharPtr(), "x\ny");
  CATString upper("abz{\xe9}");
  upper.ToUpper();
  EXPECT_STREQ(upper.CastToCharPtr(), "ABZ{\xe9}");
}

TEST(CATStringTest, UnicodeStringKeepsBytesAndComparesExactly) {
  EXPECT_TRUE(CATUnicodeString("A\xe9") == CATUnicodeString("A\xe9"));
  EXPECT_TRUE(CATUnicodeString("a") != CATUnicodeString("A"));
  EXPECT_TRUE(CATUnicodeString(nullptr) == CATUnicodeString(""));
  EXPECT_STREQ((CATUnicodeString("c.ztr") + ".log").ConvertToChar(), "c.ztr.log");
}

TEST(CATStringTest, ListsAreOneBased) {
  CATListValCATString keys;
  keys.Append("A");
  keys.Append("B");
  EXPECT_EQ(keys.Locate("B"), 2);
  EXPECT_EQ(keys.Locate("b"), 0);
  EXPECT_STREQ(keys[1].CastToCharPtr(), "A");
  int a = 1, b = 2;
  CATRawCollPV pointers;
  pointers.Append(nullptr);
  pointers.Append(&a);
  pointers.Append(nullptr);
  pointers.Append(&b);
  pointers.RemoveNulls();
  ASSERT_EQ(pointers.Size(), 2);
  EXPECT_EQ(pointers[1], &a);
  EXPECT_EQ(pointers[2], &b);
  EXPECT_DEATH(keys[3], "outside");
}

}  // namespace
