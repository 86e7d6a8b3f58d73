// The attribute list of an ASF (Windows Media) file, read from its header
// without the Windows Media runtime: the same (name, type, raw value)
// records that the runtime's attribute list gives for stream 0.
//
// In this order:
// - "Title", "Author", "Copyright", "Description" and "Rating" from the
//   Content Description object (each, empty or not, as a string);
// - every descriptor of the Extended Content Description object;
// - the records for stream 0 of the Metadata object, then of the Metadata
//   Library object, both inside the Header Extension object (writers put
//   values over 64 KiB, such as large "WM/Picture" values, there).
//
// Types are the runtime's codes (WMT_ATTR_DATATYPE); strings are UTF-16LE
// with a terminator, numbers little-endian, and the 16-bit BOOL of the
// metadata objects is widened to the runtime's 32-bit BOOL.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tags/asf/TWMATagFrame.h"
#include "tags/common/TStream.h"

namespace velmaro::tags {

struct TAsfAttribute {
  std::u16string Name;
  WMT_ATTR_DATATYPE Type = WMT_TYPE_UNKNOWN;
  // Empty when the value was too long to keep (see TagLimits.h).
  std::vector<std::uint8_t> Value;
  std::uint64_t Size = 0;  // the value's size as stored
};

enum class TAsfAttributeStatus {
  Ok,
  NoHeader,        // the data does not start with an ASF Header object
  BadHeader,       // the Header object or one of its objects does not fit
  BadDescription,  // a description or metadata object's fields run past its end
};

struct TAsfAttributeList {
  TAsfAttributeStatus Status = TAsfAttributeStatus::NoHeader;
  // Complete only with Status Ok; otherwise what was read before the fault.
  std::vector<TAsfAttribute> Attributes;
};

// Reads the attribute list from the start of the stream. Sizes are checked
// against their enclosing object before anything is read or allocated,
// and what is kept is bounded as TagLimits.h says.
TAsfAttributeList ReadAsfAttributes(TStream& stream);

// The runtime's type code for an ASF value type (0 string, 1 bytes,
// 2 BOOL, 3 DWORD, 4 QWORD, 5 WORD, 6 GUID); other codes give
// WMT_TYPE_UNKNOWN.
WMT_ATTR_DATATYPE AsfTypeToRuntimeType(std::uint16_t asfType);

}  // namespace velmaro::tags
