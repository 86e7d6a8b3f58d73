#include "tags/id3v2/TID3v2Tag.h"

#include <array>
#include <atomic>
#include <utility>

#include "platform/FileSystem.h"
#include "tags/common/TBufferedStream.h"
#include "tags/common/TByteView.h"
#include "tags/id3v2/TID3v2TextReader.h"
#include "tags/id3v2/TUnsynchronisedStream.h"

namespace velmaro::tags {

namespace {

std::atomic<bool> DefaultDecodeANSI{false};

// Compressed and encrypted bodies are kept as stored; their bytes are no
// text, so the text getters treat such a frame as empty.
bool HoldsPlainBody(const TID3v2Frame& frame) { return !frame.Compressed && !frame.Encrypted; }

std::u16string AsciiUpper(std::u16string_view text) {
  std::u16string upper(text);
  for (char16_t& c : upper)
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  return upper;
}

}  // namespace

void TID3v2Tag::SetDefaultDecodeANSIText(bool on) { DefaultDecodeANSI.store(on); }
bool TID3v2Tag::DefaultDecodeANSIText() { return DefaultDecodeANSI.load(); }

TID3v2Tag::TID3v2Tag() : FDecodeANSIText(DefaultDecodeANSI.load()) {}

void TID3v2Tag::Clear() {
  FSourceFileName.clear();
  FLoaded = false;
  FMajorVersion = 3;
  FFlags = 0;
  FUnsynchronised = FCompressed = FExtendedHeader = FExperimental = FFooterPresent = false;
  FSize = 0;
  FPosition = 0;
  FFrames.clear();
  FExtendedHeader3 = {};
  FExtendedHeader4 = {};
  FFileSize = 0;
  FSourceFileType = TSourceFileType::sftUnknown;
  FError = false;
}

int TID3v2Tag::LoadFromFile(std::u16string_view fileName, bool buffered) {
  Clear();
  if (!platform::FileExists(fileName)) return ResultFileError;
  TFileStream file(fileName);
  if (!file.IsOpen()) return ResultFileError;
  const int result = LoadFromStream(file, buffered);
  if (result < ResultFileError) FSourceFileName = fileName;
  return result;
}

int TID3v2Tag::LoadFromStream(TStream& stream, bool buffered) {
  Clear();
  if (!buffered) return Load(stream);
  TBufferedStream reader(stream);
  return Load(reader);
}

int TID3v2Tag::Load(TStream& stream) {
  FFileSize = stream.Size();
  const std::int64_t start = stream.Position();
  // A tag elsewhere than at the start or in a known container is not
  // searched for.
  const TID3v2Location where = LocateID3v2Tag(stream);
  FSourceFileType = where.Container;
  const int result = where.Found ? ParseTag(stream) : ResultNoTag;
  // A container keeps its type; elsewhere, MPEG audio right after the tag
  // (or at the start) names the file MPEG.
  if (FSourceFileType == TSourceFileType::sftUnknown && MpegSyncAt(stream, FLoaded ? FPosition + FSize : start))
    FSourceFileType = TSourceFileType::sftMPEG;
  return result;
}

int TID3v2Tag::ParseTag(TStream& stream) {
  if (!stream.ReadMagic("ID3")) return ResultNoTag;
  std::array<std::uint8_t, 2> version{};
  if (!stream.ReadExact(version.data(), version.size())) return ResultHeaderError;
  FMajorVersion = version[0];
  if (FMajorVersion < 2 || FMajorVersion > 4) return ResultBadVersion;
  std::array<std::uint8_t, 5> header{};
  if (!stream.ReadExact(header.data(), header.size())) return ResultHeaderError;

  FFlags = header[0];
  FUnsynchronised = (FFlags & 0x80) != 0;
  if (FMajorVersion == 2) {
    FCompressed = (FFlags & 0x40) != 0;
  } else {
    FExtendedHeader = (FFlags & 0x40) != 0;
    FExperimental = (FFlags & 0x20) != 0;
    FFooterPresent = (FFlags & 0x10) != 0;
  }
  FSize = SynchsafeValue(TByteView(header).BE32(1)) + 10;
  FPosition = stream.Position() - 10;

  TID3v2BodyLayout layout;
  layout.MajorVersion = FMajorVersion;
  layout.TagSize = FSize;
  layout.End = FPosition + FSize;
  layout.ExtendedHeader = FExtendedHeader;
  // Versions 2.2 and 2.3 unsynchronise the whole tag; in 2.4 each frame
  // says so itself.
  layout.Unsynchronised = FUnsynchronised && FMajorVersion <= 3;
  layout.AnsiText = FDecodeANSIText;

  const std::int64_t bodyStart = stream.Position();
  TID3v2TagBody body = ReadID3v2TagBody(stream, layout);
  if (!body.LinedUp) {
    // The sizes did not lead from frame to frame. Writers disagree on two
    // points, so the other reading is tried and kept when it lines up:
    // sizes of an unsynchronised 2.2/2.3 tag that count the decoded bytes
    // (then the tag is read decoded), and 2.4 sizes stored as plain
    // numbers instead of synchsafe ones.
    if (layout.Unsynchronised) {
      TUnsynchronisedStream decoded(stream, bodyStart, layout.End);
      TID3v2BodyLayout decodedLayout = layout;
      decodedLayout.End = decoded.Size();
      decodedLayout.Unsynchronised = false;
      TID3v2TagBody other = ReadID3v2TagBody(decoded, decodedLayout);
      if (other.LinedUp) body = std::move(other);
    } else if (FMajorVersion == 4 && body.AmbiguousSizes) {
      stream.SeekTo(bodyStart);
      TID3v2BodyLayout plainLayout = layout;
      plainLayout.PlainFrameSizes = true;
      TID3v2TagBody other = ReadID3v2TagBody(stream, plainLayout);
      // Padding ends the frames, even with a stray non-zero byte in it.
      // The synchsafe walk reaches a zero byte also when a plain size sent
      // it into a frame's body, though; the plain reading is then taken
      // only when it finds frames beyond that point. Where it finds fewer
      // frames, a plain-read size swallowed frames the synchsafe walk found.
      const bool better = !body.EndedAtPadding || other.Frames.size() > body.Frames.size();
      if (other.LinedUp && better) body = std::move(other);
    }
  }

  FFrames = std::move(body.Frames);
  FExtendedHeader = body.ExtendedHeader;
  FExtendedHeader3 = std::move(body.ExtendedHeader3);
  FExtendedHeader4 = std::move(body.ExtendedHeader4);
  FError = body.Error;
  FLoaded = true;
  return ResultSuccess;
}

bool TID3v2Tag::MpegSyncAt(TStream& stream, std::int64_t position) {
  constexpr std::size_t Window = 33;
  if (stream.SeekTo(position) != position) return false;
  const std::vector<std::uint8_t> bytes = stream.ReadBytes(Window + 1);
  const TByteView view(bytes);
  for (std::size_t i = 0; i < Window && view.Holds(i, 2); ++i) {
    const std::uint8_t b = view.At(i + 1);
    // 11 sync bits, a version other than the reserved one, a layer.
    if (view.At(i) == 0xFF && (b & 0xE0) == 0xE0 && (b & 0x18) != 0x08 && (b & 0x06) != 0) return true;
  }
  return false;
}

bool TID3v2Tag::RemoveUnsynchronisationOnAllFrames() {
  // Each frame carries the flag: inherited from the tag in versions 2.2
  // and 2.3, its own in 2.4.
  for (TID3v2Frame& frame : FFrames) frame.RemoveUnsynchronisation();
  FUnsynchronised = false;
  FFlags &= 0x7F;
  return true;
}

const TID3v2Frame* TID3v2Tag::FindFrame(std::string_view frameID) const {
  const TFrameID id = MakeFrameID(frameID);
  for (const TID3v2Frame& frame : FFrames)
    if (frame.ID == id) return &frame;
  return nullptr;
}

int TID3v2Tag::FrameExists(std::string_view frameID) const {
  const TFrameID id = MakeFrameID(frameID);
  for (std::size_t i = 0; i < FFrames.size(); ++i)
    if (FFrames[i].ID == id) return static_cast<int>(i);
  return -1;
}

namespace {

// The strings from the reader's position, joined by CR LF: they end after
// a string without terminator, or when the body ends after a terminator.
std::u16string ReadJoinedStrings(TID3v2TextReader& reader, std::uint8_t encoding, bool utf8As8Bit, bool trim) {
  std::u16string text;
  for (bool first = true;; first = false) {
    const TID3v2TextReader::TString string = reader.ReadString(encoding, utf8As8Bit);
    if (!first) text += u"\r\n";
    text += string.Text;
    if (!string.Terminated || reader.AtEnd()) break;
  }
  return trim ? TrimID3Text(text) : text;
}

}  // namespace

std::u16string TID3v2Tag::GetUnicodeText(std::string_view frameID, bool returnNativeText) const {
  const TID3v2Frame* frame = FindFrame(frameID);
  if (frame == nullptr || frame->Stream.empty() || !HoldsPlainBody(*frame)) return {};
  TID3v2TextReader reader(frame->Stream, FDecodeANSIText);
  const std::uint8_t encoding = reader.ReadEncoding();
  return ReadJoinedStrings(reader, encoding, returnNativeText, FTrimText);
}

std::u16string TID3v2Tag::GetUnicodeComment(std::string_view frameID, std::string& languageID,
                                            std::u16string& description) const {
  languageID = "   ";
  description.clear();
  const TID3v2Frame* frame = FindFrame(frameID);
  if (frame == nullptr || !HoldsPlainBody(*frame)) return {};
  TID3v2TextReader reader(frame->Stream, FDecodeANSIText);
  const std::uint8_t encoding = reader.ReadEncoding();
  const std::string language = reader.ReadBytes(3);
  languageID.replace(0, language.size(), language);
  description = reader.ReadString(encoding).Text;
  return reader.ReadString(encoding).Text;
}

int TID3v2Tag::FindTXXXByDescription(std::u16string_view description, std::u16string& text) const {
  text.clear();
  const TFrameID txxx = MakeFrameID("TXXX");
  const std::u16string wanted = AsciiUpper(description);
  for (std::size_t i = 0; i < FFrames.size(); ++i) {
    const TID3v2Frame& frame = FFrames[i];
    if (frame.ID != txxx || !HoldsPlainBody(frame)) continue;
    TID3v2TextReader reader(frame.Stream, FDecodeANSIText);
    const std::uint8_t encoding = reader.ReadEncoding();
    if (AsciiUpper(reader.ReadString(encoding).Text) != wanted) continue;
    text = ReadJoinedStrings(reader, encoding, false, FTrimText);
    return static_cast<int>(i);
  }
  return -1;
}

}  // namespace velmaro::tags
