#include "tags/common/TBufferedStream.h"

#include <algorithm>
#include <cstring>

namespace velmaro::tags {

TBufferedStream::TBufferedStream(TStream& stream)
    : FStream(stream), FStreamPos(stream.Position()), FStreamSize(stream.Size()) {}

std::size_t TBufferedStream::Read(void* buffer, std::size_t count) {
  auto* out = static_cast<std::uint8_t*>(buffer);
  std::size_t done = 0;
  while (done < count) {
    if (FBufPos == FBufSize) {
      FStreamPos += static_cast<std::int64_t>(FBufSize);
      FBufPos = FBufSize = 0;
      const std::size_t wanted = count - done;
      if (wanted >= BufferSize) {
        // A large body (a picture) goes straight to the caller: copying it
        // through the block would only cost time.
        const std::size_t got = FStream.Read(out + done, wanted);
        if (got == 0) break;
        FStreamPos += static_cast<std::int64_t>(got);
        done += got;
        continue;
      }
      FBufSize = FStream.Read(FBuf.data(), BufferSize);
      if (FBufSize == 0) break;
    }
    const std::size_t n = std::min(FBufSize - FBufPos, count - done);
    std::memcpy(out + done, FBuf.data() + FBufPos, n);
    FBufPos += n;
    done += n;
  }
  return done;
}

std::int64_t TBufferedStream::Seek(std::int64_t offset, TSeekOrigin origin) {
  const std::int64_t target = ClampSeekTarget(offset, origin, Position(), FStreamSize);
  if (target >= FStreamPos && target - FStreamPos <= static_cast<std::int64_t>(FBufSize)) {
    FBufPos = static_cast<std::size_t>(target - FStreamPos);
    return target;
  }
  FStreamPos = FStream.SeekTo(target);
  FBufPos = FBufSize = 0;
  return FStreamPos;
}

}  // namespace velmaro::tags
