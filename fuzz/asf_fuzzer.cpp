// Feeds arbitrary bytes to the ASF readers: the stream values of TWMAfile
// and the attribute list of TWMATag, asking every frame's value and the
// names the import asks for. A lookup by name walks the whole list, so the
// target looks names up a fixed number of times, never once per frame.
#include <cstddef>
#include <cstdint>

#include "tags/asf/TWMATag.h"
#include "tags/asf/TWMAfile.h"
#include "tags/common/TStream.h"

using namespace velmaro::tags;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  {
    TMemoryStream stream(data, size);
    TWMAfile file;
    const bool read = file.ReadFromStream(stream);
    volatile double sink = file.Duration() + file.BitRate() + file.SampleRate() + file.ChannelModeID() +
                           static_cast<double>(file.FileSize()) + file.FileData().MaxBitRate;
    (void)sink;
    if (!read && file.Valid()) __builtin_trap();
    if (file.Valid() && (file.ChannelModeID() < 1 || file.ChannelModeID() > 2 || file.BitRate() >= 320))
      __builtin_trap();
  }
  {
    TMemoryStream stream(data, size);
    TWMATag tag;
    const int result = tag.LoadFromStream(stream);
    std::size_t sink = 0;
    for (const TWMATagFrame& frame : tag.Frames()) {
      sink += frame.GetAsText().size() + static_cast<std::size_t>(frame.GetAsInteger()) + frame.Name.size();
      if (frame.Stream.empty() || frame.Stream.size() > size) __builtin_trap();
    }
    for (const char16_t* name : {u"Author", u"Title", u"WM/AlbumTitle", u"WM/Year", u"WM/Genre", u"Description",
                                 u"WM/TrackNumber", u"WM/Picture"})
      sink += tag.ReadFrameByNameAsText(name).size();
    volatile std::size_t keep = sink;
    (void)keep;
    if (result != TWMATag::ResultOk && (tag.Count() != 0 || tag.Loaded())) __builtin_trap();
    if (tag.FileSize() != static_cast<std::int64_t>(size)) __builtin_trap();
  }
  return 0;
}
