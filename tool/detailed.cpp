#include "tool/detailed.h"

#include <functional>
#include <ostream>

#include "compat/compare.h"

namespace {

// Which of a document's shingles each list of the block counts.
struct DetailedMatches {
  std::function<bool(const unsigned char*)> protected_side;
  std::function<bool(const unsigned char*)> unprotected_side;
  std::function<bool(const unsigned char*)> common;
};

void WriteDetailed(CShingleSet& document, const DetailedMatches& matches, std::ostream& out) {
  out << "\n"
      << "\nProtected:\n";
  int protected_count = SharedWhere(document, matches.protected_side, &out);
  out << "Total protected :" << protected_count << "\n";
  out << "Unprotected:\n";
  int unprotected_count = SharedWhere(document, matches.unprotected_side, &out);
  out << "Total unprotected:" << unprotected_count << "\n";
  out << "Common:\n";
  int common_count = SharedWhere(document, matches.common, &out);
  out << "Total common:" << common_count << "\n";
}

}  // namespace

// After joining, a shingle is the protected side's alone, the unprotected
// side's alone, or both sides'.
void WriteShingleDetails(CShingleSet& document, const Model& model, std::ostream& out) {
  const SidesIndex& sides = model.shingles;
  auto held_by = [&sides](int32_t wanted) {
    return [&sides, wanted](const unsigned char* digest) { return sides.Sides(digest) == wanted; };
  };
  WriteDetailed(document,
                {held_by(SidesIndex::kProtected), held_by(SidesIndex::kUnprotected),
                 held_by(SidesIndex::kProtected | SidesIndex::kUnprotected)},
                out);
}

void WriteWordDetails(CShingleSet& document, const Model& model, std::ostream& out) {
  const SidesIndex& words = model.words;
  const CountIndex& common = model.common_pairs;
  WriteDetailed(document,
                {[&](const unsigned char* d) { return words.Holds(SidesIndex::kProtected, d); },
                 [&](const unsigned char* d) { return words.Holds(SidesIndex::kUnprotected, d); },
                 [&](const unsigned char* d) { return common.Contains(d); }},
                out);
}
