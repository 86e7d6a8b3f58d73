// Our side of the host: loads Melvanto.wfx and drives its exports exactly
// as a two-panel file manager does (root name, FsInitW with callbacks,
// FsSetDefaultParams with an ini path, listings, batches).
//
// The host's callbacks carry no user data, so one harness at a time is
// the current one that receives them.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "plugin/FsPluginApi.h"

namespace velmaro::host {

// The plug-in's exports, resolved by name; a missing one is null.
struct TExports {
  int(VELMARO_CALL* FsInitW)(int, fsapi::tProgressProcW, fsapi::tLogProcW, fsapi::tRequestProcW) = nullptr;
  fsapi::THandle(VELMARO_CALL* FsFindFirstW)(fsapi::TWChar*, fsapi::TFindDataW*) = nullptr;
  int(VELMARO_CALL* FsFindNextW)(fsapi::THandle, fsapi::TFindDataW*) = nullptr;
  int(VELMARO_CALL* FsFindClose)(fsapi::THandle) = nullptr;
  void(VELMARO_CALL* FsGetDefRootName)(char*, int) = nullptr;
  void(VELMARO_CALL* FsSetDefaultParams)(fsapi::TDefaultParams*) = nullptr;
  void(VELMARO_CALL* FsStatusInfoW)(fsapi::TWChar*, int, int) = nullptr;
  int(VELMARO_CALL* FsLinksToLocalFiles)() = nullptr;
  int(VELMARO_CALL* FsGetBackgroundFlags)() = nullptr;
  int(VELMARO_CALL* FsGetLocalNameW)(fsapi::TWChar*, int) = nullptr;
  int(VELMARO_CALL* FsGetFileW)(fsapi::TWChar*, fsapi::TWChar*, int, void*) = nullptr;
  int(VELMARO_CALL* FsPutFileW)(fsapi::TWChar*, fsapi::TWChar*, int) = nullptr;
  int(VELMARO_CALL* FsDeleteFileW)(fsapi::TWChar*) = nullptr;
  int(VELMARO_CALL* FsMkDirW)(fsapi::TWChar*) = nullptr;
  int(VELMARO_CALL* FsRemoveDirW)(fsapi::TWChar*) = nullptr;
  int(VELMARO_CALL* FsExecuteFileW)(fsapi::THwnd, fsapi::TWChar*, fsapi::TWChar*) = nullptr;
  int(VELMARO_CALL* FsGetPreviewBitmapW)(fsapi::TWChar*, int, int, fsapi::TBitmapHandle*) = nullptr;
  int(VELMARO_CALL* FsContentGetSupportedField)(int, char*, char*, int) = nullptr;
  int(VELMARO_CALL* FsContentGetValueW)(fsapi::TWChar*, int, int, void*, int, int) = nullptr;
  int(VELMARO_CALL* FsContentGetDefaultViewW)(fsapi::TWChar*, fsapi::TWChar*, fsapi::TWChar*, fsapi::TWChar*,
                                               int) = nullptr;
};

struct TEntry {
  std::u16string Name;
  std::uint32_t Attributes = 0;
  bool IsFolder() const { return (Attributes & fsapi::FileAttributeDirectory) != 0; }
};

struct TListing {
  bool Ok = false;              // FsFindFirstW gave a first entry
  std::uint32_t LastError = 0;  // the thread's last error after a failed FsFindFirstW
  std::vector<TEntry> Entries;
};

struct TRequest {
  int PluginNr;
  int RequestType;
  std::u16string Title;
  std::u16string Text;
};

// A line the plug-in wrote into the host's log.
struct TLogLine {
  int PluginNr;
  int MsgType;
  std::u16string Text;
};

// A custom-column field as FsContentGetSupportedField describes it.
struct TContentField {
  int Index = 0;
  std::string Name;
  int Type = 0;
};

// A custom-column value: the plug-in's result (a field type, or
// ft_fieldempty), its text, and for a floating-point field its number.
struct TColumnValue {
  int Type = fsapi::ft_fieldempty;
  std::u16string Text;
  double Number = 0;
};

// The four texts of FsContentGetDefaultViewW.
struct TDefaultView {
  std::u16string Contents, Headers, Widths, Options;
};

class THostHarness {
 public:
  // Loads the plug-in. With freshCopy, loads a private copy of the file so
  // that the process gets a plug-in with fresh state even if it loaded
  // the same plug-in before. Throws std::runtime_error on failure.
  explicit THostHarness(const std::string& pluginPath, bool freshCopy = false);
  ~THostHarness();
  THostHarness(const THostHarness&) = delete;
  THostHarness& operator=(const THostHarness&) = delete;

  // The default plug-in: $VELMARO_PLUGIN, else Melvanto.wfx beside the
  // running program, else ../lib/velmaro/Melvanto.wfx from it (the layout
  // of an installed package), else the one this build made.
  static std::string DefaultPluginPath();
  // The plug-in file as given to the constructor (not a fresh copy).
  const std::string& PluginPath() const { return FPluginPath; }

