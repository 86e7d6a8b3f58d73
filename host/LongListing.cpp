#include "host/LongListing.h"

#include <algorithm>
#include <cstdio>

#include "host/Commands.h"
#include "host/ContentView.h"
#include "platform/Text.h"

namespace velmaro::host {

namespace {

// Columns a terminal gives UTF-8 text.
std::size_t DisplayWidth(const std::string& text) { return platform::TerminalWidth(FromUtf8(text)); }

std::string Pad(const std::string& text, std::size_t width, bool right) {
  const std::size_t shown = DisplayWidth(text);
  const std::string fill(width > shown ? width - shown : 0, ' ');
  return right ? fill + text : text + fill;
}

bool IsControl(char16_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

// The text a value shows: its own, or for a number without one the number.
std::string ValueText(const TColumnValue& value, bool raw) {
  if (value.Type == fsapi::ft_fieldempty) return {};
  if (value.Type == fsapi::ft_numeric_floating && value.Text.empty()) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%g", value.Number);
    return buffer;
  }
  return raw ? ToUtf8(value.Text) : ShownText(value.Text);
}

// The text inside the $'...' quoting: controls escaped, backslashes
// doubled, quotes as \'.
void AppendQuoted(std::string& shown, std::u16string_view text) {
  std::size_t plain = 0;  // start of the units not yet shown
  auto flush = [&](std::size_t end) {
    shown += ToUtf8(text.substr(plain, end - plain));
    plain = end + 1;
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (!IsControl(c) && c != u'\\' && c != u'\'') continue;
    flush(i);
    char escape[8];
    switch (c) {
      case u'\n': shown += "\\n"; break;
      case u'\r': shown += "\\r"; break;
      case u'\t': shown += "\\t"; break;
      case u'\\': shown += "\\\\"; break;
      case u'\'': shown += "\\'"; break;
      default:
        std::snprintf(escape, sizeof escape, c < 0x80 ? "\\x%02x" : "\\u%04x", static_cast<unsigned>(c));
        shown += escape;
    }
  }
  flush(text.size());
}

// The length of the UTF-8 sequence its first byte announces; 0 for a byte
// that starts none.
std::size_t SequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if ((lead & 0xE0) == 0xC0) return 2;
  if ((lead & 0xF0) == 0xE0) return 3;
  if ((lead & 0xF8) == 0xF0) return 4;
  return 0;
}

}  // namespace

std::string ShownText(std::u16string_view text) {
  const bool quoted = std::any_of(text.begin(), text.end(), IsControl) || text.substr(0, 2) == u"$'";
  if (!quoted) return ToUtf8(text);
  std::string shown = "$'";
  AppendQuoted(shown, text);
  return shown + "'";
}

std::string ShownBytes(std::string_view bytes) {
  if (platform::IsWellFormedUtf8(bytes)) return ShownText(FromUtf8(bytes));
  std::string shown = "$'";
  std::size_t text = 0;  // start of the well-formed bytes not yet shown
  for (std::size_t i = 0; i < bytes.size();) {
    const std::size_t length = SequenceLength(static_cast<unsigned char>(bytes[i]));
    if (length > 0 && platform::IsWellFormedUtf8(bytes.substr(i, length))) {
      i += length;
      continue;
    }
    AppendQuoted(shown, FromUtf8(bytes.substr(text, i - text)));
    char escape[8];
    std::snprintf(escape, sizeof escape, "\\x%02x", static_cast<unsigned>(static_cast<unsigned char>(bytes[i])));
    shown += escape;
    text = ++i;
  }
  AppendQuoted(shown, FromUtf8(bytes.substr(text)));
  return shown + "'";
}

namespace {

struct TColumn {
  std::string Header;
  int Field = -1;  // the plug-in's field index, -1 when it offers none of that name
  bool RightAligned = false;
};

}  // namespace

void PrintLongListing(THostHarness& host, const std::u16string& folder, const std::vector<TEntry>& entries,
                      std::ostream& out, bool nullSeparated) {
  if (entries.empty()) return;
  std::vector<TColumn> columns = {{"Kind"}, {"Name"}};
  const std::size_t fixed = columns.size();
  if (const auto view = host.DefaultView()) {
    const std::vector<TContentField> fields = host.SupportedFields();
    for (const TViewColumn& viewColumn : ParseDefaultView(*view)) {
      TColumn column{ToUtf8(viewColumn.Header), -1, viewColumn.RightAligned};
      for (const TContentField& field : fields)
        if (field.Name == viewColumn.Field) column.Field = field.Index;
      columns.push_back(column);
    }
  }

  std::vector<std::vector<std::string>> rows;
  for (const TEntry& entry : entries) {
    std::vector<std::string> row = {entry.IsFolder() ? "dir" : "file",
                                    nullSeparated ? ToUtf8(entry.Name) : ShownText(entry.Name)};
    const std::u16string path = JoinVirtual(folder, entry.Name);
    for (std::size_t i = fixed; i < columns.size(); ++i)
      row.push_back(columns[i].Field < 0 ? std::string()
                                         : ValueText(host.ColumnValue(path, columns[i].Field), nullSeparated));
    rows.push_back(std::move(row));
  }

  std::vector<std::size_t> widths(columns.size());
  for (std::size_t i = 0; i < columns.size(); ++i) {
    widths[i] = DisplayWidth(columns[i].Header);
    for (const auto& row : rows) widths[i] = std::max(widths[i], DisplayWidth(row[i]));
  }
  auto printLine = [&](const std::vector<std::string>& cells) {
    std::string line;
    for (std::size_t i = 0; i < columns.size(); ++i) {
      if (i > 0) line += "  ";
      line += Pad(cells[i], widths[i], columns[i].RightAligned);
    }
    line.erase(line.find_last_not_of(' ') + 1);
    out << line << (nullSeparated ? '\0' : '\n');
  };
  std::vector<std::string> header;
  for (const TColumn& column : columns) header.push_back(column.Header);
  printLine(header);
  for (const auto& row : rows) printLine(row);
}

}  // namespace velmaro::host
