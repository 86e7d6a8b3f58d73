// velmaro install-plugin / uninstall-plugin [--config-dir DIR]: registers
// the loaded plug-in in Double Commander's configuration, with a column set
// of its fields, or takes both out again.
#include <filesystem>
#include <iostream>
#include <map>

#include "host/Commands.h"
#include "host/DoubleCommanderConfig.h"
#include "plugin/FsPluginApi.h"

namespace velmaro::host {

namespace fs = std::filesystem;

namespace {

// The folder named by --config-dir, else Double Commander's default; false
// (after a usage message) for anything else on the line.
bool ConfigDirFromArgs(const char* command, const TArgs& args, fs::path& dir) {
  if (args.empty()) {
    dir = doublecmd::DefaultConfigDir();
    return true;
  }
  if (args.size() == 2 && args[0] == "--config-dir" && !args[1].empty()) {
    dir = fs::absolute(args[1]);
    return true;
  }
  std::cerr << "usage: velmaro " << command << " [--config-dir DIR]\n";
  return false;
}

// Double Commander writes its whole configuration back when it exits, so
// a change made while it runs would be lost, or would undo the user's.
bool RefuseWhileRunning(const fs::path& dir) {
  const std::vector<int> running = doublecmd::RunningInstances(dir);
  if (running.empty()) return false;
  std::cerr << "velmaro: Double Commander is running (process " << running.front()
            << "); close it first: it rewrites " << (dir / doublecmd::ConfigFileName).string()
            << " when it exits\n";
  return true;
}

// How wide a field's column is and which side its values keep to: the
// plug-in's fields by what they hold (numbers to the right), any other by
// its type (1 to 3 are the interface's numbers: 32-bit, 64-bit, floating).
doublecmd::TField ColumnOf(const TContentField& field) {
  static const std::map<std::string, std::pair<int, bool>> known = {
      {"Artist", {130, false}}, {"Title", {160, false}},  {"Album", {130, false}},
      {"Track", {50, true}},    {"Genre", {90, false}},   {"Length", {60, true}},
      {"Bitrate", {60, true}},  {"Sample Rate", {95, true}}, {"Rating", {50, true}},
  };
  if (const auto it = known.find(field.Name); it != known.end())
    return {field.Name, it->second.first, it->second.second};
  const bool number = field.Type >= 1 && field.Type <= fsapi::ft_numeric_floating;
  return {field.Name, number ? 70 : 110, number};
}

void ReportBackup(const doublecmd::TOutcome& outcome) {
  if (!outcome.Backup.empty()) std::cout << "The previous file is kept as " << outcome.Backup.string() << "\n";
}

}  // namespace

int CommandInstallPlugin(THostHarness& host, const TArgs& args) {
  fs::path dir;
  if (!ConfigDirFromArgs("install-plugin", args, dir)) return 2;
  if (RefuseWhileRunning(dir)) return 1;

  std::vector<doublecmd::TField> fields;
  for (const TContentField& field : host.SupportedFields()) fields.push_back(ColumnOf(field));
  const std::string plugin = fs::canonical(host.PluginPath()).string();
  const doublecmd::TOutcome outcome = doublecmd::Install(dir, plugin, fields);
  if (!outcome.Changed) {
    std::cout << doublecmd::EntryName << " is already registered in " << outcome.File.string()
              << "; nothing changed\n";
    return 0;
  }
  std::cout << "Registered " << doublecmd::EntryName << " (" << plugin << ") and its column set in "
            << outcome.File.string() << (outcome.Created ? " (a new file)" : "") << "\n";
  ReportBackup(outcome);
  return 0;
}

int CommandUninstallPlugin(THostHarness&, const TArgs& args) {
  fs::path dir;
  if (!ConfigDirFromArgs("uninstall-plugin", args, dir)) return 2;
  if (RefuseWhileRunning(dir)) return 1;

  const doublecmd::TOutcome outcome = doublecmd::Uninstall(dir);
  if (!outcome.Changed) {
    std::cout << doublecmd::EntryName << " is not registered in " << outcome.File.string() << "; nothing changed\n";
    return 0;
  }
  std::cout << "Removed " << doublecmd::EntryName << " and its column set from " << outcome.File.string() << "\n";
  ReportBackup(outcome);
  return 0;
}

}  // namespace velmaro::host
