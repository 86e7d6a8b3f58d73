// Byte builders for ASF (Windows Media) headers: the objects the readers
// look at, laid out as the format defines them, with every size field
// open to hostile values.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "support/TagBytes.h"

namespace velmaro::testsupport {

// The 16 stored bytes of a GUID given in text form.
TBytes AsfGuid(std::string_view text);

inline constexpr std::string_view AsfHeaderGuid = "75B22630-668E-11CF-A6D9-00AA0062CE6C";
inline constexpr std::string_view AsfDataGuid = "75B22636-668E-11CF-A6D9-00AA0062CE6C";
inline constexpr std::string_view AsfFilePropertiesGuid = "8CABDCA1-A947-11CF-8EE4-00C00C205365";
inline constexpr std::string_view AsfStreamPropertiesGuid = "B7DC0791-A9B7-11CF-8EE6-00C00C205365";
inline constexpr std::string_view AsfContentDescriptionGuid = "75B22633-668E-11CF-A6D9-00AA0062CE6C";
inline constexpr std::string_view AsfExtendedContentDescriptionGuid = "D2D0A440-E307-11D2-97F0-00A0C95EA850";
inline constexpr std::string_view AsfHeaderExtensionGuid = "5FBF03B5-A92E-11CF-8EE3-00C00C205365";
inline constexpr std::string_view AsfMetadataGuid = "C5F8CBEA-5BAF-4877-8467-AA8C44FA4CCA";
inline constexpr std::string_view AsfMetadataLibraryGuid = "44231C94-9498-49D1-A141-1D134E457054";
inline constexpr std::string_view AsfPaddingGuid = "1806D474-CADF-4509-A4BA-9AABCB96AAE8";
inline constexpr std::string_view AsfAudioMediaGuid = "F8699E40-5B4D-11CF-A8FD-00805F5C442B";
inline constexpr std::string_view AsfVideoMediaGuid = "BC19EFC0-5B4D-11CF-A8FD-00805F5C442B";

// ASF value types as stored in descriptors and metadata records.
enum TAsfType : std::uint16_t { AsfString = 0, AsfBytes = 1, AsfBool = 2, AsfDword = 3, AsfQword = 4, AsfWord = 5, AsfGuidType = 6 };

// UTF-8 text as UTF-16LE (with a terminator unless terminate is false).
TBytes Utf16Bytes(std::string_view utf8, bool terminate = true);

// An object: GUID, 64-bit size (24 + body unless given), body.
TBytes AsfObject(std::string_view guid, const TBytes& body);
TBytes AsfObjectWithSize(std::string_view guid, std::uint64_t size, const TBytes& body);

// A 104-byte File Properties object with the given Maximum Bitrate.
TBytes AsfFileProperties(std::uint32_t maxBitRate);
// A Stream Properties object for an audio stream (WAVEFORMATEX of WMA 2),
// or with another stream type whose type-specific data is 0x55 bytes.
TBytes AsfAudioStreamProperties(std::uint16_t channels, std::uint32_t sampleRate, std::uint32_t byteRate);
TBytes AsfStreamPropertiesOfType(std::string_view streamType, std::uint16_t channels, std::uint32_t sampleRate,
                                 std::uint32_t byteRate);

struct TAsfContent {
  std::string title{}, author{}, copyright{}, description{}, rating{};
};
// A Content Description object; empty texts are stored with length 0.
TBytes AsfContentDescription(const TAsfContent& content);

struct TAsfDescriptor {
  TBytes name{};  // raw name bytes (see AsfName)
  std::uint16_t type = AsfString;
  TBytes value{};
};
// A descriptor name as stored: UTF-16LE with terminator.
TBytes AsfName(std::string_view utf8);
// Descriptor helpers: a string, a number of a given width, a BOOL.
TAsfDescriptor AsfText(std::string_view name, std::string_view value);
TAsfDescriptor AsfNumber(std::string_view name, std::uint16_t type, std::uint64_t value);
TBytes AsfExtendedContentDescription(const std::vector<TAsfDescriptor>& descriptors);

struct TAsfRecord {
  std::uint16_t language = 0;  // Metadata object: reserved, 0
  std::uint16_t stream = 0;
  TBytes name{};                 // raw name bytes (see AsfName)
  std::uint16_t type = AsfString;
  TBytes value{};
};
TBytes AsfMetadata(const std::vector<TAsfRecord>& records);
TBytes AsfMetadataLibrary(const std::vector<TAsfRecord>& records);
// A Header Extension object holding the given objects.
TBytes AsfHeaderExtension(const std::vector<TBytes>& objects);

// A WM/Picture value: picture type, data length, MIME type, description,
// data.
TBytes AsfPictureValue(std::size_t dataSize, std::uint8_t pictureType = 3);

// The Header object around the given objects (count and size as they
// are), followed by a Data object padded so that the whole file is
// fileSize bytes (at least the header and a 50-byte Data object).
TBytes AsfFile(const std::vector<TBytes>& headerObjects, std::size_t fileSize = 0);

// A WMA file with File Properties and an audio Stream Properties object
// before any further objects.
struct TWmaOptions {
  std::uint16_t channels = 2;
  std::uint32_t sampleRate = 44100;
  std::uint32_t byteRate = 8000;      // average bytes per second
  std::uint32_t maxBitRate = 64000;   // bit/s
  std::size_t fileSize = 0;
  std::vector<TBytes> moreObjects{};
};
TBytes WmaFile(const TWmaOptions& options);

}  // namespace velmaro::testsupport
