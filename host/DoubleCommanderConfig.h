// Registering the plug-in in Double Commander's configuration file,
// doublecmd.xml: an entry in its list of file-system plug-ins and a column
// set that shows the plug-in's fields in the plug-in's panel.
//
// The file belongs to the user and is rewritten by Double Commander when
// it exits, so every change is made through an XML parser, only while no
// Double Commander uses the folder, after a backup, and by replacing the
// file in one rename.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace pugi {
class xml_document;
}

namespace velmaro::host::doublecmd {

// The name under which the plug-in and its column set are registered.
inline constexpr const char* EntryName = "Velmaro";
inline constexpr const char* ConfigFileName = "doublecmd.xml";
inline constexpr const char* BackupSuffix = ".velmaro-backup";

// One custom-column field the plug-in offers, as a column of the set.
struct TField {
  std::string Name;
  int Width = 100;  // pixels at 96 per inch
  bool RightAligned = false;
};

// $XDG_CONFIG_HOME/doublecmd, else ~/.config/doublecmd.
std::filesystem::path DefaultConfigDir();

// Process ids of the Double Commander processes of this user, or of the
// owner of configDir, that may be using configDir: every one, except those
// whose command line names another configuration folder.
std::vector<int> RunningInstances(const std::filesystem::path& configDir);

// The edits themselves, on a parsed configuration; true when the document
// changed. Throws std::runtime_error when the document is not a Double
// Commander configuration.
bool AddEntries(pugi::xml_document& config, const std::string& pluginPath, const std::vector<TField>& fields);
bool RemoveEntries(pugi::xml_document& config);

// What an install or uninstall did to the file.
struct TOutcome {
  bool Changed = false;
  bool Created = false;                // there was no file before
  std::filesystem::path File, Backup;  // Backup is empty when none was made
};

// Adds the entries to configDir/doublecmd.xml, creating a minimal file
// (and the folder) when there is none; an entry switched off is enabled.
// What it writes or creates keeps, or gets, the owner of the file or of
// the folder above it, so that it stays the user's when root runs it.
// Throws std::runtime_error, leaving the file as it was, when the file
// cannot be read, parsed or written.
TOutcome Install(const std::filesystem::path& configDir, const std::string& pluginPath,
                 const std::vector<TField>& fields);
// Removes them again; a folder without the file is left alone.
TOutcome Uninstall(const std::filesystem::path& configDir);

}  // namespace velmaro::host::doublecmd
