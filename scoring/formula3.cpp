#include "scoring/formulas.h"

// Placeholder until the language-model formulas land.
bool Formula3(CShingleSet&, CShingleSet&, CShingleSet&) { return false; }
