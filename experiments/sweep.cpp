#include "experiments/sweep.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <fstream>
#include <iostream>
#include <sstream>

#include "core/file_io.h"
#include "core/messages.h"

namespace {

// The count files beside an installed library (its directory followed by the
// configured relative path), so that an installation made under another
// prefix finds its own; otherwise the directory compiled in.
std::string DefaultExperimentDirectory() {
  const std::string from_library = TESSEL_EXPERIMENT_FROM_LIB;
  Dl_info info;
  if (!from_library.empty() &&
      dladdr(reinterpret_cast<void*>(&DefaultExperimentDirectory), &info) != 0 && info.dli_fname) {
    std::string library = info.dli_fname;
    std::string candidate = library.substr(0, library.rfind('/') + 1) + from_library;
    struct stat status;
    if (library.find('/') != std::string::npos && stat(candidate.c_str(), &status) == 0 &&
        S_ISDIR(status.st_mode))
      return candidate.back() == '/' ? candidate : candidate + "/";
  }
  return TESSEL_EXPERIMENT_DIR;
}

}  // namespace

std::string ExperimentDirectory = DefaultExperimentDirectory();

namespace {

constexpr int kReferenceSize = 65;  // documents of the "A" collection
constexpr int kThresholds = 1000;
const char* const kCollections[] = {"B1", "C1", "B1C1"};
const char* const kLengths[] = {"1", "2", "3", "4", "5"};

std::string ReferenceFile(const std::string& col, const std::string& len) {
  return ExperimentDirectory + "shingle_l" + len + "_A_" + col + "_A_X";
}

std::string TestFile(const std::string& col, const std::string& len,
                     const std::string& test_set) {
  return ExperimentDirectory + "shingle_l" + len + "_A_" + col + "_" + test_set + "_X";
}

void Evaluate(int reference_count, int test_count, int test_size, double tolerance,
              double& recall, double& precision, double& f) {
  // In 64 bits so that an absurd count cannot overflow the difference.
  recall = static_cast<double>(int64_t{kReferenceSize} - reference_count) / 65.0;
  precision = static_cast<double>(test_count) / static_cast<double>(test_size);
  f = recall >= 1.0 - tolerance ? precision : 0.0;
}

// Writes one result table, never through a symbolic link (its target would
// be overwritten; reported) and never waiting for a reader of a FIFO. Other
// tables that cannot be created are skipped silently; a failed write is
// reported.
void WriteTable(const std::string& name, const std::string& text) {
  const int fd =
      OpenWithoutWaiting(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666);
  if (fd < 0 && errno == ELOOP) std::cerr << messages::kErrorOpeningFile << name << "\n";
  if (fd < 0) return;
  if (!WriteAll(fd, text.data(), text.size()))
    std::cerr << messages::kErrorWritingFile << name << "\n";
  close(fd);
}

}  // namespace

CountTable::CountTable(std::istream& counts) {
  int key, ignored, count;
  while (counts >> key) {
    if (!(counts >> ignored >> count)) break;
    int running_max = rows_.empty() ? key : std::max(key, rows_.back().first);
    rows_.emplace_back(running_max, count);
  }
}

CountTable CountTable::FromFile(const std::string& path) {
  std::ifstream in(path);
  if (!in) return CountTable();
  return CountTable(in);
}

int CountTable::Lookup(int threshold) const {
  // The reading stops at the first row whose key reaches the threshold; with
  // running maxima that row is the first whose maximum reaches it.
  auto first_reaching = std::lower_bound(
      rows_.begin(), rows_.end(), threshold,
      [](const std::pair<int, int>& row, int value) { return row.first < value; });
  return first_reaching == rows_.begin() ? 0 : std::prev(first_reaching)->second;
}

int LookupCount(std::istream& counts, int threshold) {
  return CountTable(counts).Lookup(threshold);
}

void CalculateAll(std::string col, int threshold, std::string len, double& recall,
                  double& precision, double& f, int test_size, std::string test_set,
                  double tolerance) {
  int reference_count = CountTable::FromFile(ReferenceFile(col, len)).Lookup(threshold);
  int test_count = CountTable::FromFile(TestFile(col, len, test_set)).Lookup(threshold);
  Evaluate(reference_count, test_count, test_size, tolerance, recall, precision, f);
}

void CalculateAll(int test_size, std::string test_set, double tolerance) {
  double best = 0.0;
  int best_threshold = 0;
  std::string best_len = "1";
  std::string best_col = "B1";
  for (const char* col : kCollections) {
    for (const char* len : kLengths) {
      const CountTable reference = CountTable::FromFile(ReferenceFile(col, len));
      const CountTable test = CountTable::FromFile(TestFile(col, len, test_set));
      // A table that cannot be created is skipped; the combination still competes.
      std::ostringstream table;
      double fmax = 0.0;
      int tmax = 0;
      for (int t = 0; t < kThresholds; ++t) {
        double recall, precision, f;
        Evaluate(reference.Lookup(t), test.Lookup(t), test_size, tolerance, recall, precision,
                 f);
        table << col << '\t' << t << '\t' << len << '\t' << recall << '\t' << precision << '\t'
              << f << '\n';
        if (f > fmax) {
          fmax = f;
          tmax = t;
        }
      }
      table << "Fmax: " << fmax << "; threshold_max: " << tmax << '\n';
      WriteTable("res_" + test_set + "_" + col + "_" + len, table.str());
      if (fmax > best) {
        best = fmax;
        best_threshold = tmax;
        best_len = len;
        best_col = col;
      }
    }
  }
  std::cout << "[" << test_set << "] Fmax: " << best << "; len_max: " << best_len
            << "; col_max: " << best_col << "; threshold_max: " << best_threshold << "\n";
}
