// The robust scan's protected-only units taken on several threads.
#pragma once

#include <cstddef>

#include "core/flat_set.h"

// ProtectedOnly on up to `threads` threads, with the same result: the
// protected records are cut into pieces, each compared with the unprotected
// records its digests span, and the pieces' results are joined in order.
FlatSet ProtectedOnlyOnThreads(const FlatSet& protected_set, const FlatSet& unprotected_set,
                               size_t threads);
