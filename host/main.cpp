// velmaro: a command-line host for Melvanto.wfx.
//
//   velmaro [--ini FILE] [--plugin FILE] ls [-R] VPATH
//
// Without --ini the settings file lives in the user's configuration
// folder ($XDG_CONFIG_HOME/velmaro, else ~/.config/velmaro), and the
// library file beside it.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "host/THostHarness.h"
#include "platform/System.h"

namespace fs = std::filesystem;
using namespace velmaro;
using namespace velmaro::host;

namespace {

constexpr const char* Usage =
    "usage: velmaro [--ini FILE] [--plugin FILE] COMMAND ...\n"
    "\n"
    "commands:\n"
    "  ls [-R] VPATH   list a folder of the library (name and kind of each entry);\n"
    "                  -R lists every folder below it as well\n"
    "\n"
    "options:\n"
    "  --ini FILE      the settings file (default: $XDG_CONFIG_HOME/velmaro/velmaro.ini,\n"
    "                  else ~/.config/velmaro/velmaro.ini); the library lives beside it\n"
    "  --plugin FILE   the plug-in to load (default: $VELMARO_PLUGIN, else Melvanto.wfx\n"
    "                  beside this program)\n";

std::string DefaultIniPath() {
  fs::path folder;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg) {
    folder = fs::path(xdg) / "velmaro";
  } else if (const char* home = std::getenv("HOME"); home && *home) {
    folder = fs::path(home) / ".config" / "velmaro";
  } else {
    folder = fs::current_path() / ".velmaro";
  }
  std::error_code ec;
  fs::create_directories(folder, ec);
  return (folder / "velmaro.ini").string();
}

// Messages the plug-in asks the host to show go to the error stream, one
// line per line of the message.
void PrintRequest(const TRequest& request) {
  std::string text = ToUtf8(request.Text);
  for (char& c : text)
    if (c == '\r') c = '\n';
  std::cerr << ToUtf8(request.Title) << ": " << text << "\n";
}

const char* Kind(const TEntry& entry) { return entry.IsFolder() ? "dir " : "file"; }

std::u16string Join(const std::u16string& folder, const std::u16string& name) {
  const char16_t delim = platform::PathDelim;
  return folder.empty() || folder.back() == delim ? folder + name : folder + delim + name;
}

int ListFolder(THostHarness& host, const std::u16string& path, bool recursive, bool header) {
  const TListing listing = host.List(path);
  if (!listing.Ok && listing.LastError != platform::ErrorNoMoreFiles) {
    std::cerr << "velmaro: cannot list " << ToUtf8(path) << "\n";
    return 1;
  }
  if (header) std::cout << ToUtf8(path) << ":\n";
  for (const TEntry& entry : listing.Entries) std::cout << Kind(entry) << "  " << ToUtf8(entry.Name) << "\n";
  if (!recursive) return 0;
  int status = 0;
  for (const TEntry& entry : listing.Entries) {
    if (!entry.IsFolder()) continue;
    std::cout << "\n";
    status |= ListFolder(host, Join(path, entry.Name), true, true);
  }
  return status;
}

int CommandLs(THostHarness& host, const std::vector<std::string>& args) {
  bool recursive = false;
  std::vector<std::string> paths;
  for (const std::string& arg : args) {
    if (arg == "-R")
      recursive = true;
    else
      paths.push_back(arg);
  }
  if (paths.empty()) paths.push_back(std::string(1, static_cast<char>(platform::PathDelim)));
  int status = 0;
  for (std::size_t i = 0; i < paths.size(); ++i) {
    if (i > 0) std::cout << "\n";
    status |= ListFolder(host, FromUtf8(paths[i]), recursive, recursive || paths.size() > 1);
  }
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  std::string ini, plugin;
  std::vector<std::string> rest;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if ((arg == "--ini" || arg == "--plugin") && i + 1 < argc) {
      (arg == "--ini" ? ini : plugin) = argv[++i];
    } else if (arg == "-h" || arg == "--help") {
      std::cout << Usage;
      return 0;
    } else {
      rest.push_back(arg);
    }
  }
  if (rest.empty()) {
    std::cerr << Usage;
    return 2;
  }
  const std::string command = rest.front();
  rest.erase(rest.begin());
  try {
    THostHarness host(plugin.empty() ? THostHarness::DefaultPluginPath() : plugin);
    host.OnRequest = PrintRequest;
    host.Start(ini.empty() ? DefaultIniPath() : ini);
    if (command == "ls") return CommandLs(host, rest);
    std::cerr << "velmaro: unknown command '" << command << "'\n" << Usage;
    return 2;
  } catch (const std::exception& error) {
    std::cerr << "velmaro: " << error.what() << "\n";
    return 1;
  }
}
