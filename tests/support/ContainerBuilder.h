// Byte builders for the containers that carry an ID3v2 tag in a chunk:
// RIFF WAVE, RF64, AIFF/AIFC, DSF and DFF.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "support/Id3v2Builder.h"

namespace velmaro::testsupport {

// A RIFF chunk: ID, little-endian size, data, and a zero pad byte after
// odd-sized data when pad is true.
TBytes RiffChunk(std::string_view id, const TBytes& data, bool pad = true);
// A RIFF chunk header declaring `size` whatever follows.
TBytes RiffChunkHeader(std::string_view id, std::uint32_t size);
// An IFF (AIFF) chunk: ID, big-endian size, data, pad byte as above.
TBytes IffChunk(std::string_view id, const TBytes& data, bool pad = true);
TBytes IffChunkHeader(std::string_view id, std::uint32_t size);
// A DFF chunk: ID, 64-bit big-endian size, data padded to an even length.
TBytes DffChunk(std::string_view id, const TBytes& data);
TBytes DffChunkHeader(std::string_view id, std::uint64_t size);

// A 16-byte PCM "fmt " chunk: 44,100 Hz, 16-bit stereo.
TBytes WaveFmtChunk();
// "RIFF", size, "WAVE", the chunks.
TBytes WaveFile(const std::vector<TBytes>& chunks);
// "RF64", 0xFFFFFFFF, "WAVE", the chunks (the first usually a ds64 chunk).
TBytes Rf64File(const std::vector<TBytes>& chunks);
// A ds64 chunk: RIFF size, data size, sample count, no table.
TBytes Ds64Chunk(std::uint64_t riffSize, std::uint64_t dataSize);
// "FORM", size, the form type ("AIFF" or "AIFC"), the chunks.
TBytes AiffFile(std::string_view formType, const std::vector<TBytes>& chunks);
// A DSF file: "DSD " header with the metadata offset, "fmt " chunk,
// "data" chunk with the audio bytes, then the tag (offset 0 when empty).
TBytes DsfFile(const TBytes& audio, const TBytes& tag);
// The same with the metadata offset field set to any value.
TBytes DsfFileWithOffset(const TBytes& audio, const TBytes& tag, std::uint64_t metadataOffset);
// "FRM8", 64-bit size, "DSD ", the chunks.
TBytes DffFile(const std::vector<TBytes>& chunks);

}  // namespace velmaro::testsupport
