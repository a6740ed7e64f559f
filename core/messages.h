// The fixed message texts of the system, each written out once.
#pragma once

namespace messages {

inline constexpr char kErrorOpeningFile[] = "Error opening file: ";
inline constexpr char kErrorWritingFile[] = "Error writing file: ";
inline constexpr char kErrorOpeningFiles[] = "Error opening file(s)\n";
inline constexpr char kErrorWritingOutput[] = "Error writing standard output\n";
inline constexpr char kOutOfMemory[] = "Error: out of memory\n";
inline constexpr char kEmptyDocMessage[] = "Error: empty doc shingles\n";
inline constexpr char kSizeErrorPrefix[] = "Algorithm error; size1=";
inline constexpr char kSizeErrorMiddle[] = " size2=";
inline constexpr char kShortSizeError[] = "Algorithm error\n";
inline constexpr char kUnknownFormat[] = "Error: format must be text or json, not ";
inline constexpr char kJsonWithDetails[] =
    "Error: --format=json does not combine with -e or -a; nothing judged\n";

// Pieces of messages with a value between them, in the order written.
inline constexpr char kUnusableShift[] = "Error: shingle shift must be at least 1, not ";
inline constexpr char kUnusableShiftEnd[] = "; no shingles built\n";
inline constexpr char kNothingSaved[] = "Error: no readable learning file for \"";
inline constexpr char kNothingSavedEnd[] = "\"; model files not saved\n";
inline constexpr char kNegativeFormula[] = "Error: lm-formula must not be negative: ";
inline constexpr char kNegativeThreshold[] = " must not be negative: ";
inline constexpr char kNegativeThresholdEnd[] = "; using 0\n";
inline constexpr char kZeroLength[] = "Error: lm-length must not be 0; keeping ";
// "Error: NAME must be a number, not \"TEXT\"; nothing run".
inline constexpr char kNotANumber[] = "Error: ";
inline constexpr char kNotANumberMiddle[] = " must be a number, not \"";
inline constexpr char kNotANumberEnd[] = "\"; nothing run\n";
// "Error: line N of LIST holds a NUL byte; ...": a list read by lines.
inline constexpr char kNameWithNul[] = "Error: line ";
inline constexpr char kNameWithNulOf[] = " of ";
inline constexpr char kNameWithNulEnd[] =
    " holds a NUL byte; that name is not read (a list of NUL-ended names needs --null)\n";
inline constexpr char kBadJobs[] = "Error: jobs must be 1 to ";
inline constexpr char kBadJobsEnd[] = "; using one per processor\n";
// A thread the system refused, then its reason; the run goes on.
inline constexpr char kFewerThreads[] = "Warning: cannot start more threads: ";
inline constexpr char kFewerThreadsEnd[] = "; going on with those started\n";
inline constexpr char kNoMatch[] = "No match found for: \"";
inline constexpr char kGlobError[] = "Glob error: ";
inline constexpr char kEmptyFile[] = "Empty file: ";
// "Warning: (or Error: ) the header file of NAME is the document itself; ..."
inline constexpr char kHeaderIsDocument[] = "the header file of ";
inline constexpr char kHeaderIsDocumentEnd[] = " is the document itself; verdict not recorded\n";
inline constexpr char kAlreadyUpgraded[] = "Warning; file \"";
inline constexpr char kAlreadyUpgradedEnd[] = "\" was already upgraded.\n";
inline constexpr char kNoShingleSaved[] =
    "Error: the learning files yield no shingle; model files not saved\n";
// A model whose description refuses it: "the model in DIR" and then why.
inline constexpr char kModelPrefix[] = "the model in ";
inline constexpr char kDamagedDescription[] = " has a damaged description (tessel.model): ";
inline constexpr char kMixedModel[] = " is damaged or mixed: ";
inline constexpr char kMixedModelEnd[] = " does not match its description";
inline constexpr char kOtherSettings[] = " was trained with other settings: ";

// --sources with a model that cannot name them: "--sources: the model in
// DIR", then why, then the end; judging goes on.
inline constexpr char kSourcesPrefix[] = "--sources: the model in ";
inline constexpr char kNoSourcesFile[] = " keeps no sources file (tessel.sources)";
inline constexpr char kUnusableSources[] = " has a sources file that cannot be used: ";
inline constexpr char kSourcesEnd[] = "; no sources named\n";
inline constexpr char kBadSources[] = "Error: sources must be 1 or more, not ";
inline constexpr char kBadSourcesEnd[] = "; naming none\n";

// A model directory whose last save was cut off between its renames:
// "the model in DIR is incomplete: ...", after "Error: " on standard error.
inline constexpr char kUnfinishedSavePrefix[] = "the model in ";
inline constexpr char kUnfinishedSaveSuffix[] =
    " is incomplete: a save into it did not finish; save the model again";

// After a document's name.
inline constexpr char kBinaryDocument[] =
    ": binary file (a NUL byte in its first 8 KiB), not judged; --binary judges it\n";
// Why a binary document is skipped, in its JSON object.
inline constexpr char kBinaryReason[] = "binary file (a NUL byte in its first 8 KiB)";
inline constexpr char kCannotRunProgram[] = ": not judged: cannot run ";
inline constexpr char kProgramFailed[] = ": not judged: ";
// A --pre program: a file it is not given, one it did not finish in time,
// what it wrote to standard error (each line after the document's name and
// kProgramWarning) and what was left of that, and a process it left behind.
inline constexpr char kNotGivenToProgram[] =
    ": not judged: a FIFO, socket or device is not given to ";
inline constexpr char kProgramUnread[] = ": not judged: cannot read the output of ";
inline constexpr char kProgramTimedOut[] = " was stopped: it ran longer than --pre-timeout=";
inline constexpr char kProgramWarning[] = ": warning: ";
inline constexpr char kProgramErrorsDropped[] = "the first ";
inline constexpr char kProgramErrorsDroppedMiddle[] = " bytes ";
inline constexpr char kProgramErrorsDroppedEnd[] = " wrote to standard error are left out\n";
inline constexpr char kProgramLeftProcess[] =
    " left a process holding its output; it was stopped\n";

// Errors of the C interfaces, returned through errptr (and "Error: " with the
// message on standard error for the model description's).
inline constexpr char kErrorPrefix[] = "Error: ";
inline constexpr char kWarningPrefix[] = "Warning: ";
inline constexpr char kNoModelDirectory[] = "no model directory given";
inline constexpr char kNoModel[] = "no model given";
inline constexpr char kNoText[] = "no text given";
inline constexpr char kNoFile[] = "no file given";
inline constexpr char kNoItems[] = "no items given";
inline constexpr char kNoVerdicts[] = "no verdicts given";
inline constexpr char kItemTooSmall[] = "the size member of the first item or verdict is too small";
inline constexpr char kCallOutOfMemory[] = "out of memory";
inline constexpr char kModelNotOpened[] = "the model could not be opened";
inline constexpr char kNotLanguageModel[] = "the model is not a language model";
inline constexpr char kTextNotJudged[] = "the text could not be judged";
// The document pipeline of the C interface: the robust mode's model, the
// sources file, converters and their temporary files, and a binary buffer.
inline constexpr char kModelIn[] = "the model in ";
inline constexpr char kNotTrainedRobust[] =
    " was not trained with --robust; train it with --robust -v";
inline constexpr char kNotJudgedRobust[] = " cannot be judged with --robust: ";
inline constexpr char kNoSourcesForRobust[] = "it keeps no sources file (tessel.sources)";
inline constexpr char kBadConverter[] = "a converter must be KEY=PROGRAM, not ";
inline constexpr char kBadRobustThreshold[] = "the robust threshold must be 0 or more, not ";
inline constexpr char kBadConverterTimeout[] = "the converter timeout must be 0 or more, not ";
inline constexpr char kCannotMakeTemporary[] = "cannot make a temporary file in ";
inline constexpr char kTheBuffer[] = "the buffer";
inline constexpr char kNegativeShingleThresholds[] = "the shingle thresholds must not be negative";
// Pieces, with a value (a name, a number, the system's reason) after each.
inline constexpr char kCannotOpenModelFile[] = "cannot open model file ";
inline constexpr char kCannotReadModelFile[] = "cannot read model file ";
inline constexpr char kCannotOpenStopWords[] = "cannot open stop-word file ";
inline constexpr char kCannotRead[] = "cannot read ";
inline constexpr char kModelFile[] = "model file ";
inline constexpr char kCannotLoadModelFile[] = "cannot load model file ";
inline constexpr char kNotReadWhole[] =
    " could not be read whole: it kept changing, or reading it failed";
inline constexpr char kNotRegularFile[] = " is not a regular file";
inline constexpr char kDamagedSize[] = " is damaged: its size, ";
inline constexpr char kDamagedSizeEnd[] = " bytes, is not a multiple of 16";
inline constexpr char kUnknownMode[] = "unknown mode ";
inline constexpr char kUnknownEncoding[] = "unknown encoding ";
inline constexpr char kShingleLength[] = "shingle length";
inline constexpr char kShingleShift[] = "shingle shift";
inline constexpr char kOutOfRange[] = " must be 1 to ";
inline constexpr char kOutOfRangeEnd[] = ", not ";
inline constexpr char kBadFormula[] = "formula must be 1, 2 or 3, not ";

}  // namespace messages
