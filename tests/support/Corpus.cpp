#include "support/Corpus.h"

#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/Platform.h"
#include "support/BuildPaths.h"
#include "support/TestFolder.h"

namespace velmaro::test {

std::optional<std::string> CorpusFolder() {
  std::string folder;
  // The corpus is made on the Linux side: under Wine its Linux path is
  // read as the Windows one.
  if (const char* env = std::getenv("VELMARO_TEST_AUDIO"); env && *env)
    folder = BuildPath(env);
  else
    folder = SourceDir() + NativeName("/build/test-audio");
  if (!std::filesystem::exists(Utf8Path(folder + NativeName("/manifest.json")))) return std::nullopt;
  return folder;
}

namespace {
std::string Text(sqlite3_stmt* statement, int column) {
  const auto* text = sqlite3_column_text(statement, column);
  return text ? reinterpret_cast<const char*>(text) : "";
}

// The manifest states the texts as the Linux build stores them: a tag's
// "/" (the Linux path delimiter) became "\", its "\" stayed. Windows turns
// its own delimiter "\" into "/" instead, so there every "\" is a "/".
std::string StoredOnThisPlatform(std::string text) {
  if (platform::IsWindows)
    for (char& c : text)
      if (c == '\\') c = '/';
  return text;
}

// Windows names cannot hold these (Wine shows such a file under another
// name).
bool NameFitsThisPlatform(const std::string& relativePath) {
  return !platform::IsWindows || relativePath.find_first_of("\"*:<>?|\\") == std::string::npos;
}
}  // namespace

// The manifest is JSON; SQLite's JSON functions read it.
std::vector<TCorpusFile> CorpusFiles() {
  std::vector<TCorpusFile> files;
  const auto folder = CorpusFolder();
  if (!folder) return files;
  std::ifstream in(Utf8Path(*folder + NativeName("/manifest.json")), std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  const std::string manifest = content.str();

  sqlite3* db = nullptr;
  sqlite3_open(":memory:", &db);
  sqlite3_stmt* list = nullptr;
  sqlite3_prepare_v2(db,
                     "select json_extract(value,'$.path'), json_extract(value,'$.format'), "
                     "json_extract(value,'$.accept'), json_extract(value,'$.expected') "
                     "from json_each(?1, '$.files')",
                     -1, &list, nullptr);
  sqlite3_bind_text(list, 1, manifest.c_str(), static_cast<int>(manifest.size()), SQLITE_TRANSIENT);
  sqlite3_stmt* fields = nullptr;
  sqlite3_prepare_v2(db, "select key, value from json_each(?1)", -1, &fields, nullptr);
  while (sqlite3_step(list) == SQLITE_ROW) {
    TCorpusFile file;
    file.RelativePath = Text(list, 0);
    if (!NameFitsThisPlatform(file.RelativePath)) continue;
    file.Path = *folder + NativeName("/" + file.RelativePath);
    file.Format = Text(list, 1);
    file.Accept = sqlite3_column_int(list, 2) != 0;
    const std::string expected = Text(list, 3);
    if (!expected.empty()) {
      sqlite3_bind_text(fields, 1, expected.c_str(), static_cast<int>(expected.size()), SQLITE_TRANSIENT);
      while (sqlite3_step(fields) == SQLITE_ROW) {
        const std::string key = Text(fields, 0);
        if (key == "duration")
          file.Duration = sqlite3_column_double(fields, 1);
        else if (key == "duration_tolerance")
          file.DurationTolerance = sqlite3_column_double(fields, 1);
        else if (sqlite3_column_type(fields, 1) != SQLITE_NULL)
          file.Expected[key] = StoredOnThisPlatform(Text(fields, 1));
      }
      sqlite3_reset(fields);
    }
    files.push_back(std::move(file));
  }
  sqlite3_finalize(fields);
  sqlite3_finalize(list);
  sqlite3_close(db);
  return files;
}

}  // namespace velmaro::test
