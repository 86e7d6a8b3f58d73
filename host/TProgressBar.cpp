#include "host/TProgressBar.h"

#include <cstdio>

#include "platform/Module.h"

namespace velmaro::host {

TProgressBar::TProgressBar() : FActive(platform::IsTerminal(2)) {}

void TProgressBar::Show(long long done, long long total, const std::string& label, int percent) {
  if (!FActive) return;
  constexpr int Width = 30;
  const double fraction =
      percent >= 0 ? percent / 100.0 : (total > 0 ? static_cast<double>(done) / static_cast<double>(total) : 0);
  const int filled = static_cast<int>(fraction * Width + 0.5);
  std::string bar(static_cast<std::size_t>(Width), ' ');
  for (int i = 0; i < filled && i < Width; ++i) bar[static_cast<std::size_t>(i)] = '#';
  // Keep the line within a normal terminal: show the end of a long label.
  std::string shown = label.size() > 40 ? "..." + label.substr(label.size() - 37) : label;
  std::fprintf(stderr, "\r\033[K[%s] %lld/%lld %s", bar.c_str(), done, total, shown.c_str());
  std::fflush(stderr);
  FShown = true;
}

void TProgressBar::Finish() {
  if (FActive && FShown) std::fprintf(stderr, "\r\033[K");
  FShown = false;
}

}  // namespace velmaro::host
