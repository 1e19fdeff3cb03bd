// "Did you mean ...?": the candidate that a name not found most likely meant. Built once over
// the candidates; each question costs a bounded amount of work, whatever their number.
#ifndef FINDINGS_SUGGESTION_H
#define FINDINGS_SUGGESTION_H

#include <string>
#include <unordered_map>
#include <vector>

class Suggestion {
 public:
  explicit Suggestion(const std::vector<std::string>& candidates);

  // The candidate that `wanted` most likely meant: the same without blanks, or in another case,
  // or the one candidate a small slip away (fewer than 3 edits, and fewer than half the
  // name's length); empty when none is, or several are equally close. Slips are sought among
  // the candidates of a near length that sort next to `wanted`, read forwards and backwards,
  // and only for names of up to kLongestSlip bytes.
  std::string Closest(const std::string& wanted) const;

  static const size_t kLongestSlip = 100;
  // How many candidates each side of `wanted` are compared, per length and direction.
  static const size_t kNeighbours = 12;

 private:
  struct Bucket {
    std::vector<std::string> forward;   // sorted
    std::vector<std::string> backward;  // reversed, sorted
  };

  std::unordered_map<std::string, std::string> without_blanks_;  // first candidate for each
  std::unordered_map<std::string, std::string> upper_;           // first candidate for each
  std::unordered_map<size_t, Bucket> by_length_;
};

// The edit distance of `a` and `b` when it is at most `bound`, otherwise bound + 1; takes time
// in proportion to the shorter length times the bound.
size_t BoundedEditDistance(const std::string& a, const std::string& b, size_t bound);

#endif  // FINDINGS_SUGGESTION_H
