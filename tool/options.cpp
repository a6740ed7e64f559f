#include "tool/options.h"

#include <getopt.h>

#include <climits>
#include <cstdlib>
#include <iostream>
#include <string>

#include "compat/settings.h"
#include "compat/shingle.h"
#include "core/messages.h"
#include "experiments/protected_sum.h"
#include "experiments/sweep.h"
#include "tool/driver.h"
#include "tool/exit_status.h"

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
};

// strtol in base 10, kept inside the 32-bit range of the settings so that a
// huge number saturates instead of wrapping around to an unrelated value.
int32_t ToInt32(const char* text) {
  long value = std::strtol(text, nullptr, 10);
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(value);
}

double ToDouble(const char* text) { return std::strtod(text, nullptr); }

// The shingle-mode thresholds are counts; a negative one would make every
// comparison trivially true, so it is reported and taken as 0.
int32_t NonNegativeThreshold(const char* name, const char* text) {
  int32_t value = ToInt32(text);
  if (value >= 0) return value;
  std::cerr << "Error: " << name << messages::kNegativeThreshold << value
            << messages::kNegativeThresholdEnd;
  NoteRunError();
  return 0;
}

// 1 to kMaxJobs threads; anything else is reported and one per processor
// is used.
int32_t JobCount(const char* text) {
  constexpr int32_t kMaxJobs = 1024;
  const int32_t value = ToInt32(text);
  if (value >= 1 && value <= kMaxJobs) return value;
  std::cerr << messages::kBadJobs << kMaxJobs << ", not " << text << messages::kBadJobsEnd;
  NoteRunError();
  return 0;
}

// At least 1; anything else is reported and no sources are named.
int32_t SourceCount(const char* text) {
  const int32_t value = ToInt32(text);
  if (value >= 1) return value;
  std::cerr << messages::kBadSources << text << messages::kBadSourcesEnd;
  NoteRunError();
  return 0;
}

