// Small helpers for tag reader tests: byte strings, and files written
// from them into a private temporary folder.
#pragma once

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace velmaro::testsupport {

using TBytes = std::vector<std::uint8_t>;

TBytes JoinBytes(std::initializer_list<TBytes> parts);
void AppendBytes(TBytes& target, const TBytes& more);
// The characters of the text as bytes.
TBytes AsciiBytes(std::string_view text);

// A temporary folder for one test, removed with everything in it when the
// object goes.
class TTempFolder {
 public:
  TTempFolder();
  ~TTempFolder();
  TTempFolder(const TTempFolder&) = delete;
  TTempFolder& operator=(const TTempFolder&) = delete;

  const std::filesystem::path& Path() const { return FPath; }
  // Writes the bytes into a file of that name; returns its full path.
  std::filesystem::path Write(const std::string& name, const TBytes& bytes) const;

 private:
  std::filesystem::path FPath;
};

// A path as the readers take it.
std::u16string ToReaderPath(const std::filesystem::path& path);

}  // namespace velmaro::testsupport
