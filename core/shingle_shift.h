// The refusal of a shingle shift below 1, the one setting that stops a build.
#pragma once

#include <cstdint>
#include <iosfwd>

#include "core/status.h"

// Ok for a shift of at least 1, else an invalid argument saying that no
// shingles are built.
Status CheckShift(int32_t shift);
// Refuses a shingle shift below 1 with a message; true when builds may run.
bool ShiftIsUsable(int32_t shift, std::ostream& messages);
// The same check for `builds` builds of one text, each refusing with its
// message.
bool ShiftUsableFor(int builds, int32_t shift, std::ostream& messages);
