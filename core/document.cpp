#include "core/document.h"

#include <cstdint>

#include "core/shingle_shift.h"

bool ReadDocument(const std::string& name, int builds, TextWords& words, std::ostream& messages) {
  if (!ShiftUsableFor(builds, words.shift(), messages)) return false;
  // Each build would have read the file and reported a failure itself.
  words.ReadFile(name, builds, messages);
  return true;
}

bool ReadDocument(const char* text, size_t size, int builds, TextWords& words,
                  std::ostream& messages) {
  if (!ShiftUsableFor(builds, words.shift(), messages)) return false;
  words.Feed(text, size);
  words.Finish();
  return true;
}

std::vector<Digest> DistinctShingles(const TextWords& words, int n) {
  std::vector<Digest> digests;
  words.HashShingles(n, digests);
  // A table of positions, slot taken from digest bits, at most half full: a
  // document's shingles fit the cache, where sorting them would not pay.
  size_t slots = 16;
  while (slots < 2 * digests.size()) slots *= 2;
  std::vector<uint32_t> table(slots, 0);  // position + 1; 0 is a free slot
  size_t kept = 0;
  for (size_t i = 0; i < digests.size(); ++i) {
    size_t slot = DigestHalf(digests[i].bytes + 8) & (slots - 1);
    while (table[slot] != 0 && digests[table[slot] - 1] != digests[i]) slot = (slot + 1) & (slots - 1);
    if (table[slot] != 0) continue;
    digests[kept] = digests[i];
    table[slot] = static_cast<uint32_t>(++kept);
  }
  digests.resize(kept);
  return digests;
}
