#include "core/document.h"

#include "core/digest_table.h"
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
  // The distinct digests are gathered in front of the array as they come.
  DigestTable table;
  table.Reset(digests.size());
  uint32_t kept = 0;
  for (size_t i = 0; i < digests.size(); ++i) {
    if (table.Enter(digests[i], kept, [&](uint32_t p) -> const Digest& { return digests[p]; }) == kept)
      digests[kept++] = digests[i];
  }
  digests.resize(kept);
  return digests;
}
