// Memory on huge pages where the system allows it: they are faulted in 512
// times less often and keep random look-ups in a large array from missing
// the address translation cache each time.
#pragma once

#include <cstddef>
#include <vector>

// Asks for huge pages for the whole 2 MB pages inside the range.
void AdviseHugePages(void* data, size_t bytes);

// Reserves room for `size` elements, on huge pages where the system allows.
template <typename T>
void ReserveLarge(std::vector<T>& array, size_t size) {
  array.reserve(size);
  AdviseHugePages(array.data(), array.capacity() * sizeof(T));
}
