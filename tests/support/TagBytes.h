// Small helpers for tag reader tests: byte strings and fixed-width
// numbers as bytes.
#pragma once

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace velmaro::testsupport {

using TBytes = std::vector<std::uint8_t>;

TBytes JoinBytes(std::initializer_list<TBytes> parts);
void AppendBytes(TBytes& target, const TBytes& more);
// The characters of the text as bytes.
TBytes AsciiBytes(std::string_view text);

// Fixed-width numbers as bytes, most significant byte first (BE) or
// last (LE); bits above the width are dropped.
TBytes BE16(std::uint16_t value);
TBytes BE24(std::uint32_t value);
TBytes BE32(std::uint32_t value);
TBytes BE64(std::uint64_t value);
TBytes LE16(std::uint16_t value);
TBytes LE32(std::uint32_t value);
TBytes LE64(std::uint64_t value);

// A path as the readers take it.
std::u16string ToReaderPath(const std::filesystem::path& path);

}  // namespace velmaro::testsupport
