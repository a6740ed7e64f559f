// Little-endian fields of the model's side files (sources, chains), written
// and read byte by byte so that the files are the same on every machine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

inline void PutLittle(std::string& out, size_t at, uint64_t value, size_t bytes) {
  for (size_t i = 0; i < bytes; ++i) out[at + i] = static_cast<char>(value >> (8 * i));
}

inline uint64_t GetLittle(const unsigned char* in, size_t bytes) {
  uint64_t value = 0;
  for (size_t i = bytes; i-- > 0;) value = value << 8 | in[i];
  return value;
}

// Sections of these files start on 16-byte boundaries.
inline size_t Padded(size_t bytes) { return (bytes + 15) / 16 * 16; }
