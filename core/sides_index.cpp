#include "core/sides_index.h"

#include <algorithm>
#include <utility>

#include "core/ordered_run.h"

namespace {

constexpr size_t kNone = CountIndex::kAbsent;

// Walks the union of two sides in ascending order: joined(digest, a's
// position, b's position), kNone on the side that lacks the digest. Of equal
// digests in a row on one side only the first is seen: the record a look-up
// finds.
template <typename Joined>
void WalkUnion(const SortedRecords& a, const SortedRecords& b, Joined joined) {
  const Digest *pa = a.begin, *pb = b.begin;
  auto take = [](const Digest*& p, const SortedRecords& side) {
    const size_t at = static_cast<size_t>(p - side.begin);
    const Digest& seen = *p;
    while (++p != side.end && *p == seen) {
    }
    return at;
  };
  while (pa != a.end && pb != b.end) {
    const Digest& digest = *pa < *pb ? *pa : *pb;
    const bool in_a = !(*pb < *pa), in_b = !(*pa < *pb);
    const size_t at_a = in_a ? take(pa, a) : kNone;
    const size_t at_b = in_b ? take(pb, b) : kNone;
    joined(digest, at_a, at_b);
  }
  while (pa != a.end) {
    const Digest& digest = *pa;
    joined(digest, take(pa, a), kNone);
  }
  while (pb != b.end) {
    const Digest& digest = *pb;
    joined(digest, kNone, take(pb, b));
  }
}

int32_t CountOf(const SortedRecords& side, size_t at) {
  if (at == kNone) return 0;
  return side.counts == nullptr ? 1 : side.counts[at];
}

}  // namespace

SortedRecords RecordsOf(const CountIndex& index) {
  return {index.begin(), index.end(), index.counts(), index.records(), index.total()};
}

SortedRecords RecordsOf(const FlatSet& set) {
  const Digest* digests = set.digests.data();
  const int32_t* counts = set.counts.empty() ? nullptr : set.counts.data();
  return {digests, digests + set.digests.size(), counts, set.digests.size(), set.total};
}

namespace {

// Digests are uniform, so parts of equal ranges of their leading bits hold
// about as many records each, and equal digests never straddle two parts.
struct Parts {
  size_t count;
  uint64_t width;

  // The records of a side in part i.
  SortedRecords Of(const SortedRecords& side, size_t i) const {
    const bool last = i + 1 == count;
    auto first_at_least = [&side](uint64_t bound) {
      return std::lower_bound(side.begin, side.end, bound, [](const Digest& d, uint64_t b) {
        return DigestHalf(d.bytes) < b;
      });
    };
    SortedRecords part = side;
    part.begin = first_at_least(i * width);
    part.end = last ? side.end : first_at_least((i + 1) * width);
    part.counts = side.counts == nullptr ? nullptr : side.counts + (part.begin - side.begin);
    return part;
  }
};

Parts PartsFor(size_t records, size_t threads) {
  constexpr size_t kPartsPerThread = 16;  // small parts even out the threads' shares
  const size_t count = threads <= 1 || records < (size_t{1} << 16) ? 1 : threads * kPartsPerThread;
  return {count, UINT64_MAX / count + 1};
}

// Where each part's union begins in the joined index, and where the last
// one may end. With more than one part a first walk counts each part's
// union, so that the parts can be written on their threads straight into
// their places; a single part gets room for both sides and keeps what it
// writes.
std::vector<size_t> PartStarts(const Parts& parts, const SortedRecords& a, const SortedRecords& b,
                               size_t threads) {
  std::vector<size_t> starts(parts.count + 1, 0);
  if (parts.count == 1) {
    starts[1] = static_cast<size_t>((a.end - a.begin) + (b.end - b.begin));
    return starts;
  }
  RunAll(parts.count, threads, [&](size_t i) {
    WalkUnion(parts.Of(a, i), parts.Of(b, i),
              [&](const Digest&, size_t, size_t) { ++starts[i + 1]; });
  });
  for (size_t i = 0; i < parts.count; ++i) starts[i + 1] += starts[i];
  return starts;
}

}  // namespace

// Writes the union of a part of each side from position at on; returns
// where it ends.
size_t SidesIndex::WritePart(const SortedRecords& a, const SortedRecords& b, size_t at,
                             bool counted, Digest* digests) {
  WalkUnion(a, b, [&](const Digest& digest, size_t p, size_t u) {
    digests[at] = digest;
    sides_[at] =
        static_cast<uint8_t>((p != kNone ? kProtected : 0) | (u != kNone ? kUnprotected : 0));
    if (counted) {
      counts_[2 * at] = CountOf(a, p);
      counts_[2 * at + 1] = CountOf(b, u);
    }
    ++at;
  });
  return at;
}

