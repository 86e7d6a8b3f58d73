#include "tags/id3v1/TID3v1Tag.h"

#include <array>
#include <atomic>
#include <span>

#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "tags/common/TByteView.h"
#include "tags/id3v1/Genres.h"

namespace velmaro::tags {

namespace {

std::atomic<bool> GDefaultTrimText{true};
std::atomic<bool> GDefaultTreatUnknownGenresAsOther{false};
std::atomic<bool> GDefaultReturnANSIText{true};

// Lyrics3 v2 trailer, counted back from the end of the file: the 6-digit
// block size stands in front of "LYRICS200", which stands in front of the
// ID3v1 tag.
constexpr std::int64_t LyricsEndMarkerBack = 137;  // "LYRICS200"
constexpr std::int64_t LyricsSizeBack = 143;       // 6-digit size
constexpr std::string_view LyricsBegin = "LYRICSBEGIN";

std::size_t ReadFull(TStream& stream, std::span<std::uint8_t> buffer) {
  std::size_t got = 0;
  while (got < buffer.size()) {
    const std::size_t n = stream.Read(buffer.data() + got, buffer.size() - got);
    if (n == 0) break;
    got += n;
  }
  return got;
}

// The bytes of a fixed-width text field up to its first zero byte.
std::string FieldBytes(const TByteView& tag, std::size_t offset, std::size_t length) {
  std::string bytes;
  for (std::size_t i = 0; i < length; ++i) {
    const std::uint8_t b = tag.At(offset + i);
    if (b == 0) break;
    bytes.push_back(static_cast<char>(b));
  }
  return bytes;
}

// Removes spaces and control characters at both ends.
std::u16string Trimmed(const std::u16string& text) {
  std::size_t first = 0, last = text.size();
  while (first < last && text[first] <= u' ') ++first;
  while (last > first && text[last - 1] <= u' ') --last;
  return text.substr(first, last - first);
}

// A field of decimal digits only; -1 when any character is not a digit.
std::int32_t DecimalField(const TByteView& bytes, std::size_t offset, std::size_t width) {
  if (!bytes.Holds(offset, width)) return -1;
  std::int32_t value = 0;
  for (std::size_t i = 0; i < width; ++i) {
    const std::uint8_t c = bytes.At(offset + i);
    if (c < '0' || c > '9') return -1;
    value = value * 10 + (c - '0');
  }
  return value;
}

std::u16string BytesAsChars(const TByteView& bytes) {
  std::u16string text(bytes.Size(), u'\0');
  for (std::size_t i = 0; i < bytes.Size(); ++i) text[i] = bytes.At(i);
  return text;
}

}  // namespace

void TID3v1Tag::SetDefaultTrimText(bool on) { GDefaultTrimText = on; }
void TID3v1Tag::SetDefaultTreatUnknownGenresAsOther(bool on) { GDefaultTreatUnknownGenresAsOther = on; }
void TID3v1Tag::SetDefaultReturnANSIText(bool on) { GDefaultReturnANSIText = on; }
bool TID3v1Tag::DefaultTrimText() { return GDefaultTrimText; }
bool TID3v1Tag::DefaultTreatUnknownGenresAsOther() { return GDefaultTreatUnknownGenresAsOther; }
bool TID3v1Tag::DefaultReturnANSIText() { return GDefaultReturnANSIText; }

TID3v1Tag::TID3v1Tag()
    : FTrimText(GDefaultTrimText),
      FTreatUnknownGenresAsOther(GDefaultTreatUnknownGenresAsOther),
      FReturnANSIText(GDefaultReturnANSIText) {}

void TID3v1Tag::Clear() {
  FSourceFileName.clear();
  FLoaded = false;
  FFileSize = 0;
  FRevision1 = false;
  FTitle.clear();
  FArtist.clear();
  FAlbum.clear();
  FYear.clear();
  FComment.clear();
  FTrackString.clear();
  FGenre.clear();
  FTrack = 0;
  FLyricsTagSize = 0;
  FLyricsFrames.clear();
  FLyricsHasTimeStamp = false;
  FInhibitTracksForRandomSelection = false;
}

std::u16string TID3v1Tag::DecodeText(std::string_view bytes) const {
  if (FReturnANSIText) return platform::AnsiToUtf16(bytes);
  std::u16string text(bytes.size(), u'\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) text[i] = static_cast<std::uint8_t>(bytes[i]);
  return text;
}

int TID3v1Tag::LoadFromFile(std::u16string_view fileName) {
  Clear();
  try {
    if (!platform::FileExists(fileName)) return ResultFileNotFound;
    TFileStream stream(fileName);
    if (!stream.IsOpen()) return ResultNoTag;
    const int result = LoadFromStream(stream);
    if (result == ResultOk) FSourceFileName = fileName;
    return result;
  } catch (...) {
    Clear();
    return ResultReadError;
  }
}

int TID3v1Tag::LoadFromStream(TStream& stream) {
  Clear();
  int result = ResultReadError;
  try {
    result = Read(stream);
  } catch (...) {
    result = ResultReadError;
  }
  if (result != ResultOk) Clear();
  return result;
}

int TID3v1Tag::Read(TStream& stream) {
  FFileSize = stream.Size();
  // A stream of at most 128 bytes is read from its start; the bytes it
  // lacks read as zero.
  std::array<std::uint8_t, TagSize> bytes{};
  stream.SeekTo(FFileSize <= static_cast<std::int64_t>(TagSize) ? 0 : FFileSize - static_cast<std::int64_t>(TagSize));
  const std::size_t expected = static_cast<std::size_t>(std::min<std::int64_t>(FFileSize, TagSize));
  if (ReadFull(stream, bytes) < expected) return ResultReadError;

  const TByteView tag(bytes);
  if (!tag.Matches(0, "TAG")) return ResultNoTag;

  FTitle = DecodeText(FieldBytes(tag, 3, 30));
  FArtist = DecodeText(FieldBytes(tag, 33, 30));
  FAlbum = DecodeText(FieldBytes(tag, 63, 30));
  FYear = DecodeText(FieldBytes(tag, 93, 4));
  FComment = DecodeText(FieldBytes(tag, 97, 30));

  const std::uint8_t genre = tag.At(127);
  if (genre < GenreCount)
    FGenre = GenreName(genre);
  else if (FTreatUnknownGenresAsOther)
    FGenre = u"Other";
  else if (genre != 255)
    FGenre = platform::IntToU16(genre);

  if (FTrimText) {
    for (std::u16string* text : {&FTitle, &FArtist, &FAlbum, &FYear, &FComment, &FGenre}) *text = Trimmed(*text);
  }

  // ID3v1.1: a zero byte closes a 28-byte comment and the track follows.
  if (tag.At(125) == 0) {
    FTrack = tag.At(126);
    FTrackString = platform::IntToU16(FTrack);
    FRevision1 = true;
  }

  if (FFileSize > static_cast<std::int64_t>(TagSize) && !ReadLyrics3(stream)) return ResultReadError;

  FLoaded = true;
  return ResultOk;
}

// Reads the Lyrics3 v2 block in front of the tag. Returns false only for a
// size or length field that is not a decimal number (the load fails);
// missing markers, or a block that does not fit in the file, are ignored.
bool TID3v1Tag::ReadLyrics3(TStream& stream) {
  const std::int64_t size = FFileSize;
  if (size < LyricsSizeBack + static_cast<std::int64_t>(LyricsBegin.size())) return true;

  std::array<std::uint8_t, 15> trailer{};  // 6-digit size, then "LYRICS200"
  stream.SeekTo(size - LyricsSizeBack);
  if (ReadFull(stream, trailer) < trailer.size()) return false;
  const TByteView trailerView(trailer);
  if (!trailerView.Matches(LyricsSizeBack - LyricsEndMarkerBack, "LYRICS200")) return true;
  FLyricsTagSize = DecimalField(trailerView, 0, 6);
  if (FLyricsTagSize < 0) return false;

  // The block, "LYRICSBEGIN" to the last field, must lie inside the file.
  const std::int64_t blockEnd = size - LyricsSizeBack;
  const std::int64_t blockStart = blockEnd - FLyricsTagSize;
  if (blockStart < 0 || FLyricsTagSize < static_cast<std::int64_t>(LyricsBegin.size())) return true;
  stream.SeekTo(blockStart);
  const std::vector<std::uint8_t> block = stream.ReadBytes(static_cast<std::size_t>(FLyricsTagSize));
  if (block.size() < static_cast<std::size_t>(FLyricsTagSize)) return false;
  const TByteView view(block);
  if (!view.Matches(0, LyricsBegin)) return true;

  std::size_t pos = LyricsBegin.size();
  while (pos < view.Size()) {
    // A field header or field data that would run past the block is
    // damage: the fields before it stand, the rest is not read.
    if (!view.Holds(pos, 8)) break;
    const std::int32_t length = DecimalField(view, pos + 3, 5);
    if (length < 0) return false;
    const auto dataLength = static_cast<std::size_t>(length);
    if (!view.Holds(pos + 8, dataLength)) break;

    const TByteView data = view.Slice(pos + 8, dataLength);
    TID3LyricsFrame frame{BytesAsChars(view.Slice(pos, 3)), BytesAsChars(data)};
    const std::string_view id = view.Matches(pos, "IND")   ? "IND"
                                : view.Matches(pos, "EAL") ? "EAL"
                                : view.Matches(pos, "EAR") ? "EAR"
                                : view.Matches(pos, "ETT") ? "ETT"
                                                           : "";
    if (id == "IND") {
      FLyricsHasTimeStamp = data.At(1) == '1';
      FInhibitTracksForRandomSelection = data.At(2) == '1';
    } else if (!id.empty()) {
      // An extended field replaces the short one only when it extends it.
      // It is decoded like the short field so that the two compare alike.
      std::u16string& field = id == "EAL" ? FAlbum : id == "EAR" ? FArtist : FTitle;
      const std::u16string extended = DecodeText(data.ToString());
      if (!field.empty() && extended.find(field) != std::u16string::npos) field = extended;
    }
    FLyricsFrames.push_back(std::move(frame));
    pos += 8 + dataLength;
  }
  return true;
}

}  // namespace velmaro::tags
