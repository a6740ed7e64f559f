#include "compat/lm_common.h"

#include <cstring>

namespace lm {

namespace {

int32_t CountInSet(const void* set, const unsigned char* digest) {
  CShingle key;
  std::memcpy(key.hash, digest, kDigestSize);
  return CountIn(static_cast<const CShingleSet*>(set)->set, key);
}

void AppendDigests(const CShingleSet& shingles, std::vector<Digest>& digests) {
  digests.reserve(shingles.list.size());
  for (const CShingle& shingle : shingles.list) {
    Digest& digest = digests.emplace_back();
    std::memcpy(digest.bytes, shingle.hash, kDigestSize);
  }
}

}  // namespace

CountLookup LookupOf(const CShingleSet& trained) {
  CountLookup lookup;
  lookup.set = &trained;
  lookup.count = CountInSet;
  lookup.records = static_cast<double>(trained.list.size());
  lookup.total = static_cast<double>(trained.total);
  return lookup;
}

Model ModelOf(const CShingleSet& protected_words, const CShingleSet& unprotected_words,
              const CShingleSet& protected_pairs, const CShingleSet& unprotected_pairs) {
  return Model{LookupOf(protected_words), LookupOf(unprotected_words), LookupOf(protected_pairs),
               LookupOf(unprotected_pairs)};
}

ListDocument::ListDocument(const CShingleSet& words, const CShingleSet* pairs) {
  AppendDigests(words, words_);
  if (pairs != nullptr) AppendDigests(*pairs, pairs_);
  texts_.reserve(words.list.size());
  for (const CShingle& word : words.list) texts_.push_back(&word.text);
}

Document ListDocument::View() const {
  return Document(words_, pairs_, &texts_, [](const void* texts, size_t k) -> std::string_view {
    return *(*static_cast<const std::vector<const std::string*>*>(texts))[k];
  });
}

}  // namespace lm

CountIndex IndexOfSet(const CShingleSet& shingles) {
  // A stable sort keeps the first record of each digest first.
  FlatSet records;
  records.digests.reserve(shingles.list.size());
  records.counts.reserve(shingles.list.size());
  for (const CShingle& shingle : shingles.list) {
    std::memcpy(records.digests.emplace_back().bytes, shingle.hash, kDigestSize);
    records.counts.push_back(shingle.count);
  }
  records.total = shingles.total;
  SortByDigest(records);
  return CountIndex::FromFlat(records);
}
