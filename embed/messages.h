// The errors of the C interfaces, returned through errptr, each written out
// once.
#pragma once

namespace messages {

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
inline constexpr char kNegativeShingleThresholds[] = "the shingle thresholds must not be negative";
// Pieces, with a value (a name, a number, the system's reason) after each.
inline constexpr char kCannotOpenModelFile[] = "cannot open model file ";
inline constexpr char kCannotReadModelFile[] = "cannot read model file ";
inline constexpr char kCannotOpenStopWords[] = "cannot open stop-word file ";
inline constexpr char kCannotRead[] = "cannot read ";
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

// The document pipeline of the C interface: the robust mode's model, the
// sources file, converters and their temporary files, and a binary buffer.
inline constexpr char kNoSourcesForRobust[] = "it keeps no sources file (tessel.sources)";
inline constexpr char kBadConverter[] = "a converter must be KEY=PROGRAM, not ";
inline constexpr char kBadRobustThreshold[] = "the robust threshold must be 0 or more, not ";
inline constexpr char kBadConverterTimeout[] = "the converter timeout must be 0 or more, not ";
inline constexpr char kCannotMakeTemporary[] = "cannot make a temporary file in ";
inline constexpr char kTheBuffer[] = "the buffer";
inline constexpr char kNoStream[] = "no stream given";
inline constexpr char kStreamFinished[] = "the stream is already finished";

}  // namespace messages
