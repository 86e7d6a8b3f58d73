#include "support/ContainerBuilder.h"

namespace velmaro::testsupport {

namespace {
TBytes Joined(const std::vector<TBytes>& chunks) {
  TBytes out;
  for (const TBytes& chunk : chunks) out.insert(out.end(), chunk.begin(), chunk.end());
  return out;
}
TBytes PadByte(const TBytes& data, bool pad) { return pad && data.size() % 2 ? TBytes{0} : TBytes{}; }
}  // namespace

TBytes RiffChunkHeader(std::string_view id, std::uint32_t size) { return JoinBytes({AsciiBytes(id), LE32(size)}); }

TBytes RiffChunk(std::string_view id, const TBytes& data, bool pad) {
  return JoinBytes({RiffChunkHeader(id, static_cast<std::uint32_t>(data.size())), data, PadByte(data, pad)});
}

TBytes IffChunkHeader(std::string_view id, std::uint32_t size) { return JoinBytes({AsciiBytes(id), BE32(size)}); }

TBytes IffChunk(std::string_view id, const TBytes& data, bool pad) {
  return JoinBytes({IffChunkHeader(id, static_cast<std::uint32_t>(data.size())), data, PadByte(data, pad)});
}

TBytes DffChunkHeader(std::string_view id, std::uint64_t size) { return JoinBytes({AsciiBytes(id), BE64(size)}); }

TBytes DffChunk(std::string_view id, const TBytes& data) {
  return JoinBytes({DffChunkHeader(id, data.size()), data, PadByte(data, true)});
}

TBytes WaveFmtChunk() {
  return RiffChunk("fmt ", JoinBytes({{1, 0, 2, 0}, LE32(44100), LE32(44100 * 4), {4, 0, 16, 0}}));
}

TBytes WaveFile(const std::vector<TBytes>& chunks) {
  const TBytes body = JoinBytes({AsciiBytes("WAVE"), Joined(chunks)});
  return JoinBytes({AsciiBytes("RIFF"), LE32(static_cast<std::uint32_t>(body.size())), body});
}

TBytes Rf64File(const std::vector<TBytes>& chunks) {
  return JoinBytes({AsciiBytes("RF64"), LE32(0xFFFFFFFFu), AsciiBytes("WAVE"), Joined(chunks)});
}

TBytes Ds64Chunk(std::uint64_t riffSize, std::uint64_t dataSize) {
  return RiffChunk("ds64", JoinBytes({LE64(riffSize), LE64(dataSize), LE64(dataSize / 4), LE32(0)}));
}

TBytes AiffFile(std::string_view formType, const std::vector<TBytes>& chunks) {
  const TBytes body = JoinBytes({AsciiBytes(formType), Joined(chunks)});
  return JoinBytes({AsciiBytes("FORM"), BE32(static_cast<std::uint32_t>(body.size())), body});
}

TBytes DsfFileWithOffset(const TBytes& audio, const TBytes& tag, std::uint64_t metadataOffset) {
  const TBytes fmt = JoinBytes({AsciiBytes("fmt "), LE64(52), LE32(1), LE32(0), LE32(2), LE32(2), LE32(2822400), LE32(1),
                             LE64(audio.size() * 4), LE32(4096), LE32(0)});
  const TBytes data = JoinBytes({AsciiBytes("data"), LE64(12 + audio.size()), audio});
  const std::uint64_t total = 28 + fmt.size() + data.size() + tag.size();
  return JoinBytes({AsciiBytes("DSD "), LE64(28), LE64(total), LE64(metadataOffset), fmt, data, tag});
}

TBytes DsfFile(const TBytes& audio, const TBytes& tag) {
  return DsfFileWithOffset(audio, tag, tag.empty() ? 0 : 28 + 52 + 12 + audio.size());
}

TBytes DffFile(const std::vector<TBytes>& chunks) {
  const TBytes body = JoinBytes({AsciiBytes("DSD "), Joined(chunks)});
  return JoinBytes({AsciiBytes("FRM8"), BE64(body.size()), body});
}

}  // namespace velmaro::testsupport
