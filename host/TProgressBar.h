// A one-line progress display on standard error, redrawn in place when
// standard error is a terminal and silent otherwise.
#pragma once

#include <string>

namespace velmaro::host {

class TProgressBar {
 public:
  TProgressBar();
  // Shows done of total, a bar of the fraction, and a label.
  void Show(long long done, long long total, const std::string& label, int percent = -1);
  // Clears the line.
  void Finish();
  bool Active() const { return FActive; }

 private:
  bool FActive;
  bool FShown = false;
};

}  // namespace velmaro::host
