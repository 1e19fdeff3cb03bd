#include "controlfile/ztr_object.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testing/test_support.h"

namespace {

std::vector<std::string> Items(const ZTRObject& object, const char* key) {
  std::vector<std::string> items;
  const CATListValCATString list = object.GetAttributeList(key);
  for (int i = 1; i <= list.Size(); ++i) items.push_back(list[i].CastToCharPtr());
  return items;
}

std::string Value(const ZTRObject& object, const char* key) {
  return object.GetAttribute(key).CastToCharPtr();
}

// Trimming and key positions show in the reader's tests; these rules show only here.
TEST(ZTRObjectTest, SetAttributeEncodesLineFeedsAndTrimsBlanksOnly) {
  ZTRObject object;
  object.SetAttribute("lines", " a\nb\n ");
  object.SetAttribute("k\xe9y", "\tv\t");
  EXPECT_STREQ(object.Value(1), "a@EOL@b@EOL@");
  EXPECT_STREQ(object.Key(2), "K\xe9Y");  // ASCII letters only
  EXPECT_STREQ(object.Value(2), "\tv\t");
  std::string every_byte, upper_case;
  for (int c = 1; c < 256; ++c) {
    every_byte += static_cast<char>(c);
    upper_case += static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  }
  object.SetAttribute(every_byte.c_str(), "v");
  EXPECT_EQ(object.Key(3), upper_case);
}

TEST(ZTRObjectTest, GetAttributeIgnoresKeyCaseAndRestoresLineBreaks) {
  ZTRObject object;
  object.SetAttribute("PARTNUMBER", "first@EOL@second");
  object.SetAttribute("EMPTY", "");
  EXPECT_EQ(Value(object, "partnumber"), "first\nsecond");
  EXPECT_EQ(Value(object, "EMPTY"), "");
  EXPECT_EQ(Value(object, "MISSING"), "");
  EXPECT_EQ(Value(object, "PART NUMBER"), "");
}

TEST(ZTRObjectTest, GetAttributeListSplitsItemsInBraces) {
  struct Case {
    const char* value;
    std::vector<std::string> items;
  } cases[] = {
      {"{A1}{A2}", {"A1", "A2"}},
      {"x{A1}y{A2}z", {"A1", "A2"}},
      {"{A1}{}", {"A1", ""}},
      {"{ A1 }", {" A1 "}},
      {"{A1", {"A1"}},
      {"{a{b}", {"a{b"}},
      {"A1", {"A1"}},
      {"", {}},
      {"{", {""}},
      {"}{", {""}},
      {"{x@EOL@y}", {"x\ny"}},
  };
  for (const Case& c : cases) {
    ZTRObject object;
    object.SetAttribute("LIST", c.value);
    EXPECT_EQ(Items(object, "list"), c.items) << c.value;
  }
}

TEST(ZTRObjectTest, DumpShowsListsItemByItemAndPlainValuesAsStored) {
  ZTRObject object;
  object.SetAttribute("PARENT_OBJECTS", "{A1}{x@EOL@y}");
  object.SetAttribute("NOTE", "one@EOL@two");
  object.SetAttribute("MIXED", "a{B}");
  object.SetAttribute("EMPTY", "");
  CoutCapture console;
  {
    TraceLevel on(1);
    object.Dump();
  }
  {
    TraceLevel off(0);
    object.Dump();
  }
  EXPECT_EQ(console.Text(),
            "ZTRObject:\nID:[]\nPARENT_OBJECTS->\nA1\nx\ny\nNOTE:[one@EOL@two]\n"
            "MIXED:[a{B}]\nEMPTY:[]\n");
}

}  // namespace
