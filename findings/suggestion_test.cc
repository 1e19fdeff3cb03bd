// The suggestions of "did you mean": which candidate, and the bounded distance they rest on.
#include "findings/suggestion.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

size_t FullEditDistance(const std::string& a, const std::string& b) {
  std::vector<std::vector<size_t>> table(a.size() + 1, std::vector<size_t>(b.size() + 1));
  for (size_t i = 0; i <= a.size(); ++i) table[i][0] = i;
  for (size_t j = 0; j <= b.size(); ++j) table[0][j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    for (size_t j = 1; j <= b.size(); ++j) {
      table[i][j] = std::min({table[i - 1][j] + 1, table[i][j - 1] + 1,
                              table[i - 1][j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
    }
  }
  return table[a.size()][b.size()];
}

TEST(SuggestionTest, BoundedDistanceAgreesWithTheFullTableWithinItsBound) {
  std::mt19937 random(7);
  auto word = [&random] {
    std::string text(random() % 9, 'a');
    for (char& c : text) c = static_cast<char>('a' + random() % 3);
    return text;
  };
  for (int n = 0; n < 3000; ++n) {
    const std::string a = word(), b = word();
    const size_t bound = random() % 4;
    const size_t full = FullEditDistance(a, b);
    ASSERT_EQ(BoundedEditDistance(a, b, bound), std::min(full, bound + 1))
        << a << " " << b << " " << bound;
  }
}

TEST(SuggestionTest, TheCandidateMeant) {
  const Suggestion small({"PIN1", "BOLT1", "BOLT2", "Hinge Pin", "NEW_PARTNUMBER", "PARTNUMBER"});
  const std::pair<const char*, const char*> cases[] = {
      {"PIN_1", "PIN1"},                    // one slip
      {"HingePin", "Hinge Pin"},            // blanks
      {"bolt1", "BOLT1"},                   // case
      {"BOLT3", ""},                        // as close to BOLT1 as to BOLT2
      {"NEW_PARTNUMBR", "NEW_PARTNUMBER"},  // nearer to one than to the other
      {"PN", ""},                           // too short for a slip
      {"SCREW", ""},                        // nothing near
  };
  for (const auto& [wanted, meant] : cases) EXPECT_EQ(small.Closest(wanted), meant) << wanted;

  // Among many candidates of one length, slips at either end are still found.
  std::vector<std::string> many;
  for (int i = 0; i < 20000; ++i) many.push_back("I" + std::to_string(100000 + i));
  const Suggestion large(many);
  EXPECT_EQ(large.Closest("J112345"), "I112345");
  EXPECT_EQ(large.Closest("I11234x5"), "I112345");
  EXPECT_EQ(large.Closest(std::string(Suggestion::kLongestSlip + 1, 'I')), "");
}

}  // namespace
