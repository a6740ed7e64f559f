// Both corpora's models as the scoring tests judge with them.
#pragma once

#include <fstream>
#include <memory>

#include "compat/lm_common.h"
#include "compat/shingle_file.h"
#include "embed/corpus_model.h"
#include "embed/embed.h"
#include "embed/tessel.h"

namespace corpus {

// A corpus's model: its sets as trained and as loaded from the set files,
// indexed both ways, and both C handles on the files. The files are written
// as a stream, not saved: every test process makes its own, and a save's
// syncs would cost more than the test.
struct Model {
  explicit Model(int which) {
    for (int s = 0; s < 2; ++s) {
      for (int n = 0; n < 2; ++n) {
        const std::string file = dir.path() + corpus::kFiles[s][n];
        for (const std::string& name : corpus::kSides[which][s])
          BuildShingles(name, sets[0][s][n], n + 1);
        std::ofstream out(file, std::ios::binary);
        out << sets[0][s][n];
        out.close();
        loadShinglesFromFile(file, sets[1][s][n]);
        sets[0][s][n].ConvertToSet(), sets[1][s][n].ConvertToSet();
        indexes[0][2 * n + s] = IndexOfSet(sets[0][s][n]);
        EXPECT_TRUE(CountIndex::Load(file, indexes[1][2 * n + s]).ok());
      }
    }
    handle = _openShingles(dir.path().c_str());
    api = tessel_open(dir.path().c_str(), nullptr);
  }
  ~Model() { _closeShingles(handle), tessel_close(api); }

  TempDir dir;
  CShingleSet sets[2][2][2];  // [loaded][protected side first][words, pairs]
  CountIndex indexes[2][4];   // [loaded][words p, u, pairs p, u]
  tessel_model* handle;
  tessel_t* api;
};

// Both corpora's models, made once per process (before a test changes the
// shingle shift) and shared by every test.
inline Model& ModelOf(int which) {
  static std::unique_ptr<Model> models[2];
  if (!models[which]) models[which] = std::make_unique<Model>(which);
  return *models[which];
}

}  // namespace corpus
