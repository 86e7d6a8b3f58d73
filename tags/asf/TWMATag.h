// The attributes of a Windows Media (ASF) file: title, author, the
// "WM/..." descriptors, pictures and the rest, as a list of frames.
//
// One object per file: create, LoadFromFile, query, free. The file is
// only read. The list comes from our own reader of the ASF header (see
// AsfAttributeReader.h); no Windows Media runtime is involved.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tags/asf/TWMATagFrame.h"
#include "tags/common/TStream.h"

namespace velmaro::tags {

class TWMATag {
 public:
  // Results of LoadFromFile and LoadFromStream.
  static constexpr int ResultOk = 0;              // the attributes were read (maybe none)
  static constexpr int ResultFileNotFound = 1;
  static constexpr int ResultCannotOpen = 2;      // the file exists but cannot be opened
  static constexpr int ResultNotAsf = 3;          // no ASF Header object at the start
  static constexpr int ResultBadHeader = 4;       // the Header object or an object in it does not fit
  static constexpr int ResultBadDescription = 5;  // a description or metadata object is damaged
  static constexpr int ResultError = 0xFFFF;      // anything else went wrong

  TWMATag() = default;

  // FileSize is the file's size (-1 when it does not exist) whatever the
  // result. Frames hold the attributes whose value is not empty.
  int LoadFromFile(std::u16string_view fileName);
  // The same from the start of any stream (tests, fuzzers, memory);
  // FileSize is the stream's size.
  int LoadFromStream(TStream& stream);

  int Count() const { return static_cast<int>(FFrames.size()); }
  const std::vector<TWMATagFrame>& Frames() const { return FFrames; }
  // The value of the first frame whose name matches the given one (see
  // WMANamesMatch), as text (numbers in decimal); empty when none.
  std::u16string ReadFrameByNameAsText(std::u16string_view name) const;
  // Removes the frames and the loaded state (not the file size).
  void Clear();

  // At least one attribute was read.
  bool Loaded() const { return FLoaded; }
  std::int64_t FileSize() const { return FFileSize; }
  const std::u16string& FileName() const { return FFileName; }

 private:
  int Load(TStream& stream);
  // Appends an empty frame; the reference holds until the list changes.
  TWMATagFrame& AddFrame(std::u16string_view name);

  std::int64_t FFileSize = 0;
  std::u16string FFileName;
  bool FLoaded = false;
  std::vector<TWMATagFrame> FFrames;
};

// True when the two attribute names are equal once the ASCII letters of
// both are upper-cased; no other character is folded or ignored.
bool WMANamesMatch(std::u16string_view a, std::u16string_view b);

}  // namespace velmaro::tags
