// Text conversion and locale-aware comparison on Windows, through the
// national-language functions of the system.
#include "platform/Text.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <stdexcept>

#include "platform/windows/WinApi.h"

namespace velmaro::platform {

namespace {

using windows::ApiLength;
using windows::Wide;

// The API refuses a null pointer even for an empty text.
const wchar_t* Chars(std::u16string_view text) { return text.empty() ? L"" : Wide(text.data()); }

[[noreturn]] void ThrowConversionError(const char* what) {
  throw std::runtime_error(std::string(what) + ": system error " + std::to_string(::GetLastError()));
}

std::u16string ToUtf16(UINT codePage, DWORD flags, std::string_view bytes, const char* what) {
  if (bytes.empty()) return {};
  const int length = ApiLength(bytes.size());
  // Every byte yields at most one UTF-16 unit, in every code page.
  std::u16string result(bytes.size(), u'\0');
  const int written = ::MultiByteToWideChar(codePage, flags, bytes.data(), length, Wide(result.data()), length);
  if (written <= 0) ThrowConversionError(what);
  result.resize(static_cast<std::size_t>(written));
  return result;
}

std::string FromUtf16(UINT codePage, DWORD flags, std::u16string_view text, const char* defaultChar,
                      const char* what) {
  if (text.empty()) return {};
  const int length = ApiLength(text.size());
  const int needed = ::WideCharToMultiByte(codePage, flags, Wide(text.data()), length, nullptr, 0, defaultChar, nullptr);
  if (needed <= 0) ThrowConversionError(what);
  std::string result(static_cast<std::size_t>(needed), '\0');
  const int written =
      ::WideCharToMultiByte(codePage, flags, Wide(text.data()), length, result.data(), needed, defaultChar, nullptr);
  if (written <= 0) ThrowConversionError(what);
  result.resize(static_cast<std::size_t>(written));
  return result;
}

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Lone surrogates become U+FFFD before the conversion to UTF-8, so that the
// result does not depend on how a given Windows version treats them.
std::u16string ReplaceLoneSurrogates(std::u16string_view text) {
  std::u16string result(text);
  for (std::size_t i = 0; i < result.size(); ++i) {
    if (IsHighSurrogate(result[i]) && i + 1 < result.size() && IsLowSurrogate(result[i + 1])) {
      ++i;
      continue;
    }
    if (IsHighSurrogate(result[i]) || IsLowSurrogate(result[i])) result[i] = 0xFFFD;
  }
  return result;
}

int Compare(LCID locale, std::u16string_view a, std::u16string_view b) {
  const int lengthA = ApiLength(a.size()), lengthB = ApiLength(b.size());
  int result = ::CompareStringW(locale, NORM_IGNORECASE, Chars(a), lengthA, Chars(b), lengthB);
  // Without the locale's tables: case-insensitive code-unit order.
  if (result == 0) result = ::CompareStringOrdinal(Chars(a), lengthA, Chars(b), lengthB, TRUE);
  if (result == 0) return a.compare(b) < 0 ? -1 : (a == b ? 0 : 1);
  return result - CSTR_EQUAL;
}

// The user locale's own separators and grouping, with no decimals.
struct TWholeNumberFormat {
  wchar_t Decimal[8] = L".";
  wchar_t Thousands[8] = L",";
  NUMBERFMTW Format{};

  TWholeNumberFormat(const TWholeNumberFormat&) = delete;
  TWholeNumberFormat& operator=(const TWholeNumberFormat&) = delete;
  TWholeNumberFormat() {
    Format.NumDigits = 0;
    Format.LeadingZero = LocaleNumber(LOCALE_ILZERO, 1);
    Format.Grouping = Grouping();
    ::GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, Decimal, static_cast<int>(std::size(Decimal)));
    ::GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, Thousands, static_cast<int>(std::size(Thousands)));
    Format.lpDecimalSep = Decimal;
    Format.lpThousandSep = Thousands;
    Format.NegativeOrder = LocaleNumber(LOCALE_INEGNUMBER, 1);
  }

  static UINT LocaleNumber(LCTYPE type, UINT fallback) {
    DWORD value = 0;
    if (::GetLocaleInfoW(LOCALE_USER_DEFAULT, type | LOCALE_RETURN_NUMBER, reinterpret_cast<wchar_t*>(&value),
                         sizeof value / sizeof(wchar_t)) == 0)
      return fallback;
    return value;
  }

  // The locale states its grouping as "3;0" (threes throughout), "3;2;0"
  // (three, then twos) or "3" (one group of three, then none); the format
  // record wants 3, 32 and 30.
  static UINT Grouping() {
    wchar_t text[16] = {};
    if (::GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SGROUPING, text, static_cast<int>(std::size(text))) == 0)
      return 3;
    std::wstring_view grouping(text);
    bool repeats = grouping.size() >= 2 && grouping.substr(grouping.size() - 2) == L";0";
    if (repeats) grouping.remove_suffix(2);
    UINT value = 0;
    for (wchar_t c : grouping)
      if (c >= L'0' && c <= L'9') value = value * 10 + static_cast<UINT>(c - L'0');
    return repeats ? value : value * 10;
  }
};

}  // namespace

