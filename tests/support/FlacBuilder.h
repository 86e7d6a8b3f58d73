// Byte builders for native FLAC files: STREAMINFO, metadata blocks of any
// type (also the reserved types and hostile lengths no encoder writes),
// Vorbis comment and PICTURE bodies, and whole streams.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "support/TagBytes.h"

namespace velmaro::testsupport {

// The 34-byte STREAMINFO body; totalSamples takes 36 bits.
TBytes FlacStreamInfoBody(std::uint32_t sampleRate, int channels, int bitsPerSample, std::uint64_t totalSamples);

// A block: header (last flag, type, the body's length), then the body.
TBytes FlacBlock(std::uint8_t type, const TBytes& body, bool last = false);
// A header saying length, whatever follows.
TBytes FlacBlockHeader(std::uint8_t type, std::uint32_t length, bool last = false);

// A VORBIS_COMMENT body: vendor, count, "NAME=value" texts (bytes as given).
TBytes FlacCommentBody(std::string_view vendor, const std::vector<std::string>& comments);

struct FlacPictureFields {
  std::uint32_t type = 3;
  std::string mime = "image/png";
  std::string description;
  std::uint32_t width = 1, height = 1, depth = 24, colors = 0;
  TBytes data = {0x89, 'P', 'N', 'G'};
  std::int64_t dataLength = -1;  // the length field; -1: data's size
};
TBytes FlacPictureBody(const FlacPictureFields& picture);

// "fLaC", STREAMINFO (flagged last when no blocks follow), the blocks as
// given (the caller flags the last one), then audioBytes of frame-like
// bytes.
TBytes FlacFile(const TBytes& streamInfoBody, const std::vector<TBytes>& blocks, std::size_t audioBytes = 4000);

// A stereo 44.1 kHz 16-bit STREAMINFO of the given length in samples.
TBytes FlacCdStreamInfo(std::uint64_t totalSamples = 441000);

}  // namespace velmaro::testsupport
