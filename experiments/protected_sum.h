// Distribution of the protected-match counts of shingle-mode result lines.
#pragma once

void CalculateProtectedSum();
