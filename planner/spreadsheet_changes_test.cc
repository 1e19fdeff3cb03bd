#include "planner/spreadsheet_changes.h"

#include <gtest/gtest.h>

namespace {

TEST(SpreadsheetChangesTest, RisksOfTextInCellsThatAreNotText) {
  const struct {
    const char* text;
    const char* risk;
  } cases[] = {
      {"00123", "leading zeros"},
      {"0012.50", "leading zeros"},
      {"1.10", "a number"},
      {"1E5", "a number"},
      {"+5", "a number"},
      {"123456789012345678", "a number"},
      {"3-4", "a date"},
      {"4-Mar", "a date"},
      {"2024-03-04", "a date"},
      {"12:30", "a date"},
      {"=1+1", "a formula"},
      {"+cmd|x", "a formula"},
      {"-A1", "a formula"},
      {"@SUM(A1)", "a formula"},
      {" x", "blanks at its ends"},
      {"true", "a truth value"},
      // Kept as they are.
      {"123", ""},
      {"-5", ""},
      {"12.5", ""},
      {"0.5", ""},
      {"4711-0815", ""},
      {"1.5.2-rc", ""},
      {"BOLT-M8x20", ""},
      {"Bolt.1", ""},
      {"parts/bolt.CATPart", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(SpreadsheetRisk(c.text), c.risk) << c.text;
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
