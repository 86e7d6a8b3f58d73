// One attribute of a Windows Media file: its name, its type and its raw
// value bytes, as the attribute list of the ASF header gives them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velmaro::tags {

// The attribute types of the Windows Media attribute list.
enum WMT_ATTR_DATATYPE : std::int32_t {
  WMT_TYPE_DWORD = 0,
  WMT_TYPE_STRING = 1,
  WMT_TYPE_BINARY = 2,
  WMT_TYPE_BOOL = 3,
  WMT_TYPE_QWORD = 4,
  WMT_TYPE_WORD = 5,
  WMT_TYPE_GUID = 6,
  WMT_TYPE_UNKNOWN = 7,
};

struct TWMATagFrame {
  std::u16string Name;
  WMT_ATTR_DATATYPE Format = WMT_TYPE_UNKNOWN;
  // The raw value: UTF-16LE text (with its terminator) for strings,
  // little-endian numbers (a BOOL takes 4 bytes), bytes for the others.
  std::vector<std::uint8_t> Stream;
  int Index = 0;  // position in the tag's frame list

  // Strings: every UTF-16 unit that is not 0; other types: the decimal
  // text of GetAsInteger.
  std::u16string GetAsText() const;
  // DWORD and BOOL: 4 bytes, QWORD: 8, WORD: 2, little-endian from the
  // start of the value (missing bytes read as 0); other types give 0.
  std::int64_t GetAsInteger() const;
};

}  // namespace velmaro::tags
