#include "planner/csv_table.h"

#include <gtest/gtest.h>

namespace {

// Rows as "LINE:field|field" lines, or "error LINE: MESSAGE".
std::string Parsed(const std::string& bytes) {
  std::vector<CsvRow> rows;
  int line = 0;
  std::string error, shown;
  if (!ParseCsv(bytes, &rows, &line, &error)) return "error " + std::to_string(line) + ": " + error;
  for (const CsvRow& row : rows) {
    shown += std::to_string(row.line) + ":";
    for (size_t f = 0; f < row.fields.size(); ++f) shown += (f ? "|" : "") + row.fields[f];
    shown += "\n";
  }
  return shown;
}

TEST(CsvTableTest, ReadsWhatSpreadsheetsWrite) {
  const struct {
    std::string bytes, rows;
  } cases[] = {
      {"a,b\n1,2\n", "1:a|b\n2:1|2\n"},
      {"\xef\xbb\xbf"
       "a;b\r\n\"x;y\";\" z \"\r\n\r\n3;4",
       "1:a|b\n2:x;y| z \n4:3|4\n"},
      {"a\tb\n\"say \"\"hi\"\"\"\t\n", "1:a|b\n2:say \"hi\"|\n"},
      {"a,b\n\"two\nlines\",x\n\nlast, blank \n", "1:a|b\n2:two\nlines|x\n5:last| blank \n"},
      {"a,\"b,c\"\n", "1:a|b,c\n"},  // the header's separator is the one outside quotes
  };
  for (const auto& c : cases) EXPECT_EQ(Parsed(c.bytes), c.rows) << c.bytes;
}

TEST(CsvTableTest, RefusesWhatIsNotCsvWithItsLine) {
  EXPECT_EQ(Parsed("a,b\n1,2\nx\"y,3\n").substr(0, 17), "error 3: not CSV:");
  EXPECT_EQ(Parsed("a,b\n1,2\n\"open,3\nmore\n").substr(0, 17), "error 3: not CSV:");
  EXPECT_EQ(Parsed("\xff\xfe"
                   "a\0,\0")
                .substr(0, 30),
            "error 1: the table is UTF-16 t");
  EXPECT_EQ(Parsed(std::string("a,b\n\x01\0\x02", 7)).substr(0, 19), "error 2: a NUL byte");
}

TEST(CsvTableTest, WrittenFieldsReadBackUnchanged) {
  const std::vector<std::string> fields = {"plain", "a,b", "say \"hi\"", "two\r\nlines",
                                           " x ",   "",    "semi;colon"};
  std::string csv;
  AppendCsvLine({"h1", "h2", "h3", "h4", "h5", "h6", "h7"}, &csv);
  AppendCsvLine(fields, &csv);
  EXPECT_EQ(csv.substr(0, 22), "h1,h2,h3,h4,h5,h6,h7\r\n");
  std::vector<CsvRow> rows;
  int line = 0;
  std::string error;
  ASSERT_TRUE(ParseCsv(csv, &rows, &line, &error)) << error;
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[1].fields, fields);
}

}  // namespace
