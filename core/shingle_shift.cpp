#include "core/shingle_shift.h"

#include <ostream>

#include "core/messages.h"

bool ShiftIsUsable(int32_t shift, std::ostream& messages) {
  if (shift >= 1) return true;
  messages << messages::kUnusableShift << shift << messages::kUnusableShiftEnd;
  return false;
}

bool ShiftUsableFor(int builds, int32_t shift, std::ostream& messages) {
  bool usable = true;
  for (int i = 0; i < builds; ++i) usable = ShiftIsUsable(shift, messages);
  return usable;
}
