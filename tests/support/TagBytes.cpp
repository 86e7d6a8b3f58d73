#include "support/TagBytes.h"

#include <atomic>
#include <fstream>
#include <random>
#include <stdexcept>
#include <system_error>

namespace velmaro::testsupport {

TBytes JoinBytes(std::initializer_list<TBytes> parts) {
  TBytes all;
  for (const TBytes& part : parts) AppendBytes(all, part);
  return all;
}

void AppendBytes(TBytes& target, const TBytes& more) { target.insert(target.end(), more.begin(), more.end()); }

TBytes AsciiBytes(std::string_view text) { return TBytes(text.begin(), text.end()); }

TTempFolder::TTempFolder() {
  static std::atomic<unsigned> counter{0};
  std::random_device random;
  const auto base = std::filesystem::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    const auto candidate = base / ("velmaro-tags-" + std::to_string(random()) + "-" + std::to_string(counter++));
    std::error_code error;
    if (std::filesystem::create_directory(candidate, error)) {
      FPath = candidate;
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary folder");
}

TTempFolder::~TTempFolder() {
  std::error_code error;
  std::filesystem::remove_all(FPath, error);
}

std::filesystem::path TTempFolder::Write(const std::string& name, const TBytes& bytes) const {
  const auto path = FPath / name;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
  return path;
}

std::u16string ToReaderPath(const std::filesystem::path& path) { return path.u16string(); }

}  // namespace velmaro::testsupport
