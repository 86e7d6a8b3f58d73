// The names of a folder view: sorted by the user locale's case-insensitive
// order, without duplicates under that comparison; of names that compare
// equal, the first one added survives.
#pragma once

#include <string>
#include <string_view>
#include <unordered_set>
#include <map>
#include <vector>

namespace velmaro {

class TFolderNameList {
 public:
  void Add(std::u16string_view name);
  // Sorts what was added; call once after the last Add.
  void Finish();
  void Clear();
  int Count() const { return static_cast<int>(FNames.size()); }
  const std::u16string& operator[](int index) const { return FNames.at(static_cast<std::size_t>(index)); }
  const std::vector<std::u16string>& Names() const { return FNames; }

 private:
  // Names already seen exactly as spelled: most rows repeat a name, and
  // only a new spelling needs a collation key.
  std::unordered_set<std::u16string> FSeen;
  std::map<std::string, std::u16string> FByKey;
  std::vector<std::u16string> FNames;
};

}  // namespace velmaro
