// Command-line options of the tool: what a command line asks for, as a
// value. Parsing runs nothing and sets no process-wide setting; main
// dispatches the command.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "scoring/options.h"
#include "scoring/robust_judge.h"

// The files a run reads: each role's glob pattern and list file.
struct FileSettings {
  std::string ProtectedFiles;
  std::string UnprotectedFiles;
  std::string DataFiles;
  // Files naming documents and learning files, one name a line (NUL-separated
  // with NullSeparated), "-" for standard input; in addition to the patterns.
  std::string ProtectedList;
  std::string UnprotectedList;
  std::string DataList;
  bool NullSeparated = false;
  // The names the list files hold, read once by the driver.
  std::vector<std::string> ListedProtected;
  std::vector<std::string> ListedUnprotected;
  std::vector<std::string> ListedData;
};

// Whether the run names data files to judge (a pattern or a list).
inline bool HasDataFiles(const FileSettings& files) {
  return !files.DataFiles.empty() || !files.DataList.empty();
}

// How the trained sets are obtained and kept.
struct ModelSettings {
  std::string StopwordFile;
  bool FromFile = false;       // -f: load set files instead of training
  bool SaveProtected = false;  // -v: save the trained sets
  bool EncodingGiven = false;  // --encoding was given; otherwise a saved model's rule is used
};

// How the tool reads a data file for judging: the file itself, or what a
// program (--pre) makes of it.
struct DocumentReading {
  std::string preprocessor;   // empty: the file itself
  bool judge_binary = false;  // judge a document with a NUL in its first bytes
  double timeout = 60;        // seconds the program may run; 0: no limit
};

// How a scoring run judges its documents and writes their results.
struct JudgingSettings {
  DocumentReading reading;
  bool Json = false;          // --format=json: one JSON object per document
  bool NoHeaders = false;     // --no-headers: header files neither read nor written
  int32_t Sources = 0;        // --sources=N: name up to N protected files per hit
  std::string TitleFile = "title";  // where the evaluation column names go; empty: nowhere
};

// The robust scan.
struct RobustSettings {
  bool Robust = false;                  // --robust: judge by chains of protected-only shingles
  double Threshold = kRobustThreshold;  // --robust-threshold: the chain that flags
};

// The options the tool starts from: texts are read by the auto rule unless
// --encoding names one.
inline Options ToolDefaults() {
  Options options;
  options.text.encoding = TextEncoding::kAuto;
  return options;
}

// Settings of one run of the driver. options holds everything that decides
// a verdict (the stop words of the text options are loaded by the driver).
struct RunSettings {
  Options options = ToolDefaults();
  FileSettings files;
  ModelSettings model;
  JudgingSettings judging;
  RobustSettings robust;
  bool Subtract = false;
  int32_t Jobs = 0;  // documents judged at once; 0: one per processor the run may use
};

// What a command line asks for. -h, -x, -z and --version end the parsing:
// the options after them are not read.
enum class Command {
  kRun,           // the driver runs with the settings
  kHelp,          // -h: the usage text
  kProtectedSum,  // -x: the protected-count report of standard input
  kSweeps,        // -z: the parameter sweeps, with SweepTolerance
  kVersion,       // --version
  kRefused,       // an option was refused: nothing runs
};

struct CommandLine {
  Command command = Command::kRun;
  RunSettings run;
  double SweepTolerance = 0;    // the argument of -z
  std::string SweepText;        // ... as given, which the sweeps echo
  bool ExitStatus = false;      // --exit-status: 0 clean, 1 protected found, 2 error
  bool DetailedAllOption = false;  // -a, which acts as -e; kept for the process-wide setting
};

// Writes the usage text to standard output.
void Help();

// Reads the options into a command line; problems are reported on standard
// error as they are met. Nothing runs here.
CommandLine ParseOptions(int argc, char** argv);
