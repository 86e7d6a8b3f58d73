// Reader of ID3v2 tags, versions 2.2, 2.3 and 2.4.
//
// Reads the tag at the start of the data, or the ID3 chunk of a WAVE,
// RF64, AIFF, DSF or DFF file, into a list of raw frames, and answers
// questions about them: the text of a text frame, a comment, the value of
// a user-defined text frame, whether a frame exists. Frame bodies are kept
// as stored, within the limits of TagLimits.h (a larger body is not kept:
// its frame stays, with an empty body); unsynchronisation is removed on
// request.
//
// One object per file: create, load once, query, free. The file is only
// read. Bad data ends the frame list quietly; the load's result code says
// whether a tag was found at all.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tags/common/TStream.h"
#include "tags/common/TagLocation.h"
#include "tags/id3v2/ID3v2TagBody.h"
#include "tags/id3v2/TID3v2Frame.h"

namespace velmaro::tags {

class TID3v2Tag {
 public:
  // Results of the load operations.
  static constexpr int ResultSuccess = 0;
  static constexpr int ResultNoTag = 1;
  static constexpr int ResultFileError = 4;      // missing or cannot be opened
  static constexpr int ResultBadVersion = 8;     // major version not 2, 3 or 4
  static constexpr int ResultHeaderError = 0xFFFF;  // the header ends early

  // The process-wide default of DecodeANSIText for every reader created
  // later: on, 8-bit text (encoding 0) is decoded with the system's code
  // page; off, every byte becomes the character with the same code. Off
  // until the import switches it on at start-up.
  static void SetDefaultDecodeANSIText(bool on);
  static bool DefaultDecodeANSIText();

  TID3v2Tag();

  // Loads the tag of a file; the file is opened read-only. buffered reads
  // through the read-ahead buffer.
  int LoadFromFile(std::u16string_view fileName, bool buffered = true);
  // The same from the stream's current position (tests, fuzzers, data in
  // memory). Never gives ResultFileError.
  int LoadFromStream(TStream& stream, bool buffered = true);

  // Removes unsynchronisation from every frame body that holds it and
  // clears the tag's flag. False only on an error.
  bool RemoveUnsynchronisationOnAllFrames();

  // The text of the first frame with the ID: its strings joined by CR LF,
  // trimmed unless SetTrimText(false). returnNativeText decodes UTF-8 frames as 8-bit
  // text (the caller repairs UTF-8 itself).
  std::u16string GetUnicodeText(std::string_view frameID, bool returnNativeText) const;
  // The comment of the first frame with the ID, whatever its language and
  // description, which are returned too (language three bytes, three
  // spaces when there is none). Not trimmed.
  std::u16string GetUnicodeComment(std::string_view frameID, std::string& languageID,
                                   std::u16string& description) const;
  // The index of the first TXXX frame whose description equals the given
  // one, ignoring ASCII case, and its value in text; -1 and empty text
  // when there is none.
  int FindTXXXByDescription(std::u16string_view description, std::u16string& text) const;
  // The index of the first frame with the ID, else -1. IDs are compared as
  // four bytes, case included; a shorter ID is padded with zero bytes.
  int FrameExists(std::string_view frameID) const;

  // Settings; change them before loading.
  void SetTrimText(bool on) { FTrimText = on; }
  bool DecodeANSIText() const { return FDecodeANSIText; }
  void SetDecodeANSIText(bool on) { FDecodeANSIText = on; }

  // What was read.
  const std::u16string& SourceFileName() const { return FSourceFileName; }
  bool Loaded() const { return FLoaded; }
  std::uint8_t MajorVersion() const { return FMajorVersion; }
  std::uint8_t Flags() const { return FFlags; }
  bool Unsynchronised() const { return FUnsynchronised; }
  bool Compressed() const { return FCompressed; }          // version 2.2
  bool ExtendedHeader() const { return FExtendedHeader; }  // versions 2.3, 2.4
  bool Experimental() const { return FExperimental; }
  bool FooterPresent() const { return FFooterPresent; }
  // The size field + 10; a footer is not counted.
  std::uint32_t Size() const { return FSize; }
  // Offset of the tag header in the stream.
  std::int64_t Position() const { return FPosition; }
  const std::vector<TID3v2Frame>& Frames() const { return FFrames; }
  int FrameCount() const { return static_cast<int>(FFrames.size()); }
  const TID3v2ExtendedHeader3& ExtendedHeader3() const { return FExtendedHeader3; }
  const TID3v2ExtendedHeader4& ExtendedHeader4() const { return FExtendedHeader4; }
  // Size of the stream (the file), known after any load but a failed open.
  std::int64_t FileSize() const { return FFileSize; }
  TSourceFileType SourceFileType() const { return FSourceFileType; }
  // A frame declared a size larger than the tag; the frames before it and
  // the frame itself, without a body, are kept.
  bool Error() const { return FError; }

 private:
  void Clear();
  int Load(TStream& stream);
  int ParseTag(TStream& stream);
  bool MpegSyncAt(TStream& stream, std::int64_t position);
  const TID3v2Frame* FindFrame(std::string_view frameID) const;
  std::u16string JoinStrings(const TID3v2Frame& frame, bool utf8As8Bit) const;

  // Settings.
  bool FTrimText = true;
  bool FDecodeANSIText;

  std::u16string FSourceFileName;
  bool FLoaded = false;
  std::uint8_t FMajorVersion = 3;
  std::uint8_t FFlags = 0;
  bool FUnsynchronised = false;
  bool FCompressed = false;
  bool FExtendedHeader = false;
  bool FExperimental = false;
  bool FFooterPresent = false;
  std::uint32_t FSize = 0;
  std::int64_t FPosition = 0;
  std::vector<TID3v2Frame> FFrames;
  TID3v2ExtendedHeader3 FExtendedHeader3;
  TID3v2ExtendedHeader4 FExtendedHeader4;
  std::int64_t FFileSize = 0;
  TSourceFileType FSourceFileType = TSourceFileType::sftUnknown;
  bool FError = false;
};

}  // namespace velmaro::tags
