// The accepted words of one text, normalised (letters upper-cased, stop words
// dropped) and joined by single spaces in one buffer. Every shingle's text is
// a contiguous piece of that buffer, so shingles are hashed straight from it
// without building a string per shingle.
#pragma once

#include <algorithm>
#include <cstddef>
#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/charset.h"
#include "core/digest.h"
#include "core/text_options.h"

class TextWords {
 public:
  // Words are normalised with the stop words and shingles cut with the shift
  // of the options; the stop-word set must outlive this object.
  explicit TextWords(const TextOptions& options);

  // Starts a new text as a new object made with options would, keeping the
  // room of its buffers (each up to kKeptBytes) so that the next text is read
  // into memory already touched; a larger buffer is let go.
  void Restart(const TextOptions& options);
  static constexpr size_t kKeptBytes = size_t{1} << 20;

  // Adds bytes of the text; may be called repeatedly with consecutive pieces.
  void Feed(const char* data, size_t size);
  // A word keeps its first kMaxWordBytes normalised bytes; the letters after
  // them are read (the word still ends at the next separator) but not kept,
  // so one endless run of letters costs no more memory than ordinary words.
  // No language has words near this long: only data that is not prose does.
  static constexpr size_t kMaxWordBytes = size_t{1} << 20;
  // Ends the text. A word still open has no separator after it and is dropped.
  void Finish();
  // After Finish: whether the text was read as UTF-8. Its words are
  // Windows-1251 bytes either way; DisplayText gives them back as the text
  // had them.
  // Read line by line (automatic reading), this is how the first line that
  // needed a choice was read.
  bool read_as_utf8() const {
    return reading_ == Reading::kUtf8 || (reading_ == Reading::kByLine && first_line_utf8_);
  }
  std::string DisplayText(std::string_view normalised) const;
  // Whether the first kBinaryHead bytes fed hold a NUL: not text. After
  // StopIfBinary, ReadFile stops reading such a file there.
  static constexpr size_t kBinaryHead = 8192;
  bool binary() const { return binary_; }
  void StopIfBinary() { stop_if_binary_ = true; }
  // Reads a whole file and finishes: 0 when it was read completely,
  // otherwise the error number of the failed open or read (the words read so
  // far are kept).
  int ReadFile(const std::string& name);
  // The same, after the system's message for a failure (as perror("")
  // writes it) written to messages `reports` times, once for each build the
  // reading stands for.
  int ReadFile(const std::string& name, int reports, std::ostream& messages);

  // Judging while the text is read keeps memory to a window of words: every
  // kStreamWords words, and once more when the text ends, the sink is given
  // the text and returns the first word it still needs; the words before it
  // are dropped. Word indices stay those of the whole text, but only words
  // from first_held() on can be read. A text read as binary is not judged,
  // so it is not given to the sink.
  static constexpr size_t kStreamWords = size_t{1} << 16;
  using Sink = std::function<size_t(const TextWords& text, bool ended)>;
  void StreamTo(Sink sink) { sink_ = std::move(sink); }
  size_t first_held() const { return base_; }

  size_t size() const { return base_ + starts_.size(); }
  int32_t shift() const { return shift_; }
  // Words first .. first + count - 1 joined by single spaces.
  std::string_view Span(size_t first, size_t count) const {
    const size_t begin = starts_[first - base_];
    return std::string_view(joined_).substr(begin, ends_[first - base_ + count - 1] - begin);
  }
  std::string_view Word(size_t index) const { return Span(index, 1); }
  // Where word index begins and ends in the bytes fed (in UTF-8 a letter
  // may take more bytes there than in the word).
  size_t SourceOffset(size_t index) const { return source_starts_[index - base_]; }
  size_t SourceEnd(size_t index) const {
    if (track_source_ends_) return source_ends_[index - base_];
    if (!cut_ends_.empty()) return CutSourceEnd(index);
    return SourceOffset(index) + Word(index).size();
  }
  // Start positions of the shingles of n words: 0, shift, 2 * shift, ... while
  // a whole shingle fits. None when n < 1 or the text has fewer than n words.
  size_t ShingleCount(int n) const;
  // The MD5 digest of every shingle of n words, in text order.
  void HashShingles(int n, std::vector<Digest>& out) const;
  // The same for the shingles first .. first + count - 1 only.
  void HashShingles(int n, size_t first, size_t count, std::vector<Digest>& out) const;
  // The digest of every word and of every pair of neighbouring words, in text
  // order, whatever the shingle shift.
  void HashNeighbours(std::vector<Digest>& words, std::vector<Digest>& pairs) const;

