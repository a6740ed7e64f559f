// Pieces shared by the language-model formulas: count look-up by digest, the
// sliding windows of estimates, the window-length rules and the fixed output.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <iostream>
#include <set>
#include <string>
#include <vector>

#include "core/settings.h"
#include "core/shingle.h"

namespace lm {

inline constexpr char kEmptyDocMessage[] = "Error: empty doc shingles\n";
inline constexpr char kSizeErrorPrefix[] = "Algorithm error; size1=";
inline constexpr char kSizeErrorMiddle[] = " size2=";
inline constexpr char kShortSizeError[] = "Algorithm error\n";

// Count of the record with the shingle's digest, 0 when there is none.
inline int32_t CountIn(const std::set<CShingle>& model, const CShingle& shingle) {
  auto found = model.find(shingle);
  return found == model.end() ? 0 : found->count;
}
inline int32_t CountIn(const CShingleSet& model, const CShingle& shingle) {
  return CountIn(model.set, shingle);
}

// The window length as the window-size tests see it: the setting taken as an
// unsigned quantity, so a negative value is longer than any window.
inline size_t WindowLimit() { return static_cast<size_t>(static_cast<int64_t>(lm_length)); }

// A window length of 0 would empty every window before it is scored; such a
// setting scores nothing and the formulas answer false without output.
inline bool WindowUnusable() { return lm_length == 0; }

// The document's entries in list order, for positional access to words.
inline std::vector<const CShingle*> Positions(const CShingleSet& shingles) {
  std::vector<const CShingle*> positions;
  positions.reserve(shingles.list.size());
  for (const CShingle& shingle : shingles.list) positions.push_back(&shingle);
  return positions;
}

// The two windows of a formula, protected and unprotected, always of one
// length: entries are appended and dropped on both sides together.
template <typename Entry>
class Windows {
 public:
  void Append(const Entry& protected_entry, const Entry& unprotected_entry) {
    protected_.push_back(protected_entry);
    unprotected_.push_back(unprotected_entry);
  }
  size_t size() const { return protected_.size(); }
  // Drops the oldest entries while the windows are longer than the limit.
  void Trim(size_t limit) {
    while (protected_.size() > limit) {
      protected_.pop_front();
      unprotected_.pop_front();
    }
  }
  const std::deque<Entry>& protected_side() const { return protected_; }
  const std::deque<Entry>& unprotected_side() const { return unprotected_; }

 private:
  std::deque<Entry> protected_;
  std::deque<Entry> unprotected_;
};

// Score of a window of (word, pair) entries: the oldest entry gives its word
// term and its pair term, every later one its pair term, combined left to
// right (products, or sums of logarithms with lm_log).
template <typename Entry>
double PairWindowScore(const std::deque<Entry>& window) {
  double score = window.front().word;
  if (lm_log) {
    for (const Entry& entry : window) score = score + entry.pair;
  } else {
    for (const Entry& entry : window) score = score * entry.pair;
  }
  return score;
}

// Reports an empty document; false when the document has words.
inline bool ReportEmpty(const CShingleSet& doc) {
  if (!doc.list.empty()) return false;
  std::cerr << kEmptyDocMessage;
  return true;
}

// Reports a pair list that does not fit the word list; false when it fits.
inline bool ReportSizeMismatch(size_t words, size_t pairs) {
  if (words == pairs + 1) return false;
  std::cerr << kSizeErrorPrefix << words << kSizeErrorMiddle << pairs << "\n";
  return true;
}

// The test of Formula1 and Formula3 (Formula2 uses it with a margin of 0).
// Comparisons with a not-a-number operand are false, as IEEE comparisons are.
inline bool IsHit(double protected_score, double unprotected_score, double margin) {
  if (lm_log) return protected_score >= unprotected_score + margin;
  return unprotected_score < lm_threshold_2 &&
         (protected_score >= lm_threshold_1 ||
          (protected_score >= unprotected_score + margin && protected_score > 0));
}

inline void WriteValues(double protected_score, double unprotected_score) {
  std::cout << "values: \t" << protected_score << '\t' << unprotected_score << '\n';
}

}  // namespace lm
