// Feeds arbitrary bytes to the FLAC gate and tag reader, through the
// read-ahead buffer and directly, asks every value and checks that both
// ways agree. A block running past the end raises the readers' one error
// type; any other exception is a fault.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "tags/common/TStream.h"
#include "tags/flac/FlacReadError.h"
#include "tags/flac/TFLACfile.h"
#include "tags/flac/TFlacTag.h"

using namespace velmaro::tags;

namespace {

double Sum(const TFlacTag& tag) {
  double sink = tag.Playtime() + tag.Bitrate() + tag.SampleRate() + tag.Channels() + tag.BitsPerSample() +
                tag.ChannelMode().size() + (tag.Valid() ? 1 : 0) + (tag.Exists() ? 1 : 0) + tag.VendorString().size();
  sink += static_cast<double>(tag.FileSize() + tag.SampleCount() + tag.AudioOffset() + tag.AudioSize() +
                              tag.VCOffset() + tag.TagSize() + tag.MetaBlocksSize() + tag.Padding() +
                              tag.PaddingIndex() + tag.VorbisIndex());
  for (const char16_t* name : {u"ARTIST", u"TITLE", u"ALBUM", u"DATE", u"GENRE", u"COMMENT", u"TRACKNUMBER"})
    sink += tag.ReadFrameByNameAsText(name).size();
  for (const TVorbisComment& comment : tag.Tags()) sink += comment.Name.size() + comment.GetAsText().size();
  // Each picture is parsed again on every call: once per picture, with
  // its bytes copied (the sanitizer checks where they come from).
  TFlacTagCoverArtInfo info;
  std::vector<std::uint8_t> bytes;
  for (int i = -1; tag.GetCoverArtInfo(i, info, &bytes) || i < 0; ++i)
    sink += info.MIMEType.size() + info.Description.size() + info.Width + info.Height + info.SizeOfPictureData +
            bytes.size();
  for (const auto& block : tag.MetaBlockOther()) sink += block.Data.size() + block.BlockType;
  return sink;
}

struct TGate {
  bool Raised = false;
  bool Valid = false;
  double Sum = 0;
};

TGate RunGate(const std::uint8_t* data, std::size_t size) {
  TMemoryStream stream(data, size);
  TFLACfile flac;
  TGate gate;
  try {
    gate.Valid = flac.ReadFromStream(stream);
  } catch (const EFlacReadError&) {
    gate.Raised = true;
  }
  gate.Sum = flac.Duration() + flac.Bitrate() + flac.SampleRate() + flac.Channels() + flac.BitsPerSample() +
             flac.ChannelMode().size() + static_cast<double>(flac.AudioOffset() + flac.Samples() + flac.FileLength());
  if (gate.Valid != flac.Valid() && !gate.Raised) __builtin_trap();
  return gate;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  RunGate(data, size);

  int results[2] = {-1, -1};
  double sums[2] = {0, 0};
  for (const bool buffered : {true, false}) {
    TMemoryStream stream(data, size);
    TFlacTag tag;
    try {
      results[buffered] = tag.LoadFromStream(stream, buffered);
    } catch (const EFlacReadError&) {
      results[buffered] = -2;
    }
    sums[buffered] = Sum(tag);
  }
  if (results[0] != results[1] || !(sums[0] == sums[1] || (sums[0] != sums[0] && sums[1] != sums[1]))) __builtin_trap();
  const int r = results[0];
  if (r != -2 && r != 0 && r != 1 && r != 4 && r != 8) __builtin_trap();
  return 0;
}
