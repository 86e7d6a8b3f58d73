// Feeds arbitrary bytes to the MPEG audio reader and asks every value.
#include <cstddef>
#include <cstdint>

#include "tags/common/TStream.h"
#include "tags/mpeg/TMPEGaudio.h"

using namespace velmaro::tags;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TMemoryStream stream(data, size);
  TMPEGaudio mpeg;
  const bool found = mpeg.ReadFromStreamDataOnly(stream);
  volatile double sink = mpeg.Duration() + mpeg.BitRate() + mpeg.SampleRate() + (mpeg.Valid() ? 1 : 0);
  const FrameData& f = mpeg.Frame();
  sink = sink + f.Position + f.Size + f.VersionID + f.LayerID + f.ModeID + f.EmphasisID;
  const VBRData& v = mpeg.VBR();
  sink = sink + v.Frames + v.Bytes + v.Scale + v.ID.size() + v.VendorID.size() + mpeg.VendorID().size();
  sink = sink + mpeg.FileLength() + mpeg.MPEGStart() + mpeg.MPEGEnd() + mpeg.ID3v2Size();
  (void)sink;
  if (found && (f.Position < 0 || f.Position >= static_cast<std::int64_t>(size) || f.Size == 0)) __builtin_trap();
  if (!found && (mpeg.Valid() || mpeg.Duration() != 0)) __builtin_trap();
  return 0;
}
