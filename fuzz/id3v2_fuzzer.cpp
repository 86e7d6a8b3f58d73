// Fuzz target for the ID3v2 tag location and the ID3v2 reader: the bytes
// are a whole file. The tag is read through the read-ahead buffer and
// directly, and both readings must find the same frames; the buffered one
// then answers what the import asks, after unsynchronisation is removed.
//
// Each lookup walks the frame list and decodes a whole frame body, so the
// target asks a fixed set of questions: asking per frame would make it
// quadratic in the input and slow the fuzzer a hundredfold on large tags.
#include <cstddef>
#include <cstdint>
#include <string>

#include "tags/common/TBufferedStream.h"
#include "tags/common/TagLocation.h"
#include "tags/id3v2/TID3v2Tag.h"

using namespace velmaro::tags;

namespace {

// Every answer is summed into a value the compiler must keep.
volatile std::size_t Sink = 0;

bool SameFrame(const TID3v2Frame& a, const TID3v2Frame& b) {
  return a.ID == b.ID && a.Size == b.Size && a.Stream == b.Stream && a.Flags == b.Flags &&
         a.Compressed == b.Compressed && a.Encrypted == b.Encrypted && a.Unsynchronised == b.Unsynchronised &&
         a.DataLengthIndicatorValue == b.DataLengthIndicatorValue;
}

bool SameTag(const TID3v2Tag& a, const TID3v2Tag& b) {
  if (a.Loaded() != b.Loaded() || a.Size() != b.Size() || a.Position() != b.Position() ||
      a.Error() != b.Error() || a.SourceFileType() != b.SourceFileType() || a.FileSize() != b.FileSize() ||
      a.FrameCount() != b.FrameCount())
    return false;
  for (std::size_t i = 0; i < a.Frames().size(); ++i)
    if (!SameFrame(a.Frames()[i], b.Frames()[i])) return false;
  return true;
}

// What the import asks of a loaded tag, plus the UTF-8 decoding of one
// text frame, which the import leaves to its own repair.
std::size_t QueryAsImport(const TID3v2Tag& tag) {
  std::size_t sum = 0;
  for (const char* id : {"TPE1", "TIT2", "TALB", "TYER", "TDRC", "TCON", "TRCK"})
    sum += tag.GetUnicodeText(id, true).size();
  sum += tag.GetUnicodeText("TIT2", false).size();
  std::string language;
  std::u16string description, text;
  sum += tag.GetUnicodeComment("COMM", language, description).size() + language.size() + description.size();
  if (language.size() != 3) __builtin_trap();
  sum += static_cast<std::size_t>(tag.FindTXXXByDescription(u"COMMENT", text) + 1) + text.size();
  sum += static_cast<std::size_t>(tag.FrameExists("APIC") + 1) + static_cast<std::size_t>(tag.FileSize());
  return sum;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::size_t sum = 0;
  {
    TMemoryStream stream(data, size);
    TBufferedStream buffered(stream);
    const TID3v2Location location = LocateID3v2Tag(buffered, 64);
    sum += location.Found + static_cast<std::size_t>(buffered.Position());
  }
  TID3v2Tag tags[2];
  int results[2] = {-1, -1};
  for (const bool buffered : {true, false}) {
    TMemoryStream stream(data, size);
    tags[buffered].SetDecodeANSIText(true);
    results[buffered] = tags[buffered].LoadFromStream(stream, buffered);
  }
  if (results[0] != results[1] || !SameTag(tags[0], tags[1])) __builtin_trap();
  TID3v2Tag& tag = tags[1];
  if (tag.FileSize() != static_cast<std::int64_t>(size)) __builtin_trap();
  if (results[1] == TID3v2Tag::ResultSuccess) {
    tag.RemoveUnsynchronisationOnAllFrames();
    for (const TID3v2Frame& frame : tag.Frames())
      if (frame.Unsynchronised) __builtin_trap();
    sum += QueryAsImport(tag);
  }
  Sink = sum;
  return 0;
}
