#include "core/huge_pages.h"

#include <sys/mman.h>

#include <cstdint>
#include <new>

namespace {

constexpr uintptr_t kHugePage = uintptr_t{2} << 20;

}  // namespace

void AdviseHugePages(void* data, size_t bytes) {
  const uintptr_t begin = (reinterpret_cast<uintptr_t>(data) + kHugePage - 1) & ~(kHugePage - 1);
  const uintptr_t end = (reinterpret_cast<uintptr_t>(data) + bytes) & ~(kHugePage - 1);
  if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
}

void* MapLarge(size_t& bytes) {
  bytes = (bytes + kHugePage - 1) / kHugePage * kHugePage;
  void* mapped = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) throw std::bad_alloc();
  AdviseHugePages(mapped, bytes);
  return mapped;
}

void UnmapLarge(void* data, size_t bytes) {
  if (data != nullptr) munmap(data, bytes);
}
