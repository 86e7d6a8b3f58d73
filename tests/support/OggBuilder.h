// Byte builders for Ogg streams: pages (with a correct checksum), packets
// laid out over pages as an encoder does, Vorbis and Opus headers, and
// whole small files with any comment header.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "support/TagBytes.h"

namespace velmaro::testsupport {

struct TOggPageFields {
  std::uint8_t flags = 0;  // 1 continued packet, 2 first page, 4 last page
  std::uint64_t granule = 0;
  std::uint32_t serial = 0x56454C4D;
  std::uint32_t pageNumber = 0;
  std::vector<std::uint8_t> lacing{};  // the segment table as given
  TBytes data{};
};
// One page exactly as given ("OggS", version 0, the checksum over it).
TBytes OggPage(const TOggPageFields& page);

// Lays packets out over pages of at most maxPageData bytes (rounded down
// to whole 255-byte segments), setting the continuation flags. The first
// page gets firstFlags, every page granule, numbering starts at
// firstPageNumber and advances it. With startNewPage each packet starts
// a page of its own.
TBytes OggPackets(const std::vector<TBytes>& packets, std::uint32_t& pageNumber, std::uint64_t granule,
                  std::size_t maxPageData = 255 * 255, std::uint8_t firstFlags = 0, bool startNewPage = false);

// Vorbis headers.
TBytes VorbisIdentification(std::uint8_t channels, std::uint32_t sampleRate, std::int32_t nominalBitRate);
// A comment header from raw comment bytes (any bytes, any length).
TBytes VorbisComments(std::string_view vendor, const std::vector<TBytes>& comments);
TBytes VorbisSetup();  // a stand-in setup header: 5 "vorbis" and filler

// Opus headers.
TBytes OpusHead(std::uint8_t channels, std::uint32_t inputSampleRate);
TBytes OpusTags(std::string_view vendor, const std::vector<TBytes>& comments);

// "NAME=value" as bytes.
TBytes OggComment(std::string_view text);
// METADATA_BLOCK_PICTURE=<base64 of a FLAC picture block> with dataSize
// bytes of picture data; name as given (any capitalisation).
TBytes PictureComment(std::size_t dataSize, std::string_view name = "METADATA_BLOCK_PICTURE");

struct TVorbisOptions {
  std::uint8_t channels = 2;
  std::uint32_t sampleRate = 44100;
  std::int32_t nominalBitRate = 128000;
  std::string vendor = "Velmaro test encoder";
  std::vector<TBytes> comments{};
  // Largest data per page of the comment and setup headers: small values
  // spread the comment header over several pages.
  std::size_t headerPageData = 255 * 255;
  // Audio pages after the headers, each of audioPageData bytes; the last
  // one carries lastGranule and the end-of-stream flag.
  std::size_t audioPages = 4;
  std::size_t audioPageData = 4000;
  std::uint64_t lastGranule = 44100 * 10;
};
TBytes VorbisFile(const TVorbisOptions& options);

// An Ogg Opus file: OpusHead page, OpusTags pages, audio pages.
TBytes OpusFile(std::uint8_t channels, const std::vector<TBytes>& comments, std::uint64_t lastGranule = 48000 * 10);

// A 10-byte ID3v2.4 header with the given tag size (synchsafe), optional
// footer flag, followed by size bytes of zeros and the footer when set.
TBytes ID3v2Prefix(std::uint32_t size, bool footer = false);

}  // namespace velmaro::testsupport