 private:
  enum class Reading { kSingleByte, kUtf8, kByLine };
  // Automatic reading, within the current line: ASCII so far; held until
  // decided; decided.
  enum class LineReading { kAscii, kPending, kSingleByte, kUtf8 };
  // A line held this long, or this sure of UTF-8, is decided at once.
  static constexpr size_t kMaxPending = size_t{1} << 16;
  static constexpr size_t kSureUtf8Characters = 16;

  void FeedSingleBytes(const char* data, size_t size, size_t source_offset);
  void FeedUtf8(const char* data, size_t size, size_t source_offset);
  void FeedByLine(const char* data, size_t size, size_t source_offset);
  size_t FeedPending(const char* data, size_t size, size_t i);
  static bool OpensWindows1251Word(const char* data, size_t at, size_t size);
  void TakeUtf8(unsigned char byte, size_t source_offset);
  void CountUtf8(unsigned char byte);
  bool LineLooksUtf8() const;
  void DecideLine(bool utf8);
  void TrackSourceEnds();
  // One character as its Windows-1251 byte, found at source_offset.
  void Take(unsigned char byte, size_t source_offset) {
    const unsigned char letter = letters_[byte];
    if (letter != 0) {
      if (!in_word_) StartWord(source_offset);
      if (joined_size_ - word_begin_ < kMaxWordBytes) Put(static_cast<char>(letter));
    } else if (in_word_) {
      EndWord(source_offset);
    }
  }
  // Room for `extra` more bytes after the words held.
  void MakeRoom(size_t extra) {
    if (joined_.size() < joined_size_ + extra)
      joined_.resize(std::max(2 * joined_.size(), joined_size_ + extra));
  }
  void Put(char byte) {
    MakeRoom(1);
    joined_[joined_size_++] = byte;
  }
  size_t CutSourceEnd(size_t index) const;
  void StartWord(size_t source_offset);
  void EndWord(size_t source_offset);
  void DropCurrentWord();
  void GiveToSink(bool ended);
  void DropWordsBefore(size_t first);

  int32_t shift_;
  const StopWordSet* stop_words_;
  const unsigned char* letters_;  // for each byte: 0, or the letter it normalises to
  Reading reading_;
  LineReading line_ = LineReading::kAscii;
  bool decided_ = false;          // whether a line has needed a choice yet
  bool first_line_utf8_ = false;  // how the first such line was read
  bool track_source_ends_;
  Utf8Decoder decoder_;
  size_t character_start_ = 0;  // where the character being decoded began
  // A line held until decided: its bytes from the first one above ASCII on
  // (ASCII reads the same either way), where they began, and what a UTF-8
  // reading of them met.
  std::string pending_;
  size_t pending_start_ = 0;
  size_t line_characters_ = 0;
  size_t line_faults_ = 0;
  bool binary_ = false;
  bool stop_if_binary_ = false;
  // The words held are its first joined_size_ bytes; the rest is room to
  // write a run of letters into without a check per byte.
  std::string joined_;
  size_t joined_size_ = 0;
  std::vector<size_t> starts_;
  std::vector<size_t> ends_;
  std::vector<size_t> source_starts_;
  std::vector<size_t> source_ends_;  // kept from the first word read as UTF-8 on
  // Read byte for byte, the words held that were cut to kMaxWordBytes: their
  // index and where they ended in the bytes fed, in text order.
  std::vector<std::pair<size_t, size_t>> cut_ends_;
  size_t base_ = 0;                   // index of the first word held
  Sink sink_;
  size_t given_ = 0;                  // words held when the sink was last given them
  size_t fed_ = 0;
  size_t source_begin_ = 0;
  std::string scratch_;
  size_t word_begin_ = 0;
  bool in_word_ = false;
};

// Hands the room of a buffer that a judgement is done with to `into`, an
// empty buffer of a fresh object, when it holds at most kept_bytes; a larger
// one is left to be freed with its object.
template <typename Buffer>
void KeepRoom(Buffer& buffer, Buffer& into, size_t kept_bytes = TextWords::kKeptBytes) {
  if (buffer.capacity() * sizeof(buffer[0]) > kept_bytes) return;
  buffer.clear();
  into.swap(buffer);
}
