// The one byte source every audio reader reads through.
//
// A stream never reads outside its data: Read returns fewer bytes at the
// end, Seek clamps to 0..Size(), and the fixed-width reads yield 0 for
// every byte that is missing at the end (the readers rely on that rather
// than checking each field). Readers keep no raw pointers into file bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/FileSystem.h"

namespace velmaro::tags {

enum class TSeekOrigin { Begin, Current, End };

class TStream {
 public:
  virtual ~TStream() = default;

  // Reads up to count bytes; returns how many were read (fewer at the end).
  virtual std::size_t Read(void* buffer, std::size_t count) = 0;
  // Moves to the target (for End: offset counted back from the end);
  // targets outside 0..Size() are clamped. Returns the new position.
  virtual std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) = 0;
  virtual std::int64_t Size() const = 0;
  virtual std::int64_t Position() const = 0;

  std::int64_t Remaining() const { return Size() - Position(); }
  std::int64_t SeekTo(std::int64_t position) { return Seek(position, TSeekOrigin::Begin); }
  std::int64_t Skip(std::int64_t count) { return Seek(count, TSeekOrigin::Current); }

  // Up to count bytes; the result is shorter when the data ends first.
  std::vector<std::uint8_t> ReadBytes(std::size_t count);
  // Exactly count bytes, zero-filled past the end. Returns true when all
  // of them came from the data.
  bool ReadExact(void* buffer, std::size_t count);

  std::uint8_t ReadU8();
  std::uint16_t ReadBE16();
  std::uint32_t ReadBE24();
  std::uint32_t ReadBE32();
  std::uint64_t ReadBE64();
  std::uint16_t ReadLE16();
  std::uint32_t ReadLE32();
  std::uint64_t ReadLE64();
  // True when the next bytes equal the text (the position moves past them
  // either way).
  bool ReadMagic(std::string_view magic);
};

// A file opened read-only (other writers denied where the platform can).
class TFileStream final : public TStream {
 public:
  explicit TFileStream(std::u16string_view path);
  bool IsOpen() const { return FFile.IsOpen(); }
  std::size_t Read(void* buffer, std::size_t count) override;
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
  std::int64_t Size() const override { return FSize; }
  std::int64_t Position() const override { return FFile.Position(); }

 private:
  platform::TReadFile FFile;
  std::int64_t FSize = 0;
};

// Bytes held in memory: for tests, fuzzers and data already read.
class TMemoryStream final : public TStream {
 public:
  TMemoryStream() = default;
  explicit TMemoryStream(std::vector<std::uint8_t> bytes) : FData(std::move(bytes)) {}
  TMemoryStream(const std::uint8_t* data, std::size_t size) : FData(data, data + size) {}
  std::size_t Read(void* buffer, std::size_t count) override;
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
  std::int64_t Size() const override { return static_cast<std::int64_t>(FData.size()); }
  std::int64_t Position() const override { return FPos; }
  const std::vector<std::uint8_t>& Data() const { return FData; }

 private:
  std::vector<std::uint8_t> FData;
  std::int64_t FPos = 0;
};

// Clamps a seek target to 0..size, as every stream does.
std::int64_t ClampSeekTarget(std::int64_t offset, TSeekOrigin origin, std::int64_t position,
                             std::int64_t size);

}  // namespace velmaro::tags
