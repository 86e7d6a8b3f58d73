// velmaro put [--to VPATH] PATH...: copies files into the panel as a host
// does. A folder is copied with everything below it; more than one file
// is announced to the plug-in as one batch. A file the library does not
// take is listed with the reason the plug-in wrote into the host's log;
// names are shown as ls shows them, one per line. A file whose name the
// plug-in cannot be given (not UTF-8) is listed as failed, and the others
// go on.
#include <algorithm>
#include <filesystem>
#include <iostream>
#include <functional>
#include <optional>

#include "host/Commands.h"
#include "host/LocalPath.h"
#include "host/LongListing.h"
#include "host/TProgressBar.h"
#include "platform/Platform.h"

namespace velmaro::host {

namespace fs = std::filesystem;

namespace {

struct TPutItem {
  fs::path Local;
  std::u16string LocalText;  // the path as the plug-in is given it
  std::u16string Remote;
  bool IsFolder = false;  // created in the panel before what it holds
};

// The reason in a log line "Skipped PATH: REASON" (no reason holds ": "),
// empty for any other line.
std::string SkipReason(const TLogLine& line) {
  if (line.MsgType != fsapi::MSGTYPE_DETAILS || line.Text.rfind(u"Skipped ", 0) != 0) return {};
  const std::size_t colon = line.Text.rfind(u": ");
  return colon == std::u16string::npos ? std::string() : ToUtf8(line.Text.substr(colon + 2));
}

// How many tracks a message of the plug-in says were not recorded ("...: 3
// tracks were not recorded, ..."), 0 when it says no such thing.
std::size_t NotRecordedCount(std::u16string_view text) {
  std::size_t at = text.find(u" tracks were not recorded");
  if (at == std::u16string_view::npos) at = text.find(u" track was not recorded");
  if (at == std::u16string_view::npos) return 0;
  std::size_t count = 0, scale = 1;
  for (; at > 0 && text[at - 1] >= u'0' && text[at - 1] <= u'9'; --at, scale *= 10)
    count += static_cast<std::size_t>(text[at - 1] - u'0') * scale;
  return count;
}

// The remote name of a local file below a folder that is copied to target.
std::u16string RemoteBelow(const std::u16string& target, const fs::path& relative) {
  std::u16string remote = target;
  for (const fs::path& part : relative) remote = JoinVirtual(remote, part.u16string());
  return remote;
}

}  // namespace

int CommandPut(THostHarness& host, const TArgs& args) {
  std::u16string target(1, platform::PathDelim);
  std::vector<std::string> paths;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--to" && i + 1 < args.size())
      target = FromUtf8(args[++i]);
    else
      paths.push_back(args[i]);
  }
  if (paths.empty()) {
    std::cerr << "velmaro put: no files given\n";
    return 2;
  }

  int status = 0;
  std::vector<TPutItem> items;
  std::vector<fs::path> unnamed;  // files whose names the plug-in cannot be given
  for (const std::string& argument : paths) {
    std::error_code ec;
    const fs::path local = fs::absolute(LocalPath(argument), ec).lexically_normal();
    if (fs::is_directory(local, ec)) {
      const fs::path base = local.has_filename() ? local : local.parent_path();
      // The folder and every folder below it come before their files, as a
      // host creates each folder in the panel before it copies into it.
      std::vector<std::pair<fs::path, bool>> found = {{base, true}};
      for (fs::recursive_directory_iterator it(base, fs::directory_options::skip_permission_denied, ec), end;
           !ec && it != end; it.increment(ec)) {
        std::error_code kindError;
        if (it->is_directory(kindError))
          found.emplace_back(it->path(), true);
        else if (it->is_regular_file(kindError))
          found.emplace_back(it->path(), false);
      }
      std::sort(found.begin(), found.end());
      for (const auto& [path, isFolder] : found) {
        // Below a folder of such a name every file is one too, and listed.
        const std::optional<std::u16string> text = PathText(path);
        if (!text) {
          if (!isFolder) unnamed.push_back(path);
          continue;
        }
        items.push_back({path, *text, RemoteBelow(target, path.lexically_relative(base.parent_path())), isFolder});
      }
    } else if (fs::is_regular_file(local, ec)) {
      if (const std::optional<std::u16string> text = PathText(local))
        items.push_back({local, *text, JoinVirtual(target, local.filename().u16string())});
      else
        unnamed.push_back(local);
    } else {
      std::cerr << "velmaro put: " << argument << ": no such file or folder\n";
      status = 1;
    }
  }
  const std::size_t handed = static_cast<std::size_t>(
      std::count_if(items.begin(), items.end(), [](const TPutItem& item) { return !item.IsFolder; }));
  const std::size_t files = handed + unnamed.size();
  if (files == 0 && items.empty()) return status;

