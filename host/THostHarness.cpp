#include "host/THostHarness.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "host/LocalPath.h"
#include "platform/Module.h"
#include "platform/Platform.h"
#include "platform/System.h"
#include "platform/Text.h"

#ifndef VELMARO_DEFAULT_PLUGIN
#define VELMARO_DEFAULT_PLUGIN "Melvanto.wfx"
#endif
// The plug-in's file name: Melvanto.wfx64 in the 64-bit Windows build.
#ifndef VELMARO_PLUGIN_FILE_NAME
#define VELMARO_PLUGIN_FILE_NAME "Melvanto.wfx"
#endif

namespace velmaro::host {

namespace fs = std::filesystem;

namespace {

THostHarness* CurrentHarness = nullptr;

std::u16string Text(const fsapi::TWChar* text) { return text ? std::u16string(text) : std::u16string(); }

template <class T>
void Resolve(void* module, const char* name, T& target) {
  target = reinterpret_cast<T>(platform::ModuleSymbol(module, name));
}

}  // namespace

std::u16string HostPath(std::u16string_view backslashed) {
  std::u16string path(backslashed);
  for (char16_t& c : path)
    if (c == u'\\') c = platform::PathDelim;
  return path;
}

std::u16string FromUtf8(std::string_view text) { return platform::Utf8ToUtf16(text); }
std::string ToUtf8(std::u16string_view text) { return platform::Utf16ToUtf8(text); }

std::string THostHarness::DefaultPluginPath() {
  if (const std::u16string env = platform::EnvironmentVariable("VELMARO_PLUGIN"); !env.empty())
    return platform::Utf16ToUtf8(env);
  std::error_code ec;
  const std::u16string program = platform::ExecutablePath();
  if (!program.empty()) {
    const fs::path self(program);
    const fs::path beside = self.parent_path() / VELMARO_PLUGIN_FILE_NAME;
    if (fs::exists(beside, ec)) return Utf8Path(beside);
    const fs::path installed =
        (self.parent_path() / ".." / "lib" / "velmaro" / VELMARO_PLUGIN_FILE_NAME).lexically_normal();
    if (fs::exists(installed, ec)) return Utf8Path(installed);
  }
  return VELMARO_DEFAULT_PLUGIN;
}

THostHarness::THostHarness(const std::string& pluginPath, bool freshCopy) : FPluginPath(pluginPath) {
  std::string path = pluginPath;
  if (freshCopy) {
    static std::atomic<int> counter{0};
    FCopyDir = Utf8Path(fs::temp_directory_path() / ("velmaro-host-" + std::to_string(platform::ProcessId()) + "-" +
                                                      std::to_string(counter++)));
    fs::create_directories(LocalPath(FCopyDir));
    path = Utf8Path(LocalPath(FCopyDir) / "Melvanto.wfx");
    fs::copy_file(LocalPath(pluginPath), LocalPath(path), fs::copy_options::overwrite_existing);
  }
  std::u16string why;
  FModule = platform::OpenModule(platform::Utf8ToUtf16(path), why);
  if (FModule == nullptr) throw std::runtime_error("cannot load " + pluginPath + ": " + platform::Utf16ToUtf8(why));
  Resolve(FModule, "FsInitW", FExports.FsInitW);
  Resolve(FModule, "FsFindFirstW", FExports.FsFindFirstW);
  Resolve(FModule, "FsFindNextW", FExports.FsFindNextW);
  Resolve(FModule, "FsFindClose", FExports.FsFindClose);
  Resolve(FModule, "FsGetDefRootName", FExports.FsGetDefRootName);
  Resolve(FModule, "FsSetDefaultParams", FExports.FsSetDefaultParams);
  Resolve(FModule, "FsStatusInfoW", FExports.FsStatusInfoW);
  Resolve(FModule, "FsLinksToLocalFiles", FExports.FsLinksToLocalFiles);
  Resolve(FModule, "FsGetBackgroundFlags", FExports.FsGetBackgroundFlags);
  Resolve(FModule, "FsGetLocalNameW", FExports.FsGetLocalNameW);
  Resolve(FModule, "FsGetFileW", FExports.FsGetFileW);
  Resolve(FModule, "FsPutFileW", FExports.FsPutFileW);
  Resolve(FModule, "FsDeleteFileW", FExports.FsDeleteFileW);
  Resolve(FModule, "FsMkDirW", FExports.FsMkDirW);
  Resolve(FModule, "FsRemoveDirW", FExports.FsRemoveDirW);
  Resolve(FModule, "FsExecuteFileW", FExports.FsExecuteFileW);
  Resolve(FModule, "FsGetPreviewBitmapW", FExports.FsGetPreviewBitmapW);
  Resolve(FModule, "FsContentGetSupportedField", FExports.FsContentGetSupportedField);
  Resolve(FModule, "FsContentGetValueW", FExports.FsContentGetValueW);
  Resolve(FModule, "FsContentGetDefaultViewW", FExports.FsContentGetDefaultViewW);
  if (!FExports.FsInitW || !FExports.FsFindFirstW || !FExports.FsFindNextW || !FExports.FsFindClose) {
    platform::CloseModule(FModule);
    throw std::runtime_error(pluginPath + " is not a file-system plug-in (FsInitW or listing exports missing)");
  }
  CurrentHarness = this;
}

THostHarness::~THostHarness() {
  if (FModule) platform::CloseModule(FModule);
  if (CurrentHarness == this) CurrentHarness = nullptr;
  if (!FCopyDir.empty()) {
    std::error_code ec;
    fs::remove_all(LocalPath(FCopyDir), ec);
  }
}

bool THostHarness::HasExport(const char* name) const { return platform::ModuleSymbol(FModule, name) != nullptr; }

std::string THostHarness::RootName(int maxlen) const {
  if (!FExports.FsGetDefRootName) return {};
  std::string buffer(static_cast<std::size_t>(std::max(maxlen, 1)), '\x7f');
  FExports.FsGetDefRootName(buffer.data(), maxlen);
  return std::string(buffer.c_str());
}

void THostHarness::Init(int pluginNr) {
  CurrentHarness = this;
  FExports.FsInitW(pluginNr, &ProgressCallback, &LogCallback, &RequestCallback);
}

void THostHarness::SetDefaultParams(const std::string& utf8Path) {
  if (!FExports.FsSetDefaultParams) return;
  fsapi::TDefaultParams params{};
  // A Windows host passes the name in the ANSI code page, a Linux one in
  // UTF-8; a name the code page cannot hold would name another file.
  std::string iniPath = utf8Path;
  // The plug-in reads the name as UTF-8 (a Windows host's is converted
  // below): a name that is not would come out as another file.
  if (!platform::IsWellFormedUtf8(utf8Path))
    throw std::runtime_error("the settings file path is not valid UTF-8: " + ShownBytes(utf8Path));
  if (platform::IsWindows) {
    const std::u16string wide = platform::Utf8ToUtf16(utf8Path);
    iniPath = platform::Utf16ToAnsi(wide);
    if (platform::AnsiToUtf16(iniPath) != wide)
      throw std::runtime_error("the settings file path cannot be passed in the system's code page: " + utf8Path);
  }
  if (iniPath.size() >= sizeof params.DefaultIniName)
    throw std::runtime_error("the settings file path is longer than a host can pass (" +
                             std::to_string(sizeof params.DefaultIniName - 1) + " bytes): " + iniPath);
  params.size = sizeof params;
  params.PluginInterfaceVersionLow = 30;
  params.PluginInterfaceVersionHi = 2;
  std::strncpy(params.DefaultIniName, iniPath.c_str(), sizeof params.DefaultIniName - 1);
  FExports.FsSetDefaultParams(&params);
}

void THostHarness::Start(const std::string& iniPath, int pluginNr) {
  RootName();
  Init(pluginNr);
  SetDefaultParams(iniPath);
}

std::vector<TRequest> THostHarness::Requests() const {
  std::lock_guard<std::mutex> guard(FRequestsLock);
  return FRequests;
}

void THostHarness::ClearRequests() {
  std::lock_guard<std::mutex> guard(FRequestsLock);
  FRequests.clear();
}

std::vector<TLogLine> THostHarness::LogLines() const {
  std::lock_guard<std::mutex> guard(FRequestsLock);
  return FLogLines;
}

void THostHarness::ClearLogLines() {
  std::lock_guard<std::mutex> guard(FRequestsLock);
  FLogLines.clear();
}

TListing THostHarness::List(std::u16string_view virtualPath) {
  std::vector<TEntry> entries;
  TListing listing = ListEach(virtualPath, [&entries](const TEntry& entry) { entries.push_back(entry); });
  listing.Entries = std::move(entries);
  return listing;
}

TListing THostHarness::ListEach(std::u16string_view virtualPath, const std::function<void(const TEntry&)>& onEntry) {
  TListing listing;
  std::u16string path(virtualPath);
  fsapi::TFindDataW data{};
  // The plug-in reports why a listing is empty through the thread's last
  // error: SetLastError on Windows; on POSIX the plug-in's own copy of the
  // platform layer keeps it, and errno carries it out.
  errno = 0;
  platform::SetLastError(0);
  fsapi::THandle handle = FExports.FsFindFirstW(path.data(), &data);
  if (handle == fsapi::InvalidHandleValue) {
    listing.LastError = platform::IsWindows ? platform::GetLastError() : static_cast<std::uint32_t>(errno);
    return listing;
  }
  listing.Ok = true;
  // The handle is closed whatever onEntry throws.
  struct TCloser {
    const TExports& Exports;
    fsapi::THandle Handle;
    ~TCloser() { Exports.FsFindClose(Handle); }
  } closer{FExports, handle};
  do {
    onEntry(TEntry{Text(data.cFileName), data.dwFileAttributes});
    std::memset(&data, 0, sizeof data);
  } while (FExports.FsFindNextW(handle, &data));
  return listing;
}

int THostHarness::PutFile(std::u16string_view localPath, std::u16string_view remotePath, int copyFlags) {
  if (!FExports.FsPutFileW) throw std::runtime_error("the plug-in cannot take files (no FsPutFileW)");
  std::u16string local(localPath), remote(remotePath);
  return FExports.FsPutFileW(local.data(), remote.data(), copyFlags);
}

bool THostHarness::DeleteFile(std::u16string_view remotePath) {
  if (!FExports.FsDeleteFileW) throw std::runtime_error("the plug-in cannot delete entries (no FsDeleteFileW)");
  std::u16string remote(remotePath);
  return FExports.FsDeleteFileW(remote.data()) != 0;
}

std::optional<std::u16string> THostHarness::LocalName(std::u16string_view virtualPath, int maxlen) {
  if (!FExports.FsGetLocalNameW) throw std::runtime_error("the plug-in gives no local names (no FsGetLocalNameW)");
  std::u16string buffer(virtualPath);
  buffer.resize(static_cast<std::size_t>(std::max<int>(maxlen, static_cast<int>(buffer.size()) + 1)), u'\0');
  if (!FExports.FsGetLocalNameW(buffer.data(), maxlen)) return std::nullopt;
  return Text(buffer.c_str());
}

int THostHarness::GetFile(std::u16string_view virtualPath, std::u16string_view localName, int copyFlags) {
  if (!FExports.FsGetFileW) throw std::runtime_error("the plug-in cannot copy entries out (no FsGetFileW)");
  std::u16string remote(virtualPath), local(localName);
  return FExports.FsGetFileW(remote.data(), local.data(), copyFlags, nullptr);
}

int THostHarness::PreviewBitmap(std::u16string_view virtualPath, std::u16string& returnedName) {
  if (!FExports.FsGetPreviewBitmapW) throw std::runtime_error("the plug-in gives no previews (no FsGetPreviewBitmapW)");
  // The host's buffer holds MAX_PATH characters.
  std::u16string buffer(virtualPath.substr(0, fsapi::MaxPath - 1));
  buffer.resize(fsapi::MaxPath, u'\0');
  fsapi::TBitmapHandle bitmap = reinterpret_cast<fsapi::TBitmapHandle>(1);
  const int result = FExports.FsGetPreviewBitmapW(buffer.data(), 64, 64, &bitmap);
  if (bitmap != nullptr) throw std::runtime_error("the plug-in returned a bitmap handle");
  returnedName = Text(buffer.c_str());
  return result;
}

std::vector<TContentField> THostHarness::SupportedFields() {
  std::vector<TContentField> fields;
  if (!FExports.FsContentGetSupportedField) return fields;
  for (int index = 0;; ++index) {
    char name[256] = {}, units[256] = {};
    const int type = FExports.FsContentGetSupportedField(index, name, units, sizeof name);
    if (type == fsapi::ft_nomorefields) break;
    fields.push_back({index, name, type});
  }
  return fields;
}

TColumnValue THostHarness::ColumnValue(std::u16string_view virtualPath, int fieldIndex, int maxlen) {
  TColumnValue value;
  if (!FExports.FsContentGetValueW) return value;
  std::u16string path(virtualPath);
  std::vector<unsigned char> buffer(static_cast<std::size_t>(std::max(maxlen, 0)) + sizeof(char16_t), 0);
  value.Type = FExports.FsContentGetValueW(path.data(), fieldIndex, 0, buffer.data(), maxlen, 0);
  // The text of a floating-point value follows its 8-byte number.
  std::size_t offset = 0;
  if (value.Type == fsapi::ft_numeric_floating && buffer.size() >= sizeof(double)) {
    std::memcpy(&value.Number, buffer.data(), sizeof(double));
    offset = sizeof(double);
  } else if (value.Type != fsapi::ft_stringw) {
    return value;
  }
  for (std::size_t i = offset; i + 1 < buffer.size(); i += 2) {
    char16_t c;
    std::memcpy(&c, buffer.data() + i, sizeof c);
    if (c == 0) break;
    value.Text += c;
  }
  return value;
}

std::optional<TDefaultView> THostHarness::DefaultView(int maxlen) {
  if (!FExports.FsContentGetDefaultViewW) return std::nullopt;
  const auto size = static_cast<std::size_t>(std::max(maxlen, 1));
  std::u16string contents(size, u'\0'), headers(size, u'\0'), widths(size, u'\0'), options(size, u'\0');
  if (!FExports.FsContentGetDefaultViewW(contents.data(), headers.data(), widths.data(), options.data(), maxlen))
    return std::nullopt;
  return TDefaultView{Text(contents.c_str()), Text(headers.c_str()), Text(widths.c_str()), Text(options.c_str())};
}

bool THostHarness::MakeDirectory(std::u16string_view remotePath) {
  if (!FExports.FsMkDirW) return false;
  std::u16string remote(remotePath);
  return FExports.FsMkDirW(remote.data()) != 0;
}

bool THostHarness::RemoveDirectory(std::u16string_view remotePath) {
  if (!FExports.FsRemoveDirW) return false;
  std::u16string remote(remotePath);
  return FExports.FsRemoveDirW(remote.data()) != 0;
}

int THostHarness::Execute(std::u16string_view virtualPath, std::u16string_view verb) {
  if (!FExports.FsExecuteFileW) throw std::runtime_error("the plug-in cannot execute entries (no FsExecuteFileW)");
  std::u16string remote(virtualPath), action(verb);
  return FExports.FsExecuteFileW(nullptr, remote.data(), action.data());
}

void THostHarness::StatusInfo(std::u16string_view remoteDir, int startEnd, int operation) {
  if (!FExports.FsStatusInfoW) return;
  std::u16string dir(remoteDir);
  FExports.FsStatusInfoW(dir.data(), startEnd, operation);
}

int VELMARO_CALL THostHarness::ProgressCallback(int, fsapi::TWChar* source, fsapi::TWChar* target, int percent) {
  THostHarness* self = CurrentHarness;
  if (self && self->OnProgress) return self->OnProgress(Text(source), Text(target), percent) ? 1 : 0;
  return 0;
}

void VELMARO_CALL THostHarness::LogCallback(int pluginNr, int msgType, fsapi::TWChar* text) {
  THostHarness* self = CurrentHarness;
  if (!self) return;
  TLogLine line{pluginNr, msgType, Text(text)};
  if (self->KeepLogLines) {
    std::lock_guard<std::mutex> guard(self->FRequestsLock);
    self->FLogLines.push_back(line);
  }
  if (self->OnLog) self->OnLog(line);
}

int VELMARO_CALL THostHarness::RequestCallback(int pluginNr, int requestType, fsapi::TWChar* title,
                                               fsapi::TWChar* text, fsapi::TWChar*, int) {
  THostHarness* self = CurrentHarness;
  if (!self) return 0;
  TRequest request{pluginNr, requestType, Text(title), Text(text)};
  {
    std::lock_guard<std::mutex> guard(self->FRequestsLock);
    self->FRequests.push_back(request);
  }
  if (requestType == fsapi::RT_MsgYesNo) return self->OnQuestion && self->OnQuestion(request) ? 1 : 0;
  if (self->OnRequest) self->OnRequest(request);
  return 1;
}

}  // namespace velmaro::host
