// Part of another stream with unsynchronisation removed (every 0x00 that
// directly follows a kept 0xFF dropped), decoded as it is read.
//
// The ID3v2 reader reads an unsynchronised tag once more in decoded form
// when its frame sizes count the decoded bytes. Decoding as it goes keeps
// that to a small buffer whatever the size of the tag.
//
// Seeking forward decodes up to the target; seeking back is served from
// the last HistoryBytes decoded bytes (the frame walk never steps back
// further), and further back starts decoding again from the beginning.
// The wrapped stream must outlive this one, which moves it at will.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "tags/common/TStream.h"

namespace velmaro::tags {

class TUnsynchronisedStream final : public TStream {
 public:
  static constexpr std::size_t HistoryBytes = 64;

  // The bytes of source from begin to end (clamped to its data). Finding
  // the decoded size reads that part once.
  TUnsynchronisedStream(TStream& source, std::int64_t begin, std::int64_t end);

  std::size_t Read(void* buffer, std::size_t count) override;
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
  std::int64_t Size() const override { return FSize; }
  std::int64_t Position() const override { return FPos; }

 private:
  void Restart();
  // Decodes the next raw chunk into the buffer after the buffer's last
  // HistoryBytes; false at the end of the part. A chunk whose bytes all
  // lie before keepFrom is only counted (a skip, or finding the size).
  // Call it only with the position at the end of the buffer.
  bool Refill(std::int64_t keepFrom);
  // Decodes raw bytes, appending them to the buffer when keep is set;
  // returns how many decoded bytes they give.
  std::size_t Decode(std::span<const std::uint8_t> raw, bool keep);

  TStream& FSource;
  std::int64_t FBegin;
  std::int64_t FEnd;
  std::int64_t FSize = 0;
  std::int64_t FRawPos = 0;        // the next raw byte to decode, in the source
  bool FAfterFF = false;           // the last decoded byte was a kept 0xFF
  std::vector<std::uint8_t> FRaw;  // one chunk of raw bytes
  std::vector<std::uint8_t> FDecoded;
  std::int64_t FDecodedStart = 0;  // decoded offset of FDecoded[0]
  std::int64_t FPos = 0;           // decoded position
};

}  // namespace velmaro::tags
