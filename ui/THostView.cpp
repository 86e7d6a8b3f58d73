#include "ui/THostView.h"

#include <algorithm>

namespace velmaro::ui {

void THostView::SetText(std::string_view control, const std::u16string& text) {
  FTexts.insert_or_assign(std::string(control), text);
}

std::u16string THostView::Text(std::string_view control) const {
  const auto it = FTexts.find(control);
  return it == FTexts.end() ? std::u16string() : it->second;
}

TAnswer THostView::AskUser(const std::u16string& text, TAskKind kind) {
  const bool question = kind == TAskKind::Question || kind == TAskKind::Warning;
  if (kind == TAskKind::Error) FFailed = true;
  const bool yes = FCallbacks.Request && FCallbacks.Request(text, question);
  if (!question) return TAnswer::Ok;
  if (!yes) FDeclined = true;
  return yes ? TAnswer::Yes : TAnswer::No;
}

bool THostView::Progress(std::int64_t done, std::int64_t total) {
  const int percent = total > 0 ? static_cast<int>(std::min<std::int64_t>(done * 100 / total, 100)) : 100;
  return !FCallbacks.Progress || FCallbacks.Progress(percent);
}

}  // namespace velmaro::ui
