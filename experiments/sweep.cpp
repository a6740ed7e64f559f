#include "experiments/sweep.h"

// Placeholder until the sweeps land.
void CalculateAll(int, std::string, double) {}
void CalculateAll(std::string, int, std::string, double&, double&, double&, int, std::string,
                  double) {}
int LookupCount(std::istream&, int) { return 0; }
