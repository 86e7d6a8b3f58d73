// A temporary folder for one test, removed with everything in it.
#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string>

#include "platform/Platform.h"
#include "platform/Text.h"
#include "support/TagBytes.h"

namespace velmaro::test {

// A path given as UTF-8 text, as std::filesystem must take it: a plain
// std::string would be read in the ANSI code page on Windows.
inline std::filesystem::path Utf8Path(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

// A path as UTF-8 text.
inline std::string Utf8Text(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

// A relative name written with '/' (as the tests write them) in the
// platform's own separator.
inline std::string NativeName(std::string name) {
  for (char& c : name)
    if (c == '/') c = static_cast<char>(platform::DirDelim);
  return name;
}

class TTestFolder {
 public:
  TTestFolder() {
    const std::filesystem::path temp = std::filesystem::temp_directory_path();
    std::random_device seed;
    std::mt19937_64 random(seed());
    for (int attempt = 0; FPath.empty(); ++attempt) {
      if (attempt == 100) throw std::runtime_error("cannot create a temporary folder in " + Utf8Text(temp));
      const std::filesystem::path candidate = temp / ("velmaro-test-" + std::to_string(random() % 1000000000000));
      std::error_code error;
      // false when the name is taken: try another one.
      if (std::filesystem::create_directory(candidate, error)) FPath = Utf8Text(candidate);
    }
    // Reachable by the unprivileged user of RunUnprivileged (POSIX).
    std::error_code ignored;
    std::filesystem::permissions(Utf8Path(FPath), std::filesystem::perms::owner_all | std::filesystem::perms::group_read |
                                                      std::filesystem::perms::group_exec | std::filesystem::perms::others_read |
                                                      std::filesystem::perms::others_exec,
                                 ignored);
  }
  ~TTestFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(Utf8Path(FPath), ignored);
  }
  TTestFolder(const TTestFolder&) = delete;
  TTestFolder& operator=(const TTestFolder&) = delete;

  // The folder itself.
  std::filesystem::path Path() const { return Utf8Path(FPath); }
  // A path inside it, as UTF-8 text; "/" in the name separates folders.
  std::string Path(const std::string& name) const {
    return FPath + static_cast<char>(platform::DirDelim) + NativeName(name);
  }
  std::u16string Path16(const std::string& name) const { return platform::Utf8ToUtf16(Path(name)); }

  std::string Write(const std::string& name, const std::string& content) const {
    std::string path = Path(name);
    std::ofstream(Utf8Path(path), std::ios::binary) << content;
    return path;
  }
  // Writes the bytes into a file of that name; throws when that fails.
  std::filesystem::path Write(const std::string& name, const testsupport::TBytes& bytes) const {
    const std::filesystem::path path = Utf8Path(Path(name));
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + Utf8Text(path));
    return path;
  }

 private:
  std::string FPath;
};

inline std::string ReadAll(const std::string& path) {
  std::ifstream in(Utf8Path(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace velmaro::test
