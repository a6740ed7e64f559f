// Small helpers for writing to file descriptors.
#pragma once

#include <cstddef>

// Writes all of data, retrying short writes and interrupted calls; false on
// an error (the descriptor may then hold a part of the data).
bool WriteAll(int fd, const void* data, size_t size);
