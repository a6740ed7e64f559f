// Command-line options of the tool and the settings of one run.
#pragma once

#include <cstdint>
#include <string>

#include "scoring/options.h"

// Settings that belong to one run of the tool's main.
struct RunSettings {
  std::string ProtectedFiles;
  std::string UnprotectedFiles;
  std::string DataFiles;
  std::string StopwordFile;
  int32_t LmFormula = 0;  // 0 shingle mode; 1, 2, >2 Formula1, Formula2, Formula3
  int32_t MaxThreshold = 10;
  int32_t SizeThreshold = 100;
  bool FromFile = false;
  bool SaveProtected = false;
  bool Subtract = false;
  int32_t Jobs = 0;  // documents judged at once; 0: one per processor the run may use
  std::string SweepTolerance;  // the argument of -z
  bool Json = false;          // --format=json: one JSON object per document
  bool ExitStatus = false;    // --exit-status: 0 clean, 1 protected found, 2 error
  bool NoHeaders = false;     // --no-headers: header files neither read nor written
  std::string TitleFile = "title";  // where the evaluation column names go; empty: nowhere
};

// The options of a run: the process-wide settings as the options left them,
// with the run's formula and shingle-mode thresholds. Read once, when the
// driver starts.
Options OptionsOf(const RunSettings& settings);

// Writes the usage text to standard output.
void Help();

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

// Reads the options into the process-wide settings and the run settings;
// nothing runs here.
Command ParseOptions(int argc, char** argv, RunSettings& settings);
// Carries out a parsed command; returns the exit status.
int RunCommand(Command command, const RunSettings& settings);
