#include "tags/mp4/MP4StreamInfo.h"

#include <algorithm>
#include <array>
#include <limits>

#include "tags/mp4/MP4AtomHeader.h"

namespace velmaro::tags {

namespace {

bool Is(const TMP4AtomHeader& header, std::u16string_view name) { return AtomNameEquals(header.Name, name); }

bool HasZeroName(const TMP4AtomHeader& header) { return header.Name == TAtomName{}; }

void ReadAudioSampleEntry(TStream& stream, const TMP4AtomHeader& entry, TMP4TrackValues& values) {
  stream.Skip(16);  // reserved, data reference index, version, revision, vendor
  values.AudioChannelCount = stream.ReadBE16();
  values.AudioResolution = stream.ReadBE16();
  if (Is(entry, u"alac")) {
    // The rate inside the codec's configuration atom that follows.
    stream.Skip(40);
    values.AudioSampleRate = stream.ReadBE32();
    values.AudioFormat = TMP4AudioFormat::mp4afALAC;
    return;
  }
  // Two reserved bytes and the integer part of the 16.16 rate: the rate
  // in Hz.
  stream.Skip(2);
  values.AudioSampleRate = stream.ReadBE32();
  values.AudioFormat = Is(entry, u"mp4a") ? TMP4AudioFormat::mp4afAAC : TMP4AudioFormat::mpfafAC3;
}

// Scans for mdia, then minf, stbl, stsd and the sample entries. Every scan
// stops at the end of the track: a track whose atoms are not where they
// belong must not send each track's scan over the rest of the file.
class TSampleDescriptionScan {
 public:
  TSampleDescriptionScan(TStream& stream, TMP4AtomWalk& walk, std::int64_t trackEnd, TMP4TrackValues& values)
      : FStream(stream), FWalk(walk), FTrackEnd(trackEnd), FValues(values) {}

  // True when a sample entry gave the track's audio values.
  bool Run() { return ScanLevel(0); }

 private:
  static constexpr std::array<std::u16string_view, 4> Levels{u"mdia", u"minf", u"stbl", u"stsd"};
  static constexpr std::size_t EntryLevel = Levels.size();

  bool Inside() const { return FStream.Position() < FTrackEnd; }

  // Goes on to the end of the track: a level that ends early would only
  // miss an entry that lies further on.
  bool ScanLevel(std::size_t level) {
    TMP4AtomHeader header;
    while (Inside() && FWalk.Next(FStream, true, header)) {
      if (level == EntryLevel) {
        if (Is(header, u"mp4a") || Is(header, u"alac") || Is(header, u"ac-3")) {
          ReadAudioSampleEntry(FStream, header, FValues);
          return true;
        }
        SkipMP4Atom(FStream, header);
      } else if (Is(header, Levels[level])) {
        if (level + 1 == EntryLevel) {
          FStream.Skip(4);  // version and flags
          // Only a single sample entry is examined; otherwise this level
          // simply goes on from the first entry.
          if (FStream.ReadBE32() == 1 && ScanLevel(EntryLevel)) return true;
        } else if (ScanLevel(level + 1)) {
          return true;
        }
      } else {
        SkipMP4Atom(FStream, header);
      }
    }
    return false;
  }

  TStream& FStream;
  TMP4AtomWalk& FWalk;
  std::int64_t FTrackEnd;
  TMP4TrackValues& FValues;
};

// The first "tkhd" of the track: keeps its picture size when both sides
// are at least as large as the ones already found.
void ReadTrackHeader(TStream& stream, TMP4AtomWalk& walk, std::int64_t trackEnd, TMP4TrackValues& values) {
  TMP4AtomHeader header;
  while (stream.Position() < trackEnd && walk.Next(stream, true, header)) {
    if (Is(header, u"tkhd")) {
      stream.Skip(76);
      const std::int32_t width = stream.ReadBE16();
      stream.Skip(2);
      const std::int32_t height = stream.ReadBE16();
      if (width >= values.VideoWidth && height >= values.VideoHeight) {
        values.VideoWidth = width;
        values.VideoHeight = height;
      }
      return;
    }
    SkipMP4Atom(stream, header);
  }
}

}  // namespace

TMP4MdatInfo FindMP4MdatAtom(TStream& stream) {
  const std::int64_t start = stream.Position();
  TMP4MdatInfo mdat;
  stream.SeekTo(0);
  TMP4AtomWalk walk;
  TMP4AtomHeader header;
  while (walk.Next(stream, false, header)) {
    if (Is(header, u"mdat")) {
      mdat.Position = header.Start;
      mdat.Size =
          static_cast<std::int64_t>(std::min<std::uint64_t>(header.Size, std::numeric_limits<std::int64_t>::max()));
      break;
    }
    if (!header.CoversHeader() || HasZeroName(header)) break;
    SkipMP4Atom(stream, header);
  }
  stream.SeekTo(start);
  return mdat;
}

double ReadMP4MovieDuration(TStream& stream) {
  const std::int64_t start = stream.Position();
  double seconds = 0;
  try {
    stream.SeekTo(0);
    TMP4AtomWalk walk;
    TMP4AtomHeader header;
    if (walk.Next(stream, false, header) && Is(header, u"ftyp")) {
      SkipMP4Atom(stream, header);
      bool found = false;
      while (!found && walk.Next(stream, true, header)) {
        if (!Is(header, u"moov")) {
          SkipMP4Atom(stream, header);
          continue;
        }
        TMP4AtomHeader child;
        while (walk.Next(stream, true, child)) {
          if (!Is(child, u"mvhd")) {
            SkipMP4Atom(stream, child);
            continue;
          }
          const std::uint8_t version = stream.ReadU8();
          stream.Skip(3);  // flags
          std::uint32_t timeScale = 0;
          std::uint64_t duration = 0;
          if (version == 1) {
            stream.Skip(8 + 8);  // creation and modification time
            timeScale = stream.ReadBE32();
            duration = stream.ReadBE64();
          } else {
            stream.Skip(4 + 4);
            timeScale = stream.ReadBE32();
            duration = stream.ReadBE32();
          }
          if (timeScale != 0 && duration != 0) seconds = static_cast<double>(duration) / timeScale;
          found = true;
          break;
        }
      }
    }
  } catch (const EMP4Error&) {
    seconds = 0;
  }
  stream.SeekTo(start);
  return seconds;
}

void ReadMP4TrackInfo(TStream& stream, TMP4TrackValues& values) {
  values.VideoWidth = 0;
  values.VideoHeight = 0;
  try {
    TMP4AtomWalk walk;
    TMP4AtomHeader top;
    while (walk.Next(stream, false, top) && top.CoversHeader()) {
      if (!Is(top, u"moov")) {
        SkipMP4Atom(stream, top);
        continue;
      }
      TMP4AtomHeader child;
      while (walk.Next(stream, false, child) && child.CoversHeader() && !HasZeroName(child)) {
        if (Is(child, u"trak")) {
          const std::int64_t trackEnd = MP4AtomEnd(child, stream.Size());
          ReadTrackHeader(stream, walk, trackEnd, values);
          stream.SeekTo(child.DataStart());
          TSampleDescriptionScan(stream, walk, trackEnd, values).Run();
        }
        SkipMP4Atom(stream, child);
      }
    }
  } catch (const EMP4Error&) {
    // A corrupt header ends the walk; what was found stays.
  }
}

}  // namespace velmaro::tags
