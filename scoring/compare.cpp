#include "scoring/compare.h"

// Placeholder until the set comparison lands.
void Common(CShingleSet&, CShingleSet&, CShingleSet&) {}
int Intersection(CShingleSet&, CShingleSet&) { return 0; }
