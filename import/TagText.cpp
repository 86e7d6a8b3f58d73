#include "import/TagText.h"

#include <cmath>

#include "platform/Platform.h"
#include "platform/System.h"
#include "platform/Text.h"

namespace velmaro::import {

std::u16string Trim(std::u16string_view text) {
  std::size_t begin = 0, end = text.size();
  while (begin < end && text[begin] <= u' ') ++begin;
  while (end > begin && text[end - 1] <= u' ') --end;
  return std::u16string(text.substr(begin, end - begin));
}

std::u16string CleanTagText(std::u16string_view text) {
  std::u16string result;
  result.reserve(text.size());
  for (char16_t c : text) {
    if (c == 0) {
      // A NUL would end the text wherever it is passed on as a C string.
      continue;
    } else if (c == platform::PathDelim) {
      result += platform::AltDelim;
    } else if (c == u':') {
      result += u'_';
    } else {
      result += c;
    }
  }
  return result;
}

std::u16string RepairUtf8Text(std::u16string_view text) {
  bool high = false;
  for (char16_t c : text)
    if (c >= 0x80) {
      high = true;
      break;
    }
  if (!high) return std::u16string(text);
  const std::string bytes = platform::Utf16ToAnsi(text);
  bool highByte = false;
  for (unsigned char b : bytes)
    if (b >= 0x80) {
      highByte = true;
      break;
    }
  // Text the code page cannot hold came back as '?': it was never 8-bit.
  if (!highByte || !platform::IsWellFormedUtf8(bytes) || platform::AnsiToUtf16(bytes) != text)
    return std::u16string(text);
  return platform::Utf8ToUtf16(bytes);
}

std::u16string PrepareTagText(std::u16string_view text) { return Trim(CleanTagText(RepairUtf8Text(text))); }

namespace {

// The file's name without folder and extension, underscores as spaces.
std::u16string BaseName(std::u16string_view path) {
  std::size_t cut = path.find_last_of(platform::DirDelim);
  if (platform::HasDriveColon) {
    const std::size_t colon = path.find_last_of(u':');
    if (colon != std::u16string_view::npos && (cut == std::u16string_view::npos || colon > cut)) cut = colon;
  }
  std::u16string_view name = cut == std::u16string_view::npos ? path : path.substr(cut + 1);
  const std::size_t dot = name.find_last_of(u'.');
  if (dot != std::u16string_view::npos) name = name.substr(0, dot);
  std::u16string base(name);
  for (char16_t& c : base)
    if (c == u'_') c = u' ';
  return base;
}

}  // namespace

// A Windows file name holds no quote, backslash or colon; a POSIX one may,
// so the file-name texts are cleaned like tag texts (a no-op on Windows).
std::u16string ArtistFromFileName(std::u16string_view path) {
  const std::u16string base = BaseName(path);
  const std::size_t dash = base.find(u" - ");
  return dash == std::u16string::npos ? std::u16string() : CleanTagText(base.substr(0, dash));
}

std::u16string TitleFromFileName(std::u16string_view path) {
  const std::u16string base = BaseName(path);
  const std::size_t dash = base.find(u" - ");
  return dash == std::u16string::npos ? std::u16string() : CleanTagText(base.substr(dash + 3));
}

namespace {
// Days from 1970-01-01 to the given civil date (proleptic Gregorian).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}
}  // namespace

std::int64_t LocalUnixSecondsOf(int year, int month, int day, int hour, int minute, int second, int millisecond) {
  const std::int64_t ms = ((DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) * 24 + hour) * 60 +
                           minute) * 60000 + static_cast<std::int64_t>(second) * 1000 + millisecond;
  // Whole seconds of the distance, signed by the side of 1970 it lies on.
  const std::int64_t seconds = (ms < 0 ? -ms : ms) / 1000;
  return ms < 0 ? -seconds : seconds;
}

std::int64_t LocalUnixSeconds() {
  const platform::TLocalTime now = platform::LocalNow();
  return LocalUnixSecondsOf(now.Year, now.Month, now.Day, now.Hour, now.Minute, now.Second, now.Millisecond);
}

std::u16string CeilSecondsText(double seconds) {
  if (!std::isfinite(seconds) || seconds <= 0) return u"0";
  if (seconds > 9.0e15) seconds = 9.0e15;
  return platform::IntToU16(static_cast<long long>(std::ceil(seconds)));
}

}  // namespace velmaro::import
