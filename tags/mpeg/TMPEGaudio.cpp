#include "tags/mpeg/TMPEGaudio.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <span>

#include "tags/common/TByteView.h"

namespace velmaro::tags {

namespace {

// A header is looked for at the first MpegMaxFrameLength + 1 offsets of a
// window; the rest of the window only holds the frame that follows it.
constexpr std::size_t LastSearchOffset = MpegMaxFrameLength;

using TWindow = std::array<std::uint8_t, TMPEGaudio::WindowSize>;

// Fills the window from the current position; returns the bytes read.
std::size_t ReadWindow(TStream& stream, TWindow& window) {
  std::size_t got = 0;
  while (got < window.size()) {
    const std::size_t n = stream.Read(window.data() + got, window.size() - got);
    if (n == 0) break;
    got += n;
  }
  return got;
}

std::string CharsAt(const TByteView& bytes, std::size_t offset, std::size_t count) {
  std::string text(count, '\0');
  for (std::size_t i = 0; i < count; ++i) text[i] = static_cast<char>(bytes.At(offset + i));
  return text;
}

// A Xing or VBRI header at offset of the window. The Xing fields are read
// at fixed places, where they stand when every optional field is present
// (as LAME writes them); the flag word is not consulted.
VBRData ReadVbrHeader(const TByteView& window, std::size_t offset) {
  VBRData vbr;
  if (window.Matches(offset, "Xing")) {
    vbr.Found = true;
    vbr.ID = "Xing";
    vbr.Frames = static_cast<std::int32_t>(window.BE32(offset + 8));
    vbr.Bytes = static_cast<std::int32_t>(window.BE32(offset + 12));
    vbr.Scale = window.At(offset + 119);
    vbr.VendorID = CharsAt(window, offset + 120, 8);
  } else if (window.Matches(offset, "VBRI")) {
    vbr.Found = true;
    vbr.ID = "VBRI";
    vbr.Scale = window.At(offset + 9);
    vbr.Bytes = static_cast<std::int32_t>(window.BE32(offset + 10));
    vbr.Frames = static_cast<std::int32_t>(window.BE32(offset + 14));
  }
  return vbr;
}

// The first offset among the window's first LastSearchOffset + 1 whose
// header is valid and is followed, one frame length later, by another
// valid header that lies wholly inside the window. A single header (a
// false sync inside junk or tag data) is not enough.
bool SearchFrame(const TByteView& window, FrameData& frame, VBRData& vbr) {
  const std::size_t last = std::min(LastSearchOffset, window.Size());
  for (std::size_t i = window.Find(0xFF, 0); i <= last && i < window.Size(); i = window.Find(0xFF, i + 1)) {
    if (!IsMpegFrameHeader(window, i)) continue;
    FrameData candidate = DecodeMpegFrameHeader(window, i);
    const std::uint16_t length = MpegFrameLength(candidate);
    if (length == 0 || !IsMpegFrameHeader(window, i + length)) continue;
    candidate.Found = true;
    candidate.Position = static_cast<std::int64_t>(i);
    candidate.Size = length;
    candidate.Xing = true;
    for (std::size_t k = 4; k < 10; ++k)
      if (window.At(i + k) != 0) candidate.Xing = false;
    frame = candidate;
    vbr = ReadVbrHeader(window, i + static_cast<std::size_t>(MpegVbrHeaderOffset(candidate)));
    return true;
  }
  return false;
}

// Looks backwards from the end of a full-sized window for "LAME" (taken
// with the four characters after it) or "GOGO", over limit + 1 offsets.
std::string FindEncoderSignature(const TByteView& window, int limit) {
  constexpr int n = static_cast<int>(TMPEGaudio::WindowSize);
  if (n - limit - 8 < 0) limit = n - 8;
  for (int k = 0; k <= limit; ++k) {
    const auto at = static_cast<std::size_t>(n - k - 8);
    if (window.Matches(at, "LAME")) return CharsAt(window, at, 8);
    if (window.Matches(at, "GOGO")) return "GOGO";
  }
  return {};
}

}  // namespace

std::int64_t ProbeID3v2TagSize(TStream& stream) {
  std::array<std::uint8_t, 10> header{};
  stream.SeekTo(0);
  if (!stream.ReadExact(header.data(), header.size())) return 0;
  const TByteView h(header);
  if (!h.Matches(0, "ID3")) return 0;
  // The size bytes are taken whole (their high bits are not masked); a
  // size that runs past the end of the stream means "no tag".
  std::int64_t size = (std::int64_t{h.At(6)} << 21) + (std::int64_t{h.At(7)} << 14) +
                      (std::int64_t{h.At(8)} << 7) + h.At(9) + 10;
  if (h.At(5) & 0x10) size += 10;  // footer present
  return size > stream.Size() ? 0 : size;
}

void TMPEGaudio::Reset() {
  FFileLength = 0;
  FVendorID.clear();
  FVBR = VBRData{};
  FFrame = FrameData{};
  FMPEGStart = 0;
  FMPEGEnd = 0;
  FID3v2Size = 0;
}

bool TMPEGaudio::ReadFromFileDataOnly(std::u16string_view fileName) {
  Reset();
  try {
    TFileStream stream(fileName);
    if (!stream.IsOpen()) return false;
    return ReadFromStreamDataOnly(stream);
  } catch (...) {
    Reset();
    return false;
  }
}

bool TMPEGaudio::ReadFromStreamDataOnly(TStream& stream) {
  Reset();
  try {
    if (Read(stream)) return true;
  } catch (...) {
    // A failure after the frame was found keeps what was read, but the
    // read as a whole did not succeed.
    if (FFrame.Found) return false;
  }
  Reset();
  return false;
}

bool TMPEGaudio::Read(TStream& stream) {
  FID3v2Size = ProbeID3v2TagSize(stream);
  FFileLength = stream.Size();

  TWindow window;
  std::int64_t windowStart = FID3v2Size;
  bool firstWindow = true;
  for (;;) {
    stream.SeekTo(windowStart);
    const std::size_t got = windowStart < FFileLength ? ReadWindow(stream, window) : 0;
    const TByteView view(std::span<const std::uint8_t>(window.data(), got));
    FrameData frame;
    VBRData vbr;
    const bool found = SearchFrame(view, frame, vbr);
    if (found) {
      FFrame = frame;
      FVBR = vbr;
    }
    if (firstWindow) {
      FVendorID = FindEncoderSignature(view, 5 * FFrame.Size);
      firstWindow = false;
    }
    if (found) {
      FFrame.Position += windowStart;
      break;
    }
    if (got < window.size()) return false;
    windowStart += static_cast<std::int64_t>(window.size());
    if (windowStart - FID3v2Size >= MaxFrameSearch) return false;
  }

  FMPEGStart = FFrame.Position;
  // The audio is taken to run to the end of the file: trailing tags are
  // few bytes against the whole and are not subtracted.
  FMPEGEnd = FFileLength;

  if (FVendorID.empty()) {
    stream.SeekTo(std::max<std::int64_t>(0, FFileLength - static_cast<std::int64_t>(window.size())));
    const std::size_t got = ReadWindow(stream, window);
    // A file shorter than a window: its bytes stand at the window's end,
    // where the search looks.
    TWindow tail{};
    std::copy_n(window.begin(), got, tail.end() - static_cast<std::ptrdiff_t>(got));
    FVendorID = FindEncoderSignature(TByteView(tail), 5 * FFrame.Size);
  }
  return true;
}

std::uint16_t TMPEGaudio::BitRate() const {
  if (FVBR.Found && FVBR.Frames > 0) {
    const int sampleRate = MpegSampleRate(FFrame);
    const int coefficient = MpegCoefficient(FFrame);
    if (sampleRate == 0) return 0;
    const double average = (static_cast<double>(FVBR.Bytes) / FVBR.Frames - MpegPadding(FFrame)) *
                           sampleRate / coefficient / 1000.0;
    // Rounded half to even; a hostile byte count saturates instead of
    // wrapping round into a plausible rate.
    const double rounded = std::nearbyint(average);
    if (!(rounded > 0)) return 0;
    if (rounded >= 65535.0) return 65535;
    return static_cast<std::uint16_t>(rounded);
  }
  return MpegBitRate(FFrame);
}

std::uint16_t TMPEGaudio::SampleRate() const { return MpegSampleRate(FFrame); }

double TMPEGaudio::Duration() const {
  if (!FFrame.Found) return 0;
  if (FVBR.Found && FVBR.Frames > 0) {
    const int sampleRate = MpegSampleRate(FFrame);
    if (sampleRate == 0) return 0;
    return static_cast<double>(FVBR.Frames) * MpegCoefficient(FFrame) * 8 / sampleRate;
  }
  const std::int64_t bitsPerSecond = std::int64_t{MpegBitRate(FFrame)} * 1000;
  if (bitsPerSecond == 0) return 0;
  return static_cast<double>((FMPEGEnd - FMPEGStart) * 8) / static_cast<double>(bitsPerSecond);
}

bool TMPEGaudio::Valid() const {
  const std::uint16_t bitRate = BitRate();
  return FFrame.Found && bitRate >= 8 && bitRate <= 448 && Duration() >= 0.1;
}

}  // namespace velmaro::tags
