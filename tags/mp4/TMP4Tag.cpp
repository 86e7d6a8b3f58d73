#include "tags/mp4/TMP4Tag.h"

#include <limits>

#include "tags/common/TBufferedStream.h"
#include "tags/id3v1/Genres.h"
#include "tags/mp4/MP4AtomHeader.h"

namespace velmaro::tags {

namespace {

bool Is(const TMP4AtomHeader& header, std::u16string_view name) { return AtomNameEquals(header.Name, name); }

// The whole "mdat" atom in kbit/s over the play time, rounded half up.
// A size from a hostile header may give any number: it is kept within
// the field's range.
std::int32_t KbitPerSecond(std::int64_t bytes, double seconds) {
  const double value = static_cast<double>(bytes) / seconds / 125 + 0.5;
  if (!(value >= 0)) return 0;
  if (value >= static_cast<double>(std::numeric_limits<std::int32_t>::max()))
    return std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(value);
}

}  // namespace

void TMP4Tag::Clear() {
  FAtoms.clear();
  FLoaded = false;
  FFileSize = 0;
  FAtommdatPosition = 0;
  FAtommdatSize = 0;
  FPlaytime = 0;
  FAudioChannelCount = 0;
  FAudioResolution = 0;
  FAudioSampleRate = 0;
  FBitRate = 0;
  FVideoWidth = 0;
  FVideoHeight = 0;
  FAudioFormat = TMP4AudioFormat::mp4afUnknown;
  FAtommoovPosition = FAtommoovSize = 0;
  FAtomudtaPosition = FAtomudtaSize = 0;
  FAtommetaPosition = FAtommetaSize = 0;
  FAtomilstPosition = FAtomilstSize = 0;
  FVersion = 0;
  FFlags = 0;
}

int TMP4Tag::LoadFromFile(std::u16string_view mp4FileName) {
  Clear();
  TFileStream file(mp4FileName);
  if (!file.IsOpen()) return ResultFileError;
  return LoadFromStream(file, true);
}

int TMP4Tag::LoadFromStream(TStream& mp4Stream, bool buffered) {
  Clear();
  if (!buffered) return Load(mp4Stream);
  TBufferedStream reader(mp4Stream);
  return Load(reader);
}

int TMP4Tag::Load(TStream& stream) {
  stream.SeekTo(0);
  TMP4AtomHeader ftyp;
  if (!ReadMP4AtomHeader(stream, false, ftyp) || !Is(ftyp, u"ftyp")) return ResultNotMP4;

  try {
    FFileSize = stream.Size();
    const TMP4MdatInfo mdat = FindMP4MdatAtom(stream);
    FAtommdatPosition = mdat.Position;
    FAtommdatSize = mdat.Size;
    FPlaytime = ReadMP4MovieDuration(stream);
    if (FPlaytime != 0) FBitRate = KbitPerSecond(FAtommdatSize, FPlaytime);

    SkipMP4Atom(stream, ftyp);
    const std::int64_t afterFtyp = stream.Position();
    TMP4TrackValues track;
    ReadMP4TrackInfo(stream, track);
    FAudioChannelCount = track.AudioChannelCount;
    FAudioResolution = track.AudioResolution;
    FAudioSampleRate = track.AudioSampleRate;
    FAudioFormat = track.AudioFormat;
    FVideoWidth = track.VideoWidth;
    FVideoHeight = track.VideoHeight;
    stream.SeekTo(afterFtyp);

    // moov -> udta -> meta -> ilst. A validated header cannot be smaller
    // than its own header, so every atom moves the walk on.
    TMP4AtomWalk walk;
    TMP4AtomHeader top;
    while (stream.Position() < stream.Size() && walk.Next(stream, true, top)) {
      if (!Is(top, u"moov")) {
        SkipMP4Atom(stream, top);
        continue;
      }
      FAtommoovPosition = top.Start;
      FAtommoovSize = static_cast<std::int64_t>(top.Size);
      if (ScanMoov(stream, walk)) break;
    }
  } catch (const EMP4Error&) {
    return ResultWalkError;
  }
  return FLoaded ? ResultSuccess : ResultNoItems;
}

// The children of "moov" and what follows them: the scan is not bounded
// by the end of "moov". True once an "ilst" was read.
bool TMP4Tag::ScanMoov(TStream& stream, TMP4AtomWalk& walk) {
  TMP4AtomHeader header;
  while (stream.Position() < stream.Size() && walk.Next(stream, true, header)) {
    if (!Is(header, u"udta")) {
      SkipMP4Atom(stream, header);
      continue;
    }
    FAtomudtaPosition = header.Start;
    FAtomudtaSize = static_cast<std::int64_t>(header.Size);
    if (ScanUdta(stream, walk)) return true;
  }
  return false;
}

bool TMP4Tag::ScanUdta(TStream& stream, TMP4AtomWalk& walk) {
  TMP4AtomHeader header;
  while (stream.Position() < stream.Size() && walk.Next(stream, true, header)) {
    if (!Is(header, u"meta")) {
      SkipMP4Atom(stream, header);
      continue;
    }
    FAtommetaPosition = header.Start;
    FAtommetaSize = static_cast<std::int64_t>(header.Size);
    FVersion = stream.ReadU8();
    std::uint8_t flags[3] = {};
    stream.ReadExact(flags, sizeof flags);
    FFlags = flags[0] | flags[1] << 8 | flags[2] << 16;
    if (ScanMeta(stream, walk)) return true;
  }
  return false;
}

// The children of "meta": the first "ilst" is read and ends the load. Like
// the levels above, the scan goes on to the end of the stream; in
// particular an "ilst" at the end of the file that is smaller than the
// atom before it is still found.
bool TMP4Tag::ScanMeta(TStream& stream, TMP4AtomWalk& walk) {
  TMP4AtomHeader header;
  while (stream.Position() < stream.Size() && walk.Next(stream, true, header)) {
    if (Is(header, u"ilst")) {
      FAtomilstPosition = header.Start;
      FAtomilstSize = static_cast<std::int64_t>(header.Size);
      ReadItems(stream, MP4AtomEnd(header, stream.Size()));
      return true;
    }
    SkipMP4Atom(stream, header);
  }
  return false;
}

// Every item reads at least its 8-byte header, and the validated "ilst"
// ends inside the stream, so the loop ends. Items and their "data"
// entries together stop at the item limit, as if the list ended there.
void TMP4Tag::ReadItems(TStream& stream, std::int64_t ilstEnd) {
  TTagBudget budget;
  while (stream.Position() < ilstEnd && budget.TakeItem()) {
    AddAtom(TAtomName{}).Read(stream, budget);
    FLoaded = true;
  }
}

TMP4Atom& TMP4Tag::AddAtom(const TAtomName& name) {
  TMP4Atom& atom = FAtoms.emplace_back();
  atom.ID = name;
  atom.Index = static_cast<int>(FAtoms.size()) - 1;
  return atom;
}

const TMP4Atom* TMP4Tag::FindAtom(const TAtomName& name) const {
  for (const TMP4Atom& atom : FAtoms)
    if (atom.ID == name) return &atom;
  return nullptr;
}

std::u16string TMP4Tag::GetText(const TAtomName& name) const {
  const TMP4Atom* atom = FindAtom(name);
  return atom ? atom->GetAsText() : std::u16string();
}

std::uint16_t TMP4Tag::GetInteger16(const TAtomName& name) const {
  const TMP4Atom* atom = FindAtom(name);
  return atom ? atom->GetAsInteger16() : 0;
}

bool TMP4Tag::GetInteger48(const TAtomName& name, std::uint32_t& lowDWord, std::uint16_t& hiWord,
                           std::uint64_t& value) const {
  lowDWord = 0;
  hiWord = 0;
  value = 0;
  const TMP4Atom* atom = FindAtom(name);
  return atom && atom->GetAsInteger48(lowDWord, hiWord, value);
}

std::uint16_t TMP4Tag::GetTrack() const {
  std::uint32_t low = 0;
  std::uint16_t high = 0;
  std::uint64_t value = 0;
  // "trkn" holds 2 reserved bytes, the track number, the track count.
  return GetInteger48(u"trkn", low, high, value) ? static_cast<std::uint16_t>(low >> 16) : 0;
}

std::u16string TMP4Tag::GetGenre() const {
  // "gnre" stores the numbered genre plus one.
  const int number = GetInteger16(u"gnre");
  if (number >= 1 && number <= GenreCount) {
    const std::u16string_view name = GenreName(number - 1);
    if (!name.empty()) return std::u16string(name);
  }
  return GetText(u"\u00A9gen");
}

}  // namespace velmaro::tags
