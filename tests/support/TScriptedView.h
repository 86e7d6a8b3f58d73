// A dialog view for tests: remembers what the dialog shows, answers
// message boxes and the file-open dialog from scripts, and records every
// message it was asked to show.
#pragma once

#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "ui/TDialogView.h"

namespace velmaro::test {

class TScriptedView : public ui::TDialogView {
 public:
  struct TMessage {
    std::u16string Text;
    ui::TAskKind Kind;
  };

  void SetText(std::string_view control, const std::u16string& text) override { Texts[std::string(control)] = text; }
  std::u16string Text(std::string_view control) const override {
    const auto it = Texts.find(std::string(control));
    return it == Texts.end() ? std::u16string() : it->second;
  }
  void SetChecked(std::string_view control, bool checked) override { Checks[std::string(control)] = checked; }
  bool Checked(std::string_view control) const override {
    const auto it = Checks.find(std::string(control));
    return it != Checks.end() && it->second;
  }
  void SetStar(int image, ui::TStar star) override { Stars[image] = star; }
  ui::TAnswer AskUser(const std::u16string& text, ui::TAskKind kind) override {
    Messages.push_back({text, kind});
    if (Answers.empty())
      return kind == ui::TAskKind::Information || kind == ui::TAskKind::Error ? ui::TAnswer::Ok : ui::TAnswer::No;
    const ui::TAnswer answer = Answers.front();
    Answers.pop_front();
    return answer;
  }
  std::optional<std::u16string> ChooseDatabaseFile(const std::u16string& folder, const std::u16string& name) override {
    ChooserStart = {folder, name};
    return ChosenFile;
  }
  void SetBusy(bool busy) override { BusyChanges.push_back(busy); }
  bool Progress(std::int64_t done, std::int64_t) override {
    ProgressCalls.push_back(done);
    return CancelAfter < 0 || static_cast<int>(ProgressCalls.size()) < CancelAfter;
  }
  void Close() override { Closed = true; }

  // "Gold", "Gray" or "None" for Image1 to Image5, one letter each: "GGGgg".
  std::string StarRow() const {
    std::string row;
    for (int i = 1; i <= 5; ++i) {
      const auto it = Stars.find(i);
      row += it == Stars.end() ? '?' : it->second == ui::TStar::Gold ? 'G' : it->second == ui::TStar::Gray ? 'g' : '-';
    }
    return row;
  }

  std::map<std::string, std::u16string> Texts;
  std::map<std::string, bool> Checks;
  std::map<int, ui::TStar> Stars;
  std::vector<TMessage> Messages;
  std::deque<ui::TAnswer> Answers;  // for the next message boxes; then No or OK
  std::optional<std::u16string> ChosenFile;
  std::pair<std::u16string, std::u16string> ChooserStart;
  std::vector<bool> BusyChanges;
  std::vector<std::int64_t> ProgressCalls;
  int CancelAfter = -1;  // Progress answers "cancel" on this call (1-based)
  bool Closed = false;
};

}  // namespace velmaro::test
