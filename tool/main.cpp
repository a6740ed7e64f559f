#include "tool/driver.h"
#include "tool/options.h"

// Placeholder until the option parser and the driver land.
void WriteDetailedBlock(CShingleSet&, TrainedSets&) {}
void Help() {}

int main(int, char**) { return 0; }
