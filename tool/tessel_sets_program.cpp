// tessel-sets: inspect, verify, dump and merge shingle set files.
#include <iostream>

#include "tool/set_tools.h"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  return SetsMain(argc, argv, std::cout, std::cerr);
}
