#include "findings/display_text.h"

#include <gtest/gtest.h>

namespace {

TEST(DisplayTextTest, EscapesWhatATerminalWouldActOn) {
  const struct {
    std::string text, shown;
  } cases[] = {
      {"Bolt.1 M8x25", "Bolt.1 M8x25"},
      {"\x1b]0;owned\x07\x1b[2J", "\\033]0;owned\\a\\033[2J"},
      {"a\\b\tc\nd\re\x7f", "a\\\\b\\tc\\nd\\re\\177"},
      {std::string("A\0B", 3), "A\\000B"},
      {"Stra\xc3\x9f"
       "e \xe2\x82\xac",
       "Stra\xc3\x9f"
       "e \xe2\x82\xac"},  // UTF-8 stays
      {"\xc2\x9b"
       "31m",
       "\\302\\23331m"},                                        // C1 CSI
      {"\x9b\xff\xc3", "\\233\\377\\303"},                      // not UTF-8
      {"\xc0\xaf \xed\xa0\x80", "\\300\\257 \\355\\240\\200"},  // overlong, surrogate
      {"abc\xe2\x80\xae"
       "txt",
       "abc\\342\\200\\256txt"},  // right-to-left override
  };
  for (const auto& c : cases) EXPECT_EQ(DisplayText(c.text), c.shown) << c.shown;
}

TEST(DisplayTextTest, FilesRelativeToTheWorkingFolder) {
  EXPECT_EQ(DisplayFile("/w/a/parts/b.doc", "/w/a"), "parts/b.doc");
  EXPECT_EQ(DisplayFile("/w/b.doc", "/w/a"), "../b.doc");
}

}  // namespace
