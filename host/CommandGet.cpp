// velmaro get [--overwrite] VPATH... DEST: copies entries out of the panel
// into a folder as a host does. A folder entry is copied with everything
// below it into a folder of its name.
#include <atomic>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>

#include "host/Commands.h"
#include "host/LocalPath.h"
#include "host/TProgressBar.h"
#include "host/VirtualEntry.h"
#include "platform/Module.h"
#include "platform/Platform.h"

namespace velmaro::host {

namespace {

namespace fs = std::filesystem;

std::atomic<bool> Interrupted = false;

void OnInterrupt() { Interrupted = true; }

// Ctrl-C only sets a flag while the command runs: the progress callback
// hands it to the plug-in, which cancels the copy and removes its target.
class TInterruptHandler {
 public:
  TInterruptHandler() {
    Interrupted = false;
    platform::CatchInterrupt(OnInterrupt);
  }
  ~TInterruptHandler() { platform::ReleaseInterrupt(); }
  TInterruptHandler(const TInterruptHandler&) = delete;
  TInterruptHandler& operator=(const TInterruptHandler&) = delete;
};

enum class TOutcome { Done, Failed, Cancelled };

// The plug-in is given the target's path as text: a folder whose name is
// none (not UTF-8) cannot be named to it, and would be another folder.
void ReportUnnamed(const fs::path& destination) {
  std::cerr << "velmaro: cannot copy into " << ShownPath(destination) << ": " << NotTextReason << "\n";
}

// The file name part of a real path.
std::u16string RealName(const std::u16string& path) {
  const std::size_t split = path.find_last_of(static_cast<char16_t>(fs::path::preferred_separator));
  return split == std::u16string::npos ? path : path.substr(split + 1);
}

class TGet {
 public:
  TGet(THostHarness& host, bool overwrite) : FHost(host), FOverwrite(overwrite) {
    FPreviousRequest = FHost.OnRequest;
    FHost.OnRequest = [this](const TRequest& request) {
      std::string text = ToUtf8(request.Text);
      for (char& c : text)
        if (c == '\r') c = ' ';
      FBar.Finish();
      std::cerr << "velmaro: cannot copy " << ToUtf8(FCurrent) << ": " << text << "\n";
    };
    FHost.OnProgress = [this](std::u16string_view, std::u16string_view, int percent) {
      // An empty file reports -1: it is complete at once.
      const int shown = percent < 0 ? 100 : percent;
      if (shown != FShownPercent) FBar.Show(shown, 100, FLabel, shown);
      FShownPercent = shown;
      return Interrupted != 0;
    };
  }
  ~TGet() {
    FBar.Finish();
    FHost.OnRequest = FPreviousRequest;
    FHost.OnProgress = nullptr;
  }
  TGet(const TGet&) = delete;
  TGet& operator=(const TGet&) = delete;

  TOutcome CopyEntry(const std::u16string& path, const fs::path& destination) {
    const auto entry = FindEntry(FHost, path);
    if (!entry) {
      std::cerr << "velmaro: no such entry: " << ToUtf8(path) << "\n";
      return TOutcome::Failed;
    }
    const std::u16string clean = JoinVirtual(SplitVirtual(path).Folder, entry->Name);
    return entry->IsFolder() ? CopyFolder(clean, entry->Name, destination) : CopyFile(clean, entry->Name, destination);
  }

 private:
  // A folder goes into a folder of its name: its files first, while its
  // listing is the latest, then its folders.
  TOutcome CopyFolder(const std::u16string& path, const std::u16string& name, const fs::path& destination) {
    const fs::path folder = destination / LocalPath(ToUtf8(name));
    std::error_code error;
    fs::create_directory(folder, error);
    if (error) {
      std::cerr << "velmaro: cannot create " << Utf8Path(folder) << ": " << error.message() << "\n";
      return TOutcome::Failed;
    }
    const TListing listing = FHost.List(path);
    TOutcome outcome = TOutcome::Done;
    for (const bool folders : {false, true}) {
      for (const TEntry& entry : listing.Entries) {
        if (entry.IsFolder() != folders) continue;
        const std::u16string child = JoinVirtual(path, entry.Name);
        const TOutcome one = folders ? CopyFolder(child, entry.Name, folder) : CopyFile(child, entry.Name, folder);
        if (one == TOutcome::Cancelled) return one;
        if (one == TOutcome::Failed) outcome = one;
      }
    }
    return outcome;
  }

