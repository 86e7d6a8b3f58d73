#include "support/FlacBuilder.h"

namespace velmaro::testsupport {

TBytes FlacStreamInfoBody(std::uint32_t sampleRate, int channels, int bitsPerSample, std::uint64_t totalSamples) {
  TBytes body = JoinBytes({BE16(4096), BE16(4096), BE24(0), BE24(0)});
  // rate (20 bits), channels - 1 (3), bits - 1 (5), samples (36).
  const std::uint64_t packed =
      static_cast<std::uint64_t>(sampleRate & 0xFFFFF) << 44 | static_cast<std::uint64_t>((channels - 1) & 7) << 41 |
      static_cast<std::uint64_t>((bitsPerSample - 1) & 31) << 36 | (totalSamples & 0xFFFFFFFFFull);
  for (int shift = 56; shift >= 0; shift -= 8) body.push_back(static_cast<std::uint8_t>(packed >> shift));
  AppendBytes(body, TBytes(16, 0xAB));  // MD5
  return body;
}

TBytes FlacBlockHeader(std::uint8_t type, std::uint32_t length, bool last) {
  return JoinBytes({{static_cast<std::uint8_t>((last ? 0x80 : 0) | (type & 0x7F))}, BE24(length)});
}

TBytes FlacBlock(std::uint8_t type, const TBytes& body, bool last) {
  return JoinBytes({FlacBlockHeader(type, static_cast<std::uint32_t>(body.size()), last), body});
}

TBytes FlacCommentBody(std::string_view vendor, const std::vector<std::string>& comments) {
  TBytes body = JoinBytes({LE32(static_cast<std::uint32_t>(vendor.size())), AsciiBytes(vendor),
                           LE32(static_cast<std::uint32_t>(comments.size()))});
  for (const std::string& comment : comments)
    AppendBytes(body, JoinBytes({LE32(static_cast<std::uint32_t>(comment.size())), AsciiBytes(comment)}));
  return body;
}

TBytes FlacPictureBody(const FlacPictureFields& p) {
  const auto length =
      p.dataLength < 0 ? static_cast<std::uint32_t>(p.data.size()) : static_cast<std::uint32_t>(p.dataLength);
  return JoinBytes({BE32(p.type), BE32(static_cast<std::uint32_t>(p.mime.size())), AsciiBytes(p.mime),
                    BE32(static_cast<std::uint32_t>(p.description.size())), AsciiBytes(p.description), BE32(p.width),
                    BE32(p.height), BE32(p.depth), BE32(p.colors), BE32(length), p.data});
}

TBytes FlacFile(const TBytes& streamInfoBody, const std::vector<TBytes>& blocks, std::size_t audioBytes) {
  TBytes file = JoinBytes({AsciiBytes("fLaC"), FlacBlock(0, streamInfoBody, blocks.empty())});
  for (const TBytes& block : blocks) AppendBytes(file, block);
  for (std::size_t i = 0; i < audioBytes; ++i) file.push_back(i % 2 ? 0xF8 : 0xFF);
  return file;
}

TBytes FlacCdStreamInfo(std::uint64_t totalSamples) { return FlacStreamInfoBody(44100, 2, 16, totalSamples); }

}  // namespace velmaro::testsupport
