// A read-ahead wrapper around another stream.
//
// The tag readers read many 1- to 4-byte fields; each of them would be a
// separate file read without this wrapper. It reads the wrapped stream in
// blocks of BufferSize bytes and serves small reads from the block.
//
// The wrapper starts at the wrapped stream's current position and takes
// its size once, when it is created. It does not own the wrapped stream,
// which must outlive it, and nobody else may move the wrapped stream while
// the wrapper is in use. It only reads: nothing in the plug-in writes to
// an audio file.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "tags/common/TStream.h"

namespace velmaro::tags {

class TBufferedStream final : public TStream {
 public:
  static constexpr std::size_t BufferSize = 1024;

  explicit TBufferedStream(TStream& stream);
  TBufferedStream(const TBufferedStream&) = delete;
  TBufferedStream& operator=(const TBufferedStream&) = delete;

  std::size_t Read(void* buffer, std::size_t count) override;
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
  // The wrapped stream's size when the wrapper was created.
  std::int64_t Size() const override { return FStreamSize; }
  std::int64_t Position() const override { return FStreamPos + static_cast<std::int64_t>(FBufPos); }

 private:
  TStream& FStream;
  std::array<std::uint8_t, BufferSize> FBuf{};
  std::size_t FBufPos = 0;   // next byte to hand out within FBuf
  std::size_t FBufSize = 0;  // bytes of FBuf that hold data
  // Offset of FBuf's first byte in the wrapped stream. The wrapped stream
  // itself always stands at FStreamPos + FBufSize.
  std::int64_t FStreamPos = 0;
  std::int64_t FStreamSize = 0;
};

}  // namespace velmaro::tags
