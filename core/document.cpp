#include "core/document.h"

#include <algorithm>

bool ReadDocument(const std::string& name, int builds, TextWords& words) {
  bool usable = true;
  for (int i = 0; i < builds; ++i) usable = ShiftIsUsable();
  if (!usable) return false;
  words.ReadFile(name);
  // Each build would have read the file and reported the failure itself.
  for (int i = 1; i < builds && words.read_error(); ++i) TextWords().ReadFile(name);
  return true;
}

bool ReadDocument(const char* text, size_t size, int builds, TextWords& words) {
  bool usable = true;
  for (int i = 0; i < builds; ++i) usable = ShiftIsUsable();
  if (!usable) return false;
  words.Feed(text, size);
  words.Finish();
  return true;
}

std::vector<Digest> DistinctShingles(const TextWords& words, int n) {
  std::vector<Digest> digests;
  words.HashShingles(n, digests);
  std::sort(digests.begin(), digests.end());
  digests.erase(std::unique(digests.begin(), digests.end()), digests.end());
  return digests;
}
