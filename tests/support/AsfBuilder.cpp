#include "support/AsfBuilder.h"

#include <algorithm>

#include "platform/Text.h"

namespace velmaro::testsupport {

namespace {
std::uint8_t Hex(char c) {
  return static_cast<std::uint8_t>(c >= '0' && c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10);
}
TBytes Zeros(std::size_t count) { return TBytes(count, 0); }

TBytes MetadataObject(std::string_view guid, const std::vector<TAsfRecord>& records) {
  TBytes body = LE16(static_cast<std::uint16_t>(records.size()));
  for (const TAsfRecord& r : records)
    AppendBytes(body, JoinBytes({LE16(r.language), LE16(r.stream), LE16(static_cast<std::uint16_t>(r.name.size())),
                                 LE16(r.type), LE32(static_cast<std::uint32_t>(r.value.size())), r.name, r.value}));
  return AsfObject(guid, body);
}
}  // namespace

TBytes AsfGuid(std::string_view text) {
  static constexpr std::size_t Offsets[16] = {6, 4, 2, 0, 11, 9, 16, 14, 19, 21, 24, 26, 28, 30, 32, 34};
  TBytes bytes;
  for (const std::size_t at : Offsets) bytes.push_back(static_cast<std::uint8_t>(Hex(text[at]) << 4 | Hex(text[at + 1])));
  return bytes;
}

TBytes Utf16Bytes(std::string_view utf8, bool terminate) {
  TBytes bytes;
  for (const char16_t unit : platform::Utf8ToUtf16(utf8)) AppendBytes(bytes, LE16(unit));
  if (terminate) AppendBytes(bytes, LE16(0));
  return bytes;
}

TBytes AsfObject(std::string_view guid, const TBytes& body) { return AsfObjectWithSize(guid, 24 + body.size(), body); }

TBytes AsfObjectWithSize(std::string_view guid, std::uint64_t size, const TBytes& body) {
  return JoinBytes({AsfGuid(guid), LE64(size), body});
}

TBytes AsfFileProperties(std::uint32_t maxBitRate) {
  // File ID, file size, creation date, packet count, play duration, send
  // duration, preroll, flags, min and max packet size (76 bytes), then
  // the Maximum Bitrate at object offset 100.
  TBytes body = JoinBytes({Zeros(16), LE64(0), LE64(0), LE64(1), LE64(30000000), LE64(30000000), LE64(0), LE32(2),
                           LE32(3200), LE32(3200), LE32(maxBitRate)});
  return AsfObject(AsfFilePropertiesGuid, body);
}

TBytes AsfStreamPropertiesOfType(std::string_view streamType, std::uint16_t channels, std::uint32_t sampleRate,
                                 std::uint32_t byteRate) {
  // WAVEFORMATEX of WMA 2: format tag 0x161, channels, rate, byte rate,
  // block align, bits, then 10 bytes of codec data.
  TBytes format = JoinBytes({LE16(0x161), LE16(channels), LE32(sampleRate), LE32(byteRate), LE16(2973), LE16(16),
                             LE16(10), Zeros(10)});
  if (streamType != AsfAudioMediaGuid) std::fill(format.begin(), format.end(), std::uint8_t{0x55});
  TBytes body = JoinBytes({AsfGuid(streamType), AsfGuid("20FB5700-5B55-11CF-A8FD-00805F5C442B"), LE64(0),
                           LE32(static_cast<std::uint32_t>(format.size())), LE32(8), LE16(1), LE32(0), format,
                           Zeros(8)});
  return AsfObject(AsfStreamPropertiesGuid, body);
}

TBytes AsfAudioStreamProperties(std::uint16_t channels, std::uint32_t sampleRate, std::uint32_t byteRate) {
  return AsfStreamPropertiesOfType(AsfAudioMediaGuid, channels, sampleRate, byteRate);
}

TBytes AsfContentDescription(const TAsfContent& c) {
  TBytes lengths, texts;
  for (const std::string* text : {&c.title, &c.author, &c.copyright, &c.description, &c.rating}) {
    const TBytes bytes = text->empty() ? TBytes{} : Utf16Bytes(*text);
    AppendBytes(lengths, LE16(static_cast<std::uint16_t>(bytes.size())));
    AppendBytes(texts, bytes);
  }
  return AsfObject(AsfContentDescriptionGuid, JoinBytes({lengths, texts}));
}

TBytes AsfName(std::string_view utf8) { return Utf16Bytes(utf8); }

TAsfDescriptor AsfText(std::string_view name, std::string_view value) {
  return {AsfName(name), AsfString, Utf16Bytes(value)};
}

TAsfDescriptor AsfNumber(std::string_view name, std::uint16_t type, std::uint64_t value) {
  TBytes bytes = LE64(value);
  bytes.resize(type == AsfQword ? 8 : type == AsfWord ? 2 : 4);
  return {AsfName(name), type, bytes};
}

TBytes AsfExtendedContentDescription(const std::vector<TAsfDescriptor>& descriptors) {
  TBytes body = LE16(static_cast<std::uint16_t>(descriptors.size()));
  for (const TAsfDescriptor& d : descriptors)
    AppendBytes(body, JoinBytes({LE16(static_cast<std::uint16_t>(d.name.size())), d.name, LE16(d.type),
                                 LE16(static_cast<std::uint16_t>(d.value.size())), d.value}));
  return AsfObject(AsfExtendedContentDescriptionGuid, body);
}

TBytes AsfMetadata(const std::vector<TAsfRecord>& records) { return MetadataObject(AsfMetadataGuid, records); }
TBytes AsfMetadataLibrary(const std::vector<TAsfRecord>& records) {
  return MetadataObject(AsfMetadataLibraryGuid, records);
}

TBytes AsfHeaderExtension(const std::vector<TBytes>& objects) {
  TBytes data;
  for (const TBytes& object : objects) AppendBytes(data, object);
  return AsfObject(AsfHeaderExtensionGuid, JoinBytes({AsfGuid("ABD3D211-A9BA-11cf-8EE6-00C00C205365"), LE16(6),
                                                      LE32(static_cast<std::uint32_t>(data.size())), data}));
}

TBytes AsfPictureValue(std::size_t dataSize, std::uint8_t pictureType) {
  TBytes data(dataSize);
  for (std::size_t i = 0; i < dataSize; ++i) data[i] = static_cast<std::uint8_t>(i * 7);
  return JoinBytes({{pictureType}, LE32(static_cast<std::uint32_t>(dataSize)), Utf16Bytes("image/jpeg"),
                    Utf16Bytes(""), data});
}

TBytes AsfFile(const std::vector<TBytes>& headerObjects, std::size_t fileSize) {
  TBytes objects;
  for (const TBytes& object : headerObjects) AppendBytes(objects, object);
  TBytes file = JoinBytes({AsfGuid(AsfHeaderGuid), LE64(30 + objects.size()),
                           LE32(static_cast<std::uint32_t>(headerObjects.size())), {0x01, 0x02}, objects});
  // Data object: file ID, total packets, reserved; then packet bytes.
  const std::size_t dataFixed = 50;
  const std::size_t packets = fileSize > file.size() + dataFixed ? fileSize - file.size() - dataFixed : 0;
  AppendBytes(file, JoinBytes({AsfGuid(AsfDataGuid), LE64(dataFixed + packets), Zeros(16), LE64(packets / 3200),
                               {0x01, 0x01}}));
  file.resize(file.size() + packets, 0x82);
  return file;
}

TBytes WmaFile(const TWmaOptions& options) {
  std::vector<TBytes> objects = {AsfFileProperties(options.maxBitRate),
                                 AsfAudioStreamProperties(options.channels, options.sampleRate, options.byteRate)};
  objects.insert(objects.end(), options.moreObjects.begin(), options.moreObjects.end());
  return AsfFile(objects, options.fileSize);
}

}  // namespace velmaro::testsupport
