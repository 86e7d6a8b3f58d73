// A metadata block kept in memory by the FLAC readers, and what a
// PICTURE block says about its picture.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace velmaro::tags {

struct TFlacTagCoverArtInfo {
  std::uint32_t PictureType = 0;
  std::u16string MIMEType;  // each byte taken as the character of that code
  std::u16string Description;
  std::uint32_t Width = 0;
  std::uint32_t Height = 0;
  std::uint32_t ColorDepth = 0;
  std::uint32_t NoOfColors = 0;
  // The picture bytes inside the stored block: at most SizeOfPictureData
  // of them, fewer when the block ends first or was kept only in part (a
  // block too large to keep keeps its first bytes). Valid while the block
  // lives.
  std::span<const std::uint8_t> PictureData;
  std::uint32_t SizeOfPictureData = 0;  // as declared
};

struct TFlacMetaData {
  std::array<std::uint8_t, 4> MetaDataBlockHeader{};
  std::vector<std::uint8_t> Data;  // the body
  int BlockType = 0;
  TFlacTagCoverArtInfo CoverArtInfo;  // PICTURE blocks only
};

// Reads the fields of a PICTURE body (big-endian). Lengths are checked
// against the body: a MIME type or description that runs past it is cut
// at its end, and fields beyond it read as 0.
TFlacTagCoverArtInfo ReadFlacPictureInfo(std::span<const std::uint8_t> body);

}  // namespace velmaro::tags