  TOutcome CopyFile(const std::u16string& path, const std::u16string& name, const fs::path& destination) {
    if (Interrupted) return TOutcome::Cancelled;
    FCurrent = path;
    // The host proposes the entry's name; the plug-in keeps the real one.
    // Joined as text, as a host does: the entry's name may hold characters
    // a path would read as a separator or a drive ("z:/music/a.mp3").
    const std::optional<std::u16string> folder = PathText(destination);
    if (!folder) {
      FBar.Finish();
      ReportUnnamed(destination);
      return TOutcome::Failed;
    }
    std::u16string proposed = *folder;
    if (!proposed.empty() && proposed.back() != platform::DirDelim) proposed += platform::DirDelim;
    proposed += name;
    const auto real = FHost.LocalName(path);
    const std::string target = Utf8Path(destination / LocalPath(ToUtf8(real ? RealName(*real) : name)));
    FLabel = Utf8Path(LocalPath(target).filename());
    FShownPercent = -1;

    int result = FHost.GetFile(path, proposed, FOverwrite ? fsapi::FS_COPYFLAGS_OVERWRITE : 0);
    if (result == fsapi::FS_FILE_EXISTS) {
      FBar.Finish();
      if (!AskOverwrite(target)) {
        if (Interrupted) return TOutcome::Cancelled;
        std::cerr << "velmaro: skipped " << target << "\n";
        return TOutcome::Done;
      }
      result = FHost.GetFile(path, proposed, fsapi::FS_COPYFLAGS_OVERWRITE);
    }
    FBar.Finish();
    switch (result) {
      case fsapi::FS_FILE_OK: std::cout << ToUtf8(path) << " -> " << target << std::endl; return TOutcome::Done;
      case fsapi::FS_FILE_USERABORT: return TOutcome::Cancelled;
      case fsapi::FS_FILE_READERROR:
      case fsapi::FS_FILE_WRITEERROR: return TOutcome::Failed;  // the plug-in has said why
      default:
        std::cerr << "velmaro: cannot copy " << ToUtf8(path) << " (result " << result << ")\n";
        return TOutcome::Failed;
    }
  }

  // Asks on the terminal; no answer (end of input, Ctrl-C) is a no.
  static bool AskOverwrite(const std::string& target) {
    std::cerr << "velmaro: overwrite " << target << "? [y/N] " << std::flush;
    std::string answer;
    if (!std::getline(std::cin, answer)) {
      std::cin.clear();
      std::cerr << "\n";
      return false;
    }
    // An answer that did not come from the terminal did not echo there.
    if (!platform::IsTerminal(0)) std::cerr << answer << "\n";
    return !answer.empty() && (answer[0] == 'y' || answer[0] == 'Y');
  }

  THostHarness& FHost;
  bool FOverwrite;
  TProgressBar FBar;
  std::string FLabel;
  int FShownPercent = -1;
  std::u16string FCurrent;
  std::function<void(const TRequest&)> FPreviousRequest;
};

}  // namespace

int CommandGet(THostHarness& host, const TArgs& args) {
  bool overwrite = false;
  std::vector<std::string> paths;
  for (const std::string& arg : args) {
    if (arg == "--overwrite")
      overwrite = true;
    else
      paths.push_back(arg);
  }
  if (paths.size() < 2) {
    std::cerr << "usage: velmaro get [--overwrite] VPATH... DEST\n";
    return 2;
  }
  const fs::path destination = LocalPath(paths.back());
  paths.pop_back();
  std::error_code error;
  if (!fs::is_directory(destination, error)) {
    std::cerr << "velmaro: " << Utf8Path(destination) << " is not a folder\n";
    return 1;
  }
  if (!PathText(destination)) {
    ReportUnnamed(destination);
    return 1;
  }

  TInterruptHandler interrupt;
  TGet get(host, overwrite);
  int status = 0;
  for (const std::string& path : paths) {
    const TOutcome outcome = get.CopyEntry(FromUtf8(path), destination);
    if (outcome == TOutcome::Cancelled) {
      std::cerr << "velmaro: cancelled\n";
      return 130;
    }
    if (outcome == TOutcome::Failed) status = 1;
  }
  return status;
}

}  // namespace velmaro::host
