// Feeds arbitrary bytes to the MP4 reader, through the read-ahead buffer
// and directly, asks every value and checks that both ways agree. A lookup
// by name walks the whole item list, so the target looks names up a fixed
// number of times, never once per item.
#include <cstddef>
#include <cstdint>

#include "tags/common/TStream.h"
#include "tags/mp4/TMP4Tag.h"

using namespace velmaro::tags;

namespace {

double Sum(const TMP4Tag& tag) {
  double sink = tag.Playtime() + tag.BitRate() + tag.AudioChannelCount() + tag.AudioResolution() +
                tag.AudioSampleRate() + tag.VideoWidth() + tag.VideoHeight() + static_cast<int>(tag.AudioFormat());
  sink += static_cast<double>(tag.FileSize() + tag.mdatAtomPosition() + tag.mdatAtomSize() + tag.AtommoovPosition() +
                              tag.AtommoovSize() + tag.AtomudtaPosition() + tag.AtomudtaSize() +
                              tag.AtommetaPosition() + tag.AtommetaSize() + tag.AtomilstPosition() +
                              tag.AtomilstSize() + tag.Version() + tag.Flags());
  sink += tag.GetTrack() + tag.GetGenre().size() + tag.GetInteger16(u"gnre");
  for (const char16_t* name : {u"\u00A9nam", u"\u00A9ART", u"\u00A9alb", u"\u00A9day", u"\u00A9cmt", u"covr"})
    sink += tag.GetText(name).size() + (tag.FindAtom(name) ? 1 : 0);
  for (const TMP4Atom& atom : tag.Atoms()) {
    std::uint32_t low = 0;
    std::uint16_t high = 0;
    std::uint64_t value = 0;
    sink += atom.GetAsText().size() + atom.GetAsInteger16() + atom.GetAsInteger48(low, high, value) + atom.Size +
            atom.mean.Data.size() + atom.name.Data.size();
    for (const TMP4AtomData& data : atom.Datas) {
      sink += data.GetAsText().size() + data.GetAsInteger8() + data.GetAsInteger16() + data.GetAsInteger32() +
              data.GetAsInteger48(low, high, value) + data.GetAsInteger64(value) + data.GetAsInteger(value) +
              static_cast<double>(value) + data.Reserved;
    }
  }
  return sink;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TMemoryStream buffered(data, size);
  TMemoryStream direct(data, size);
  TMP4Tag a;
  TMP4Tag b;
  const int resultA = a.LoadFromStream(buffered, true);
  const int resultB = b.LoadFromStream(direct, false);
  const double sumA = Sum(a);
  const double sumB = Sum(b);
  if (resultA != resultB || a.Count() != b.Count() || !(sumA == sumB || (sumA != sumA && sumB != sumB)))
    __builtin_trap();
  if (resultA != 0 && resultA != 1 && resultA != 5 && resultA != 9) __builtin_trap();
  if ((resultA == 0) != a.Loaded()) __builtin_trap();
  return 0;
}
