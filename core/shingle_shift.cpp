#include "core/shingle_shift.h"

#include <ostream>
#include <string>

#include "core/messages.h"

Status CheckShift(int32_t shift) {
  if (shift >= 1) return Status();
  return Status(StatusCode::kInvalidArgument,
                messages::kUnusableShift + std::to_string(shift) + messages::kUnusableShiftEnd);
}

bool ShiftIsUsable(int32_t shift, std::ostream& messages) {
  const Status checked = CheckShift(shift);
  if (!checked.ok()) messages << messages::kErrorPrefix << checked.message() << '\n';
  return checked.ok();
}

bool ShiftUsableFor(int builds, int32_t shift, std::ostream& messages) {
  bool usable = true;
  for (int i = 0; i < builds; ++i) usable = ShiftIsUsable(shift, messages);
  return usable;
}
