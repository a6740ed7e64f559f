#include "scoring/formulas.h"

// Placeholder until the language-model formulas land.
bool Formula1(CShingleSet&, CShingleSet&, CShingleSet&, CShingleSet&, CShingleSet&, CShingleSet&) {
  return false;
}
double Formula1(CShingleSet&, CShingleSet&, std::set<CShingle>&, std::set<CShingle>&) { return 0.0; }
