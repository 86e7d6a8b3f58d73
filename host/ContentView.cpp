#include "host/ContentView.h"

namespace velmaro::host {

std::vector<std::u16string> SplitViewItems(std::u16string_view text) {
  std::vector<std::u16string> items;
  if (text.empty()) return items;
  for (;;) {
    const std::size_t split = text.find(u"\\n");
    items.emplace_back(text.substr(0, split));
    if (split == std::u16string_view::npos) break;
    text.remove_prefix(split + 2);
  }
  return items;
}

std::string ViewItemField(std::u16string_view item) {
  constexpr std::u16string_view Prefix = u"[=<fs>.";
  if (!item.starts_with(Prefix) || !item.ends_with(u"]")) return {};
  item = item.substr(Prefix.size(), item.size() - Prefix.size() - 1);
  // Field names hold no full stop; one after the name starts its unit.
  return ToUtf8(item.substr(0, item.find(u'.')));
}

std::vector<TViewColumn> ParseDefaultView(const TDefaultView& view) {
  const std::vector<std::u16string> contents = SplitViewItems(view.Contents);
  const std::vector<std::u16string> headers = SplitViewItems(view.Headers);
  std::vector<std::u16string> widths;
  for (std::u16string_view rest = view.Widths; !rest.empty();) {
    const std::size_t comma = rest.find(u',');
    widths.emplace_back(rest.substr(0, comma));
    rest = comma == std::u16string_view::npos ? std::u16string_view() : rest.substr(comma + 1);
  }
  std::vector<TViewColumn> columns;
  for (std::size_t i = 0; i < contents.size(); ++i) {
    TViewColumn column;
    column.Field = ViewItemField(contents[i]);
    column.Header = i < headers.size() ? headers[i] : FromUtf8(column.Field);
    // The first two widths belong to the name and the extension.
    column.RightAligned = i + 2 < widths.size() && widths[i + 2].starts_with(u"-");
    columns.push_back(std::move(column));
  }
  return columns;
}

}  // namespace velmaro::host
