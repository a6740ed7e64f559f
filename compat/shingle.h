// The shingle record, the shingle set and the orderings used on them.
#pragma once

#include <cstdint>
#include <list>
#include <set>
#include <string>

#include "core/digest.h"

// One shingle: its normalised text and the MD5 digest of that text, which is
// its identity everywhere (texts are carried only for display).
struct CShingle {
  std::string text;
  unsigned char hash[kDigestSize] = {};
  int32_t count = 1;
  int32_t doc_count = 1;

  // Words per shingle in the tool's shingle mode.
  static int32_t shingle_length;
  // Step, in words, between the start positions of consecutive shingles.
  static int32_t shingle_shift;
};

// Digest order: byte-wise, bytes taken as unsigned (the order of memcmp).
bool operator<(const CShingle& a, const CShingle& b);
bool HashLess(const unsigned char* a, const unsigned char* b);
bool HashEqual(const unsigned char* a, const unsigned char* b);
// Display order of detailed output: larger count first, then text ascending.
bool SortCShingleByCount(const CShingle& a, const CShingle& b);

class CShingleSet {
 public:
  std::list<CShingle> list;  // appending order until sorted
  std::set<CShingle> set;    // one record per digest, filled by ConvertToSet
  int32_t total = 0;         // shingles built into the set; saturates at INT32_MAX

  // Copies list into set; a digest already in set keeps its record.
  void ConvertToSet();
};

// Sorts list by digest (stably) and merges equal digests, summing counts
// (saturating at INT32_MAX).
void Unique(CShingleSet& shingles);

// Puts a list into ascending digest order, keeping records of equal digest in
// their order. The result is that of list.sort(), reached by sorting keys in
// a contiguous array and relinking the nodes, which is several times faster
// on long lists.
void SortByDigest(std::list<CShingle>& list);
