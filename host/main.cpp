// velmaro: a command-line host for Melvanto.wfx.
//
//   velmaro [--ini FILE] [--plugin FILE] COMMAND ...
//
// Without --ini the settings file lives in the user's configuration
// folder ($XDG_CONFIG_HOME/velmaro, else ~/.config/velmaro; on Windows
// %APPDATA%\velmaro), and the library file beside it.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "host/Commands.h"
#include "host/LocalPath.h"
#include "host/THostHarness.h"
#include "platform/Module.h"
#include "platform/Platform.h"
#include "platform/System.h"

namespace fs = std::filesystem;
using namespace velmaro;
using namespace velmaro::host;

namespace {

constexpr const char* OptionsHelp =
    "\noptions:\n"
    "  --ini FILE      the settings file (default: $XDG_CONFIG_HOME/velmaro/velmaro.ini,\n"
    "                  else ~/.config/velmaro/velmaro.ini; on Windows\n"
    "                  %APPDATA%\\velmaro\\velmaro.ini); the library lives beside it\n"
    "  --plugin FILE   the plug-in to load (default: $VELMARO_PLUGIN, else Melvanto.wfx\n"
    "                  beside this program)\n"
    "\nOn Windows a VPATH is written with \\ (\\Artists\\Someone) or, holding no \\, with /\n"
    "(/Artists/Someone); a name that holds / (AC/DC, an entry under /Titles) is reached\n"
    "with \\ only.\n";

std::string Usage() {
  std::string text = "usage: velmaro [--ini FILE] [--plugin FILE] COMMAND ...\n\ncommands:\n";
  for (const TCommand& command : Commands())
    text += std::string("  velmaro ") + command.Synopsis + "\n" + command.Help + "\n";
  return text + OptionsHelp;
}

std::string DefaultIniPath() {
  fs::path folder;
  const std::u16string appData = platform::EnvironmentVariable("APPDATA");
  const std::u16string xdg = platform::EnvironmentVariable("XDG_CONFIG_HOME");
  const std::u16string home = platform::EnvironmentVariable("HOME");
  if (platform::IsWindows && !appData.empty()) {
    folder = fs::path(appData) / "velmaro";
  } else if (!xdg.empty()) {
    folder = fs::path(xdg) / "velmaro";
  } else if (!home.empty()) {
    folder = fs::path(home) / ".config" / "velmaro";
  } else {
    folder = fs::current_path() / ".velmaro";
  }
  std::error_code ec;
  fs::create_directories(folder, ec);
  return Utf8Path(folder / "velmaro.ini");
}

// A command argument as Windows programs take paths: on Windows, one that
// starts with "/" and holds no "\" is a virtual path written with "/",
// and gets the plug-in's "\" delimiters. One that holds any "\" stays as
// it is: there "/" is part of a name (a tag such as AC/DC, or an entry
// named after a real path). Real paths so written stay valid, and
// elsewhere nothing changes.
std::string NativeArgument(std::string argument) {
  if (!platform::IsWindows || argument.empty() || argument.front() != '/' ||
      argument.find('\\') != std::string::npos)
    return argument;
  for (char& c : argument)
    if (c == '/') c = '\\';
  return argument;
}

// Messages the plug-in asks the host to show go to the error stream, one
// line per line of the message.
void PrintRequest(const TRequest& request) {
  std::string text = ToUtf8(request.Text);
  for (char& c : text)
    if (c == '\r') c = '\n';
  std::cerr << ToUtf8(request.Title) << ": " << text << "\n";
}

}  // namespace

int main(int argc, char** argv) {
  platform::WriteStandardStreamsAsBytes();
  const std::vector<std::string> arguments = platform::CommandLineArguments(argc, argv);
  std::string ini, plugin;
  std::vector<std::string> rest;
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    const std::string& arg = arguments[i];
    if ((arg == "--ini" || arg == "--plugin") && i + 1 < arguments.size()) {
      (arg == "--ini" ? ini : plugin) = arguments[++i];
    } else if (arg == "-h" || arg == "--help") {
      std::cout << Usage();
      return 0;
    } else {
      rest.push_back(arg);
    }
  }
  if (rest.empty()) {
    std::cerr << Usage();
    return 2;
  }
  const std::string command = rest.front();
  rest.erase(rest.begin());
  for (std::string& arg : rest) arg = NativeArgument(std::move(arg));
  try {
    THostHarness host(plugin.empty() ? THostHarness::DefaultPluginPath() : plugin);
    host.OnRequest = PrintRequest;
    host.Start(ini.empty() ? DefaultIniPath() : ini);
    for (const TCommand& known : Commands())
      if (command == known.Name) return known.Run(host, rest);
    std::cerr << "velmaro: unknown command '" << command << "'\n" << Usage();
    return 2;
  } catch (const std::exception& error) {
    std::cerr << "velmaro: " << error.what() << "\n";
    return 1;
  }
}
