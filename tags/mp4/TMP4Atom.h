// One item of an MP4 metadata list ("ilst"): its name ("©nam", "trkn",
// "covr", "----" ...), the "mean" and "name" of a free-form item, and its
// "data" sub-atoms. Only the first data is ever consulted for a value.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tags/common/TStream.h"
#include "tags/common/TagLimits.h"
#include "tags/mp4/MP4AtomName.h"
#include "tags/mp4/TMP4AtomData.h"

namespace velmaro::tags {

// The reverse-domain name of a free-form item: the bytes after the
// sub-atom's 8-byte header.
struct TMP4Atommean {
  std::vector<std::uint8_t> Data;
};

// The name of a free-form item: the bytes after the sub-atom's header.
struct TMP4Atomname {
  std::vector<std::uint8_t> Data;
};

class TMP4Atom {
 public:
  TAtomName ID{};
  std::uint32_t Size = 0;  // from the item's header
  TMP4Atommean mean;
  TMP4Atomname name;
  std::vector<TMP4AtomData> Datas;
  std::uint32_t Flags = 0;
  int Index = 0;  // position in the tag's list

  // The first data's text when it is UTF-8 text, else its integer reading
  // as an unsigned decimal number, else empty; empty without data.
  std::u16string GetAsText() const;
  // The first data's readings; 0 / false without data.
  std::uint16_t GetAsInteger16() const;
  bool GetAsInteger48(std::uint32_t& lowDWord, std::uint16_t& hiWord, std::uint64_t& value) const;

  // Reads the item whose header starts at the stream's position: its size
  // and name, then its sub-atoms up to the item's end. Never raises: a
  // payload that runs past the end of the stream ends the item and leaves
  // the stream at its end; a sub-atom smaller than its header jumps far
  // ahead and so ends the item too. Each "data" counts as an item of the
  // budget (past its limit they are skipped), and a payload too long for
  // it is skipped and left empty.
  void Read(TStream& stream, TTagBudget& budget);

 private:
  // Appends an empty data entry and returns it.
  TMP4AtomData& AddData();
  static void ReadData(TStream& stream, TMP4AtomData& data, TTagBudget& budget);
};

}  // namespace velmaro::tags
