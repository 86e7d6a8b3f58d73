#include "tags/asf/AsfAttributeReader.h"

#include <algorithm>
#include <array>

#include "tags/asf/AsfGuid.h"
#include "tags/common/TBufferedStream.h"
#include "tags/common/TagLimits.h"

namespace velmaro::tags {

namespace {

// The Header object's own fields: GUID, 64-bit size, 32-bit object count,
// two reserved bytes.
constexpr std::int64_t HeaderObjectFixedSize = 30;

// Reads fields of one object: every read is checked against the object's
// end, which lies inside the stream.
class TObjectReader {
 public:
  TObjectReader(TStream& stream, std::int64_t end) : FStream(stream), FEnd(end) {}

  std::int64_t Left() const { return FEnd - FStream.Position(); }
  bool Has(std::uint64_t count) const { return count <= static_cast<std::uint64_t>(std::max<std::int64_t>(0, Left())); }

  bool U16(std::uint16_t& value) {
    if (!Has(2)) return false;
    value = FStream.ReadLE16();
    return true;
  }
  bool U32(std::uint32_t& value) {
    if (!Has(4)) return false;
    value = FStream.ReadLE32();
    return true;
  }
  bool Bytes(std::uint64_t count, std::vector<std::uint8_t>& bytes) {
    if (!Has(count)) return false;
    bytes = FStream.ReadBytes(static_cast<std::size_t>(count));
    return bytes.size() == count;
  }
  // Reads count bytes into bytes when the budget keeps them, else skips
  // them and leaves bytes empty.
  bool KeptBytes(std::uint64_t count, TTagBudget& budget, std::vector<std::uint8_t>& bytes) {
    bytes.clear();
    return budget.TakeBytes(count) ? Bytes(count, bytes) : Skip(count);
  }
  bool Skip(std::uint64_t count) {
    if (!Has(count)) return false;
    FStream.Skip(static_cast<std::int64_t>(count));
    return true;
  }
  // A name of byteCount bytes: UTF-16LE, up to its first zero unit.
  bool Name(std::uint64_t byteCount, std::u16string& name) {
    std::vector<std::uint8_t> bytes;
    if (!Bytes(byteCount, bytes)) return false;
    name.clear();
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
      const char16_t unit = static_cast<char16_t>(bytes[i] | bytes[i + 1] << 8);
      if (unit == 0) break;
      name += unit;
    }
    return true;
  }

