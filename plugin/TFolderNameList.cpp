#include "plugin/TFolderNameList.h"

#include "platform/Text.h"

namespace velmaro {

void TFolderNameList::Add(std::u16string_view name) {
  auto [it, isNew] = FSeen.emplace(name);
  if (!isNew) return;
  FByKey.try_emplace(platform::NoCaseSortKey(name), *it);
}

void TFolderNameList::Finish() {
  FNames.clear();
  FNames.reserve(FByKey.size());
  for (auto& [key, name] : FByKey) FNames.push_back(name);
  FSeen.clear();
  FByKey.clear();
}

void TFolderNameList::Clear() {
  FSeen.clear();
  FByKey.clear();
  FNames.clear();
}

}  // namespace velmaro
