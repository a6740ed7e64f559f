// How a text is cut into words and shingles. Every build, training and
// judging call takes these by value or reference, so that models with
// different settings can be used side by side in one process.
#pragma once

#include <cstdint>
#include <set>
#include <string>

using StopWordSet = std::set<std::string>;

struct TextOptions {
  int32_t shingle_length = 5;  // words per shingle in shingle mode
  int32_t shingle_shift = 1;   // words between the starts of consecutive shingles
  // Words dropped from every text, compared after normalisation; not owned,
  // and it must outlive every use of these options. Null: no stop words.
  const StopWordSet* stop_words = nullptr;
};

// The process-wide settings (CShingle::shingle_length, shingle_shift and
// Stopwords) as they are now: what the tool and the single-threaded C
// interface read once, at their boundary.
TextOptions CurrentTextOptions();
