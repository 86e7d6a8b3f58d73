// Fuzz target for the ID3v2 tag location and the ID3v2 reader: the bytes
// are a whole file. Every answer the import asks for is queried, before
// and after unsynchronisation is removed, with and without the read-ahead
// buffer.
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

std::size_t Query(const TID3v2Tag& tag) {
  std::size_t sum = 0;
  for (const char* id : {"TPE1", "TIT2", "TALB", "TYER", "TDRC", "TCON", "TRCK", "APIC", "TXXX", "COMM"}) {
    sum += tag.GetUnicodeText(id, true).size() + tag.GetUnicodeText(id, false).size();
    sum += static_cast<std::size_t>(tag.FrameExists(id) + 1);
  }
  std::string language;
  std::u16string description, text;
  sum += tag.GetUnicodeComment("COMM", language, description).size() + language.size() + description.size();
  sum += static_cast<std::size_t>(tag.FindTXXXByDescription(u"COMMENT", text) + 1) + text.size();
  // Each lookup walks the frame list: asking per frame for every frame
  // would make the target itself quadratic, so only the first frames.
  std::size_t asked = 0;
  for (const TID3v2Frame& frame : tag.Frames()) {
    if (++asked > 32) break;
    const std::string id = FrameIDText(frame.ID);
    sum += tag.GetUnicodeText(id, true).size() + frame.Stream.size();
    sum += tag.GetUnicodeComment(id, language, description).size();
  }
  sum += static_cast<std::size_t>(tag.FileSize()) + tag.Size() + tag.ExtendedHeader3().Data.size() +
          tag.ExtendedHeader4().ExtendedFlagsData.size() + static_cast<std::size_t>(tag.SourceFileType());
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
  for (const bool buffered : {true, false}) {
    TMemoryStream stream(data, size);
    TID3v2Tag tag;
    tag.SetDecodeANSIText(buffered);
    if (tag.LoadFromStream(stream, buffered) != TID3v2Tag::ResultSuccess) continue;
    sum += Query(tag);
    tag.RemoveUnsynchronisationOnAllFrames();
    sum += Query(tag);
  }
  Sink = sum;
  return 0;
}
