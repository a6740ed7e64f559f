#include "tool/options.h"

#include <getopt.h>

#include <climits>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <string>

#include "tool/exit_status.h"
#include "tool/messages.h"

namespace {

const char kShortOptions[] = "l:s:p:u:d:eabt:cfm:hxz:o:vj:";

// Codes of the options that have no short form.
enum LongOnlyCode : int {
  kLmThreshold1 = 0xFF80,
  kLmThreshold2,
  kLmLength,
  kLmLambda,
  kLmLambda0,
  kLmLog,
  kLmFactor,
  kLmSub,
  kSizeThreshold,
  kFormat,
  kExitStatus,
  kNoHeaders,
  kTitle,
  kNoTitle,
  kVersion,
  kEncoding,
  kBinary,
  kPreprocessor,
  kPreTimeout,
  kFilesFrom,
  kNull,
  kProtectedFrom,
  kUnprotectedFrom,
  kSources,
  kRobust,
  kRobustLimit,
};

const option kLongOptions[] = {
    {"help", no_argument, nullptr, 'h'},
    {"lm-threshold-1", required_argument, nullptr, kLmThreshold1},
    {"lm-threshold-2", required_argument, nullptr, kLmThreshold2},
    {"lm-length", required_argument, nullptr, kLmLength},
    {"lm-lambda", required_argument, nullptr, kLmLambda},
    {"lm-lambda0", required_argument, nullptr, kLmLambda0},
    {"lm-log", no_argument, nullptr, kLmLog},
    {"lm-factor", required_argument, nullptr, kLmFactor},
    {"lm-sub", no_argument, nullptr, kLmSub},
    {"shingle-length", required_argument, nullptr, 'l'},
    {"shingle-shift", required_argument, nullptr, 's'},
    {"protected", required_argument, nullptr, 'p'},
    {"unprotected", required_argument, nullptr, 'u'},
    {"data", required_argument, nullptr, 'd'},
    {"detailed", no_argument, nullptr, 'e'},
    {"detailed-all", no_argument, nullptr, 'a'},
    {"subtract", no_argument, nullptr, 'b'},
    {"stopwords", required_argument, nullptr, 't'},
    {"upper-case", no_argument, nullptr, 'c'},
    {"from-file", no_argument, nullptr, 'f'},
    {"max-threshold", required_argument, nullptr, 'm'},
    {"size-threshold", required_argument, nullptr, kSizeThreshold},
    {"lm-formula", required_argument, nullptr, 'o'},
    {"save-protected", no_argument, nullptr, 'v'},
    {"jobs", required_argument, nullptr, 'j'},
    {"format", required_argument, nullptr, kFormat},
    {"exit-status", no_argument, nullptr, kExitStatus},
    {"no-headers", no_argument, nullptr, kNoHeaders},
    {"title", required_argument, nullptr, kTitle},
    {"no-title", no_argument, nullptr, kNoTitle},
    {"version", no_argument, nullptr, kVersion},
    {"encoding", required_argument, nullptr, kEncoding},
    {"binary", no_argument, nullptr, kBinary},
    {"pre", required_argument, nullptr, kPreprocessor},
    {"pre-timeout", required_argument, nullptr, kPreTimeout},
    {"files-from", required_argument, nullptr, kFilesFrom},
    {"null", no_argument, nullptr, kNull},
    {"protected-from", required_argument, nullptr, kProtectedFrom},
    {"unprotected-from", required_argument, nullptr, kUnprotectedFrom},
    {"sources", required_argument, nullptr, kSources},
    {"robust", no_argument, nullptr, kRobust},
    {"robust-threshold", required_argument, nullptr, kRobustLimit},
    {nullptr, 0, nullptr, 0},
};

const char* const kUsage[] = {
    "usage: tessel [OPTION] -pFILES [-uFILES] [-dFILES]\n\n",
    "  -h, --help                display this help and exit\n",
    "      --lm-threshold-1      \n",
    "      --lm-threshold-2      \n",
    "      --lm-length           length of substring\n",
    "      --lm-lambda           parameter lambda\n",
    "      --lm-lambda0          parameter lambda0\n",
    "      --lm-log              use logarithm\n",
    "      --lm-factor           factor for compare (summand for logarithm)\n",
    "      --lm-sub              exclusive protected and unprotected pairs of words\n",
    "  -l, --shingle-length      shingle length\n",
    "  -s, --shingle-shift       shingle shift\n",
    "  -p, --protected           protected learning files(s)\n",
    "  -u, --unprotected         unprotected learning file(s)\n",
    "  -d, --data                data file(s)\n",
    "  -e, --detailed            detalied output: print protected shingles\n",
    "  -a, --detailed-all        detailed output: print all shingles\n",
    "  -b, --subtract            use for shingle list subtract\n",
    "  -t, --stopwords           stopword file\n",
    "  -c, --upper-case          convert texts to uppercase\n",
    "  -f, --from-file           load shingles from file\n",
    "  -m, --max-threshold       max threshold for shingle comparing\n",
    "      --size-threshold      size for using max threshold for shingle comparing\n",
    "  -o, --lm-formula          use formula, possible values: 1, 2\n",
    "  -j, --jobs                documents judged at once (default: one per processor)\n",
    "      --format              output format: text (default) or json\n",
    "      --exit-status         exit 1 when a document is judged protected, 2 on error\n",
    "      --no-headers          neither read nor write header files\n",
    "      --title               file for the evaluation column names (default: title)\n",
    "      --no-title            write no file of evaluation column names\n",
    "      --version             display the version and exit\n",
    "      --encoding            encoding of the texts: auto (default), utf-8, cp1251\n",
    "      --binary              judge documents that hold NUL bytes as text\n",
    "      --pre                 program that turns each document into text\n",
    "      --pre-timeout         seconds a --pre program may run (default 60; 0: no limit)\n",
    "      --files-from          file naming data files, one a line (-: standard input)\n",
    "      --null                names in --files-from etc. end with NUL, not a line end\n",
    "      --protected-from      file naming protected learning files\n",
    "      --unprotected-from    file naming unprotected learning files\n",
    "      --sources             name up to N protected files each hit shares most with\n",
    "      --robust              judge by chains of protected-only shingles (implies -c)\n",
    "      --robust-threshold    score that flags a document with --robust (default 27)\n",
    // The lines above keep their historical form; what they leave out or get
    // wrong is told here.
    "\nFurther options:\n",
    "  -v, --save-protected      save the trained sets (p.bin, p.bin.2, u.bin, u.bin.2)\n",
    "  -x                        report the protected-match counts of result lines\n",
    "                            read on standard input, and exit\n",
    "  -z TOLERANCE              run the parameter sweeps with this recall tolerance,\n",
    "                            and exit\n",
    "      --lm-threshold-1      protected score that suffices by itself (default 1)\n",
    "      --lm-threshold-2      upper bound for the unprotected score (default 1)\n",
    "  -o, --lm-formula          0: shingle mode (default); 1, 2, 3: formula 1, 2, 3\n",
    "  -e, --detailed            detailed output: list the matching shingles\n",
};

// strtol in base 10, kept inside the 32-bit range of the settings so that a
// huge number saturates instead of wrapping around to an unrelated value.
// False when the text is not wholly a number: a typo ("abc", "1O") must not
// be read as 0 or 1.
bool ToInt32(const char* text, int32_t& value) {
  char* end = nullptr;
  const long number = std::strtol(text, &end, 10);
  if (end == text || *end != '\0') return false;
  value = number > INT32_MAX   ? INT32_MAX
          : number < INT32_MIN ? INT32_MIN
                               : static_cast<int32_t>(number);
  return true;
}

bool ToDouble(const char* text, double& value) {
  char* end = nullptr;
  const double number = std::strtod(text, &end);
  if (end == text || *end != '\0') return false;
  value = number;
  return true;
}

// A numeric option whose value is not a number: the run stops, since going
// on with 0 (a threshold of 0 flags every document) would judge wrongly.
void RefuseValue(const char* name, const char* text) {
  std::cerr << messages::kNotANumber << name << messages::kNotANumberMiddle << text
            << messages::kNotANumberEnd;
  NoteRunError();
}

// The shingle-mode thresholds are counts; a negative one would make every
// comparison trivially true, so it is reported and taken as 0.
int32_t NonNegativeThreshold(const char* name, int32_t value) {
  if (value >= 0) return value;
  std::cerr << "Error: " << name << messages::kNegativeThreshold << value
            << messages::kNegativeThresholdEnd;
  NoteRunError();
  return 0;
}

// 1 to kMaxJobs threads; anything else is reported and one per processor
// is used.
int32_t JobCount(const char* text, int32_t value) {
  constexpr int32_t kMaxJobs = 1024;
  if (value >= 1 && value <= kMaxJobs) return value;
  std::cerr << messages::kBadJobs << kMaxJobs << ", not " << text << messages::kBadJobsEnd;
  NoteRunError();
  return 0;
}

// At least 1; anything else is reported and no sources are named.
int32_t SourceCount(const char* text, int32_t value) {
  if (value >= 1) return value;
  std::cerr << messages::kBadSources << text << messages::kBadSourcesEnd;
  NoteRunError();
  return 0;
}


// The names --encoding takes; anything else is reported and auto is used.
TextEncoding EncodingOf(const char* text) {
  const std::string name = text;
  if (name == "utf-8" || name == "utf8" || name == "UTF-8") return TextEncoding::kUtf8;
  if (name == "cp1251" || name == "windows-1251" || name == "CP1251") return TextEncoding::kCp1251;
  if (name != "auto") {
    std::cerr << "Error: encoding must be auto, utf-8 or cp1251, not " << name << "; using auto\n";
    NoteRunError();
  }
  return TextEncoding::kAuto;
}

// A second -d replaces the first, as it always has; the pattern dropped is
// named, since an unquoted pattern the shell expanded looks just like this.
void SetDataPattern(const char* pattern, FileSettings& files) {
  if (!files.DataFiles.empty()) {
    std::cerr << "Error: -d given again; ignoring the data pattern \"" << files.DataFiles
              << "\"\n";
    NoteRunError();  // its documents are not judged
  }
  files.DataFiles = pattern;
}

// A second list of the same role replaces the first, as a second -d does;
// the list dropped is named.
void SetList(const char* option, const char* list, std::string& setting) {
  if (!setting.empty()) {
    std::cerr << "Error: " << option << " given again; ignoring the list \"" << setting << "\"\n";
    NoteRunError();
  }
  setting = list;
}

// getopt_long has moved the arguments that are not options to the end.
void ReportIgnoredArguments(int argc, char** argv) {
  for (int i = optind; i < argc; ++i)
  {
    std::cerr << "Error: ignoring an argument that is not an option (quote patterns): \"" << argv[i]
              << "\"\n";
    NoteRunError();
  }
}

// "text" or "json"; false (after the message) for anything else.
bool ReadFormat(const char* text, JudgingSettings& judging) {
  const std::string format = text;
  if (format == "text" || format == "json") {
    judging.Json = format == "json";
    return true;
  }
  std::cerr << messages::kUnknownFormat << format << "\n";
  NoteRunError();
  return false;
}

}  // namespace

