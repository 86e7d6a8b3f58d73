#include "library/Library.h"

#include <sqlite3.h>

#include "library/Errors.h"
#include "library/Schema.h"
#include "library/TDISQLite3UniDirQuery.h"
#include "platform/FileSystem.h"
#include "platform/IniFile.h"
#include "platform/Platform.h"
#include "platform/Text.h"

namespace velmaro {

namespace {

std::u16string ValueText(sqlite3_value* value) {
  const auto* text = static_cast<const char16_t*>(sqlite3_value_text16(value));
  if (!text) return {};
  return std::u16string(text, static_cast<std::size_t>(sqlite3_value_bytes16(value)) / 2);
}

// MYLIKE(a, b): 1 when the texts are equal under the user locale's
// case-insensitive comparison, else 0.
void MyLike(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (argc != 2) {
    sqlite3_result_int(context, 0);
    return;
  }
  sqlite3_result_int(context, platform::CompareNoCase(ValueText(argv[0]), ValueText(argv[1])) == 0 ? 1 : 0);
}

// SYSTEMNOCASE: case-insensitive order by the system locale's rules.
int SystemNoCase(void*, int lengthA, const void* a, int lengthB, const void* b) {
  const std::u16string_view textA(static_cast<const char16_t*>(a), static_cast<std::size_t>(lengthA) / 2);
  const std::u16string_view textB(static_cast<const char16_t*>(b), static_cast<std::size_t>(lengthB) / 2);
  const int result = platform::CompareNoCaseSystem(textA, textB);
  return result < 0 ? -1 : (result > 0 ? 1 : 0);
}

std::u16string ReplaceExtension(std::u16string_view path, std::u16string_view extension) {
  std::size_t dot = path.find_last_of(u'.');
  const std::size_t delim = path.find_last_of(platform::DirDelim);
  if (dot == std::u16string_view::npos || (delim != std::u16string_view::npos && dot < delim))
    dot = path.size();
  return std::u16string(path.substr(0, dot)) + std::u16string(extension);
}

}  // namespace

std::u16string ExtractFilePath(std::u16string_view path) {
  std::size_t cut = path.find_last_of(platform::DirDelim);
  if (platform::HasDriveColon) {
    const std::size_t colon = path.find_last_of(u':');
    if (colon != std::u16string_view::npos && (cut == std::u16string_view::npos || colon > cut)) cut = colon;
  }
  return cut == std::u16string_view::npos ? std::u16string() : std::u16string(path.substr(0, cut + 1));
}

void RegisterLibraryFunctions(TDISQLite3Database& database) {
  int rc = sqlite3_create_function(database.Handle(), "MYLIKE", 2, SQLITE_UTF8, nullptr, MyLike, nullptr, nullptr);
  if (rc != SQLITE_OK) database.RaiseError(rc);
  rc = sqlite3_create_collation(database.Handle(), "SYSTEMNOCASE", SQLITE_UTF16, nullptr, SystemNoCase);
  if (rc != SQLITE_OK) database.RaiseError(rc);
}

bool InitDatabase(TLibraryState& state, const TMessageSink& report) {
  try {
    if (state.IniFileName.empty()) state.IniFileName = ReplaceExtension(platform::ModulePath(), u".ini");
    if (!state.LibraryDatabase) state.LibraryDatabase = std::make_unique<TDISQLite3Database>();
    TDISQLite3Database& db = *state.LibraryDatabase;

    std::u16string folder = ExtractFilePath(state.IniFileName);
    if (!folder.empty() && folder.back() != platform::DirDelim && !(platform::HasDriveColon && folder.back() == u':'))
      folder += platform::DirDelim;
    const std::u16string defaultPath = folder + DefaultDatabaseFileName;

    std::u16string path = platform::IniReadString(state.IniFileName, SettingsSection, SettingsDBPathKey, u"");
    if (path.empty()) path = defaultPath;
    platform::IniWriteString(state.IniFileName, SettingsSection, SettingsDBPathKey, path);

    if (!db.Connected()) {
      db.SetDatabaseName(path);
      try {
        db.Open();
      } catch (const EFOpenError&) {
        // Create a library only where there is none: a file that exists
        // but cannot be opened is someone's library, never to be replaced.
        if (platform::FileExists(path) || platform::DirectoryExists(path)) throw;
        db.CreateDatabase();
        db.Execute("PRAGMA legacy_file_format=OFF;");
      }
    }
    db.Execute("PRAGMA locking_mode=NORMAL");
    // Journals of savepoints (each imported file has one inside its batch's
    // transaction) stay in memory, where SQLite would otherwise move them
    // to a temporary file once they hold 64 KiB and from then on write
    // every file's pages there. The bound: such a journal keeps each page a
    // file's row changes once (the table's and its seven indexes' pages it
    // touches, a few tens of KiB at the library's 4 KiB pages) and is emptied
    // when that file's savepoint ends. The connection's other temporary
    // objects are the lookups' short lists of values.
    db.Execute("PRAGMA temp_store=MEMORY");
    RegisterLibraryFunctions(db);
    for (std::u16string_view statement : LibrarySchemaStatements()) db.Execute16(statement);
    // A library that is already right is not written to: opening it must
    // not wait for a write lock that another program reading the file
    // holds up.
    TDISQLite3UniDirQuery version(&db);
    version.SetSQL(u"select count(*), min(vk_dbversion) from vornak");
    version.Open();
    const bool current = !version.Eof() && version.Fields(0).AsInteger() == 1 &&
                         version.Fields(1).AsInteger() == LibrarySchemaVersion;
    version.Close();
    if (!current)
      for (std::u16string_view statement : LibraryVersionStatements()) db.Execute16(statement);
    return true;
  } catch (const std::exception& error) {
    if (report) report(platform::Utf8ToUtf16(error.what()) + u"\rInitDatabase");
    return false;
  }
}

}  // namespace velmaro
