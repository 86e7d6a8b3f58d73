#include "tags/id3v2/TID3v2Frame.h"

#include <algorithm>
#include <utility>

#include "tags/id3v2/TID3v2TextReader.h"

namespace velmaro::tags {

TFrameID MakeFrameID(std::string_view text) {
  TFrameID id{};
  for (std::size_t i = 0; i < id.size() && i < text.size(); ++i) id[i] = text[i];
  return id;
}

std::string FrameIDText(const TFrameID& id) {
  std::string text(id.begin(), id.end());
  while (!text.empty() && text.back() == '\0') text.pop_back();
  return text;
}

void TID3v2Frame::RemoveUnsynchronisation() {
  if (!Unsynchronised) return;
  Stream = DecodeUnsynchronisation(Stream);
  Size = static_cast<std::int64_t>(Stream.size());
  Unsynchronised = false;
}

std::vector<std::uint8_t> DecodeUnsynchronisation(std::span<const std::uint8_t> bytes) {
  std::vector<std::uint8_t> out;
  out.reserve(bytes.size());
  bool afterFF = false;
  for (const std::uint8_t b : bytes) {
    if (afterFF && b == 0x00) {
      afterFF = false;
      continue;
    }
    out.push_back(b);
    afterFF = b == 0xFF;
  }
  return out;
}

namespace {

constexpr std::pair<std::string_view, std::string_view> ID3v22FrameIDs[] = {
    {"PIC", "APIC"}, {"BUF", "RBUF"}, {"CNT", "PCNT"}, {"COM", "COMM"}, {"CRA", "AENC"}, {"ETC", "ETCO"},
    {"EQU", "EQUA"}, {"GEO", "GEOB"}, {"GP1", "GRP1"}, {"IPL", "TIPL"}, {"LNK", "LINK"}, {"MCI", "MCDI"},
    {"MLL", "MLLT"}, {"MVI", "MVIN"}, {"MVN", "MVNM"}, {"POP", "POPM"}, {"REV", "RVRB"}, {"RVA", "RVAD"},
    {"SLT", "SYLT"}, {"STC", "SYTC"}, {"TAL", "TALB"}, {"TBP", "TBPM"}, {"TCM", "TCOM"}, {"TCO", "TCON"},
    {"TCP", "TCMP"}, {"TCR", "TCOP"}, {"TDA", "TDAT"}, {"TDY", "TDLY"}, {"TEN", "TENC"}, {"TFT", "TFLT"},
    {"TIM", "TIME"}, {"TKE", "TKEY"}, {"TLA", "TLAN"}, {"TLE", "TLEN"}, {"TMT", "TMED"}, {"TOA", "TOPE"},
    {"TOF", "TOFN"}, {"TOL", "TOLY"}, {"TOR", "TORY"}, {"TOT", "TOAL"}, {"TP1", "TPE1"}, {"TP2", "TPE2"},
    {"TP3", "TPE3"}, {"TP4", "TPE4"}, {"TPA", "TPOS"}, {"TPB", "TPUB"}, {"TRC", "TSRC"}, {"TRD", "TRDA"},
    {"TRK", "TRCK"}, {"TRN", "TRSN"}, {"TRO", "TRSO"}, {"TS2", "TSO2"}, {"TSA", "TSOA"}, {"TSC", "TSOC"},
    {"TSI", "TSIZ"}, {"TSP", "TSOP"}, {"TSS", "TSSE"}, {"TST", "TSOT"}, {"TT1", "TIT1"}, {"TT2", "TIT2"},
    {"TT3", "TIT3"}, {"TXT", "TEXT"}, {"TXX", "TXXX"}, {"TYE", "TYER"}, {"UFI", "UFID"}, {"ULT", "USLT"},
    {"WAF", "WOAF"}, {"WAR", "WOAR"}, {"WAS", "WOAS"}, {"WCM", "WCOM"}, {"WCP", "WCOP"}, {"WPB", "WPUB"},
    {"WXX", "WXXX"},
};
static_assert(std::size(ID3v22FrameIDs) == 73);

std::string_view MimeTypeOf(const std::string& format) {
  if (format == "JPG") return "image/jpeg";
  if (format == "PNG") return "image/png";
  if (format == "GIF") return "image/gif";
  if (format == "BMP") return "image/bmp";
  return format;
}

}  // namespace

TFrameID ConvertID3v22FrameID(std::string_view id) {
  id = id.substr(0, 3);
  for (const auto& [from, to] : ID3v22FrameIDs)
    if (from == id) return MakeFrameID(to);
  return MakeFrameID(id);
}

std::vector<std::uint8_t> ConvertID3v22Picture(std::span<const std::uint8_t> body, bool ansiText) {
  TID3v2TextReader reader(body, ansiText);
  const std::string encodingByte = reader.ReadBytes(1);
  std::uint8_t encoding = encodingByte.empty() ? 0 : static_cast<std::uint8_t>(encodingByte[0]);
  if (encoding > ID3EncodingUtf8) encoding = ID3EncodingLatin1;
  std::string format;
  for (const char c : reader.ReadBytes(3))
    if (c != '\0') format.push_back(c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c);
  const std::string pictureType = reader.ReadBytes(1);
  const std::u16string description = reader.ReadString(encoding).Text;
  const std::span<const std::uint8_t> data = reader.Rest();

  std::vector<std::uint8_t> out;
  out.reserve(data.size() + format.size() + 2 * description.size() + 16);
  out.push_back(ID3EncodingUtf16);
  const std::string_view mime = MimeTypeOf(format);
  out.insert(out.end(), mime.begin(), mime.end());
  out.push_back(0);
  out.push_back(pictureType.empty() ? 0 : static_cast<std::uint8_t>(pictureType[0]));
  out.push_back(0xFF);
  out.push_back(0xFE);
  for (const char16_t unit : description) {
    out.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    out.push_back(static_cast<std::uint8_t>(unit >> 8));
  }
  out.push_back(0);
  out.push_back(0);
  out.insert(out.end(), data.begin(), data.end());
  return out;
}

}  // namespace velmaro::tags
