// velmaro rebuild | vacuum | empty [--yes]: the Settings actions without a
// window. They are typed into the plug-in's command line as a file
// manager passes a command ("quote rebuild"); the plug-in asks its
// questions, shows its progress and its report through the host's
// callbacks: questions are answered by --yes or at a prompt, progress is
// the bar of get, Ctrl-C cancels (a cancelled rebuild changes nothing).
#include <atomic>
#include <iostream>
#include <string>
#include <vector>

#include "host/Commands.h"
#include "host/TProgressBar.h"
#include "platform/Module.h"
#include "platform/Platform.h"

namespace velmaro::host {

namespace {

std::atomic<bool> Interrupted = false;

void OnInterrupt() { Interrupted = true; }

// A text of the plug-in with its line breaks ("\r", "\r\n") as lines.
std::string Lines(const std::u16string& text) {
  std::string lines = ToUtf8(text);
  std::string result;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i] == '\r') {
      result += '\n';
      if (i + 1 < lines.size() && lines[i + 1] == '\n') ++i;
    } else {
      result += lines[i];
    }
  }
  return result;
}

int RunMaintenance(THostHarness& host, const TArgs& args, const char* command) {
  bool yes = false;
  for (const std::string& arg : args) {
    if (arg == "--yes" || arg == "-y") {
      yes = true;
    } else {
      std::cerr << "usage: velmaro " << command << " [--yes]\n";
      return 2;
    }
  }
  TProgressBar bar;
  // The plug-in's reports: printed when it is done, on standard output
  // when the action was done and on standard error when it was not.
  std::vector<std::string> reports;
  const auto previousRequest = host.OnRequest;
  host.OnQuestion = [&](const TRequest& request) {
    if (yes) return true;
    if (!platform::IsTerminal(0)) {
      std::cerr << "velmaro: " << Lines(request.Text) << "\n(not confirmed: give --yes to answer yes)\n";
      return false;
    }
    std::cerr << Lines(request.Text) << " [y/N] " << std::flush;
    std::string answer;
    if (!std::getline(std::cin, answer) || Interrupted) {
      std::cerr << "\n";
      return false;
    }
    return answer == "y" || answer == "Y" || answer == "yes" || answer == "Yes";
  };
  host.OnRequest = [&](const TRequest& request) { reports.push_back(Lines(request.Text)); };
  host.OnProgress = [&](std::u16string_view, std::u16string_view, int percent) {
    bar.Show(percent, 100, command, percent);
    return Interrupted.load();
  };
  Interrupted = false;
  platform::CatchInterrupt(OnInterrupt);
  const int result = host.Execute(std::u16string(1, platform::PathDelim), u"quote " + FromUtf8(command));
  platform::ReleaseInterrupt();
  bar.Finish();
  host.OnQuestion = nullptr;
  host.OnProgress = nullptr;
  host.OnRequest = previousRequest;
  std::ostream& out = result == fsapi::FS_EXEC_OK ? std::cout : std::cerr;
  for (const std::string& report : reports) out << report << "\n";
  if (result == fsapi::FS_EXEC_OK) return 0;
  return Interrupted ? 130 : 1;
}

}  // namespace

int CommandRebuild(THostHarness& host, const TArgs& args) { return RunMaintenance(host, args, "rebuild"); }
int CommandVacuum(THostHarness& host, const TArgs& args) { return RunMaintenance(host, args, "vacuum"); }
int CommandEmpty(THostHarness& host, const TArgs& args) { return RunMaintenance(host, args, "empty"); }

}  // namespace velmaro::host