 private:
  TStream& FStream;
  std::int64_t FEnd;
};

// The runtime hands strings out with their terminator.
void EnsureTerminated(std::vector<std::uint8_t>& value) {
  if (value.empty() || value.size() % 2 != 0) return;
  if (value[value.size() - 2] != 0 || value[value.size() - 1] != 0) value.insert(value.end(), {0, 0});
}

TAsfAttribute MakeAttribute(std::u16string name, WMT_ATTR_DATATYPE type, std::vector<std::uint8_t> value,
                            std::uint64_t size) {
  if (type == WMT_TYPE_STRING) EnsureTerminated(value);
  return TAsfAttribute{std::move(name), type, std::move(value), size};
}

// The objects of one kind, collected separately so that the list comes
// out in its fixed order whatever the order of the objects in the file.
// The budget bounds them all together: records past the item limit are
// not read, and a value too long to keep is skipped (its attribute stays,
// with its declared size and an empty value).
struct TCollected {
  std::vector<TAsfAttribute> Content, Extended, Metadata, Library;
  TTagBudget Budget;
};

// A record's name and value, read within the budget: false when the
// object ends first. A name too long to keep drops the whole record
// (kept is false): no name the import asks for is that long.
bool ReadRecord(TObjectReader& in, TTagBudget& budget, std::uint64_t nameLength, std::uint64_t valueLength,
                std::u16string& name, std::vector<std::uint8_t>& value, bool& kept) {
  kept = budget.TakeBytes(nameLength);
  if (!kept) return in.Skip(nameLength) && in.Skip(valueLength);
  return in.Name(nameLength, name) && in.KeptBytes(valueLength, budget, value);
}

bool ReadContentDescription(TObjectReader& in, TCollected& out) {
  static constexpr std::array<const char16_t*, 5> Names = {u"Title", u"Author", u"Copyright", u"Description", u"Rating"};
  std::array<std::uint16_t, 5> lengths{};
  for (std::uint16_t& length : lengths)
    if (!in.U16(length)) return false;
  for (std::size_t i = 0; i < Names.size(); ++i) {
    std::vector<std::uint8_t> value;
    if (!in.KeptBytes(lengths[i], out.Budget, value)) return false;
    if (out.Budget.TakeItem())
      out.Content.push_back(MakeAttribute(Names[i], WMT_TYPE_STRING, std::move(value), lengths[i]));
  }
  return true;
}

bool ReadExtendedContentDescription(TObjectReader& in, TCollected& out) {
  std::uint16_t count = 0;
  if (!in.U16(count)) return false;
  for (std::uint16_t i = 0; i < count && out.Budget.TakeItem(); ++i) {
    std::uint16_t nameLength = 0, type = 0, valueLength = 0;
    if (!in.U16(nameLength)) return false;
    // The type and value length stand between the name and the value.
    const bool keepName = out.Budget.TakeBytes(nameLength);
    std::u16string name;
    if (!(keepName ? in.Name(nameLength, name) : in.Skip(nameLength)) || !in.U16(type) || !in.U16(valueLength))
      return false;
    std::vector<std::uint8_t> value;
    if (!(keepName ? in.KeptBytes(valueLength, out.Budget, value) : in.Skip(valueLength))) return false;
    if (keepName)
      out.Extended.push_back(
          MakeAttribute(std::move(name), AsfTypeToRuntimeType(type), std::move(value), valueLength));
  }
  return true;
}

// Metadata and Metadata Library records share one layout; the first field
// is reserved in the one and a language index in the other.
bool ReadMetadataRecords(TObjectReader& in, TTagBudget& budget, std::vector<TAsfAttribute>& out) {
  std::uint16_t count = 0;
  if (!in.U16(count)) return false;
  for (std::uint16_t i = 0; i < count && budget.TakeItem(); ++i) {
    std::uint16_t language = 0, stream = 0, nameLength = 0, type = 0;
    std::uint32_t dataLength = 0;
    if (!in.U16(language) || !in.U16(stream) || !in.U16(nameLength) || !in.U16(type) || !in.U32(dataLength))
      return false;
    if (stream != 0) {
      if (!in.Skip(std::uint64_t{nameLength} + dataLength)) return false;
      continue;
    }
    std::u16string name;
    std::vector<std::uint8_t> value;
    bool kept = false;
    if (!ReadRecord(in, budget, nameLength, dataLength, name, value, kept)) return false;
    if (!kept) continue;
    const WMT_ATTR_DATATYPE runtimeType = AsfTypeToRuntimeType(type);
    if (runtimeType == WMT_TYPE_BOOL && value.size() == 2) value.insert(value.end(), {0, 0});
    out.push_back(MakeAttribute(std::move(name), runtimeType, std::move(value), dataLength));
  }
  return true;
}

// Walks the objects between the stream's position and end, calling
// visit(guid, reader over the object's data) for each. Fewer than 24
// bytes left over end the walk, and so do MaxWalkedUnits objects; an
// object that does not fit is a fault.
template <typename Visit>
TAsfAttributeStatus WalkObjects(TStream& in, std::int64_t end, std::uint32_t maxCount, TAsfAttributeStatus misfit,
                                Visit&& visit) {
  std::int64_t start = in.Position();
  maxCount = static_cast<std::uint32_t>(std::min<std::size_t>(maxCount, MaxWalkedUnits));
  for (std::uint32_t i = 0; i < maxCount && end - start >= AsfObjectHeaderSize; ++i) {
    in.SeekTo(start);
    TAsfGuid guid{};
    ReadAsfGuid(in, guid);
    const std::uint64_t size = in.ReadLE64();
    if (size < static_cast<std::uint64_t>(AsfObjectHeaderSize) || size > static_cast<std::uint64_t>(end - start))
      return misfit;
    const std::int64_t objectEnd = start + static_cast<std::int64_t>(size);
    TObjectReader object(in, objectEnd);
    const TAsfAttributeStatus status = visit(guid, object);
    if (status != TAsfAttributeStatus::Ok) return status;
    start = objectEnd;
  }
  return TAsfAttributeStatus::Ok;
}

TAsfAttributeStatus ReadHeaderExtension(TStream& stream, TObjectReader& in, TCollected& out) {
  std::uint32_t dataSize = 0;
  if (!in.Skip(16 + 2) || !in.U32(dataSize) || !in.Has(dataSize)) return TAsfAttributeStatus::BadDescription;
  const std::int64_t end = stream.Position() + dataSize;
  return WalkObjects(stream, end, UINT32_MAX, TAsfAttributeStatus::BadDescription,
                     [&](const TAsfGuid& guid, TObjectReader& object) {
                       bool ok = true;
                       if (guid == AsfMetadataObject) ok = ReadMetadataRecords(object, out.Budget, out.Metadata);
                       else if (guid == AsfMetadataLibraryObject)
                         ok = ReadMetadataRecords(object, out.Budget, out.Library);
                       return ok ? TAsfAttributeStatus::Ok : TAsfAttributeStatus::BadDescription;
                     });
}

}  // namespace

