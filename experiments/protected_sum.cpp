#include "experiments/protected_sum.h"

#include <iostream>
#include <limits>
#include <map>

void CalculateProtectedSum(std::istream& in, std::ostream& out) {
  constexpr std::streamsize kUnlimited = std::numeric_limits<std::streamsize>::max();
  std::map<int, int> frequency;
  // ignore() skips a field or a line of any length without buffering it.
  while (in.peek() != std::char_traits<char>::eof()) {
    in.ignore(kUnlimited, '\t');
    int protected_count, unprotected_count, common_count;
    in >> protected_count >> unprotected_count >> common_count;
    if (in.fail() || in.eof()) break;
    ++frequency[protected_count];
    in.ignore(kUnlimited, '\n');
  }
  int running_sum = 0;
  for (const auto& [count, lines] : frequency) {
    running_sum += lines;
    out << count << '\t' << lines << '\t' << running_sum << '\n';
  }
  out.flush();
}

void CalculateProtectedSum() { CalculateProtectedSum(std::cin, std::cout); }
