// Reader of MPEG-4 audio files (.m4a, .m4r, .m4b): the metadata items of
// moov/udta/meta/ilst and a few stream values (play time, bit rate, the
// audio sample entry's channels, sample size and rate).
//
// One object per file: create, load once, query, free. The file is only
// read. The load's result code says whether metadata items were found;
// the stream values are filled whenever the file starts with "ftyp".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tags/common/TStream.h"
#include "tags/mp4/MP4AtomName.h"
#include "tags/mp4/MP4StreamInfo.h"
#include "tags/mp4/TMP4Atom.h"

namespace velmaro::tags {

class TMP4AtomWalk;

class TMP4Tag {
 public:
  // Results of the load operations.
  static constexpr int ResultSuccess = 0;    // at least one item was read
  static constexpr int ResultNoItems = 1;    // no "ilst", or an empty one
  static constexpr int ResultFileError = 4;  // the file could not be opened
  static constexpr int ResultWalkError = 5;  // a corrupt atom header on the metadata path
  static constexpr int ResultNotMP4 = 9;     // the first atom is not "ftyp"

  TMP4Tag() = default;

  // Loads a file, opened read-only, always through the read-ahead buffer.
  int LoadFromFile(std::u16string_view mp4FileName);
  // The same from any stream (tests, fuzzers, data in memory); offsets
  // count from the start of the stream. Never gives ResultFileError.
  int LoadFromStream(TStream& mp4Stream, bool buffered = true);

  // Frees every item and zeroes every value.
  void Clear();

  int Count() const { return static_cast<int>(FAtoms.size()); }
  const std::vector<TMP4Atom>& Atoms() const { return FAtoms; }
  // The first item with that name, or null. Text names give each
  // character's low 8 bits as one byte (u"©nam" is A9 6E 61 6D).
  const TMP4Atom* FindAtom(const TAtomName& name) const;
  const TMP4Atom* FindAtom(std::u16string_view name) const { return FindAtom(MakeAtomName(name)); }

  // The first item's value as text (see TMP4Atom::GetAsText); empty when
  // there is no such item.
  std::u16string GetText(const TAtomName& name) const;
  std::u16string GetText(std::u16string_view name) const { return GetText(MakeAtomName(name)); }
  std::uint16_t GetInteger16(const TAtomName& name) const;
  std::uint16_t GetInteger16(std::u16string_view name) const { return GetInteger16(MakeAtomName(name)); }
  bool GetInteger48(const TAtomName& name, std::uint32_t& lowDWord, std::uint16_t& hiWord, std::uint64_t& value) const;
  bool GetInteger48(std::u16string_view name, std::uint32_t& lowDWord, std::uint16_t& hiWord,
                    std::uint64_t& value) const {
    return GetInteger48(MakeAtomName(name), lowDWord, hiWord, value);
  }

  // The track number from "trkn" (its payload bytes 2-3); 0 without one.
  std::uint16_t GetTrack() const;
  // The genre: the numbered genre of "gnre" (1 is Blues) when it names
  // one, else the text of "©gen".
  std::u16string GetGenre() const;

  bool Loaded() const { return FLoaded; }
  std::int64_t FileSize() const { return FFileSize; }
  std::int64_t mdatAtomPosition() const { return FAtommdatPosition; }
  std::int64_t mdatAtomSize() const { return FAtommdatSize; }
  double Playtime() const { return FPlaytime; }  // seconds
  std::uint16_t AudioChannelCount() const { return FAudioChannelCount; }
  std::int32_t AudioResolution() const { return FAudioResolution; }   // bits per sample
  std::uint32_t AudioSampleRate() const { return FAudioSampleRate; }  // Hz
  std::int32_t BitRate() const { return FBitRate; }                   // kbit/s
  std::int32_t VideoWidth() const { return FVideoWidth; }
  std::int32_t VideoHeight() const { return FVideoHeight; }
  TMP4AudioFormat AudioFormat() const { return FAudioFormat; }
  std::int64_t AtommoovPosition() const { return FAtommoovPosition; }
  std::int64_t AtommoovSize() const { return FAtommoovSize; }
  std::int64_t AtomudtaPosition() const { return FAtomudtaPosition; }
  std::int64_t AtomudtaSize() const { return FAtomudtaSize; }
  std::int64_t AtommetaPosition() const { return FAtommetaPosition; }
  std::int64_t AtommetaSize() const { return FAtommetaSize; }
  std::int64_t AtomilstPosition() const { return FAtomilstPosition; }
  std::int64_t AtomilstSize() const { return FAtomilstSize; }
  const std::u16string& FileName() const { return FFileName; }  // loading leaves it empty
  std::uint8_t Version() const { return FVersion; }             // from "meta"
  std::uint32_t Flags() const { return FFlags; }                // "meta" flag bytes, first byte lowest
  std::uint32_t PaddingToWrite() const { return FPaddingToWrite; }

 private:
  int Load(TStream& stream);
  bool ScanMoov(TStream& stream, TMP4AtomWalk& walk);
  bool ScanUdta(TStream& stream, TMP4AtomWalk& walk);
  bool ScanMeta(TStream& stream, TMP4AtomWalk& walk);
  void ReadItems(TStream& stream, std::int64_t ilstEnd);
  // Appends an empty item with that name and returns it.
  TMP4Atom& AddAtom(const TAtomName& name);

  bool FLoaded = false;
  std::int64_t FFileSize = 0;
  std::int64_t FAtommdatPosition = 0;
  std::int64_t FAtommdatSize = 0;
  double FPlaytime = 0;
  std::uint16_t FAudioChannelCount = 0;
  std::int32_t FAudioResolution = 0;
  std::uint32_t FAudioSampleRate = 0;
  std::int32_t FBitRate = 0;
  std::int32_t FVideoWidth = 0;
  std::int32_t FVideoHeight = 0;
  TMP4AudioFormat FAudioFormat = TMP4AudioFormat::mp4afUnknown;
  std::int64_t FAtommoovPosition = 0;
  std::int64_t FAtommoovSize = 0;
  std::int64_t FAtomudtaPosition = 0;
  std::int64_t FAtomudtaSize = 0;
  std::int64_t FAtommetaPosition = 0;
  std::int64_t FAtommetaSize = 0;
  std::int64_t FAtomilstPosition = 0;
  std::int64_t FAtomilstSize = 0;
  std::u16string FFileName;
  std::vector<TMP4Atom> FAtoms;
  std::uint8_t FVersion = 0;
  std::uint32_t FFlags = 0;
  std::uint32_t FPaddingToWrite = 4096;
};

}  // namespace velmaro::tags
