#include "experiments/protected_sum.h"

#include <nlohmann/json.hpp>

#include <iostream>
#include <limits>
#include <map>
#include <sstream>
#include <string>

namespace {

enum class Tally {
  kDone,      // the three counts were read and the first tallied
  kReadMore,  // the counts go on past the end of this line
  kStop,      // a count is not a number, or the input ended
};

// Tallies the counts of a result line, the text after its name's TAB.
// Formatted extraction skips white space, line feeds included, so counts
// may be continued on the following lines.
Tally TallyCounts(const std::string& counts, std::map<int, int>& frequency) {
  std::istringstream in(counts);
  int protected_count, unprotected_count, common_count;
  in >> protected_count >> unprotected_count >> common_count;
  if (in.eof()) return Tally::kReadMore;  // a line read whole ends in its line feed
  if (in.fail()) return Tally::kStop;
  ++frequency[protected_count];
  return Tally::kDone;
}

// The protected count of a JSON Lines object of --format=json: true for a
// line that is JSON at all (objects without the count, such as
// language-model documents and errors, are skipped), false for a line that
// is not JSON.
bool ReadJsonLine(const std::string& line, std::map<int, int>& frequency) {
  const nlohmann::json object = nlohmann::json::parse(line, nullptr, false);
  if (object.is_discarded()) return false;
  if (!object.is_object()) return true;
  const auto count = object.find("protected");
  if (count != object.end() && count->is_number_integer()) {
    const int64_t value = count->get<int64_t>();
    if (value >= std::numeric_limits<int>::min() && value <= std::numeric_limits<int>::max())
      ++frequency[static_cast<int>(value)];
  }
  return true;
}

// A line --sources adds after a protected document's result line.
bool IsSourceLine(const std::string& line) {
  return line.rfind("source\tshingles=", 0) == 0 || line.rfind("source\tpairs=", 0) == 0;
}

}  // namespace

void CalculateProtectedSum(std::istream& in, std::ostream& out) {
  std::map<int, int> frequency;
  std::string line;
  std::string counts;  // a result line's counts begun on an earlier line
  while (in.peek() != std::char_traits<char>::eof()) {
    std::getline(in, line);
    const bool ended = !in.eof();  // a line feed followed
    if (counts.empty()) {
      if (line.empty() || IsSourceLine(line)) continue;
      if (line.front() == '{' && ReadJsonLine(line, frequency)) continue;
      // A result line's name runs up to its TAB, across line ends: a line
      // without one is part of the name of the next.
      const size_t tab = line.find('\t');
      if (tab == std::string::npos) continue;
      counts = line.substr(tab + 1);
    } else if (line.find_first_not_of(" \t\v\f\r") == std::string::npos) {
      continue;  // adds nothing to the counts but white space
    } else {
      counts += line;
    }
    if (ended) counts += '\n';
    const Tally tally = TallyCounts(counts, frequency);
    if (tally == Tally::kStop || (tally == Tally::kReadMore && !ended)) break;
    if (tally == Tally::kDone) counts.clear();
  }
  int running_sum = 0;
  for (const auto& [count, lines] : frequency) {
    running_sum += lines;
    out << count << '\t' << lines << '\t' << running_sum << '\n';
  }
  out.flush();
}

void CalculateProtectedSum() { CalculateProtectedSum(std::cin, std::cout); }
