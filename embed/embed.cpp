#include "embed/embed.h"

#include <sys/stat.h>

#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "compat/formula_lines.h"
#include "compat/lm_common.h"
#include "compat/settings.h"
#include "core/messages.h"
#include "core/model_description.h"
#include "core/save_marker.h"
#include "scoring/document_judge.h"
#include "scoring/options.h"

namespace {

constexpr char kTestText[] = "data/test.txt";
constexpr char kTestModel[] = "data";

bool IsDirectory(const char* path) {
  struct stat info;
  return stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

// A model its description refuses (damaged, mixed, or trained with other
// settings than the process-wide ones) is reported and left empty whole.
void RefuseUndescribed(const std::string& directory, TextEncoding encoding,
                       CountIndex (&files)[kModelSlots]) {
  const CountIndex* read[kModelSlots] = {&files[0], &files[1], &files[2], &files[3]};
  TextOptions text = CurrentTextOptions();
  text.encoding = encoding;
  const Status checked = CheckModelDescription(directory, read, true, &text);
  if (checked.ok()) return;
  std::cerr << messages::kErrorPrefix << checked.message() << "\n";
  for (CountIndex& file : files) file = CountIndex();
}

tessel_model* OpenModel(const char* directory) {
  CountIndex files[kModelSlots];
  // Texts are read as the model's description says the tool read its
  // learning files; a model without one, byte for byte.
  TextEncoding encoding = TextEncoding::kCp1251;
  // A file that cannot be loaded is reported and leaves its set empty; a
  // model whose last save did not finish is reported and left empty whole.
  if (directory != nullptr) {
    const std::vector<std::string> paths = ModelPaths(directory);
    const ModelReadLock lock(paths);
    const Status unfinished = lock.Check();
    if (!unfinished.ok()) {
      std::cerr << messages::kErrorPrefix << unfinished.message() << "\n";
    } else {
      for (int slot = 0; slot < kModelSlots; ++slot)
        if (!CountIndex::Load(paths[slot], files[slot], CountIndex::PagesOfSlot(slot)).ok())
          std::cerr << messages::kErrorOpeningFile << paths[slot] << "\n";
      encoding = ModelEncoding(directory, encoding);
      RefuseUndescribed(directory, encoding, files);
    }
  }
  return new tessel_model(files, encoding);
}

// A positive length is the text's size, NUL bytes included (they separate
// words like any other non-letter); otherwise the text ends at its first NUL.
// The process-wide settings are read here, once per call, as a host may
// change them between calls.
int JudgeText(const tessel_model& model, const char* text, int length) {
  const size_t size = length > 0 ? static_cast<size_t>(length) : std::strlen(text);
  Options options = CurrentOptions();
  options.text.encoding = model.encoding;
  options.scoring.formula = 1;
  WordsAndPairs doc(options.text);
  // Judged in windows of words as the text is read; the formula's lines are
  // written when reading ends, as judging the whole text writes them.
  DocumentJudge judge(model.model, options.scoring, options.text.shingle_length);
  judge.Judge(doc, [&](TextWords& words) {
    // Refused as both builds of the text would have refused it.
    const Status read = ReadDocument(text, size, words);
    for (int i = 0; i < 2 && !read.ok(); ++i)
      std::cerr << messages::kErrorPrefix << read.message() << "\n";
    return read.ok();
  });
  const lm::Result& result = judge.lm_result();
  lm::WriteFormulaOutput(1, result, std::cout, std::cerr);
  return result.verdict ? 1 : 0;
}

}  // namespace

// No exception may reach a C caller: out of memory is reported, anything
// else ends the call with its failure result.
extern "C" tessel_model* _openShingles(const char* directory) {
  try {
    return OpenModel(directory);
  } catch (const std::bad_alloc&) {
    std::cerr << messages::kOutOfMemory;
  } catch (...) {
  }
  return nullptr;
}

extern "C" int _processShingles(tessel_model* model, const char* text, int length) {
  if (model == nullptr || text == nullptr) return 0;
  try {
    return JudgeText(*model, text, length);
  } catch (const std::bad_alloc&) {
    std::cerr << messages::kOutOfMemory;
  } catch (...) {
  }
  return 0;
}

extern "C" void _closeShingles(tessel_model* model) { delete model; }

void test() {
  std::ifstream in;
  if (!IsDirectory(kTestText)) in.open(kTestText);
  if (!in.is_open()) {
    std::cerr << messages::kErrorOpeningFile << kTestText << "\n";
    return;
  }
  // Every line, the last one included, is followed by a line end in the text.
  std::string text;
  std::string line;
  while (std::getline(in, line)) {
    text += line;
    text += '\n';
  }
  tessel_model* model = _openShingles(kTestModel);
  if (model == nullptr) return;
  std::cout << _processShingles(model, text.c_str(), static_cast<int>(text.size())) << std::endl;
  _closeShingles(model);
}