  const TExports& Exports() const { return FExports; }
  // The names of the symbols the module exports, as a host could see them.
  bool HasExport(const char* name) const;

  // Root name, FsInitW, FsSetDefaultParams: the host's start-up.
  void Start(const std::string& iniPath, int pluginNr = 1);
  std::string RootName(int maxlen = 260) const;
  void Init(int pluginNr = 1);
  // Throws std::runtime_error for a path longer than the record's 259
  // bytes: cut short, it would name another file.
  void SetDefaultParams(const std::string& iniPath);

  // Lists one folder completely (first, next until false, close).
  TListing List(std::u16string_view virtualPath);
  // Lists one folder entry by entry: onEntry gets each entry as the
  // plug-in gives it, and nothing is kept (the result has no Entries).
  // No other listing may start before this one has returned.
  TListing ListEach(std::u16string_view virtualPath, const std::function<void(const TEntry&)>& onEntry);

  // Copies one local file into the panel at remotePath (FsPutFileW).
  int PutFile(std::u16string_view localPath, std::u16string_view remotePath, int copyFlags = 0);
  // Deletes one entry (FsDeleteFileW); true when the plug-in says so.
  bool DeleteFile(std::u16string_view remotePath);
  // Creates a folder in the panel before files are copied into it, and
  // removes one after its entries, as the Linux host does; true when the
  // plug-in agrees (a plug-in without these exports refuses).
  bool MakeDirectory(std::u16string_view remotePath);
  bool RemoveDirectory(std::u16string_view remotePath);

  // The real path behind an entry (FsGetLocalNameW with a buffer of maxlen
  // characters); nullopt when the plug-in answers false.
  std::optional<std::u16string> LocalName(std::u16string_view virtualPath, int maxlen = 4096);
  // Copies an entry out (FsGetFileW); the plug-in's file result code.
  int GetFile(std::u16string_view virtualPath, std::u16string_view localName, int copyFlags = 0);
  // FsGetPreviewBitmapW: its result, and the name it leaves in the buffer.
  int PreviewBitmap(std::u16string_view virtualPath, std::u16string& returnedName);
  // The custom-column fields the plug-in offers, in index order.
  std::vector<TContentField> SupportedFields();
  // One custom-column value of an entry, asked with a buffer of maxlen bytes.
  TColumnValue ColumnValue(std::u16string_view virtualPath, int fieldIndex, int maxlen = 1024);
  // The plug-in's default column view; nullopt when it has none.
  std::optional<TDefaultView> DefaultView(int maxlen = 1024);

  // Executes an entry with a verb (FsExecuteFileW, no main window); the
  // plug-in's result. Throws when the plug-in has no such export.
  int Execute(std::u16string_view virtualPath, std::u16string_view verb);

  // A batch as the host brackets it.
  void StatusInfo(std::u16string_view remoteDir, int startEnd, int operation);

  // What the plug-in asked the host to show (the plug-in may ask from any
  // thread that calls it).
  std::vector<TRequest> Requests() const;
  void ClearRequests();
  // Called for every request as well (the velmaro command prints them).
  std::function<void(const TRequest&)> OnRequest;
  // What the plug-in wrote into the host's log, in order.
  std::vector<TLogLine> LogLines() const;
  void ClearLogLines();
  // Called for every log line as well.
  std::function<void(const TLogLine&)> OnLog;
  // False: log lines only go to OnLog, and LogLines() stays empty (a long
  // copy into the panel that keeps no memory of every line).
  bool KeepLogLines = true;
  // Answers a question of the plug-in (a Yes/No request): true for Yes.
  // Without it every question is answered No.
  std::function<bool(const TRequest&)> OnQuestion;
  // Answers to the progress callback: return true to abort.
  std::function<bool(std::u16string_view source, std::u16string_view target, int percent)> OnProgress;

 private:
  static int VELMARO_CALL ProgressCallback(int, fsapi::TWChar*, fsapi::TWChar*, int);
  static void VELMARO_CALL LogCallback(int, int, fsapi::TWChar*);
  static int VELMARO_CALL RequestCallback(int, int, fsapi::TWChar*, fsapi::TWChar*, fsapi::TWChar*, int);

  void* FModule = nullptr;
  std::string FPluginPath;
  std::string FCopyDir;
  TExports FExports;
  mutable std::mutex FRequestsLock;
  std::vector<TRequest> FRequests;
  std::vector<TLogLine> FLogLines;  // guarded by FRequestsLock
};

// A virtual path written with backslashes, in the platform's delimiter.
std::u16string HostPath(std::u16string_view backslashed);

// UTF-8 <-> UTF-16 for the command line.
std::u16string FromUtf8(std::string_view text);
std::string ToUtf8(std::u16string_view text);

}  // namespace velmaro::host
