// Paths of the machine that built the tests, as the running tests see
// them. The Windows tests run under Wine on that same Linux machine, whose
// root Wine shows as drive Z: ("/work/x" is "Z:\work\x").
#pragma once

#include <string>

#include "platform/Platform.h"

namespace velmaro::test {

// A Linux absolute path in the running platform's form; any other text
// (already a Windows path, a relative name) is returned unchanged.
inline std::string BuildPath(std::string path) {
  if (!platform::IsWindows || path.empty() || path[0] != '/') return path;
  for (char& c : path)
    if (c == '/') c = '\\';
  return "Z:" + path;
}

// The source tree, the build tree and the plug-in module.
inline std::string SourceDir() { return BuildPath(VELMARO_SOURCE_DIR); }
inline std::string BinaryDir() { return BuildPath(VELMARO_BINARY_DIR); }
inline std::string PluginPath() { return BuildPath(VELMARO_PLUGIN_PATH); }
// The velmaro program of this build.
inline std::string VelmaroProgram() {
  return BinaryDir() + static_cast<char>(platform::DirDelim) + (platform::IsWindows ? "velmaro.exe" : "velmaro");
}

}  // namespace velmaro::test
