// The comments of an Ogg file: the Vorbis comment header (or an Opus
// "OpusTags" header) read through the Ogg page layer, as a list of
// frames with upper-cased names.
//
// One object per file: create, LoadFromFile, query, free. The file is
// only read: the first page and the pages that hold the comment header,
// fetched one at a time as the comments need them. A picture comment
// (METADATA_BLOCK_PICTURE) is kept as stored; it is never decoded. What
// is kept is bounded (see TagLimits.h): a comment too long to keep gives
// a frame with its name and an empty value.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tags/common/TStream.h"
#include "tags/ogg/TOpusTagFrame.h"

namespace velmaro::tags {

enum class TOggFormat { ofUnknown, ofVorbis, ofOpus, ofTheora };

class TOpusTag {
 public:
  // Results of LoadFromFile and LoadFromStream.
  static constexpr int ResultOk = 0;           // a comment header was read
  static constexpr int ResultFileError = 4;    // missing, or cannot be opened
  static constexpr int ResultNoTag = 0xFFFF;   // no Ogg stream or no comment header where expected,
                                               // or the header is damaged

  TOpusTag() = default;

  int LoadFromFile(std::u16string_view fileName);
  // Reads from the start of the stream and puts the position back.
  int LoadFromStream(TStream& stream);

  int Count() const { return static_cast<int>(FFrames.size()); }
  const std::vector<TOpusTagFrame>& Frames() const { return FFrames; }
  // The text of the first frame of that name (ASCII case ignored); empty
  // when there is none.
  std::u16string ReadFrameByNameAsText(std::u16string_view name) const;
  // The index of the first frame of that name (ASCII case ignored), or -1.
  int FrameExists(std::u16string_view name) const;
  // Removes the frames and what was read (not the file size).
  void Clear();

  bool Loaded() const { return FLoaded; }
  std::int64_t FileSize() const { return FFileSize; }
  const std::u16string& FileName() const { return FFileName; }
  TOggFormat Format() const { return FFormat; }
  const std::u16string& VendorString() const { return FVendorString; }
  // The comment count the header declares.
  std::int32_t CommentCount() const { return FCommentCount; }
  // The data of the stream's first page (the identification header).
  const std::vector<std::uint8_t>& FirstOGGPage() const { return FFirstOGGPage; }

 private:
  class TPacket;
  bool GetInfo(TStream& stream);
  bool ReadTag(TPacket& packet);
  // Appends an empty text frame; the reference holds until the list changes.
  TOpusTagFrame& AddFrame(std::u16string_view name);
  // Adds the comment "NAME=value"; without whole, only its name is known
  // and the frame's value stays empty.
  void SetTagItem(std::vector<std::uint8_t> comment, bool whole);

  std::int64_t FFileSize = 0;
  std::u16string FFileName;
  bool FLoaded = false;
  TOggFormat FFormat = TOggFormat::ofUnknown;
  std::u16string FVendorString;
  std::int32_t FCommentCount = 0;
  std::vector<std::uint8_t> FFirstOGGPage;
  std::vector<TOpusTagFrame> FFrames;
};

}  // namespace velmaro::tags
