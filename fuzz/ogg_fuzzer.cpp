// Feeds arbitrary bytes to the Ogg readers: the stream values of
// TOggVorbis and TOggOpus and the comments of TOpusTag, asking every value and the
// names the import asks for. A lookup by name walks the whole list, so the
// target looks names up a fixed number of times, never once per frame.
#include <cstddef>
#include <cstdint>

#include "tags/common/TStream.h"
#include "tags/ogg/TOggOpus.h"
#include "tags/ogg/TOggVorbis.h"
#include "tags/ogg/TOpusTag.h"

using namespace velmaro::tags;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  {
    TMemoryStream stream(data, size);
    TOggVorbis ogg;
    const bool read = ogg.ReadFromStream(stream);
    const bool valid = ogg.Valid();
    volatile double sink = ogg.Duration() + ogg.BitRate() + ogg.SampleRate() + ogg.ChannelModeID() +
                           ogg.BitRateNominal() + ogg.Samples() + static_cast<double>(ogg.ID3v2Size());
    (void)sink;
    if (!read && ogg.ChannelModeID() != 0) __builtin_trap();
    if (valid && ogg.BitRate() == 0) __builtin_trap();
    if (ogg.ID3v2Size() > static_cast<std::int64_t>(size)) __builtin_trap();
  }
  {
    TMemoryStream stream(data, size);
    TOggOpus opus;
    const bool read = opus.ReadFromStream(stream);
    const bool valid = opus.Valid();
    volatile double sink = opus.Duration() + opus.BitRate() + opus.ChannelCount() + opus.PreSkip() +
                           opus.InputSampleRate() + static_cast<double>(opus.Granule());
    (void)sink;
    if (!read && (opus.ChannelCount() != 0 || valid)) __builtin_trap();
    if (valid && (opus.BitRate() == 0 || opus.Duration() <= 0.1)) __builtin_trap();
    if (opus.ID3v2Size() > static_cast<std::int64_t>(size)) __builtin_trap();
  }
  {
    TMemoryStream stream(data, size);
    stream.SeekTo(static_cast<std::int64_t>(size / 2));
    TOpusTag tag;
    const int result = tag.LoadFromStream(stream);
    if (stream.Position() != static_cast<std::int64_t>(size / 2)) __builtin_trap();
    std::size_t sink = tag.VendorString().size() + tag.FirstOGGPage().size();
    for (const TOpusTagFrame& frame : tag.Frames()) {
      sink += frame.GetAsText().size() + frame.Name.size();
      if (frame.Stream.size() > size) __builtin_trap();
    }
    for (const char16_t* name : {u"ARTIST", u"TITLE", u"ALBUM", u"YEAR", u"GENRE", u"COMMENT", u"TRACKNUMBER"})
      sink += tag.ReadFrameByNameAsText(name).size();
    sink += static_cast<std::size_t>(tag.FrameExists(u"METADATA_BLOCK_PICTURE") + 1);
    volatile std::size_t keep = sink;
    (void)keep;
    if (result != TOpusTag::ResultOk && (tag.Count() != 0 || tag.Loaded())) __builtin_trap();
    if (result == TOpusTag::ResultOk && !tag.Loaded()) __builtin_trap();
  }
  return 0;
}
