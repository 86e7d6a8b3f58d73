// Reads an Ogg stream page by page, handing out the pages' data.
#pragma once

#include <cstdint>
#include <vector>

#include "tags/common/TStream.h"
#include "tags/ogg/TOggHeader.h"

namespace velmaro::tags {

class TOGGStream {
 public:
  // Starts at the source's current position and reads the header found
  // there into FirstOGGHeader without moving on (missing bytes read as 0).
  // The source is not owned and must outlive the page reader.
  explicit TOGGStream(TStream& source);

  // Appends the data of the page at the source's position to target and
  // moves behind it. A page whose lacing values add up to 0 appends
  // nothing. False, with nothing appended and the position kept, when no
  // complete page follows: the data ends, or does not hold "OggS" there.
  bool GetNextPageData(std::vector<std::uint8_t>& target);

  // Pages handed out so far.
  std::int64_t LastPageQueried() const { return FLastPageQueried; }
  const TOggHeader& FirstOGGHeader() const { return FFirstOGGHeader; }
  // Bytes of the source after the position.
  std::int64_t BytesLeft() const { return FStream.Remaining(); }

 private:
  TStream& FStream;
  std::int64_t FLastPageQueried = 0;
  TOggHeader FFirstOGGHeader;
};

}  // namespace velmaro::tags