SidesIndex SidesIndex::Join(const SortedRecords& protected_side,
                            const SortedRecords& unprotected_side, size_t threads) {
  SidesIndex index;
  index.records_[0] = protected_side.records, index.records_[1] = unprotected_side.records;
  index.totals_[0] = protected_side.total, index.totals_[1] = unprotected_side.total;
  const bool counted = protected_side.counts != nullptr || unprotected_side.counts != nullptr;
  const Parts parts = PartsFor(static_cast<size_t>((protected_side.end - protected_side.begin) +
                                                   (unprotected_side.end - unprotected_side.begin)),
                               threads);
  const std::vector<size_t> starts = PartStarts(parts, protected_side, unprotected_side, threads);
  CountIndex joined = CountIndex::ToFill(starts.back());
  index.sides_.resize(starts.back());
  if (counted) index.counts_.resize(2 * starts.back());
  size_t written = 0;
  RunAll(parts.count, threads, [&](size_t i) {
    const size_t end = index.WritePart(parts.Of(protected_side, i), parts.Of(unprotected_side, i),
                                       starts[i], counted, joined.room());
    if (i + 1 == parts.count) written = end;
  });
  index.sides_.resize(written);
  if (counted) index.counts_.resize(2 * written);
  joined.Filled(written);
  joined.BuildDirectory(threads);
  index.joined_ = std::move(joined);
  return index;
}

SidesIndex SidesIndex::Share(CountIndex&& protected_side, CountIndex&& unprotected_side,
                             size_t threads) {
  SidesIndex index;
  index.shared_ = true;
  index.apart_[0] = std::move(protected_side);
  index.apart_[1] = std::move(unprotected_side);
  // Both sides' filters are sized for the digests of both, so that the
  // filter of both is their union, word by word, rather than every digest
  // added once more.
  const size_t both = index.apart_[0].size() + index.apart_[1].size();
  const size_t each = std::max<size_t>(threads / 2, 1);
  RunAll(2, threads, [&](size_t side) { index.apart_[side].BuildDirectory(each, both); });
  index.either_ = DigestFilter::Union(index.apart_[0].filter(), index.apart_[1].filter());
  for (int s = 0; s < 2; ++s)
    index.records_[s] = index.apart_[s].records(), index.totals_[s] = index.apart_[s].total();
  return index;
}

// The few digests that pass the filter of both sides are looked up in each
// side's index, in one batch per side.
void SidesIndex::CountApart(const Digest* digests, size_t size, int32_t* protected_counts,
                            int32_t* unprotected_counts) const {
  constexpr size_t kAhead = 16;
  std::vector<size_t> passed;
  std::vector<Digest> keys;
  for (size_t i = 0; i < size; ++i) {
    if (i + kAhead < size) __builtin_prefetch(either_.WordOf(digests[i + kAhead].bytes));
    protected_counts[i] = unprotected_counts[i] = 0;
    if (!either_.MayHold(digests[i].bytes)) continue;
    passed.push_back(i);
    keys.push_back(digests[i]);
  }
  std::vector<int32_t> counts(2 * keys.size());
  apart_[0].CountMany(keys.data(), keys.size(), counts.data());
  apart_[1].CountMany(keys.data(), keys.size(), counts.data() + keys.size());
  for (size_t k = 0; k < keys.size(); ++k) {
    protected_counts[passed[k]] = counts[k];
    unprotected_counts[passed[k]] = counts[keys.size() + k];
  }
}

void SidesIndex::CountMany(const Digest* digests, size_t size, int32_t* protected_counts,
                           int32_t* unprotected_counts) const {
  if (shared_) return CountApart(digests, size, protected_counts, unprotected_counts);
  std::vector<size_t> positions(size);
  joined_.FindMany(digests, size, positions.data());
  for (size_t key = 0; key < size; ++key) {
    const size_t at = positions[key];
    const bool found = at != CountIndex::kAbsent;
    protected_counts[key] = found ? CountAt(at, kProtected) : 0;
    unprotected_counts[key] = found ? CountAt(at, kUnprotected) : 0;
  }
}

void SidesIndex::SidesMany(const Digest* digests, size_t size, int32_t* sides) const {
  // A record's count is never 0, so a side holds what it counts.
  std::vector<int32_t> unprotected_counts(size);
  CountMany(digests, size, sides, unprotected_counts.data());
  for (size_t key = 0; key < size; ++key)
    sides[key] = (sides[key] != 0 ? kProtected : 0) |
                 (unprotected_counts[key] != 0 ? kUnprotected : 0);
}

int32_t SidesIndex::Sides(const unsigned char* digest) const {
  if (shared_)
    return (apart_[0].Contains(digest) ? kProtected : 0) |
           (apart_[1].Contains(digest) ? kUnprotected : 0);
  const size_t at = joined_.Find(digest);
  return at == kNone ? 0 : sides_[at];
}
