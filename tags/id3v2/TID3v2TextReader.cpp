#include "tags/id3v2/TID3v2TextReader.h"

#include "platform/Text.h"

namespace velmaro::tags {

TID3v2TextReader::TID3v2TextReader(std::span<const std::uint8_t> body, bool ansiText)
    : FBody(body), FSpan(body), FAnsiText(ansiText) {}

std::uint8_t TID3v2TextReader::ReadEncoding() {
  const std::uint8_t encoding = FBody.At(FPos);
  if (AtEnd() || encoding > ID3EncodingUtf8) return ID3EncodingLatin1;
  ++FPos;
  return encoding;
}

std::string TID3v2TextReader::ReadBytes(std::size_t count) {
  const std::string bytes = FBody.Slice(FPos, count).ToString();
  FPos += bytes.size();
  return bytes;
}

std::span<const std::uint8_t> TID3v2TextReader::Rest() const {
  return AtEnd() ? std::span<const std::uint8_t>() : FSpan.subspan(FPos);
}

TID3v2TextReader::TString TID3v2TextReader::ReadString(std::uint8_t encoding, bool utf8As8Bit) {
  TString result;
  if (encoding == ID3EncodingUtf16 || encoding == ID3EncodingUtf16BE) {
    bool little = false;
    if (encoding == ID3EncodingUtf16) {
      const std::uint8_t b0 = FBody.At(FPos), b1 = FBody.At(FPos + 1);
      if (FBody.Holds(FPos, 2) && b0 == 0xFF && b1 == 0xFE) {
        FLittleEndian = true;
        FPos += 2;
      } else if (FBody.Holds(FPos, 2) && b0 == 0xFE && b1 == 0xFF) {
        FLittleEndian = false;
        FPos += 2;
      }
      little = FLittleEndian;
    }
    while (true) {
      if (!FBody.Holds(FPos, 2)) {
        FPos = FBody.Size();  // an odd last byte is no character
        break;
      }
      const std::uint8_t b0 = FBody.At(FPos), b1 = FBody.At(FPos + 1);
      FPos += 2;
      const char16_t unit = little ? static_cast<char16_t>(b1 << 8 | b0) : static_cast<char16_t>(b0 << 8 | b1);
      if (unit == 0) {
        result.Terminated = true;
        break;
      }
      result.Text.push_back(unit);
    }
    return result;
  }

  std::string bytes;
  while (!AtEnd()) {
    const char c = static_cast<char>(FBody.At(FPos++));
    if (c == '\0') {
      result.Terminated = true;
      break;
    }
    bytes.push_back(c);
  }
  if (encoding == ID3EncodingUtf8 && !utf8As8Bit)
    result.Text = platform::Utf8ToUtf16(bytes);
  else
    result.Text = Decode8Bit(bytes);
  return result;
}

std::u16string TID3v2TextReader::Decode8Bit(std::string_view bytes) const {
  if (FAnsiText) return platform::AnsiToUtf16(bytes);
  std::u16string text(bytes.size(), u'\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) text[i] = static_cast<unsigned char>(bytes[i]);
  return text;
}

std::u16string TrimID3Text(std::u16string_view text) {
  std::size_t first = 0, last = text.size();
  while (first < last && text[first] <= u' ') ++first;
  while (last > first && text[last - 1] <= u' ') --last;
  return std::u16string(text.substr(first, last - first));
}

}  // namespace velmaro::tags
