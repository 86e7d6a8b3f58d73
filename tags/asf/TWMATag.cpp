#include "tags/asf/TWMATag.h"

#include <exception>

#include "platform/FileSystem.h"
#include "tags/asf/AsfAttributeReader.h"

namespace velmaro::tags {

namespace {

char16_t AsciiUpper(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c; }

}  // namespace

bool WMANamesMatch(std::u16string_view a, std::u16string_view b) {
  // Unit by unit with ASCII letters upper-cased: a name is an identifier,
  // and a comparison by the locale's collation would take names that
  // differ by characters it ignores (zero-width or full-width ones) for
  // the same name.
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
  return true;
}

void TWMATag::Clear() {
  FLoaded = false;
  FFrames.clear();
}

int TWMATag::LoadFromFile(std::u16string_view fileName) {
  Clear();
  FFileName = fileName;
  FFileSize = platform::FileExists(fileName) ? platform::FileSize(fileName) : -1;
  if (FFileSize < 0) return ResultFileNotFound;
  try {
    TFileStream file(fileName);
    if (!file.IsOpen()) return ResultCannotOpen;
    return Load(file);
  } catch (const std::exception&) {
    Clear();
    return ResultError;
  }
}

int TWMATag::LoadFromStream(TStream& stream) {
  Clear();
  FFileSize = stream.Size();
  try {
    return Load(stream);
  } catch (const std::exception&) {
    Clear();
    return ResultError;
  }
}

int TWMATag::Load(TStream& stream) {
  TAsfAttributeList list = ReadAsfAttributes(stream);
  switch (list.Status) {
    case TAsfAttributeStatus::Ok: break;
    case TAsfAttributeStatus::NoHeader: return ResultNotAsf;
    case TAsfAttributeStatus::BadHeader: return ResultBadHeader;
    case TAsfAttributeStatus::BadDescription: return ResultBadDescription;
  }
  FLoaded = !list.Attributes.empty();
  for (TAsfAttribute& attribute : list.Attributes) {
    // An attribute without a value makes no frame; one whose value was
    // too long to keep does, with an empty value (a large picture still
    // counts).
    if (attribute.Size == 0) continue;
    TWMATagFrame& frame = AddFrame(attribute.Name);
    frame.Format = attribute.Type;
    frame.Stream = std::move(attribute.Value);
  }
  return ResultOk;
}

TWMATagFrame& TWMATag::AddFrame(std::u16string_view name) {
  TWMATagFrame& frame = FFrames.emplace_back();
  frame.Name = name;
  frame.Index = static_cast<int>(FFrames.size()) - 1;
  return frame;
}

std::u16string TWMATag::ReadFrameByNameAsText(std::u16string_view name) const {
  for (const TWMATagFrame& frame : FFrames)
    if (WMANamesMatch(frame.Name, name)) return frame.GetAsText();
  return {};
}

}  // namespace velmaro::tags
