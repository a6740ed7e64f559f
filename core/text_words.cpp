#include "core/text_words.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "core/charset.h"
#include "core/file_io.h"

namespace {

constexpr size_t kReadChunk = 1 << 16;

// For each byte: 0 when it separates words, otherwise the upper-cased letter
// (ASCII letters too when ascii_upper is set).
std::array<unsigned char, 256> MakeLetterTable(bool ascii_upper) {
  std::array<unsigned char, 256> table{};
  for (int code = 0; code < 256; ++code) {
    if (!isalpha_cp1251(code)) continue;
    const int upper = code < 0x80 && ascii_upper ? 'A' + (code | 0x20) - 'a' : toupper_cp1251(code);
    table[code] = static_cast<unsigned char>(upper);
  }
  return table;
}

const std::array<unsigned char, 256> kLetters = MakeLetterTable(false);
const std::array<unsigned char, 256> kUpperLetters = MakeLetterTable(true);

constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";
constexpr size_t kByteOrderMarkSize = sizeof kByteOrderMark - 1;

}  // namespace

TextWords::TextWords(const TextOptions& options)
    : shift_(options.shingle_shift),
      stop_words_(options.stop_words),
      letters_(options.upper_case ? kUpperLetters.data() : kLetters.data()),
      reading_(options.encoding == TextEncoding::kAuto   ? Reading::kByLine
               : options.encoding == TextEncoding::kUtf8 ? Reading::kUtf8
                                                         : Reading::kSingleByte),
      track_source_ends_(reading_ == Reading::kUtf8) {}

void TextWords::Restart(const TextOptions& options) {
  TextWords fresh(options);
  KeepRoom(joined_, fresh.joined_);
  KeepRoom(starts_, fresh.starts_);
  KeepRoom(ends_, fresh.ends_);
  KeepRoom(source_starts_, fresh.source_starts_);
  KeepRoom(source_ends_, fresh.source_ends_);
  KeepRoom(pending_, fresh.pending_);
  *this = std::move(fresh);
}

void TextWords::Feed(const char* data, size_t size) {
  if (size == 0) return;  // an empty piece may come without a buffer (data null)
  if (fed_ < kBinaryHead && std::memchr(data, 0, std::min(size, kBinaryHead - fed_)) != nullptr)
    binary_ = true;
  switch (reading_) {
    case Reading::kSingleByte: FeedSingleBytes(data, size, fed_); break;
    case Reading::kUtf8: FeedUtf8(data, size, fed_); break;
    case Reading::kByLine: FeedByLine(data, size, fed_); break;
  }
  fed_ += size;
}

// A run of separators, then the run of letters after it, stored a slice at
// a time with room made for the slice first, so that each byte costs a
// look-up and a store; the room stays small however much data comes at once.
void TextWords::FeedSingleBytes(const char* data, size_t size, size_t source_offset) {
  constexpr size_t kSlice = size_t{1} << 12;
  // The table in a local: stores into the word buffer could otherwise alias
  // the member and force a reload per byte.
  const unsigned char* const letters = letters_;
  const auto* const bytes = reinterpret_cast<const unsigned char*>(data);
  size_t i = 0;
  while (i < size) {
    if (!in_word_) {
      while (i < size && letters[bytes[i]] == 0) ++i;
      if (i == size) return;
      StartWord(source_offset + i);
    }
    const size_t end = std::min(size, i + kSlice);
    // Letters are kept up to the word's cap; those after it are passed over.
    const size_t stop = std::min(end, i + (kMaxWordBytes - (joined_size_ - word_begin_)));
    MakeRoom(stop - i);
    char* const out = &joined_[joined_size_];
    size_t stored = 0;
    for (unsigned char letter; i < stop && (letter = letters[bytes[i]]) != 0; ++i)
      out[stored++] = static_cast<char>(letter);
    joined_size_ += stored;
    while (i < end && letters[bytes[i]] != 0) ++i;  // only once the cap is reached
    if (i < end) EndWord(source_offset + i++);  // a separator; otherwise the word goes on
  }
}

void TextWords::FeedUtf8(const char* data, size_t size, size_t source_offset) {
  for (size_t i = 0; i < size; ++i) TakeUtf8(static_cast<unsigned char>(data[i]), source_offset + i);
}

void TextWords::TakeUtf8(unsigned char byte, size_t source_offset) {
  if (byte < 0x80 && !decoder_.mid_sequence()) return Take(byte, source_offset);
  const bool starts = !decoder_.mid_sequence();
  switch (decoder_.Push(byte)) {
    case Utf8Decoder::kPending:
      if (starts) character_start_ = source_offset;
      break;
    case Utf8Decoder::kCharacter: Take(Cp1251Of(decoder_.code_point()), character_start_); break;
    case Utf8Decoder::kInvalid: Take(0, source_offset); break;
    case Utf8Decoder::kBroken:  // the bytes so far separate; this one starts afresh
      Take(0, character_start_);
      TakeUtf8(byte, source_offset);
      break;
  }
}

