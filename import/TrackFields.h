// One audio file's values as the import writes them into its row.
#pragma once

#include <cstdint>
#include <string>

namespace velmaro::import {

// Every field is the text written into the column of the same name,
// except mf_filetype.
struct TTrackFields {
  std::u16string mf_artist, mf_title, mf_album, mf_year, mf_genre, mf_comment;
  std::u16string mf_length, mf_bitrate, mf_samplerate, mf_trackno, mf_hasimage;
  std::u16string mf_channelsmode, mf_mpegversion, mf_mpeglayer;
  std::int32_t mf_filetype = -1;
  std::u16string mf_filesize, mf_timeadded;
};

// Format codes of mf_filetype.
inline constexpr std::int32_t FileTypeMP3 = 0;
inline constexpr std::int32_t FileTypeFLAC = 1;
inline constexpr std::int32_t FileTypeOgg = 2;
inline constexpr std::int32_t FileTypeWMA = 3;
inline constexpr std::int32_t FileTypeMP4 = 4;
inline constexpr std::int32_t FileTypeOpus = 5;

// Why a file gives no row.
enum class TSkipReason {
  None,
  NoFile,            // there is no such file
  UnknownExtension,  // no format is tried for its extension
  Unreadable,        // it cannot be opened
  Empty,             // it holds no bytes
  NotAudio,          // the reader of its extension does not take it
  TooShort,          // its play time is 0.1 s or less
  Channels,          // a channel count the reader does not take
  ReadError,         // a reader failed on it
  CaseTwin,          // the library holds another file whose path differs only in letter case
};

}  // namespace velmaro::import
