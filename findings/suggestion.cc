#include "findings/suggestion.h"

#include <algorithm>

#include "CATString.h"

namespace {

std::string WithoutBlanks(std::string text) {
  text.erase(std::remove_if(text.begin(), text.end(), [](char c) { return c == ' ' || c == '\t'; }),
             text.end());
  return text;
}

std::string Upper(const std::string& text) {
  CATString upper(text.c_str());
  upper.ToUpper();
  return upper.CastToCharPtr();
}

std::string Reversed(const std::string& text) { return std::string(text.rbegin(), text.rend()); }

}  // namespace

size_t BoundedEditDistance(const std::string& a, const std::string& b, size_t bound) {
  const size_t too_far = bound + 1;
  if ((a.size() > b.size() ? a.size() - b.size() : b.size() - a.size()) > bound) return too_far;
  // One row of the usual table, with only the cells within `bound` of the diagonal computed;
  // the rest count as too far.
  std::vector<size_t> row(b.size() + 1, too_far);
  for (size_t j = 0; j <= std::min(b.size(), bound); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    const size_t first = i > bound ? i - bound : 1;
    const size_t last = std::min(b.size(), i + bound);
    size_t diagonal = row[first - 1];
    row[first - 1] = first == 1 && i <= bound ? i : too_far;
    size_t smallest = row[first - 1];
    for (size_t j = first; j <= last; ++j) {
      const size_t above = row[j];
      row[j] =
          std::min({above + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1), too_far});
      diagonal = above;
      smallest = std::min(smallest, row[j]);
    }
    if (last < b.size()) row[last + 1] = too_far;
    if (smallest > bound) return too_far;
  }
  return row[b.size()];
}

Suggestion::Suggestion(const std::vector<std::string>& candidates) {
  for (const std::string& candidate : candidates) {
    without_blanks_.emplace(WithoutBlanks(candidate), candidate);
    upper_.emplace(Upper(candidate), candidate);
    if (candidate.size() <= kLongestSlip + 2) {
      Bucket& bucket = by_length_[candidate.size()];
      bucket.forward.push_back(candidate);
      bucket.backward.push_back(Reversed(candidate));
    }
  }
  for (auto& [length, bucket] : by_length_) {
    for (std::vector<std::string>* sorted : {&bucket.forward, &bucket.backward}) {
      std::sort(sorted->begin(), sorted->end());
      sorted->erase(std::unique(sorted->begin(), sorted->end()), sorted->end());
    }
  }
}

std::string Suggestion::Closest(const std::string& wanted) const {
  const auto same_without_blanks = without_blanks_.find(WithoutBlanks(wanted));
  if (same_without_blanks != without_blanks_.end()) return same_without_blanks->second;
  const auto same_upper = upper_.find(Upper(wanted));
  if (same_upper != upper_.end()) return same_upper->second;
  if (wanted.size() > kLongestSlip) return std::string();

  std::string best;
  size_t best_distance = std::min<size_t>(3, wanted.size() / 2 + 1);
  bool tied = false;
  auto consider = [&](const std::string& candidate) {
    const size_t distance = BoundedEditDistance(wanted, candidate, best_distance);
    if (distance < best_distance) {
      best = candidate;
      best_distance = distance;
      tied = false;
    } else if (distance == best_distance && !best.empty() && candidate != best) {
      tied = true;
    }
  };
  const std::string reversed = Reversed(wanted);
  const size_t reach = best_distance - 1;  // a length further off is never close enough
  for (size_t length = wanted.size() > reach ? wanted.size() - reach : 0;
       length <= wanted.size() + reach; ++length) {
    const auto bucket = by_length_.find(length);
    if (bucket == by_length_.end()) continue;
    for (bool backward : {false, true}) {
      const std::vector<std::string>& sorted =
          backward ? bucket->second.backward : bucket->second.forward;
      const std::string& key = backward ? reversed : wanted;
      const size_t middle =
          static_cast<size_t>(std::lower_bound(sorted.begin(), sorted.end(), key) - sorted.begin());
      const size_t from = middle > kNeighbours ? middle - kNeighbours : 0;
      const size_t to = std::min(sorted.size(), middle + kNeighbours);
      for (size_t k = from; k < to; ++k) consider(backward ? Reversed(sorted[k]) : sorted[k]);
    }
  }
  return tied ? std::string() : best;
}
