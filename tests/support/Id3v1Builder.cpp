#include "support/Id3v1Builder.h"

#include <cstdio>
#include <stdexcept>

namespace velmaro::testsupport {

namespace {

void PutField(TBytes& tag, std::size_t at, std::size_t width, const std::string& text) {
  for (std::size_t i = 0; i < width && i < text.size(); ++i) tag.at(at + i) = static_cast<std::uint8_t>(text[i]);
}

std::string Digits(std::size_t value, int width) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%0*zu", width, value);
  return buffer;
}

}  // namespace

TBytes Id3v1Tag(const Id3v1Fields& fields) {
  TBytes tag(128, fields.padByte);
  PutField(tag, 0, 3, "TAG");
  for (std::size_t i = 3; i < 127; ++i) tag[i] = fields.padByte;
  PutField(tag, 3, 30, fields.title);
  PutField(tag, 33, 30, fields.artist);
  PutField(tag, 63, 30, fields.album);
  PutField(tag, 93, 4, fields.year);
  if (fields.track >= 0) {
    for (std::size_t i = 97; i < 125; ++i) tag[i] = 0;
    PutField(tag, 97, 28, fields.comment);
    tag[125] = 0;
    tag[126] = static_cast<std::uint8_t>(fields.track);
  } else {
    PutField(tag, 97, 30, fields.comment);
  }
  tag[127] = fields.genre;
  return tag;
}

std::string Lyrics3Field(std::string_view id, std::string_view data) {
  if (id.size() != 3 || data.size() > 99999) throw std::invalid_argument("bad Lyrics3 field");
  return std::string(id) + Digits(data.size(), 5) + std::string(data);
}

TBytes Lyrics3v2Block(std::string_view fields, std::string_view sizeText) {
  const std::string body = "LYRICSBEGIN" + std::string(fields);
  const std::string size = sizeText.empty() ? Digits(body.size(), 6) : std::string(sizeText);
  return AsciiBytes(body + size + "LYRICS200");
}

}  // namespace velmaro::testsupport