// Automatic reading decides line by line, so that a UTF-8 passage in a
// Windows-1251 file, or one stray byte in a UTF-8 file, costs no more than
// its own line. ASCII reads the same either way and is fed at once; from a
// line's first other byte on, its bytes wait until they show which reading
// fits (see FeedPending) or the line ends, and the rest of the line is
// read the way chosen. Only a bounded piece of one line is ever held.
void TextWords::FeedByLine(const char* data, size_t size, size_t source_offset) {
  size_t i = 0;
  while (i < size) {
    if (reading_ == Reading::kUtf8) return FeedUtf8(data + i, size - i, source_offset + i);
    switch (line_) {
      case LineReading::kAscii: {
        size_t end = i;
        while (end < size && static_cast<unsigned char>(data[end]) < 0x80) ++end;
        if (OpensWindows1251Word(data, end, size)) {
          // Decided as FeedPending would decide it; the line is fed whole below.
          DecideLine(false);
          line_ = LineReading::kSingleByte;
          break;
        }
        FeedSingleBytes(data + i, end - i, source_offset + i);
        if (end < size) {
          line_ = LineReading::kPending;
          pending_start_ = source_offset + end;
        }
        i = end;
        break;
      }
      case LineReading::kPending: i = FeedPending(data, size, i); break;
      case LineReading::kSingleByte: {
        const void* line_feed = std::memchr(data + i, '\n', size - i);
        const size_t end = line_feed != nullptr ? static_cast<size_t>(static_cast<const char*>(line_feed) - data) + 1 : size;
        FeedSingleBytes(data + i, end - i, source_offset + i);
        if (line_feed != nullptr) line_ = LineReading::kAscii;
        i = end;
        break;
      }
      case LineReading::kUtf8:
        while (i < size) {
          const unsigned char byte = static_cast<unsigned char>(data[i]);
          TakeUtf8(byte, source_offset + i++);
          if (byte == '\n') {  // never mid-sequence after it: it breaks any sequence
            line_ = LineReading::kAscii;
            break;
          }
        }
        break;
    }
  }
}

// Three bytes from 0xC0 up, as Windows-1251 letters come, are two faults to
// a UTF-8 reading before any character: what FeedPending decides on, known
// here without holding the line.
bool TextWords::OpensWindows1251Word(const char* data, size_t at, size_t size) {
  if (size - at < 3) return false;
  const auto* bytes = reinterpret_cast<const unsigned char*>(data + at);
  return bytes[0] >= 0xC0 && bytes[1] >= 0xC0 && bytes[2] >= 0xC0;
}

// Holds the line's bytes from data[i] on until the reading is decided;
// returns where the line's decided reading goes on.
size_t TextWords::FeedPending(const char* data, size_t size, size_t i) {
  for (; i < size; ++i) {
    const unsigned char byte = static_cast<unsigned char>(data[i]);
    if (byte == '\n') {
      if (decoder_.mid_sequence()) ++line_faults_;  // a character cut by the line's end
      DecideLine(LineLooksUtf8());
      return i;
    }
    pending_.push_back(static_cast<char>(byte));
    CountUtf8(byte);
    if (pending_start_ == 0 && pending_.size() == kByteOrderMarkSize && pending_ == kByteOrderMark) {
      // A byte-order mark makes the whole text UTF-8, as it says.
      reading_ = Reading::kUtf8;
      DecideLine(true);
      return i + 1;
    }
    if (line_faults_ >= 2 && 4 * line_faults_ > line_characters_) {
      DecideLine(false);
      return i + 1;
    }
    if (decoder_.mid_sequence()) continue;  // UTF-8 is chosen between characters
    if ((line_faults_ == 0 && line_characters_ >= kSureUtf8Characters) || pending_.size() >= kMaxPending) {
      DecideLine(LineLooksUtf8());
      return i + 1;
    }
  }
  return i;
}

// Counts the multi-byte characters and the faults (bytes that begin no
// character, sequences broken off) that a UTF-8 reading would meet.
void TextWords::CountUtf8(unsigned char byte) {
  switch (decoder_.Push(byte)) {
    case Utf8Decoder::kPending: break;
    case Utf8Decoder::kCharacter:
      if (decoder_.code_point() >= 0x80) ++line_characters_;
      break;
    case Utf8Decoder::kInvalid: ++line_faults_; break;
    case Utf8Decoder::kBroken:
      ++line_faults_;
      CountUtf8(byte);
      break;
  }
}

// Windows-1251 text meets a fault within a letter or two of each word, and
// only by chance a valid sequence; UTF-8 meets none but a stray byte.
bool TextWords::LineLooksUtf8() const {
  return line_characters_ > 0 && 4 * line_faults_ <= line_characters_;
}

void TextWords::DecideLine(bool utf8) {
  if (!decided_) {
    decided_ = true;
    first_line_utf8_ = utf8;
  }
  if (utf8) TrackSourceEnds();
  decoder_ = Utf8Decoder();
  if (line_ != LineReading::kPending) return;
  line_ = utf8 ? LineReading::kUtf8 : LineReading::kSingleByte;
  if (utf8)
    FeedUtf8(pending_.data(), pending_.size(), pending_start_);
  else
    FeedSingleBytes(pending_.data(), pending_.size(), pending_start_);
  pending_.clear();
  line_characters_ = line_faults_ = 0;
}