void Help() {
  for (const char* line : kUsage) std::cout << line;
  std::cout.flush();
}

CommandLine ParseOptions(int argc, char** argv) {
  optind = 0;  // a full reset of getopt's state, so that every call starts afresh
  CommandLine line;
  RunSettings& settings = line.run;
  TextOptions& text = settings.options.text;
  ScoringOptions& scoring = settings.options.scoring;
  lm::Settings& lm = scoring.lm;
  FileSettings& files = settings.files;
  JudgingSettings& judging = settings.judging;
  // A refused value stops the run, but the options after it are still read,
  // so that every problem is reported and a later --exit-status counts.
  bool refused = false;
  int32_t number = 0;
  // The option's value as a whole number in `number`; false after refusing it.
  const auto integer = [&](const char* name) {
    if (ToInt32(optarg, number)) return true;
    RefuseValue(name, optarg);
    refused = true;
    return false;
  };
  const auto real = [&](const char* name, double& setting) {
    if (ToDouble(optarg, setting)) return;
    RefuseValue(name, optarg);
    refused = true;
  };
  // Ends the parsing with command, unless a value was refused.
  const auto ending = [&](Command command) {
    line.command = refused ? Command::kRefused : command;
    return line;
  };
  int code;
  while ((code = getopt_long(argc, argv, kShortOptions, kLongOptions, nullptr)) != -1) {
    switch (code) {
      case 'h': return ending(Command::kHelp);
      case 'x': return ending(Command::kProtectedSum);
      case 'z':
        real("recall tolerance (-z)", line.SweepTolerance);
        line.SweepText = optarg;
        return ending(Command::kSweeps);
      case kLmThreshold1: real("lm-threshold-1", lm.threshold_1); break;
      case kLmThreshold2: real("lm-threshold-2", lm.threshold_2); break;
      case kLmLength:
        if (!integer("lm-length")) break;
        if (number == 0) {
          std::cerr << messages::kZeroLength << lm.length << "\n";
          NoteRunError();
        } else {
          lm.length = number;
        }
        break;
      case kLmLambda: real("lm-lambda", lm.lambda); break;
      case kLmLambda0: real("lm-lambda0", lm.lambda0); break;
      case kLmLog: lm.log = true; break;
      case kLmFactor: real("lm-factor", lm.factor); break;
      case kLmSub: scoring.exclusive_pairs = true; break;
      case 'l':  // 0 keeps the length, as it always has
        if (integer("shingle-length") && number != 0) text.shingle_length = number;
        break;
      case 's':
        if (integer("shingle-shift") && number != 0) text.shingle_shift = number;
        break;
      case 'p': files.ProtectedFiles = optarg; break;
      case 'u': files.UnprotectedFiles = optarg; break;
      case 'd': SetDataPattern(optarg, files); break;
      case 'a': line.DetailedAllOption = true; [[fallthrough]];  // -a lists what -e lists
      case 'e': lm.detailed = true; break;
      case 'b': settings.Subtract = true; break;
      case 't': settings.model.StopwordFile = optarg; break;
      case 'c': text.upper_case = true; break;
      case 'f': settings.model.FromFile = true; break;
      case 'm':
        if (integer("max-threshold"))
          scoring.max_threshold = NonNegativeThreshold("max-threshold", number);
        break;
      case kSizeThreshold:
        if (integer("size-threshold"))
          scoring.size_threshold = NonNegativeThreshold("size-threshold", number);
        break;
      case 'o':
        if (integer("lm-formula")) scoring.formula = number;
        break;
      case 'v': settings.model.SaveProtected = true; break;
      case 'j':
        if (integer("jobs")) settings.Jobs = JobCount(optarg, number);
        break;
      case kFormat:
        if (!ReadFormat(optarg, judging)) refused = true;
        break;
      case kExitStatus: line.ExitStatus = true; break;
      case kNoHeaders: judging.NoHeaders = true; break;
      case kTitle: judging.TitleFile = optarg; break;
      case kNoTitle: judging.TitleFile.clear(); break;
      case kVersion: return ending(Command::kVersion);
      case kEncoding:
        text.encoding = EncodingOf(optarg);
        settings.model.EncodingGiven = true;
        break;
      case kBinary: judging.reading.judge_binary = true; break;
      case kPreprocessor: judging.reading.preprocessor = optarg; break;
      case kPreTimeout: {
        double seconds = judging.reading.timeout;
        real("pre-timeout", seconds);
        if (seconds >= 0 && std::isfinite(seconds)) {
          judging.reading.timeout = seconds;
        } else {  // a number, but no number of seconds
          RefuseValue("pre-timeout", optarg);
          refused = true;
        }
        break;
      }
      case kFilesFrom: SetList("--files-from", optarg, files.DataList); break;
      case kNull: files.NullSeparated = true; break;
      case kProtectedFrom: SetList("--protected-from", optarg, files.ProtectedList); break;
      case kUnprotectedFrom: SetList("--unprotected-from", optarg, files.UnprotectedList); break;
      case kSources:
        if (integer("sources")) judging.Sources = SourceCount(optarg, number);
        break;
      case kRobust:
        settings.robust.Robust = true;
        text.upper_case = true;  // a robust model is case folded
        break;
      case kRobustLimit: {
        double chain = settings.robust.Threshold;
        real("robust-threshold", chain);
        if (std::isfinite(chain)) {
          settings.robust.Threshold = chain;
        } else {
          RefuseValue("robust-threshold", optarg);
          refused = true;
        }
        break;
      }
      default:  // getopt_long has already written its diagnostic
        NoteRunError();
        break;
    }
  }
  ReportIgnoredArguments(argc, argv);
  return ending(Command::kRun);
}
