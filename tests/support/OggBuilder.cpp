#include "support/OggBuilder.h"

#include <algorithm>
#include <array>

namespace velmaro::testsupport {

namespace {

std::uint32_t OggCrc(const TBytes& bytes) {
  static const std::array<std::uint32_t, 256> table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
      std::uint32_t r = i << 24;
      for (int k = 0; k < 8; ++k) r = (r & 0x80000000u) ? (r << 1) ^ 0x04C11DB7u : r << 1;
      t[i] = r;
    }
    return t;
  }();
  std::uint32_t crc = 0;
  for (const std::uint8_t b : bytes) crc = (crc << 8) ^ table[((crc >> 24) ^ b) & 0xFF];
  return crc;
}

TBytes LengthPrefixed(const TBytes& bytes) { return JoinBytes({LE32(static_cast<std::uint32_t>(bytes.size())), bytes}); }

TBytes CommentBody(std::string_view vendor, const std::vector<TBytes>& comments) {
  TBytes body = JoinBytes({LengthPrefixed(AsciiBytes(vendor)), LE32(static_cast<std::uint32_t>(comments.size()))});
  for (const TBytes& comment : comments) AppendBytes(body, LengthPrefixed(comment));
  return body;
}

std::string Base64(const TBytes& bytes) {
  static constexpr char Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string text;
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::uint32_t n = static_cast<std::uint32_t>(bytes[i]) << 16 |
                            (i + 1 < bytes.size() ? bytes[i + 1] : 0) << 8 | (i + 2 < bytes.size() ? bytes[i + 2] : 0);
    text += Alphabet[n >> 18 & 63];
    text += Alphabet[n >> 12 & 63];
    text += i + 1 < bytes.size() ? Alphabet[n >> 6 & 63] : '=';
    text += i + 2 < bytes.size() ? Alphabet[n & 63] : '=';
  }
  return text;
}

}  // namespace

TBytes OggPage(const TOggPageFields& page) {
  TBytes bytes = JoinBytes({AsciiBytes("OggS"), {0, page.flags}, LE64(page.granule), LE32(page.serial),
                            LE32(page.pageNumber), LE32(0), {static_cast<std::uint8_t>(page.lacing.size())},
                            page.lacing, page.data});
  const TBytes crc = LE32(OggCrc(bytes));
  std::copy(crc.begin(), crc.end(), bytes.begin() + 22);
  return bytes;
}

TBytes OggPackets(const std::vector<TBytes>& packets, std::uint32_t& pageNumber, std::uint64_t granule,
                  std::size_t maxPageData, std::uint8_t firstFlags, bool startNewPage) {
  const std::size_t maxSegments = std::clamp<std::size_t>(maxPageData / 255, 1, 255);
  TBytes out;
  TOggPageFields page;
  bool firstPage = true;
  auto flush = [&](bool continuedNext) {
    page.flags = static_cast<std::uint8_t>((firstPage ? firstFlags : 0) | page.flags);
    page.granule = granule;
    page.pageNumber = pageNumber++;
    AppendBytes(out, OggPage(page));
    firstPage = false;
    page = {};
    if (continuedNext) page.flags = 1;
  };
  for (std::size_t p = 0; p < packets.size(); ++p) {
    const TBytes& packet = packets[p];
    if (startNewPage && !page.lacing.empty()) flush(false);
    std::size_t done = 0;
    // Segments of 255 bytes, then one shorter segment (possibly 0) ends it.
    while (true) {
      if (page.lacing.size() == maxSegments) flush(done > 0);
      const std::size_t n = std::min<std::size_t>(255, packet.size() - done);
      page.lacing.push_back(static_cast<std::uint8_t>(n));
      page.data.insert(page.data.end(), packet.begin() + static_cast<std::ptrdiff_t>(done),
                       packet.begin() + static_cast<std::ptrdiff_t>(done + n));
      done += n;
      if (n < 255) break;
    }
  }
  if (!page.lacing.empty() || firstPage) flush(false);
  return out;
}

TBytes VorbisIdentification(std::uint8_t channels, std::uint32_t sampleRate, std::int32_t nominalBitRate) {
  return JoinBytes({{0x01}, AsciiBytes("vorbis"), LE32(0), {channels}, LE32(sampleRate), LE32(0),
                    LE32(static_cast<std::uint32_t>(nominalBitRate)), LE32(0), {0xB8}, {0x01}});
}

