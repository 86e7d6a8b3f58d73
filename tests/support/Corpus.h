// The generated test-audio corpus (scripts/make-test-audio) and its
// manifest: for every file, whether the import takes it and which row
// values it must give.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace velmaro::test {

struct TCorpusFile {
  std::string Path;          // absolute
  std::string RelativePath;  // as in the manifest
  std::string Format;
  bool Accept = false;
  // Expected row values by column name without "mf_", as stored texts
  // (with this platform's replacement of the path delimiter).
  std::map<std::string, std::string> Expected;
  double Duration = -1, DurationTolerance = 0;
};

// The corpus folder: $VELMARO_TEST_AUDIO, else build/test-audio in the
// source tree; nullopt when it has no manifest. Made on Linux: on Windows
// (under Wine) its Linux path "/x/y" is read as "Z:\x\y".
std::optional<std::string> CorpusFolder();

// Every file of the manifest (empty when there is no corpus), but for
// names that this platform's file names cannot hold.
std::vector<TCorpusFile> CorpusFiles();

}  // namespace velmaro::test
