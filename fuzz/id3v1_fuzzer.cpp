// Feeds arbitrary bytes to the ID3v1 / Lyrics3 reader and asks every value,
// with and without the 8-bit code page.
#include <cstddef>
#include <cstdint>

#include "tags/common/TStream.h"
#include "tags/id3v1/TID3v1Tag.h"

using namespace velmaro::tags;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  for (const bool ansi : {true, false}) {
    TMemoryStream stream(data, size);
    TID3v1Tag tag;
    tag.SetReturnANSIText(ansi);
    tag.SetTreatUnknownGenresAsOther(!ansi);
    const int result = tag.LoadFromStream(stream);
    std::size_t sink = tag.Title().size() + tag.Artist().size() + tag.Album().size() + tag.Year().size() +
                       tag.Comment().size() + tag.Genre().size() + tag.TrackString().size() + tag.Track() +
                       static_cast<std::size_t>(tag.FileSize()) + static_cast<std::size_t>(tag.LyricsTagSize());
    for (const TID3LyricsFrame& frame : tag.LyricsFrames()) sink += frame.ID.size() + frame.Data.size();
    sink += tag.LyricsHasTimeStamp() + tag.InhibitTracksForRandomSelection() + tag.Revision1();
    volatile std::size_t keep = sink;
    (void)keep;
    if (result != 0 && (tag.Loaded() || !tag.Title().empty() || !tag.LyricsFrames().empty())) __builtin_trap();
    if (result == 0 && tag.FileSize() != static_cast<std::int64_t>(size)) __builtin_trap();
  }
  return 0;
}
