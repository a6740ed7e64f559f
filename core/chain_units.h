// The shorter units of the robust scan: the shingles of one word fewer that
// only the protected side holds, each with the protected learning file that
// held it. Where every 5th word of a leak is replaced no 5-word shingle
// survives, but one 4-word shingle in five does, and a chain of them still
// shows the passage. Saved by a --robust training as "tessel.chains" beside
// the set files; see docs/file-formats.md for the layout.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/digest.h"
#include "core/flat_set.h"

inline constexpr char kChainsFile[] = "tessel.chains";
inline constexpr char kChainsMagic[8] = {'T', 'S', 'C', 'H', 'A', 'I', 'N', 'S'};
inline constexpr uint32_t kChainsVersion = 1;
inline constexpr size_t kChainsHeaderBytes = 32;

// The records of protected (with files) whose digest unprotected does not
// hold; both in digest order.
FlatSet ProtectedOnly(const FlatSet& protected_set, const FlatSet& unprotected_set);

// The file's bytes: the header (magic, version, words per unit, records),
// the digests in ascending order, then each record's file index as 4 bytes
// little-endian, padded to a multiple of 16 bytes.
std::string FormatChainUnits(int32_t words, const FlatSet& units);
// Reads the bytes of a chains file into units (digests and files); false
// with the reason for bytes that are not one.
bool ParseChainUnits(std::string_view bytes, int32_t& words, FlatSet& units, std::string& error);
