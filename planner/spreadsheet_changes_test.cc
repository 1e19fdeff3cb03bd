#include "planner/spreadsheet_changes.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(SpreadsheetChangesTest, RisksOfTextInCellsThatAreNotText) {
  const struct {
    const char* risk;
    std::vector<const char*> texts;
  } cases[] = {
      {"leading zeros", {"00123", "0012.50"}},
      {"a number", {"1.10", "1E5", "+5", "123456789012345678"}},
      {"a date", {"3-4", "4-Mar", "2024-03-04", "12:30"}},
      {"a formula", {"=1+1", "+cmd|x", "-A1", "@SUM(A1)"}},
      {"blanks at its ends", {" x"}},
      {"a truth value", {"true"}},
      // Kept as they are.
      {"",
       {"123", "-5", "12.5", "0.5", "4711-0815", "1.5.2-rc", "BOLT-M8x20", "Bolt.1",
        "parts/bolt.CATPart"}},
  };
  for (const auto& c : cases) {
    for (const char* text : c.texts) EXPECT_EQ(SpreadsheetRisk(text), c.risk) << text;
  }
}

TEST(SpreadsheetChangesTest, ChangesThatLookLikeASpreadsheets) {
  const struct {
    const char* held;
    const char* shown;
    const char* change;
  } cases[] = {
      {"00123", "123", "its leading zeros were dropped"},
      {"0012.50", "12.5", "its leading zeros were dropped"},
      {"1.10", "1.1", "it was read as a number and written back as one"},
      {"1E5", "100000", "it was read as a number and written back as one"},
      {"123456789012345678", "1.23456789012346E+017",
       "it was written back as a number in exponent form"},
      {"=1+1", "2", "it was run as a formula"},
      {" A-1", "A-1", "the blanks at its ends were dropped"},
      {"3-4", "03/04/24", "it was read as a date"},
      {"00123", "124", ""},
      {"BOLT-1", "BOLT-2", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(SpreadsheetChange(c.held, c.shown), c.change) << c.held;
  for (const char* text : {"1.23456789012346E+017", "1.2E-5", "-1E+05"}) {
    EXPECT_TRUE(InExponentForm(text)) << text;
  }
  for (const char* text : {"1E5", "12E+5", "1.E+5", "E+5", "1.2E+", "1.2E+5x"}) {
    EXPECT_FALSE(InExponentForm(text)) << text;
  }
}

}  // namespace