// From the first word read as UTF-8 on, where each word ends in the bytes fed
// is kept, since a letter may take more bytes there than in the word; the
// words before it were read a byte per letter.
void TextWords::TrackSourceEnds() {
  if (track_source_ends_) return;
  track_source_ends_ = true;
  for (size_t k = source_ends_.size(); k < starts_.size(); ++k)
    source_ends_.push_back(CutSourceEnd(base_ + k));
}

void TextWords::Finish() {
  if (line_ == LineReading::kPending) {
    if (decoder_.mid_sequence()) ++line_faults_;  // a character cut by the text's end
    DecideLine(LineLooksUtf8());  // a cut character stays pending in the decoder
  }
  if (decoder_.mid_sequence()) {
    decoder_ = Utf8Decoder();
    Take(0, character_start_);  // a sequence cut off at the end separates too
  }
  if (in_word_) DropCurrentWord();
  GiveToSink(true);
}

std::string TextWords::DisplayText(std::string_view normalised) const {
  if (!read_as_utf8()) return std::string(normalised);
  return Cp1251ToUtf8(normalised);
}

int TextWords::ReadFile(const std::string& name) {
  // A directory passes here so that its read fails with the system's own
  // "Is a directory"; a device gives "Operation not supported".
  int error = 0;
  const int fd = OpenInputFile(name, true);
  if (fd < 0) {
    error = errno;
  } else {
    std::vector<char> chunk(kReadChunk);
    for (;;) {
      const ssize_t got = read(fd, chunk.data(), chunk.size());
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) error = errno;  // e.g. a directory: what was read so far counts
      if (got <= 0) break;
      Feed(chunk.data(), static_cast<size_t>(got));
      if (binary_ && stop_if_binary_) break;
    }
    close(fd);
    Finish();
  }
  return error;
}

int TextWords::ReadFile(const std::string& name, int reports, std::ostream& messages) {
  const int error = ReadFile(name);
  char buffer[256];
  for (int i = 0; i < reports && error != 0; ++i)
    messages << strerror_r(error, buffer, sizeof buffer) << '\n';
  return error;
}

size_t TextWords::ShingleCount(int n) const {
  const size_t words = size();
  if (n < 1 || words < static_cast<size_t>(n)) return 0;
  const size_t step = static_cast<size_t>(shift_);
  return (words - static_cast<size_t>(n)) / step + 1;
}

size_t TextWords::CutSourceEnd(size_t index) const {
  const auto cut = std::lower_bound(cut_ends_.begin(), cut_ends_.end(),
                                    std::make_pair(index, size_t{0}));
  if (cut != cut_ends_.end() && cut->first == index) return cut->second;
  return SourceOffset(index) + Word(index).size();
}

void TextWords::StartWord(size_t source_offset) {
  if (!starts_.empty()) Put(' ');
  word_begin_ = joined_size_;
  source_begin_ = source_offset;
  in_word_ = true;
}

void TextWords::EndWord(size_t source_offset) {
  in_word_ = false;
  if (stop_words_ != nullptr && !stop_words_->empty()) {
    scratch_.assign(joined_, word_begin_, joined_size_ - word_begin_);
    if (stop_words_->count(scratch_) != 0) {
      DropCurrentWord();
      return;
    }
  }
  starts_.push_back(word_begin_);
  ends_.push_back(joined_size_);
  source_starts_.push_back(source_begin_);
  if (track_source_ends_) source_ends_.push_back(source_offset);
  else if (source_offset - source_begin_ > joined_size_ - word_begin_)
    cut_ends_.emplace_back(size() - 1, source_offset);
  if (sink_ && starts_.size() >= given_ + kStreamWords) GiveToSink(false);
}

void TextWords::GiveToSink(bool ended) {
  if (!sink_ || (binary_ && stop_if_binary_)) return;
  DropWordsBefore(sink_(*this, ended));
  given_ = starts_.size();
}

// Called between words: the buffer then ends with the last word held.
void TextWords::DropWordsBefore(size_t first) {
  const size_t count = std::min(first, size()) - std::min(first, base_);
  if (count == 0) return;
  const size_t cut = count < starts_.size() ? starts_[count] : joined_size_;
  joined_.erase(0, cut);
  joined_size_ -= cut;
  auto drop = [&](std::vector<size_t>& offsets, size_t shift) {
    offsets.erase(offsets.begin(), offsets.begin() + std::min(count, offsets.size()));
    for (size_t& offset : offsets) offset -= shift;
  };
  drop(starts_, cut);
  drop(ends_, cut);
  drop(source_starts_, 0);
  drop(source_ends_, 0);
  base_ += count;
  while (!cut_ends_.empty() && cut_ends_.front().first < base_) cut_ends_.erase(cut_ends_.begin());
}

void TextWords::DropCurrentWord() {
  in_word_ = false;
  joined_size_ = starts_.empty() ? 0 : word_begin_ - 1;
}