  const bool batch = handed > 1;
  // Each file's outcome comes from the plug-in as the file is copied: a
  // failure result, or a log line "Skipped PATH: REASON" written during its
  // FsPutFileW; a file that neither fails nor is skipped became a row.
  // Nothing of the log is kept beyond the file in hand.
  std::string reason;      // the skip reason logged during the current file
  bool skippedNow = false;
  host.KeepLogLines = false;
  const auto previousOnLog = host.OnLog;
  host.OnLog = [&](const TLogLine& line) {
    if (previousOnLog) previousOnLog(line);
    if (line.MsgType != fsapi::MSGTYPE_DETAILS || line.Text.rfind(u"Skipped ", 0) != 0) return;
    skippedNow = true;
    reason = SkipReason(line);
  };
  // A message the plug-in shows while a batch is open says that the
  // library file could not take its changes, and how many recorded tracks
  // were undone with them.
  std::size_t requests = 0, undone = 0;
  const auto previousOnRequest = host.OnRequest;
  host.OnRequest = [&](const TRequest& request) {
    ++requests;
    undone += NotRecordedCount(request.Text);
    if (previousOnRequest) previousOnRequest(request);
  };
  struct TRestore {
    THostHarness& Host;
    std::function<void(const TLogLine&)> Log;
    std::function<void(const TRequest&)> Request;
    ~TRestore() {
      Host.OnLog = Log;
      Host.OnRequest = Request;
      Host.KeepLogLines = true;
    }
  } restore{host, previousOnLog, previousOnRequest};

  if (batch) host.StatusInfo(target, fsapi::FS_STATUS_START, fsapi::FS_STATUS_OP_PUT_MULTI);
  TProgressBar progress;
  std::vector<std::string> failed;
  // The first skipped files with their reasons, and how many there were.
  constexpr std::size_t Shown = 10;
  std::vector<std::pair<std::string, std::string>> skipped;
  std::size_t skippedCount = 0;
  std::size_t rows = 0;
  std::size_t done = 0;
  for (const TPutItem& item : items) {
    if (item.IsFolder) {
      if (!host.MakeDirectory(item.Remote)) {
        progress.Finish();
        std::cerr << "velmaro put: cannot create the folder " << ToUtf8(item.Remote) << " in the panel\n";
        status = 1;
      }
      continue;
    }
    progress.Show(static_cast<long long>(done), static_cast<long long>(handed), Utf8Path(item.Local.filename()));
    skippedNow = false;
    reason.clear();
    if (host.PutFile(item.LocalText, item.Remote) != fsapi::FS_FILE_OK) {
      failed.push_back(Utf8Path(item.Local));
    } else if (skippedNow) {
      // A line without a reason still skipped the file for this.
      if (++skippedCount <= Shown)
        skipped.emplace_back(Utf8Path(item.Local), reason.empty() ? "not audio the library takes" : reason);
    } else {
      ++rows;
    }
    ++done;
  }
  progress.Show(static_cast<long long>(handed), static_cast<long long>(handed), "");

  // Inside a batch the rows are only in the library file once the plug-in
  // has committed it: whatever it says while the batch ends is its
  // failure to do so, and a part of the batch it undid earlier is lost too.
  bool lost = undone > 0;
  if (batch) {
    const std::size_t before = requests;
    host.StatusInfo(target, fsapi::FS_STATUS_END, fsapi::FS_STATUS_OP_PUT_MULTI);
    lost = lost || requests != before;
  }
  progress.Finish();
  // A message that gives no count loses every row of the batch.
  const std::size_t notReached = undone > 0 ? std::min(undone, rows) : rows;

  const auto listUnnamed = [&unnamed] {
    for (const fs::path& path : unnamed) std::cout << "  failed: " << ShownPath(path) << ": " << NotTextReason << "\n";
  };
  if (lost) {
    std::cout << "put " << files << (files == 1 ? " file: " : " files: ") << "the library file could not be written, "
              << notReached << (notReached == 1 ? " row" : " rows") << " did not reach it\n";
    listUnnamed();
    return 1;
  }
  std::cout << "put " << files << (files == 1 ? " file: " : " files: ") << rows << " recorded in the library";
  if (skippedCount > 0) std::cout << ", " << skippedCount << " skipped";
  if (!failed.empty() || !unnamed.empty()) std::cout << ", " << failed.size() + unnamed.size() << " failed";
  std::cout << "\n";
  for (const auto& [path, why] : skipped) std::cout << "  skipped: " << ShownText(FromUtf8(path)) << ": " << why << "\n";
  if (skippedCount > Shown) std::cout << "  ... and " << skippedCount - Shown << " more skipped\n";
  listUnnamed();
  for (const std::string& path : failed) std::cout << "  failed: " << ShownText(FromUtf8(path)) << "\n";
  return failed.empty() && unnamed.empty() ? status : 1;
}

}  // namespace velmaro::host
