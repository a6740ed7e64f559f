#include "experiments/protected_sum.h"

#include <nlohmann/json.hpp>

#include <iostream>
#include <limits>
#include <map>
#include <sstream>
#include <string>

namespace {

constexpr std::streamsize kUnlimited = std::numeric_limits<std::streamsize>::max();

// Tallies one result line: name, TAB, then the three counts. False, with
// nothing tallied, at the end of input or when a count is not a number.
bool TallyResultLine(std::istream& in, std::map<int, int>& frequency) {
  // ignore() skips a field or a line of any length without buffering it.
  in.ignore(kUnlimited, '\t');
  int protected_count, unprotected_count, common_count;
  in >> protected_count >> unprotected_count >> common_count;
  if (in.fail() || in.eof()) return false;
  ++frequency[protected_count];
  in.ignore(kUnlimited, '\n');
  return true;
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
  while (in.peek() != std::char_traits<char>::eof()) {
    std::getline(in, line);
    const bool ended = !in.eof();  // a line feed followed
    if (line.empty() || IsSourceLine(line)) continue;
    if (line.front() == '{' && ReadJsonLine(line, frequency)) continue;
    std::istringstream result_line(ended ? line + "\n" : line);
    if (!TallyResultLine(result_line, frequency)) break;
  }
  int running_sum = 0;
  for (const auto& [count, lines] : frequency) {
    running_sum += lines;
    out << count << '\t' << lines << '\t' << running_sum << '\n';
  }
  out.flush();
}

void CalculateProtectedSum() { CalculateProtectedSum(std::cin, std::cout); }
