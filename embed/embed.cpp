#include "embed/embed.h"

#include <sys/stat.h>

#include <cstring>
#include <fstream>
#include <iostream>
#include <new>
#include <streambuf>
#include <string>

#include "core/builder.h"
#include "core/messages.h"
#include "core/set_file.h"
#include "scoring/formulas.h"

// The handle is the array of the model's four sets in slot order.
struct tessel_model {
  CShingleSet* slots[4];
};

namespace {

enum Slot { kProtectedWords = 0, kProtectedPairs = 1, kUnprotectedWords = 2, kUnprotectedPairs = 3 };
constexpr const char* kSlotFiles[4] = {"/p.bin", "/p.bin.2", "/u.bin", "/u.bin.2"};
constexpr char kTestText[] = "data/test.txt";
constexpr char kTestModel[] = "data";

// Reads a caller's buffer in place, without copying it into a string.
class BufferSource : public std::streambuf {
 public:
  BufferSource(const char* data, size_t size) {
    char* begin = const_cast<char*>(data);
    setg(begin, begin, begin + size);
  }
};

void Release(tessel_model* model) {
  for (CShingleSet* slot : model->slots) delete slot;
  delete model;
}

bool IsDirectory(const char* path) {
  struct stat info;
  return stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

extern "C" tessel_model* _openShingles(const char* directory) {
  tessel_model* model = new (std::nothrow) tessel_model{};
  if (model == nullptr) {
    std::cerr << messages::kOutOfMemory;
    return nullptr;
  }
  try {
    for (CShingleSet*& slot : model->slots) slot = new CShingleSet;
    if (directory != nullptr) {
      for (int i = 0; i < 4; ++i)
        loadShinglesFromFile(std::string(directory) + kSlotFiles[i], *model->slots[i]);
    }
    for (CShingleSet* slot : model->slots) slot->ConvertToSet();
  } catch (const std::bad_alloc&) {
    std::cerr << messages::kOutOfMemory;
    Release(model);
    return nullptr;
  }
  return model;
}

extern "C" int _processShingles(tessel_model* model, const char* text, int /*length*/) {
  if (model == nullptr || text == nullptr) return 0;
  try {
    const size_t size = std::strlen(text);
    CShingleSet words;
    CShingleSet pairs;
    {
      BufferSource source(text, size);
      std::istream in(&source);
      _BuildShingles(in, words, 1);
    }
    {
      BufferSource source(text, size);
      std::istream in(&source);
      _BuildShingles(in, pairs, 2);
    }
    CShingleSet** slots = model->slots;
    return Formula1(words, pairs, *slots[kProtectedWords], *slots[kUnprotectedWords],
                    *slots[kProtectedPairs], *slots[kUnprotectedPairs])
               ? 1
               : 0;
  } catch (const std::bad_alloc&) {
    std::cerr << messages::kOutOfMemory;
    return 0;
  }
}

extern "C" void _closeShingles(tessel_model* model) {
  if (model != nullptr) Release(model);
}

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