// Seconds written wholly as a number, 0 or more ("1", "2.5"); anything else
// is reported and the value in force kept.
double PreTimeoutOf(const char* text, double current) {
  const std::string value = text;
  const bool number = value.find_first_of("0123456789") != std::string::npos &&
                      value.find_first_not_of("0123456789.") == std::string::npos &&
                      value.find('.') == value.rfind('.');
  if (number) return std::strtod(text, nullptr);
  std::cerr << messages::kBadPreTimeout << value << messages::kBadPreTimeoutEnd << current << "\n";
  NoteRunError();
  return current;
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
void SetDataPattern(const char* pattern, RunSettings& settings) {
  if (!settings.DataFiles.empty())
    std::cerr << "Error: -d given again; ignoring the data pattern \"" << settings.DataFiles
              << "\"\n";
  settings.DataFiles = pattern;
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

void RunSweeps(const char* text) {
  double tolerance = ToDouble(text);
  std::cerr << text << "\n" << tolerance << "\n";
  CalculateAll(1174, "C2", tolerance);
  CalculateAll(242, "B2", tolerance);
}

// "text" or "json"; false (after the message) for anything else.
bool ReadFormat(const char* text, RunSettings& settings) {
  const std::string format = text;
  if (format == "text" || format == "json") {
    settings.Json = format == "json";
    return true;
  }
  std::cerr << messages::kUnknownFormat << format << "\n";
  NoteRunError();
  return false;
}

void PrintVersion() { std::cout << "tessel " << TESSEL_VERSION << "\n" << std::flush; }

}  // namespace

Options OptionsOf(const RunSettings& settings) {
  Options options = CurrentOptions();
  options.scoring.formula = settings.LmFormula;
  options.scoring.max_threshold = settings.MaxThreshold;
  options.scoring.size_threshold = settings.SizeThreshold;
  options.text.encoding = settings.Encoding;
  return options;
}

void Help() {
  for (const char* line : kUsage) std::cout << line;
  std::cout.flush();
}

Command ParseOptions(int argc, char** argv, RunSettings& settings) {
  optind = 0;  // a full reset of getopt's state, so that every call starts afresh
  int code;
  while ((code = getopt_long(argc, argv, kShortOptions, kLongOptions, nullptr)) != -1) {
    switch (code) {
      case 'h': return Command::kHelp;
      case 'x': return Command::kProtectedSum;
      case 'z':
        settings.SweepTolerance = optarg;
        return Command::kSweeps;
      case kLmThreshold1: lm_threshold_1 = ToDouble(optarg); break;
      case kLmThreshold2: lm_threshold_2 = ToDouble(optarg); break;
      case kLmLength: {
        int32_t value = ToInt32(optarg);
        if (value == 0) {
          std::cerr << messages::kZeroLength << lm_length << "\n";
          NoteRunError();
        } else {
          lm_length = value;
        }
        break;
      }
      case kLmLambda: lm_lambda = ToDouble(optarg); break;
      case kLmLambda0: lm_lambda0 = ToDouble(optarg); break;
      case kLmLog: lm_log = true; break;
      case kLmFactor: lm_factor = ToDouble(optarg); break;
      case kLmSub: lm_sub = true; break;
      case 'l': {
        int32_t value = ToInt32(optarg);
        if (value != 0) CShingle::shingle_length = value;
        break;
      }
      case 's': {
        int32_t value = ToInt32(optarg);
        if (value != 0) CShingle::shingle_shift = value;
        break;
      }
      case 'p': settings.ProtectedFiles = optarg; break;
      case 'u': settings.UnprotectedFiles = optarg; break;
      case 'd': SetDataPattern(optarg, settings); break;
      case 'e': Detailed = true; break;
      case 'a':
        Detailed = true;
        DetailedAll = true;
        break;
      case 'b': settings.Subtract = true; break;
      case 't': settings.StopwordFile = optarg; break;
      case 'c': UpperCase = true; break;
      case 'f': settings.FromFile = true; break;
      case 'm': settings.MaxThreshold = NonNegativeThreshold("max-threshold", optarg); break;
      case kSizeThreshold:
        settings.SizeThreshold = NonNegativeThreshold("size-threshold", optarg);
        break;
      case 'o': settings.LmFormula = ToInt32(optarg); break;
      case 'v': settings.SaveProtected = true; break;
      case 'j': settings.Jobs = JobCount(optarg); break;
      case kFormat:
        if (!ReadFormat(optarg, settings)) return Command::kRefused;
        break;
      case kExitStatus: settings.ExitStatus = true; break;
      case kNoHeaders: settings.NoHeaders = true; break;
      case kTitle: settings.TitleFile = optarg; break;
      case kNoTitle: settings.TitleFile.clear(); break;
      case kVersion: return Command::kVersion;
      case kEncoding: settings.Encoding = EncodingOf(optarg); break;
      case kBinary: settings.JudgeBinary = true; break;
      case kPreprocessor: settings.Preprocessor = optarg; break;
      case kPreTimeout: settings.PreTimeout = PreTimeoutOf(optarg, settings.PreTimeout); break;
      case kFilesFrom: settings.DataList = optarg; break;
      case kNull: settings.NullSeparated = true; break;
      case kProtectedFrom: settings.ProtectedList = optarg; break;
      case kUnprotectedFrom: settings.UnprotectedList = optarg; break;
      case kSources: settings.Sources = SourceCount(optarg); break;
      default:  // getopt_long has already written its diagnostic
        NoteRunError();
        break;
    }
  }
  ReportIgnoredArguments(argc, argv);
  return Command::kRun;
}

int RunCommand(Command command, const RunSettings& settings) {
  switch (command) {
    case Command::kHelp: Help(); break;
    case Command::kProtectedSum: CalculateProtectedSum(); break;
    case Command::kSweeps: RunSweeps(settings.SweepTolerance.c_str()); break;
    case Command::kRun: RunDriver(settings); break;
    case Command::kVersion: PrintVersion(); break;
    case Command::kRefused: break;
  }
  return 0;
}