TBytes VorbisComments(std::string_view vendor, const std::vector<TBytes>& comments) {
  return JoinBytes({{0x03}, AsciiBytes("vorbis"), CommentBody(vendor, comments), {0x01}});
}

TBytes VorbisSetup() {
  TBytes setup = JoinBytes({{0x05}, AsciiBytes("vorbis")});
  setup.resize(3000, 0x42);
  return setup;
}

TBytes OpusHead(std::uint8_t channels, std::uint32_t inputSampleRate) {
  return JoinBytes({AsciiBytes("OpusHead"), {1, channels}, LE16(312), LE32(inputSampleRate), LE16(0), {0}});
}

TBytes OpusTags(std::string_view vendor, const std::vector<TBytes>& comments) {
  return JoinBytes({AsciiBytes("OpusTags"), CommentBody(vendor, comments)});
}

TBytes OggComment(std::string_view text) { return AsciiBytes(text); }

TBytes PictureComment(std::size_t dataSize, std::string_view name) {
  // A FLAC PICTURE block body: type, MIME, description, size, depth,
  // colours, data.
  TBytes data(dataSize);
  for (std::size_t i = 0; i < dataSize; ++i) data[i] = static_cast<std::uint8_t>(i * 13);
  const TBytes block = JoinBytes({BE32(3), BE32(10), AsciiBytes("image/jpeg"), BE32(0), BE32(300), BE32(300),
                                  BE32(24), BE32(0), BE32(static_cast<std::uint32_t>(dataSize)), data});
  return AsciiBytes(std::string(name) + "=" + Base64(block));
}

TBytes VorbisFile(const TVorbisOptions& options) {
  std::uint32_t pageNumber = 0;
  TBytes file = OggPackets({VorbisIdentification(options.channels, options.sampleRate, options.nominalBitRate)}, pageNumber, 0,
                           255 * 255, 0x02);
  AppendBytes(file, OggPackets({VorbisComments(options.vendor, options.comments), VorbisSetup()}, pageNumber, 0,
                               options.headerPageData));
  for (std::size_t i = 0; i < options.audioPages; ++i) {
    const bool last = i + 1 == options.audioPages;
    const std::uint64_t granule = last ? options.lastGranule : options.lastGranule / options.audioPages * (i + 1);
    TBytes audio(options.audioPageData, static_cast<std::uint8_t>(0x30 + i));
    AppendBytes(file, OggPackets({audio}, pageNumber, granule, 255 * 255, last ? 0x04 : 0));
  }
  return file;
}

TBytes OpusFile(std::uint8_t channels, const std::vector<TBytes>& comments, std::uint64_t lastGranule) {
  std::uint32_t pageNumber = 0;
  TBytes file = OggPackets({OpusHead(channels, 48000)}, pageNumber, 0, 255 * 255, 0x02);
  AppendBytes(file, OggPackets({OpusTags("Velmaro opus", comments)}, pageNumber, 0));
  AppendBytes(file, OggPackets({TBytes(3000, 0x77)}, pageNumber, lastGranule / 2));
  AppendBytes(file, OggPackets({TBytes(3000, 0x78)}, pageNumber, lastGranule, 255 * 255, 0x04));
  return file;
}

TBytes ID3v2Prefix(std::uint32_t size, bool footer) {
  TBytes bytes = JoinBytes({AsciiBytes("ID3"), {4, 0, static_cast<std::uint8_t>(footer ? 0x10 : 0)},
                            {static_cast<std::uint8_t>(size >> 21 & 0x7F), static_cast<std::uint8_t>(size >> 14 & 0x7F),
                             static_cast<std::uint8_t>(size >> 7 & 0x7F), static_cast<std::uint8_t>(size & 0x7F)}});
  bytes.resize(10 + size, 0);
  if (footer) AppendBytes(bytes, JoinBytes({AsciiBytes("3DI"), {4, 0, 0x10}, TBytes(bytes.begin() + 6, bytes.begin() + 10)}));
  return bytes;
}

}  // namespace velmaro::testsupport
