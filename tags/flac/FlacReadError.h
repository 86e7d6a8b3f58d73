// The error the FLAC readers raise when a metadata block they must read
// runs past the end of the file, or the file cannot be opened. The
// import takes it as "not a usable FLAC file".
#pragma once

#include "platform/Error.h"

namespace velmaro::tags {

class EFlacReadError : public EVelmaroError {
 public:
  using EVelmaroError::EVelmaroError;
  const char* ClassName() const noexcept override { return "EReadError"; }
};

}  // namespace velmaro::tags
