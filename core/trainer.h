// Training straight into flat sets. Each learning file is read and normalised
// once, every shingle is hashed once from the normalised text, the file's
// repeats are merged (count = occurrences in the file), and its distinct
// digests are appended; the set is put into digest order once at the end.
// The result equals BuildShingles over the same files followed by a stable
// sort: equal digests of different files stay in file order, so the first
// file's record comes first, as ConvertToSet keeps it. No shingle text is
// kept, so memory does not depend on the shingle length.
#pragma once

#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "core/flat_set.h"
#include "core/text_options.h"

class ShingleAccumulator;
class TextWords;

class Trainer {
 public:
  // One set per entry of lengths (words per shingle); counts are kept when
  // keep_counts is set. Texts are read with the given options (their
  // shingle length is not used: lengths says which sets are built). Up to
  // `threads` files are hashed, and buckets sorted, at once. Files that
  // cannot be read are reported to `messages`, in the order of the files.
  Trainer(const std::vector<int>& lengths, bool keep_counts, const TextOptions& text,
          std::ostream& messages, size_t threads = 1);
  ~Trainer();
  Trainer(const Trainer&) = delete;
  Trainer& operator=(const Trainer&) = delete;

  // Records, for the set of `words` words, which file each record came
  // from (FlatSet::files: the files' order of adding). Costs 4 bytes a record.
  void KeepFiles(int words);

  // Takes the records of the set of `words` words from identities(text,
  // words, out), which appends one a shingle in text order, instead of the
  // MD5 digests of the shingles.
  using Identities = void (*)(const TextWords& text, int words, std::vector<Digest>& out);
  void IdentifyWith(int words, Identities identities);

  // Keeps of each record of the set of `words` words 8 bytes instead of 16:
  // the leading half of its digest (DigestHalf), for identities that are 64
  // bits wide (see IdentifyWith). Finish gives that set's records in ids,
  // its digests then empty. Counts are not kept for it.
  void KeepIds(int words);

  // Keeps in the set of `words` words only the digests keep() accepts; the
  // others are dropped as each file is added, so they never take memory.
  void KeepOnly(int words, std::function<bool(const Digest&)> keep);

  // Adds one learning file to every set. True when it was read completely
  // (an empty file too). Otherwise the system's message is written to the
  // messages once per set, as building each set from the file reports it, and what
  // could be read is kept.
  bool AddFile(const std::string& name);
  // Adds the files in order, hashing several at once: the sets, counts and
  // messages are those of AddFile on each in turn. done(name) is called for
  // each file, in order, once it is added. Returns the number read completely.
  size_t AddFiles(const std::vector<std::string>& names,
                  const std::function<void(const std::string&)>& done);
  // The sets in the order of lengths, in digest order; the trainer is then
  // empty.
  std::vector<FlatSet> Finish();

 private:
  struct HashedFile;
  void HashFile(const std::string& name, HashedFile& file) const;
  bool Take(HashedFile& file);

  TextOptions text_;
  std::ostream* messages_;
  size_t threads_;
  uint32_t files_added_ = 0;
  std::vector<std::unique_ptr<ShingleAccumulator>> sets_;
};
