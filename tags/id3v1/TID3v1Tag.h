// The 128-byte ID3v1 / ID3v1.1 tag at the end of a file, with the
// Lyrics3 version 2 block in front of it, whose extended album, artist
// and title fields replace the short ones they extend.
//
// One object per file: create, LoadFromFile, read the fields, free. The
// file is only read.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tags/common/TStream.h"

namespace velmaro::tags {

// One field of a Lyrics3 version 2 block: its 3-character ID and its data,
// one character per byte.
struct TID3LyricsFrame {
  std::u16string ID;
  std::u16string Data;
};

class TID3v1Tag {
 public:
  // Results of LoadFromFile and LoadFromStream.
  static constexpr int ResultOk = 0;
  static constexpr int ResultFileNotFound = 3;
  static constexpr int ResultReadError = 4;  // the fields are cleared
  static constexpr int ResultNoTag = 0xFFFF;  // also: the file could not be opened

  static constexpr std::size_t TagSize = 128;

  // Library-wide defaults, copied into every new object. The import
  // switches ReturnANSIText on once at start-up.
  static void SetDefaultTrimText(bool on);
  static void SetDefaultTreatUnknownGenresAsOther(bool on);
  static void SetDefaultReturnANSIText(bool on);
  static bool DefaultTrimText();
  static bool DefaultTreatUnknownGenresAsOther();
  static bool DefaultReturnANSIText();

  TID3v1Tag();

  int LoadFromFile(std::u16string_view fileName);
  // Reads the tag at the end of the stream (tests, fuzzers, memory).
  int LoadFromStream(TStream& stream);

  bool Loaded() const { return FLoaded; }
  const std::u16string& SourceFileName() const { return FSourceFileName; }
  // The size of the file (the stream) the tag was read from.
  std::int64_t FileSize() const { return FFileSize; }
  // An ID3v1.1 tag: the comment ends in a zero byte and a track number.
  bool Revision1() const { return FRevision1; }

  const std::u16string& Title() const { return FTitle; }
  const std::u16string& Artist() const { return FArtist; }
  const std::u16string& Album() const { return FAlbum; }
  const std::u16string& Year() const { return FYear; }
  const std::u16string& Comment() const { return FComment; }
  std::uint8_t Track() const { return FTrack; }
  const std::u16string& TrackString() const { return FTrackString; }
  // The genre's name; "" for byte 255, the number as text for 192..254.
  const std::u16string& Genre() const { return FGenre; }

  // The Lyrics3 v2 block's size as its size field says, and its fields.
  std::int32_t LyricsTagSize() const { return FLyricsTagSize; }
  const std::vector<TID3LyricsFrame>& LyricsFrames() const { return FLyricsFrames; }
  bool LyricsHasTimeStamp() const { return FLyricsHasTimeStamp; }
  bool InhibitTracksForRandomSelection() const { return FInhibitTracksForRandomSelection; }

  // Per-object options, taken from the defaults at construction.
  void SetTrimText(bool on) { FTrimText = on; }
  bool TreatUnknownGenresAsOther() const { return FTreatUnknownGenresAsOther; }
  void SetTreatUnknownGenresAsOther(bool on) { FTreatUnknownGenresAsOther = on; }
  // Decode text with the system's 8-bit code page; off: byte = character.
  bool ReturnANSIText() const { return FReturnANSIText; }
  void SetReturnANSIText(bool on) { FReturnANSIText = on; }

 private:
  void Clear();
  int Read(TStream& stream);
  bool ReadLyrics3(TStream& stream);
  std::u16string DecodeText(std::string_view bytes) const;

  std::u16string FSourceFileName;
  bool FLoaded = false;
  std::int64_t FFileSize = 0;
  bool FRevision1 = false;
  std::u16string FTitle, FArtist, FAlbum, FYear, FComment, FTrackString, FGenre;
  std::uint8_t FTrack = 0;
  std::int32_t FLyricsTagSize = 0;
  std::vector<TID3LyricsFrame> FLyricsFrames;
  bool FLyricsHasTimeStamp = false;
  bool FInhibitTracksForRandomSelection = false;
  bool FTrimText;
  bool FTreatUnknownGenresAsOther;
  bool FReturnANSIText;
};

}  // namespace velmaro::tags
