// Byte builders for MP4 files: atoms with 32- and 64-bit sizes, hostile
// size fields, metadata items, sample entries, tracks and whole files in
// either order of "moov" and "mdat".
//
// Names are byte strings: "\251nam" (octal A9) is the item written "©nam".
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <vector>

#include "support/TagBytes.h"

namespace velmaro::testsupport {

// An atom with a 32-bit size covering header and body.
TBytes Mp4Atom(std::string_view name, const TBytes& body);
TBytes Mp4Atom(std::string_view name, std::initializer_list<TBytes> children);
// The 64-bit form: size field 1, the name, then the 64-bit size.
TBytes Mp4LargeAtom(std::string_view name, const TBytes& body);
// An atom whose 32-bit size field says size, whatever the body holds.
TBytes Mp4AtomWithSize(std::string_view name, std::uint32_t size, const TBytes& body = {});

TBytes Mp4Ftyp();
// "mvhd" of version 0 (32-bit duration) or 1 (64-bit duration).
TBytes Mp4Mvhd(int version, std::uint32_t timeScale, std::uint64_t duration);

// Data types of "data" sub-atoms.
inline constexpr std::uint32_t Mp4Implicit = 0;
inline constexpr std::uint32_t Mp4Utf8 = 1;
inline constexpr std::uint32_t Mp4Jpeg = 13;
inline constexpr std::uint32_t Mp4Integer = 21;

// A "data" sub-atom: type, locale 0, payload.
TBytes Mp4Data(std::uint32_t type, const TBytes& payload);
// An item of the "ilst": its name and the given sub-atoms.
TBytes Mp4Item(std::string_view name, std::initializer_list<TBytes> subAtoms);
TBytes Mp4TextItem(std::string_view name, std::string_view utf8);
// "trkn": reserved, track, count, reserved.
TBytes Mp4TrackItem(std::uint16_t track, std::uint16_t count);
// "gnre": the numbered genre plus one, as a 2-byte integer.
TBytes Mp4GenreItem(std::uint16_t number);
// "udta" > "meta" (version 0, flags, "hdlr") > "ilst" of the items.
TBytes Mp4Udta(const std::vector<TBytes>& items, std::uint32_t metaFlags = 0);

// An audio sample entry as "mp4a" and "ac-3" carry it: channels, sample
// size and the 16.16 rate.
TBytes Mp4AudioEntry(std::string_view kind, std::uint16_t channels, std::uint16_t sampleSize, std::uint16_t sampleRate);
// An "alac" entry: the outer 16.16 rate and the rate of the "alac"
// configuration atom inside it.
TBytes Mp4AlacEntry(std::uint16_t channels, std::uint16_t sampleSize, std::uint16_t outerRate,
                    std::uint32_t configRate);
// "trak" > "tkhd" (picture size), "mdia" > "minf" > "stbl" > "stsd" with
// the given sample entries (its count field says entryCount, by default
// their number).
TBytes Mp4Track(const std::vector<TBytes>& sampleEntries, std::uint16_t width = 0, std::uint16_t height = 0,
                int entryCount = -1);

struct Mp4FileLayout {
  int mvhdVersion = 0;
  std::uint32_t timeScale = 1000;
  std::uint64_t duration = 10000;
  std::vector<TBytes> tracks;  // Mp4Track each
  std::vector<TBytes> items;   // ilst items; no "udta" when empty and withUdta is off
  bool withUdta = true;
  std::size_t mdatPayload = 1000;  // bytes of audio after the mdat header
  bool largeMdat = false;          // the 64-bit form of the mdat size
  bool moovAfterMdat = false;
};
TBytes Mp4File(const Mp4FileLayout& layout);

}  // namespace velmaro::testsupport