WMT_ATTR_DATATYPE AsfTypeToRuntimeType(std::uint16_t asfType) {
  switch (asfType) {
    case 0: return WMT_TYPE_STRING;
    case 1: return WMT_TYPE_BINARY;
    case 2: return WMT_TYPE_BOOL;
    case 3: return WMT_TYPE_DWORD;
    case 4: return WMT_TYPE_QWORD;
    case 5: return WMT_TYPE_WORD;
    case 6: return WMT_TYPE_GUID;
    default: return WMT_TYPE_UNKNOWN;
  }
}

TAsfAttributeList ReadAsfAttributes(TStream& stream) {
  TAsfAttributeList list;
  stream.SeekTo(0);
  TBufferedStream in(stream);

  TAsfGuid guid{};
  if (!ReadAsfGuid(in, guid) || guid != AsfHeaderObject) {
    list.Status = TAsfAttributeStatus::NoHeader;
    return list;
  }
  if (in.Remaining() < HeaderObjectFixedSize - 16) {
    list.Status = TAsfAttributeStatus::BadHeader;
    return list;
  }
  const std::uint64_t headerSize = in.ReadLE64();
  const std::uint32_t count = in.ReadLE32();
  in.Skip(2);
  if (headerSize < static_cast<std::uint64_t>(HeaderObjectFixedSize) ||
      headerSize > static_cast<std::uint64_t>(in.Size())) {
    list.Status = TAsfAttributeStatus::BadHeader;
    return list;
  }

  TCollected found;
  list.Status = WalkObjects(in, static_cast<std::int64_t>(headerSize), count, TAsfAttributeStatus::BadHeader,
                            [&](const TAsfGuid& id, TObjectReader& object) {
                              bool ok = true;
                              if (id == AsfContentDescriptionObject) ok = ReadContentDescription(object, found);
                              else if (id == AsfExtendedContentDescriptionObject)
                                ok = ReadExtendedContentDescription(object, found);
                              else if (id == AsfHeaderExtensionObject) return ReadHeaderExtension(in, object, found);
                              return ok ? TAsfAttributeStatus::Ok : TAsfAttributeStatus::BadDescription;
                            });

  for (std::vector<TAsfAttribute>* part : {&found.Content, &found.Extended, &found.Metadata, &found.Library})
    for (TAsfAttribute& attribute : *part) list.Attributes.push_back(std::move(attribute));
  return list;
}

}  // namespace velmaro::tags
