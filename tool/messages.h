// The fixed message texts of the tool, each written out once.
#pragma once

namespace messages {

inline constexpr char kWarningPrefix[] = "Warning: ";
inline constexpr char kErrorOpeningFiles[] = "Error opening file(s)\n";
inline constexpr char kErrorWritingOutput[] = "Error writing standard output\n";
inline constexpr char kUnknownFormat[] = "Error: format must be text or json, not ";
inline constexpr char kJsonWithDetails[] =
    "Error: --format=json does not combine with -e or -a; nothing judged\n";

// Pieces of messages with a value between them, in the order written.
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

// --sources with a model that cannot name them: "--sources: the model in
// DIR", then why, then the end; judging goes on.
inline constexpr char kSourcesPrefix[] = "--sources: the model in ";
inline constexpr char kNoSourcesFile[] = " keeps no sources file (tessel.sources)";
inline constexpr char kSourcesEnd[] = "; no sources named\n";
inline constexpr char kBadSources[] = "Error: sources must be 1 or more, not ";
inline constexpr char kBadSourcesEnd[] = "; naming none\n";

// Why a binary document is skipped, in its JSON object.
inline constexpr char kBinaryReason[] = "binary file (a NUL byte in its first 8 KiB)";

}  // namespace messages
