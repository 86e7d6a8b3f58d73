// Reader of the metadata of a native FLAC file: the Vorbis comments, the
// pictures, the other blocks, and the stream values from STREAMINFO.
//
// One object per file: create, load once, query, free. The file is only
// read. A block whose body runs past the end of the file raises
// EFlacReadError out of the load; the import lets that error end the
// file's import.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tags/common/TStream.h"
#include "tags/common/TagLimits.h"
#include "tags/flac/TFlacHeader.h"
#include "tags/flac/TFlacMetaData.h"
#include "tags/flac/TVorbisComment.h"

namespace velmaro::tags {

enum class TFlacStreamType { fstUnknown, fstNativeFlac, fstOggFlac };

class TFlacTag {
 public:
  using TMetaData = TFlacMetaData;

  // Results of the load operations.
  static constexpr int ResultSuccess = 0;         // blocks read up to the last (or an unknown type)
  static constexpr int ResultStreamInfoOnly = 1;  // STREAMINFO is the only block
  static constexpr int ResultFileError = 4;       // missing, cannot be opened, or empty
  static constexpr int ResultNotFlac = 8;         // no "fLaC" at the start

  TFlacTag() = default;
  // Picture info points into the stored blocks: the tag is not copied.
  TFlacTag(const TFlacTag&) = delete;
  TFlacTag& operator=(const TFlacTag&) = delete;
  TFlacTag(TFlacTag&&) = default;
  TFlacTag& operator=(TFlacTag&&) = default;

  // Loads a file, opened read-only; buffered reads through the read-ahead
  // buffer. Raises EFlacReadError as said above.
  int LoadFromFile(std::u16string_view fileName, bool buffered = true);
  // The same from any stream (tests, fuzzers, data in memory). An empty
  // stream gives ResultFileError.
  int LoadFromStream(TStream& stream, bool buffered = true);

  // The value of the first comment with that name (names compared with
  // ASCII letters upper-cased); empty when there is none.
  std::u16string ReadFrameByNameAsText(std::u16string_view name) const;
  // The fields of picture number index (0-based); false when there is no
  // such picture. pictureBytes, when given, receives the picture bytes.
  bool GetCoverArtInfo(int index, TFlacTagCoverArtInfo& info, std::vector<std::uint8_t>* pictureBytes = nullptr) const;
  // The same, with info.PictureData pointing at the bytes in the block.
  bool GetCoverArtInfoPointer(int index, TFlacTagCoverArtInfo& info) const;

  // StreamType native, marker "fLaC", channels, sample rate, bits per
  // sample and samples all above 0.
  bool GetValid() const;
  double GetPlaytime() const;             // seconds; 0 when invalid
  std::u16string GetChannelMode() const;  // "Mono", "Stereo", "Multi Channel"; empty when invalid

  void Clear();

  bool Valid() const { return GetValid(); }
  double Playtime() const { return GetPlaytime(); }
  std::u16string ChannelMode() const { return GetChannelMode(); }
  std::uint8_t Channels() const { return FChannels; }
  int SampleRate() const { return FSampleRate; }
  std::uint8_t BitsPerSample() const { return FBitsPerSample; }
  std::int64_t FileSize() const { return FFileSize; }
  std::int64_t SampleCount() const { return FSamples; }
  int Bitrate() const { return FBitrate; }  // kbit/s of the audio after the metadata
  bool Exists() const { return FExists; }   // the comment count was above 0
  std::int64_t AudioOffset() const { return FAudioOffset; }
  std::int64_t AudioSize() const { return FAudioSize; }
  std::int64_t VCOffset() const { return FVCOffset; }

  const TFlacHeader& Header() const { return FHeader; }
  int PaddingIndex() const { return FPaddingIndex; }
  bool PaddingLast() const { return FPaddingLast; }
  bool PaddingFragments() const { return FPaddingFragments; }
  int VorbisIndex() const { return FVorbisIndex; }
  int Padding() const { return FPadding; }
  std::int64_t TagSize() const { return FTagSize; }
  std::int64_t MetaBlocksSize() const { return FMetaBlocksSize; }
  TFlacStreamType StreamType() const { return FStreamType; }
  bool Loaded() const { return FLoaded; }
  const std::u16string& VendorString() const { return FVendorString; }
  const std::vector<TVorbisComment>& Tags() const { return FTags; }
  const std::vector<TMetaData>& MetaBlocksCoverArts() const { return FMetaBlocksCoverArts; }
  const std::vector<TMetaData>& MetaBlockOther() const { return aMetaBlockOther; }

 private:
  int ReadFlacStream(TStream& stream);
  void ReadVorbisComments(TStream& stream, std::int64_t end, TTagBudget& budget);
  // Appends a comment with that name, upper-cased, and returns it.
  TVorbisComment& AddTag(std::u16string_view name);
  // Store a block body as far as it was kept: a picture (length is the
  // block's), or any other block.
  TMetaData& AddMetaDataCoverArt(std::vector<std::uint8_t> body, std::uint32_t length);
  TMetaData& AddMetaDataOther(const std::array<std::uint8_t, 4>& header, std::vector<std::uint8_t> body, int blockType);

  TFlacHeader FHeader;
  int FPaddingIndex = 0;
  bool FPaddingLast = false;
  bool FPaddingFragments = false;
  int FVorbisIndex = 0;
  int FPadding = 0;
  std::int64_t FVCOffset = 0;
  std::int64_t FAudioOffset = 0;
  std::int64_t FAudioSize = 0;
  std::uint8_t FChannels = 0;
  int FSampleRate = 0;
  std::uint8_t FBitsPerSample = 0;
  int FBitrate = 0;
  std::int64_t FFileSize = 0;
  std::int64_t FSamples = 0;
  std::int64_t FTagSize = 0;
  std::int64_t FMetaBlocksSize = 0;
  bool FExists = false;
  std::vector<TVorbisComment> FTags;
  std::u16string FVendorString;
  bool FLoaded = false;
  std::vector<TMetaData> FMetaBlocksCoverArts;
  std::vector<TMetaData> aMetaBlockOther;
  TFlacStreamType FStreamType = TFlacStreamType::fstUnknown;
};

}  // namespace velmaro::tags
