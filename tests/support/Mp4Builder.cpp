#include "support/Mp4Builder.h"

#include <stdexcept>

namespace velmaro::testsupport {

namespace {

TBytes Name(std::string_view name) {
  if (name.size() != 4) throw std::invalid_argument("an atom name has four bytes");
  return AsciiBytes(name);
}

TBytes Zeros(std::size_t count) { return TBytes(count, 0); }

}  // namespace

TBytes Mp4Atom(std::string_view name, const TBytes& body) {
  return JoinBytes({BE32(static_cast<std::uint32_t>(8 + body.size())), Name(name), body});
}

TBytes Mp4Atom(std::string_view name, std::initializer_list<TBytes> children) {
  TBytes body;
  for (const TBytes& child : children) AppendBytes(body, child);
  return Mp4Atom(name, body);
}

TBytes Mp4LargeAtom(std::string_view name, const TBytes& body) {
  return JoinBytes({BE32(1), Name(name), BE64(16 + body.size()), body});
}

TBytes Mp4AtomWithSize(std::string_view name, std::uint32_t size, const TBytes& body) {
  return JoinBytes({BE32(size), Name(name), body});
}

TBytes Mp4Ftyp() { return Mp4Atom("ftyp", JoinBytes({AsciiBytes("M4A "), BE32(0), AsciiBytes("M4A isom")})); }

TBytes Mp4Mvhd(int version, std::uint32_t timeScale, std::uint64_t duration) {
  TBytes body = {static_cast<std::uint8_t>(version), 0, 0, 0};
  if (version == 1)
    AppendBytes(body, JoinBytes({BE64(1), BE64(2), BE32(timeScale), BE64(duration)}));
  else
    AppendBytes(body, JoinBytes({BE32(1), BE32(2), BE32(timeScale), BE32(static_cast<std::uint32_t>(duration))}));
  AppendBytes(body, Zeros(80));  // rate, volume, matrix, next track ID ...
  return Mp4Atom("mvhd", body);
}

TBytes Mp4Data(std::uint32_t type, const TBytes& payload) {
  return Mp4Atom("data", JoinBytes({BE32(type), BE32(0), payload}));
}

TBytes Mp4Item(std::string_view name, std::initializer_list<TBytes> subAtoms) { return Mp4Atom(name, subAtoms); }

TBytes Mp4TextItem(std::string_view name, std::string_view utf8) {
  return Mp4Item(name, {Mp4Data(Mp4Utf8, AsciiBytes(utf8))});
}

TBytes Mp4TrackItem(std::uint16_t track, std::uint16_t count) {
  return Mp4Item("trkn", {Mp4Data(Mp4Implicit, JoinBytes({BE16(0), BE16(track), BE16(count), BE16(0)}))});
}

TBytes Mp4GenreItem(std::uint16_t number) { return Mp4Item("gnre", {Mp4Data(Mp4Implicit, BE16(number))}); }

TBytes Mp4Udta(const std::vector<TBytes>& items, std::uint32_t metaFlags) {
  TBytes ilst;
  for (const TBytes& item : items) AppendBytes(ilst, item);
  const TBytes hdlr = Mp4Atom("hdlr", JoinBytes({Zeros(8), AsciiBytes("mdirappl"), Zeros(9)}));
  const TBytes meta = Mp4Atom("meta", JoinBytes({BE32(metaFlags & 0xFFFFFF), hdlr, Mp4Atom("ilst", ilst)}));
  return Mp4Atom("udta", meta);
}

TBytes Mp4AudioEntry(std::string_view kind, std::uint16_t channels, std::uint16_t sampleSize,
                     std::uint16_t sampleRate) {
  return Mp4Atom(kind, JoinBytes({Zeros(6), BE16(1), Zeros(8), BE16(channels), BE16(sampleSize), BE16(0), BE16(0),
                                  BE16(sampleRate), BE16(0), Mp4Atom("esds", Zeros(20))}));
}

TBytes Mp4AlacEntry(std::uint16_t channels, std::uint16_t sampleSize, std::uint16_t outerRate,
                    std::uint32_t configRate) {
  const TBytes config = Mp4Atom(
      "alac", JoinBytes({BE32(0),
                         BE32(4096),
                         {0, static_cast<std::uint8_t>(sampleSize), 40, 10, 14, static_cast<std::uint8_t>(channels)},
                         BE16(255),
                         BE32(0),
                         BE32(0),
                         BE32(configRate)}));
  return Mp4Atom("alac", JoinBytes({Zeros(6), BE16(1), Zeros(8), BE16(channels), BE16(sampleSize), BE16(0), BE16(0),
                                    BE16(outerRate), BE16(0), config}));
}

TBytes Mp4Track(const std::vector<TBytes>& sampleEntries, std::uint16_t width, std::uint16_t height, int entryCount) {
  TBytes entries;
  for (const TBytes& entry : sampleEntries) AppendBytes(entries, entry);
  const std::uint32_t count =
      entryCount < 0 ? static_cast<std::uint32_t>(sampleEntries.size()) : static_cast<std::uint32_t>(entryCount);
  const TBytes tkhd = Mp4Atom("tkhd", JoinBytes({Zeros(76), BE16(width), BE16(0), BE16(height), BE16(0)}));
  const TBytes stbl = Mp4Atom("stbl", {Mp4Atom("stsd", JoinBytes({BE32(0), BE32(count), entries})),
                                       Mp4Atom("stts", Zeros(8)), Mp4Atom("stsz", Zeros(12))});
  const TBytes minf = Mp4Atom("minf", {Mp4Atom("smhd", Zeros(8)), Mp4Atom("dinf", Zeros(8)), stbl});
  const TBytes mdia = Mp4Atom("mdia", {Mp4Atom("mdhd", Zeros(24)), Mp4Atom("hdlr", Zeros(25)), minf});
  return Mp4Atom("trak", {tkhd, mdia});
}

TBytes Mp4File(const Mp4FileLayout& layout) {
  TBytes moovBody = Mp4Mvhd(layout.mvhdVersion, layout.timeScale, layout.duration);
  for (const TBytes& track : layout.tracks) AppendBytes(moovBody, track);
  if (layout.withUdta) AppendBytes(moovBody, Mp4Udta(layout.items));
  const TBytes moov = Mp4Atom("moov", moovBody);
  const TBytes audio(layout.mdatPayload, 0x21);
  const TBytes mdat = layout.largeMdat ? Mp4LargeAtom("mdat", audio) : Mp4Atom("mdat", audio);
  return layout.moovAfterMdat ? JoinBytes({Mp4Ftyp(), mdat, moov}) : JoinBytes({Mp4Ftyp(), moov, mdat});
}

}  // namespace velmaro::testsupport
