// The robust scan's protected-only units taken on several threads.
#pragma once

#include <cstddef>

#include "core/flat_set.h"

// ProtectedOnly on up to `threads` threads, with the same result and in the
// protected set's own memory: the protected records (ids and files) are cut into pieces,
// each kept or dropped by the unprotected records on its thread, and the
// pieces' results are joined in order.
FlatSet ProtectedOnlyOnThreads(FlatSet protected_set, const FlatSet& unprotected_set,
                               size_t threads);
