#include "support/Id3v2Builder.h"

namespace velmaro::testsupport {

TBytes Synchsafe(std::uint32_t v) {
  return {static_cast<std::uint8_t>(v >> 21 & 0x7F), static_cast<std::uint8_t>(v >> 14 & 0x7F),
          static_cast<std::uint8_t>(v >> 7 & 0x7F), static_cast<std::uint8_t>(v & 0x7F)};
}

TBytes Unsynchronise(const TBytes& bytes) {
  TBytes out;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    out.push_back(bytes[i]);
    if (bytes[i] == 0xFF && (i + 1 == bytes.size() || bytes[i + 1] == 0x00 || bytes[i + 1] >= 0xE0))
      out.push_back(0x00);
  }
  return out;
}

TBytes Latin1Text(std::string_view text) { return JoinBytes({{0}, AsciiBytes(text)}); }
TBytes Utf8Text(std::string_view utf8) { return JoinBytes({{3}, AsciiBytes(utf8)}); }

TBytes Utf16Units(std::u16string_view text, bool bigEndian) {
  TBytes out;
  for (const char16_t c : text) {
    const auto hi = static_cast<std::uint8_t>(c >> 8), lo = static_cast<std::uint8_t>(c & 0xFF);
    out.push_back(bigEndian ? hi : lo);
    out.push_back(bigEndian ? lo : hi);
  }
  return out;
}

TBytes Utf16Text(std::u16string_view text, bool bom, bool bigEndian) {
  TBytes out{1};
  if (bom) {
    out.push_back(bigEndian ? 0xFE : 0xFF);
    out.push_back(bigEndian ? 0xFF : 0xFE);
  }
  return JoinBytes({out, Utf16Units(text, bigEndian)});
}

TBytes Utf16BEText(std::u16string_view text) { return JoinBytes({{2}, Utf16Units(text, true)}); }

TBytes Latin1Comment(std::string_view language, std::string_view description, std::string_view text) {
  return JoinBytes({{0}, AsciiBytes(language), AsciiBytes(description), {0}, AsciiBytes(text)});
}

TBytes FrameWithSize(int majorVersion, std::string_view id, std::uint32_t size, const TBytes& body,
                     std::uint16_t flags) {
  if (majorVersion == 2) return JoinBytes({AsciiBytes(id.substr(0, 3)), BE24(size), body});
  return JoinBytes({AsciiBytes(id.substr(0, 4)), majorVersion == 4 ? Synchsafe(size) : BE32(size), BE16(flags), body});
}

TBytes Frame(int majorVersion, std::string_view id, const TBytes& body, std::uint16_t flags) {
  return FrameWithSize(majorVersion, id, static_cast<std::uint32_t>(body.size()), body, flags);
}

TId3v2Builder& TId3v2Builder::Flags(std::uint8_t flags) {
  FFlags = flags;
  return *this;
}

TId3v2Builder& TId3v2Builder::Add(const TBytes& bytes) {
  FBody.insert(FBody.end(), bytes.begin(), bytes.end());
  return *this;
}

TId3v2Builder& TId3v2Builder::Frame(std::string_view id, const TBytes& body, std::uint16_t flags) {
  return Add(testsupport::Frame(FMajor, id, body, flags));
}

TId3v2Builder& TId3v2Builder::Text(std::string_view id, std::string_view latin1) {
  return Frame(id, Latin1Text(latin1));
}

TId3v2Builder& TId3v2Builder::Padding(std::size_t count) {
  FPadding = count;
  return *this;
}

TId3v2Builder& TId3v2Builder::UnsynchroniseAll() {
  FUnsynchronise = true;
  return *this;
}

TId3v2Builder& TId3v2Builder::Footer() {
  FFooter = true;
  return *this;
}

TId3v2Builder& TId3v2Builder::SizeField(std::uint32_t size) {
  FSizeSet = true;
  FSize = size;
  return *this;
}

TBytes TId3v2Builder::Build() const {
  TBytes body = JoinBytes({FBody, TBytes(FPadding, 0)});
  if (FUnsynchronise) body = Unsynchronise(body);
  std::uint8_t flags = FFlags;
  if (FUnsynchronise) flags |= 0x80;
  if (FFooter) flags |= 0x10;
  const std::uint32_t size = FSizeSet ? FSize : static_cast<std::uint32_t>(body.size());
  const TBytes header = JoinBytes({AsciiBytes("ID3"), {static_cast<std::uint8_t>(FMajor), 0, flags}, Synchsafe(size)});
  TBytes tag = JoinBytes({header, body});
  if (FFooter) tag = JoinBytes({tag, AsciiBytes("3DI"), {static_cast<std::uint8_t>(FMajor), 0, flags}, Synchsafe(size)});
  return tag;
}

}  // namespace velmaro::testsupport