std::string Utf16ToUtf8(std::u16string_view text) {
  return FromUtf16(CP_UTF8, 0, ReplaceLoneSurrogates(text), nullptr, "UTF-16 to UTF-8");
}

std::u16string Utf8ToUtf16(std::string_view text) {
  // Ill-formed sequences come out as U+FFFD.
  return ToUtf16(CP_UTF8, 0, text, "UTF-8 to UTF-16");
}

bool IsWellFormedUtf8(std::string_view bytes) {
  if (bytes.empty()) return true;
  return ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), ApiLength(bytes.size()), nullptr, 0) > 0;
}

std::u16string AnsiToUtf16(std::string_view bytes) { return ToUtf16(CP_ACP, 0, bytes, "ANSI to UTF-16"); }

std::string Utf16ToAnsi(std::u16string_view text) {
  // No best-fit mapping: a character the code page lacks becomes '?', not a
  // look-alike ("ā" must not turn into "a").
  return FromUtf16(CP_ACP, WC_NO_BEST_FIT_CHARS, text, "?", "UTF-16 to ANSI");
}

std::u16string HostTextToUtf16(std::string_view bytes) { return AnsiToUtf16(bytes); }

int CompareNoCase(std::u16string_view a, std::u16string_view b) { return Compare(LOCALE_USER_DEFAULT, a, b); }

int CompareNoCaseSystem(std::u16string_view a, std::u16string_view b) {
  return Compare(LOCALE_SYSTEM_DEFAULT, a, b);
}

namespace {

std::string SortKey(LCID locale, std::u16string_view text) {
  // The system refuses a source of length 0; the empty text, zero-terminated,
  // gets the key the comparison gives it.
  if (text.empty()) text = u"";
  const int length = text.empty() ? -1 : ApiLength(text.size());
  const DWORD flags = LCMAP_SORTKEY | NORM_IGNORECASE;
  const int needed = ::LCMapStringW(locale, flags, Chars(text), length, nullptr, 0);
  if (needed > 0) {
    std::string key(static_cast<std::size_t>(needed), '\0');
    // With LCMAP_SORTKEY the destination is bytes, counted in bytes.
    const int written = ::LCMapStringW(locale, flags, Chars(text), length,
                                       reinterpret_cast<wchar_t*>(key.data()), needed);
    if (written > 0) {
      // The key ends in a zero byte, which memcmp order does not need.
      key.resize(static_cast<std::size_t>(written));
      if (!key.empty() && key.back() == '\0') key.pop_back();
      return key;
    }
  }
  // Without the locale's tables: the upper-cased code units, big-endian,
  // which order as the ordinal comparison does.
  std::u16string upper(text);
  if (!upper.empty()) ::CharUpperBuffW(Wide(upper.data()), static_cast<DWORD>(upper.size()));
  std::string key;
  key.reserve(upper.size() * 2);
  for (char16_t unit : upper) {
    key.push_back(static_cast<char>(unit >> 8));
    key.push_back(static_cast<char>(unit & 0xFF));
  }
  return key;
}

}  // namespace

std::string NoCaseSortKey(std::u16string_view text) { return SortKey(LOCALE_USER_DEFAULT, text); }

std::string NoCaseSortKeySystem(std::u16string_view text) { return SortKey(LOCALE_SYSTEM_DEFAULT, text); }

std::u16string LowerCase(std::u16string_view text) {
  std::u16string result(text);
  // The buffer form of CharLowerW: the text's own length, NULs and all.
  if (!result.empty()) ::CharLowerBuffW(Wide(result.data()), static_cast<DWORD>(result.size()));
  return result;
}

std::u16string FormatWholeNumber(double value) {
  if (!std::isfinite(value)) return IntToU16(0);
  // Halves round away from zero; a value that rounds to zero shows no sign.
  double rounded = std::round(value);
  if (rounded == 0) rounded = 0;
  char digits[400];
  const auto [end, error] = std::to_chars(std::begin(digits), std::end(digits), rounded, std::chars_format::fixed, 0);
  if (error != std::errc()) return IntToU16(0);
  const std::u16string number = ToU16(std::string_view(digits, static_cast<std::size_t>(end - digits)));

  const TWholeNumberFormat format;
  const int needed = ::GetNumberFormatW(LOCALE_USER_DEFAULT, 0, Chars(number), &format.Format, nullptr, 0);
  if (needed > 0) {
    std::u16string result(static_cast<std::size_t>(needed), u'\0');
    const int written =
        ::GetNumberFormatW(LOCALE_USER_DEFAULT, 0, Chars(number), &format.Format, Wide(result.data()), needed);
    if (written > 0) {
      // The count includes the terminating zero.
      result.resize(static_cast<std::size_t>(written - 1));
      return result;
    }
  }
  return number;
}

}  // namespace velmaro::platform
