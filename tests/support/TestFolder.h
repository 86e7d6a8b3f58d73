// A temporary folder for one test, removed with everything in it.
#pragma once

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include "platform/Text.h"
#include "support/TagBytes.h"

namespace velmaro::test {

class TTestFolder {
 public:
  TTestFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "velmaro-platform-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    FPath = pattern;
    // Reachable by the unprivileged user of RunUnprivileged.
    ::chmod(FPath.c_str(), 0755);
  }
  ~TTestFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(FPath, ignored);
  }
  TTestFolder(const TTestFolder&) = delete;
  TTestFolder& operator=(const TTestFolder&) = delete;

  // The folder itself.
  std::filesystem::path Path() const { return FPath; }
  std::string Path(const std::string& name) const { return FPath + "/" + name; }
  std::u16string Path16(const std::string& name) const { return platform::Utf8ToUtf16(Path(name)); }

  std::string Write(const std::string& name, const std::string& content) const {
    std::string path = Path(name);
    std::ofstream(path, std::ios::binary) << content;
    return path;
  }
  // Writes the bytes into a file of that name; throws when that fails.
  std::filesystem::path Write(const std::string& name, const testsupport::TBytes& bytes) const {
    const std::filesystem::path path = Path(name);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
    return path;
  }

 private:
  std::string FPath;
};

inline std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace velmaro::test
