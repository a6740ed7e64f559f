// The three language-model document tests.
#pragma once

#include <set>

#include "compat/shingle.h"

// Bigram model with additive smoothing over a sliding window.
bool Formula1(CShingleSet& doc, CShingleSet& doc_pairs, CShingleSet& protected_words,
              CShingleSet& unprotected_words, CShingleSet& protected_pairs,
              CShingleSet& unprotected_pairs);
double Formula1(CShingleSet& doc, CShingleSet& doc_pairs, std::set<CShingle>& word_model,
                std::set<CShingle>& pair_model);

// Interpolated bigram model.
bool Formula2(CShingleSet& doc, CShingleSet& doc_pairs, CShingleSet& protected_words,
              CShingleSet& unprotected_words, CShingleSet& protected_pairs,
              CShingleSet& unprotected_pairs);
double Formula2(CShingleSet& doc, CShingleSet& doc_pairs, std::set<CShingle>& word_model,
                std::set<CShingle>& pair_model);

// Unigram model over a sliding window of words.
bool Formula3(CShingleSet& doc, CShingleSet& protected_words, CShingleSet& unprotected_words);
