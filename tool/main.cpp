#include "tool/driver.h"
#include "tool/options.h"

// Placeholder until the option parser and the driver land.
void WriteDetailedBlock(CShingleSet&, TrainedSets&) {}
void Help() {}
OptionOutcome ParseOptions(int, char**, RunSettings&) { return OptionOutcome::kFinished; }

int main(int, char**) { return 0; }
