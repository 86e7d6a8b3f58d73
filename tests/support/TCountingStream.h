// A memory stream that counts what its reader asks of it: the number of
// reads and seeks and the bytes read. Shows whether a reader skips data
// by seeking and batches its small reads.
#pragma once

#include <cstdint>
#include <vector>

#include "tags/common/TStream.h"

namespace velmaro::testsupport {

class TCountingStream final : public tags::TStream {
 public:
  explicit TCountingStream(std::vector<std::uint8_t> bytes) : FInner(std::move(bytes)) {}
  std::size_t Read(void* buffer, std::size_t count) override {
    ++Reads;
    const std::size_t got = FInner.Read(buffer, count);
    BytesRead += got;
    return got;
  }
  std::int64_t Seek(std::int64_t offset, tags::TSeekOrigin origin) override {
    ++Seeks;
    return FInner.Seek(offset, origin);
  }
  std::int64_t Size() const override { return FInner.Size(); }
  std::int64_t Position() const override { return FInner.Position(); }

  int Reads = 0;
  int Seeks = 0;
  std::uint64_t BytesRead = 0;

 private:
  tags::TMemoryStream FInner;
};

}  // namespace velmaro::testsupport
