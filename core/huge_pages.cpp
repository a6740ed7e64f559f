#include "core/huge_pages.h"

#include <sys/mman.h>

#include <cstdint>

namespace {

constexpr uintptr_t kHugePage = uintptr_t{2} << 20;

}  // namespace

void AdviseHugePages(void* data, size_t bytes) {
  const uintptr_t begin = (reinterpret_cast<uintptr_t>(data) + kHugePage - 1) & ~(kHugePage - 1);
  const uintptr_t end = (reinterpret_cast<uintptr_t>(data) + bytes) & ~(kHugePage - 1);
  if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
}
