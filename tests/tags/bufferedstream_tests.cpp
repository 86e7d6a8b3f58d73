#include <gtest/gtest.h>

#include <random>

#include "support/TCountingStream.h"
#include "tags/common/TBufferedStream.h"

namespace velmaro::tags {
namespace {

using testsupport::TCountingStream;

std::vector<std::uint8_t> Pattern(std::size_t size) {
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
  return bytes;
}

TEST(BufferedStream, GivesTheSameBytesAsTheWrappedStreamUnderRandomReadsAndSeeks) {
  const std::vector<std::uint8_t> data = Pattern(5000);
  TMemoryStream direct(data);
  TMemoryStream inner(data);
  TBufferedStream buffered(inner);
  std::mt19937 random(42);
  for (int step = 0; step < 3000; ++step) {
    const int op = static_cast<int>(random() % 4);
    if (op == 0) {
      const std::int64_t offset = static_cast<std::int64_t>(random() % 6000) - 500;
      const auto origin = static_cast<TSeekOrigin>(random() % 3);
      ASSERT_EQ(direct.Seek(offset, origin), buffered.Seek(offset, origin)) << "step " << step;
    } else {
      // Mostly small reads, now and then one larger than the buffer.
      const std::size_t count = op == 3 ? random() % 3000 : random() % 9;
      const std::vector<std::uint8_t> expected = direct.ReadBytes(count);
      ASSERT_EQ(expected, buffered.ReadBytes(count)) << "step " << step;
    }
    ASSERT_EQ(direct.Position(), buffered.Position()) << "step " << step;
  }
}

TEST(BufferedStream, ClampsSeeksToTheStream) {
  TMemoryStream inner(Pattern(5));
  TBufferedStream buffered(inner);
  EXPECT_EQ(0, buffered.Seek(10, TSeekOrigin::End));
  EXPECT_EQ(5, buffered.Seek(100, TSeekOrigin::Begin));
  EXPECT_EQ(0, buffered.Seek(-1, TSeekOrigin::Begin));
  EXPECT_EQ(5, buffered.Seek(INT64_MAX, TSeekOrigin::Current));
  std::uint8_t byte = 0;
  EXPECT_EQ(0u, buffered.Read(&byte, 1));
}

TEST(BufferedStream, StartsAtTheWrappedStreamsPositionAndKeepsItsSize) {
  TMemoryStream inner(Pattern(100));
  inner.SeekTo(40);
  TBufferedStream buffered(inner);
  EXPECT_EQ(40, buffered.Position());
  EXPECT_EQ(100, buffered.Size());
  EXPECT_EQ(Pattern(100)[40], buffered.ReadU8());
}

TEST(BufferedStream, ServesSmallReadsFromOneBlockAndSeeksWithinItWithoutTheFile) {
  TCountingStream inner(Pattern(3000));
  TBufferedStream buffered(inner);
  for (int i = 0; i < 1000; ++i) buffered.ReadU8();
  EXPECT_EQ(1, inner.Reads);
  buffered.SeekTo(10);
  buffered.ReadBE32();
  EXPECT_EQ(0, inner.Seeks);
  EXPECT_EQ(1, inner.Reads);
  buffered.SeekTo(2000);
  EXPECT_EQ(1, inner.Seeks);
  EXPECT_EQ(Pattern(3000)[2000], buffered.ReadU8());
}

TEST(BufferedStream, ReadsAtTheEndGiveFewerBytesAndZeros) {
  TMemoryStream inner(Pattern(3));
  TBufferedStream buffered(inner);
  EXPECT_EQ(2u, buffered.ReadBytes(2).size());
  EXPECT_EQ(static_cast<std::uint32_t>(Pattern(3)[2]) << 24, buffered.ReadBE32());
  EXPECT_EQ(0u, buffered.ReadBytes(10).size());
}

}  // namespace
}  // namespace velmaro::tags
