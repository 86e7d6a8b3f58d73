// The music library: where its database file is, and opening it with its
// schema, SQL function and collation.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "library/TDISQLite3Database.h"
#include "library/TWriteGate.h"

namespace velmaro {

// The process's library: the one connection, whether it has been opened
// with its schema, and the settings file that names it.
struct TLibraryState {
  std::unique_ptr<TDISQLite3Database> LibraryDatabase;
  bool DatabaseReady = false;
  std::u16string IniFileName;
  // Which operation writes to the library now (see TWriteGate).
  TWriteGate WriteGate;
};

// Shows a text to the user (the host's message request).
using TMessageSink = std::function<void(const std::u16string&)>;

// The settings: section "Velmaro", key "DBPath".
inline constexpr char16_t SettingsSection[] = u"Velmaro";
inline constexpr char16_t SettingsDBPathKey[] = u"DBPath";
inline constexpr char16_t DefaultDatabaseFileName[] = u"VORNAK.DB";
inline constexpr int LibrarySchemaVersion = 1005;

// Opens (or creates) the library named by the settings file and puts its
// schema in place. True on success; on failure the error text goes to
// report (followed by "\r" and "InitDatabase") and the result is false.
bool InitDatabase(TLibraryState& state, const TMessageSink& report);

// Registers "MYLIKE" and "SYSTEMNOCASE" on an open connection.
void RegisterLibraryFunctions(TDISQLite3Database& database);

// The folder part of a real path, with its trailing separator (empty when
// the path has none).
std::u16string ExtractFilePath(std::u16string_view path);

}  // namespace velmaro
