// The instance registry: one record per FsInitW call, kept until unload.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "plugin/FsPluginApi.h"

namespace velmaro {

struct TStringHolder {
  std::vector<std::u16string> FStrings;  // owned; holds nothing
  std::int32_t FInternalNumber = 0;      // never set
  std::int32_t FIndex = 0;               // position in the registry when added
  fsapi::tProgressProcW FProgressProc = nullptr;
  fsapi::tLogProcW FLogProc = nullptr;
  fsapi::tRequestProcW FRequestProc = nullptr;
  std::int32_t FPluginNr = 0;
  std::int32_t FCurNumber = 0;  // never set
};

using TInstanceRegistry = std::vector<std::unique_ptr<TStringHolder>>;

}  // namespace velmaro
