// Every file of the generated corpus, imported: accepted files give the
// row the manifest states, refused files leave the library untouched.
#include <gtest/gtest.h>

#include <cmath>

#include "import/ImportTrack.h"
#include "library/SqlText.h"
#include "platform/Text.h"
#include "support/Corpus.h"
#include "support/LibraryFixture.h"
#include "support/SystemSupport.h"

using namespace velmaro;
using namespace velmaro::import;
using velmaro::test::TLibraryFixture;

namespace {


std::u16string U(const std::string& text) { return platform::Utf8ToUtf16(text); }
std::string S(const std::u16string& text) { return platform::Utf16ToUtf8(text); }

TEST(CorpusImport, EveryFileGivesTheRowItsManifestStates) {
  const auto files = test::CorpusFiles();
  if (files.empty()) GTEST_SKIP() << "no test audio: run scripts/make-test-audio build/test-audio";
  SKIP_UNLESS_WINDOWS_1252();  // the manifest's texts of 8-bit tags
  InitReaderDefaults();
  TLibraryFixture lib;
  int accepted = 0;
  for (const test::TCorpusFile& file : files) {
    SCOPED_TRACE(file.RelativePath);
    const std::u16string path = U(file.Path);
    const bool imported = ImportTrack(path, lib.Db(), false);
    const std::u16string where = u" from mp3files where mf_path=" + SqlLiteral(path);
    if (!file.Accept) {
      EXPECT_FALSE(imported);
      EXPECT_EQ(lib.Scalar(u"select count(*)" + where), u"0");
      continue;
    }
    ++accepted;
    ASSERT_TRUE(imported);
    for (const auto& [column, value] : file.Expected) {
      if (column == "filetype") {
        EXPECT_EQ(S(lib.Scalar(u"select mf_filetype" + where)), value);
        continue;
      }
      EXPECT_EQ(S(lib.Scalar(u"select cast(mf_" + U(column) + u" as text)" + where)), value) << column;
    }
    if (file.Duration >= 0) {
      const long long length = std::stoll(S(lib.Scalar(u"select mf_length" + where)));
      EXPECT_GE(length, static_cast<long long>(std::ceil(file.Duration - file.DurationTolerance))) << "length";
      EXPECT_LE(length, static_cast<long long>(std::ceil(file.Duration + file.DurationTolerance))) << "length";
    }
  }
  EXPECT_EQ(lib.Scalar(u"select count(*) from mp3files"), platform::IntToU16(accepted));
}

}  // namespace
