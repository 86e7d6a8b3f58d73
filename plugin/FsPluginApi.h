// The host's published file-system plug-in interface: callback types,
// records and constants, as the host defines them. Shared by the plug-in
// and by our host harness.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/Platform.h"

namespace velmaro::fsapi {

using TWChar = char16_t;  // the host's UTF-16 unit (WCHAR)
using THandle = void*;    // pointer-sized, as HANDLE
using THwnd = void*;
using TBitmapHandle = void*;

inline const THandle InvalidHandleValue = reinterpret_cast<THandle>(static_cast<std::intptr_t>(-1));

struct TFileTime {
  std::uint32_t dwLowDateTime;
  std::uint32_t dwHighDateTime;
};

// WIN32_FIND_DATAW, 592 bytes. The Linux host passes a larger record of
// which this layout is the prefix: never write past it.
struct TFindDataW {
  std::uint32_t dwFileAttributes;
  TFileTime ftCreationTime;
  TFileTime ftLastAccessTime;
  TFileTime ftLastWriteTime;
  std::uint32_t nFileSizeHigh;
  std::uint32_t nFileSizeLow;
  std::uint32_t dwReserved0;
  std::uint32_t dwReserved1;
  TWChar cFileName[260];
  TWChar cAlternateFileName[14];
};
static_assert(sizeof(TFindDataW) == 592, "find record layout");
static_assert(offsetof(TFindDataW, ftCreationTime) == 4);
static_assert(offsetof(TFindDataW, ftLastWriteTime) == 20);
static_assert(offsetof(TFindDataW, nFileSizeHigh) == 28);
static_assert(offsetof(TFindDataW, cFileName) == 44);
static_assert(offsetof(TFindDataW, cAlternateFileName) == 564);

// The 8-bit find record of the old interface; only passed through.
struct TFindDataA;

inline constexpr int MaxPath = 260;

// FsDefaultParamStruct.
struct TDefaultParams {
  std::int32_t size;
  std::uint32_t PluginInterfaceVersionLow;
  std::uint32_t PluginInterfaceVersionHi;
  char DefaultIniName[MaxPath];
};

inline constexpr std::uint32_t FileAttributeDirectory = 16;
inline constexpr std::uint32_t FileAttributeNormal = 128;

// File results.
inline constexpr int FS_FILE_OK = 0;
inline constexpr int FS_FILE_EXISTS = 1;
inline constexpr int FS_FILE_NOTFOUND = 2;
inline constexpr int FS_FILE_READERROR = 3;
inline constexpr int FS_FILE_WRITEERROR = 4;
inline constexpr int FS_FILE_USERABORT = 5;
inline constexpr int FS_FILE_NOTSUPPORTED = 6;
inline constexpr int FS_FILE_EXISTSRESUMEALLOWED = 7;

inline constexpr int FS_EXEC_OK = 0;
inline constexpr int FS_EXEC_ERROR = 1;
inline constexpr int FS_EXEC_YOURSELF = -1;
inline constexpr int FS_EXEC_SYMLINK = -2;

inline constexpr int FS_COPYFLAGS_OVERWRITE = 1;
inline constexpr int FS_COPYFLAGS_RESUME = 2;
inline constexpr int FS_COPYFLAGS_MOVE = 4;

// FsStatusInfo.
inline constexpr int FS_STATUS_START = 0;
inline constexpr int FS_STATUS_END = 1;
inline constexpr int FS_STATUS_OP_LIST = 1;
inline constexpr int FS_STATUS_OP_GET_SINGLE = 2;
inline constexpr int FS_STATUS_OP_GET_MULTI = 3;
inline constexpr int FS_STATUS_OP_PUT_SINGLE = 4;
inline constexpr int FS_STATUS_OP_PUT_MULTI = 5;
inline constexpr int FS_STATUS_OP_RENMOV_SINGLE = 6;
inline constexpr int FS_STATUS_OP_RENMOV_MULTI = 7;
inline constexpr int FS_STATUS_OP_DELETE = 8;
// A copy out of or into the panel on one of the host's worker threads.
inline constexpr int FS_STATUS_OP_GET_MULTI_THREAD = 19;
inline constexpr int FS_STATUS_OP_PUT_MULTI_THREAD = 20;

// FsGetBackgroundFlags: which copies the host may run on worker threads.
inline constexpr int BG_DOWNLOAD = 1;
inline constexpr int BG_UPLOAD = 2;
inline constexpr int BG_ASK_USER = 4;

// Request types.
inline constexpr int RT_MsgOK = 8;
inline constexpr int RT_MsgYesNo = 9;

// Log message types.
inline constexpr int MSGTYPE_DETAILS = 3;

// Preview results.
inline constexpr int FS_BITMAP_NONE = 0;
inline constexpr int FS_BITMAP_EXTRACT_YOURSELF = 2;

// Custom-column field types and results.
inline constexpr int ft_nomorefields = 0;
inline constexpr int ft_numeric_floating = 3;
inline constexpr int ft_stringw = 11;
inline constexpr int ft_fieldempty = -3;

// Callbacks.
extern "C" {
typedef int(VELMARO_CALL* tProgressProcW)(int PluginNr, TWChar* SourceName, TWChar* TargetName, int PercentDone);
typedef void(VELMARO_CALL* tLogProcW)(int PluginNr, int MsgType, TWChar* LogString);
typedef int(VELMARO_CALL* tRequestProcW)(int PluginNr, int RequestType, TWChar* CustomTitle, TWChar* CustomText,
                                         TWChar* ReturnedText, int maxlen);
typedef int(VELMARO_CALL* tProgressProc)(int PluginNr, char* SourceName, char* TargetName, int PercentDone);
typedef void(VELMARO_CALL* tLogProc)(int PluginNr, int MsgType, char* LogString);
typedef int(VELMARO_CALL* tRequestProc)(int PluginNr, int RequestType, char* CustomTitle, char* CustomText,
                                        char* ReturnedText, int maxlen);
}

}  // namespace velmaro::fsapi
