// Text conversion and locale-aware comparison on POSIX, through ICU.
#include "platform/Text.h"

#include <unicode/coll.h>
#include <unicode/numfmt.h>
#include <unicode/locid.h>
#include <unicode/ucnv.h>
#include <unicode/uchar.h>
#include <unicode/ustring.h>
#include <unicode/utf8.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <stdexcept>

#include "platform/posix/CollationLocale.h"

namespace velmaro::platform {

namespace {

// ICU counts in 32-bit lengths; our texts are tag values, names and paths.
std::int32_t Length32(std::size_t length) {
  if (length > static_cast<std::size_t>(INT32_MAX)) throw std::length_error("text too long to convert");
  return static_cast<std::int32_t>(length);
}

constexpr UChar32 ReplacementChar = 0xFFFD;

// ---- Windows-1252 ---------------------------------------------------------

struct TConverterCloser {
  void operator()(UConverter* converter) const { ucnv_close(converter); }
};
using TConverterPtr = std::unique_ptr<UConverter, TConverterCloser>;

TConverterPtr OpenAnsiConverter() {
  UErrorCode error = U_ZERO_ERROR;
  TConverterPtr converter(ucnv_open("windows-1252", &error));
  if (U_FAILURE(error)) return nullptr;
  // ICU's own substitute for this code page is 0x1A; Windows writes '?'.
  ucnv_setSubstChars(converter.get(), "?", 1, &error);
  if (U_FAILURE(error)) return nullptr;
  return converter;
}

// Converters keep conversion state and are not thread-safe: one per thread.
UConverter* AnsiConverter() {
  thread_local TConverterPtr converter = OpenAnsiConverter();
  return converter.get();
}

// ---- collation ------------------------------------------------------------

std::unique_ptr<icu::Collator> CreateCollator() {
  UErrorCode error = U_ZERO_ERROR;
  std::unique_ptr<icu::Collator> collator(
      icu::Collator::createInstance(icu::Locale(posix::UserLocaleName().c_str()), error));
  if (U_FAILURE(error) || !collator) return nullptr;
  // Texts are compared case-folded (FoldCase below), at full strength: of
  // all differences only letter case is ignored. Accents, kana type
  // (hiragana, katakana) and width (full-width, half-width) still tell
  // texts apart, as a Windows case-insensitive comparison does; a lower
  // strength would merge "ゆず" with "ユズ" and "ＡＢＢＡ" with "ABBA".
  collator->setStrength(icu::Collator::IDENTICAL);
  return collator;
}

const icu::Collator* MasterCollator() {
  static const std::unique_ptr<icu::Collator> master = CreateCollator();
  return master.get();
}

// A collator must not be used by two threads at once; each thread works on
// its own clone of the one configured at first use.
const icu::Collator* ThreadCollator() {
  thread_local const std::unique_ptr<icu::Collator> clone = [] {
    const icu::Collator* master = MasterCollator();
    return std::unique_ptr<icu::Collator>(master ? master->clone() : nullptr);
  }();
  return clone.get();
}

// Without ICU's collation data: full case folding and code-unit order.
std::u16string FoldCase(std::u16string_view text) {
  if (text.empty()) return {};
  std::u16string folded(text.size(), u'\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    UErrorCode error = U_ZERO_ERROR;
    std::int32_t length = u_strFoldCase(folded.data(), Length32(folded.size()), text.data(),
                                        Length32(text.size()), U_FOLD_CASE_DEFAULT, &error);
    if (error == U_BUFFER_OVERFLOW_ERROR) {
      folded.resize(static_cast<std::size_t>(length));
      continue;
    }
    if (U_FAILURE(error)) break;
    folded.resize(static_cast<std::size_t>(length));
    return folded;
  }
  return std::u16string(text);
}

int Sign(int value) { return (value > 0) - (value < 0); }

int Compare(std::u16string_view a, std::u16string_view b) {
  const std::u16string foldedA = FoldCase(a), foldedB = FoldCase(b);
  if (const icu::Collator* collator = ThreadCollator()) {
    UErrorCode error = U_ZERO_ERROR;
    UCollationResult result = collator->compare(foldedA.data(), Length32(foldedA.size()), foldedB.data(),
                                                Length32(foldedB.size()), error);
    if (U_SUCCESS(error)) return Sign(static_cast<int>(result));
  }
  return Sign(foldedA.compare(foldedB));
}

}  // namespace

namespace posix {

std::string CollationLocaleName(const char* lcAll, const char* lcCollate, const char* lang) {
  const char* name = nullptr;
  for (const char* candidate : {lcAll, lcCollate, lang}) {
    if (candidate && *candidate) {
      name = candidate;
      break;
    }
  }
  if (!name) return {};
  std::string locale(name);
  locale = locale.substr(0, locale.find_first_of(".@"));
  if (locale == "C" || locale == "POSIX") return {};
  return locale;
}

const std::string& UserLocaleName() {
  static const std::string name = CollationLocaleName(std::getenv("LC_ALL"), std::getenv("LC_COLLATE"),
                                                      std::getenv("LANG"));
  return name;
}

}  // namespace posix

std::string Utf16ToUtf8(std::u16string_view text) {
  if (text.empty()) return {};
  // A UTF-16 unit becomes at most three bytes (a pair four, for two units).
  if (text.size() > static_cast<std::size_t>(INT32_MAX / 3)) throw std::length_error("text too long to convert");
  std::string result(text.size() * 3, '\0');
  UErrorCode error = U_ZERO_ERROR;
  std::int32_t written = 0;
  u_strToUTF8WithSub(result.data(), Length32(result.size()), &written, text.data(), Length32(text.size()),
                     ReplacementChar, nullptr, &error);
  if (U_FAILURE(error)) throw std::runtime_error(std::string("UTF-16 to UTF-8: ") + u_errorName(error));
  result.resize(static_cast<std::size_t>(written));
  return result;
}

std::u16string Utf8ToUtf16(std::string_view text) {
  if (text.empty()) return {};
  // Every byte yields at most one UTF-16 unit.
  std::u16string result(text.size(), u'\0');
  UErrorCode error = U_ZERO_ERROR;
  std::int32_t written = 0;
  u_strFromUTF8WithSub(result.data(), Length32(result.size()), &written, text.data(), Length32(text.size()),
                       ReplacementChar, nullptr, &error);
  if (U_FAILURE(error)) throw std::runtime_error(std::string("UTF-8 to UTF-16: ") + u_errorName(error));
  result.resize(static_cast<std::size_t>(written));
  return result;
}

bool IsWellFormedUtf8(std::string_view bytes) {
  const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
  const std::int64_t length = static_cast<std::int64_t>(bytes.size());
  std::int64_t i = 0;
  while (i < length) {
    UChar32 c;
    U8_NEXT(data, i, length, c);
    if (c < 0) return false;
  }
  return true;
}

std::u16string AnsiToUtf16(std::string_view bytes) {
  if (bytes.empty()) return {};
  std::u16string result(bytes.size() + 1, u'\0');
  if (UConverter* converter = AnsiConverter()) {
    UErrorCode error = U_ZERO_ERROR;
    std::int32_t written = ucnv_toUChars(converter, result.data(), Length32(result.size()), bytes.data(),
                                         Length32(bytes.size()), &error);
    if (U_SUCCESS(error)) {
      result.resize(static_cast<std::size_t>(written));
      return result;
    }
  }
  // No converter data: Latin-1, which agrees with Windows-1252 outside 0x80..0x9F.
  result.resize(bytes.size());
  for (std::size_t i = 0; i < bytes.size(); ++i) result[i] = static_cast<unsigned char>(bytes[i]);
  return result;
}

std::string Utf16ToAnsi(std::u16string_view text) {
  if (text.empty()) return {};
  // A single-byte code page writes at most one byte per UTF-16 unit.
  std::string result(text.size() + 1, '\0');
  if (UConverter* converter = AnsiConverter()) {
    UErrorCode error = U_ZERO_ERROR;
    std::int32_t written = ucnv_fromUChars(converter, result.data(), Length32(result.size()), text.data(),
                                           Length32(text.size()), &error);
    if (U_SUCCESS(error)) {
      result.resize(static_cast<std::size_t>(written));
      return result;
    }
  }
  result.resize(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) result[i] = text[i] < 0x100 ? static_cast<char>(text[i]) : '?';
  return result;
}

std::u16string HostTextToUtf16(std::string_view bytes) { return Utf8ToUtf16(bytes); }

int CompareNoCase(std::u16string_view a, std::u16string_view b) { return Compare(a, b); }

// POSIX has no separate system locale: the user's locale serves for both.
int CompareNoCaseSystem(std::u16string_view a, std::u16string_view b) { return Compare(a, b); }

std::string NoCaseSortKey(std::u16string_view text) {
  const std::u16string folded = FoldCase(text);
  if (const icu::Collator* collator = ThreadCollator()) {
    std::int32_t length = Length32(folded.size());
    std::string key(text.size() * 3 + 16, '\0');
    for (int attempt = 0; attempt < 2; ++attempt) {
      // The returned size counts the terminating zero byte, which we drop.
      std::int32_t needed = collator->getSortKey(folded.data(), length, reinterpret_cast<std::uint8_t*>(key.data()),
                                                 Length32(key.size()));
      if (needed <= 0) break;
      if (static_cast<std::size_t>(needed) <= key.size()) {
        key.resize(static_cast<std::size_t>(needed) - 1);
        return key;
      }
      key.resize(static_cast<std::size_t>(needed));
    }
  }
  // The fallback comparison orders folded code units: big-endian bytes do too.
  std::string key;
  key.reserve(folded.size() * 2);
  for (char16_t unit : folded) {
    key.push_back(static_cast<char>(unit >> 8));
    key.push_back(static_cast<char>(unit & 0xFF));
  }
  return key;
}

std::string NoCaseSortKeySystem(std::u16string_view text) { return NoCaseSortKey(text); }

std::u16string LowerCase(std::u16string_view text) {
  if (text.empty()) return {};
  std::u16string result(text.size(), u'\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    UErrorCode error = U_ZERO_ERROR;
    std::int32_t length = u_strToLower(result.data(), Length32(result.size()), text.data(), Length32(text.size()),
                                       posix::UserLocaleName().c_str(), &error);
    if (error == U_BUFFER_OVERFLOW_ERROR) {
      result.resize(static_cast<std::size_t>(length));
      continue;
    }
    if (U_FAILURE(error)) break;
    result.resize(static_cast<std::size_t>(length));
    return result;
  }
  return std::u16string(text);
}

std::u16string FormatWholeNumber(double value) {
  if (!std::isfinite(value)) return IntToU16(0);
  UErrorCode error = U_ZERO_ERROR;
  std::unique_ptr<icu::NumberFormat> format(
      icu::NumberFormat::createInstance(icu::Locale(posix::UserLocaleName().c_str()), error));
  if (U_SUCCESS(error) && format) {
    format->setMaximumFractionDigits(0);
    format->setRoundingMode(icu::NumberFormat::kRoundHalfUp);
    icu::UnicodeString text;
    format->format(value, text);
    return std::u16string(reinterpret_cast<const char16_t*>(text.getBuffer()), static_cast<std::size_t>(text.length()));
  }
  return IntToU16(static_cast<long long>(std::llround(value)));
}

}  // namespace velmaro::platform
