#include "plugin/TColumnProvider.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "library/SqlText.h"
#include "platform/Platform.h"
#include "platform/Text.h"
#include "plugin/ErrorTrap.h"
#include "plugin/FsPluginApi.h"
#include "plugin/TFolderTree.h"
#include "plugin/VirtualPath.h"

namespace velmaro {

namespace {

constexpr TColumnField Fields[ColumnFieldCount] = {
    {"Artist", fsapi::ft_stringw, u"mf_artist"},
    {"Title", fsapi::ft_stringw, u"mf_title"},
    {"Album", fsapi::ft_stringw, u"mf_album"},
    {"Track", fsapi::ft_stringw, u"mf_trackno"},
    {"Genre", fsapi::ft_stringw, u"mf_genre"},
    {"Length", fsapi::ft_numeric_floating, u"mf_length"},
    {"Bitrate", fsapi::ft_stringw, u"mf_bitrate"},
    {"Sample Rate", fsapi::ft_stringw, u"mf_samplerate"},
    {"Rating", fsapi::ft_stringw, u"mf_rating"},
};

// "\n" in these texts is the host's item separator, a backslash and an n.
constexpr char16_t ViewContents[] =
    u"[=<fs>.Artist]\\n[=<fs>.Title]\\n[=<fs>.Album]\\n[=<fs>.Genre]\\n[=<fs>.Length]\\n[=<fs>.Rating]";
constexpr char16_t ViewHeaders[] = u"Artist\\nTitle\\nAlbum\\nGenre\\nLength\\nRating";
constexpr char16_t ViewWidths[] = u"80,30,80,80,80,80,-35,-25";
constexpr char16_t ViewOptions[] = u"-1|1";

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }

// Writes text and a zero into at most capacity units; a character of two
// units is never cut in half. False when not even the zero fits.
bool WriteText(char16_t* target, std::size_t capacity, std::u16string_view text) {
  if (capacity == 0) return false;
  std::size_t n = std::min(text.size(), capacity - 1);
  if (n > 0 && n < text.size() && IsHighSurrogate(text[n - 1])) --n;
  std::copy_n(text.data(), n, target);
  target[n] = 0;
  return true;
}

// The same for an unaligned byte buffer (the host's field value).
bool WriteTextBytes(unsigned char* target, std::size_t bytes, std::u16string_view text) {
  const std::size_t capacity = bytes / sizeof(char16_t);
  if (capacity == 0) return false;
  std::size_t n = std::min(text.size(), capacity - 1);
  if (n > 0 && n < text.size() && IsHighSurrogate(text[n - 1])) --n;
  std::memcpy(target, text.data(), n * sizeof(char16_t));
  const char16_t zero = 0;
  std::memcpy(target + n * sizeof(char16_t), &zero, sizeof zero);
  return true;
}

// The number a stored play time stands for; 0 when it is not one.
double ParsePlayTime(std::u16string_view text) {
  const std::string ascii = platform::Utf16ToUtf8(text);
  double value = 0;
  const auto [end, error] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value);
  if (error != std::errc() || end != ascii.data() + ascii.size() || !std::isfinite(value)) return 0;
  return value;
}

bool IsBlank(std::u16string_view text) {
  return std::all_of(text.begin(), text.end(), [](char16_t c) { return c == u' ' || (c >= 9 && c <= 13); });
}

}  // namespace

const TColumnField& ColumnField(int index) { return Fields[std::clamp(index, 0, ColumnFieldCount - 1)]; }

std::u16string FormatPlayTime(double seconds) {
  // Whole seconds; nothing below zero, nothing beyond what fits in 64 bits.
  long long s = 0;
  if (seconds >= 9.2e18)
    s = 9200000000000000000LL;
  else if (seconds > 0)
    s = static_cast<long long>(seconds);
  long long m = s / 60;
  s -= 60 * m;
  char buffer[64];
  if (seconds >= 3600) {
    const long long h = m / 60;
    m -= 60 * h;
    std::snprintf(buffer, sizeof buffer, "%.2lld:%.2lld:%.2lld", h, m, s);
  } else {
    std::snprintf(buffer, sizeof buffer, "%.2lld:%.2lld", m, s);
  }
  return platform::ToU16(buffer);
}

TColumnProvider::~TColumnProvider() { Release(); }

void TColumnProvider::Release() {
  FColumnQuery.reset();
  FRowCached = false;
}

void TColumnProvider::CloseColumnQuery() {
  if (FColumnQuery) FColumnQuery->Close();
  FRowCached = false;
}

int TColumnProvider::FsContentGetSupportedField(int fieldIndex, char* fieldName, char* units, int maxlen) const {
  // Compared unsigned: a negative index counts as a large one.
  if (static_cast<unsigned>(fieldIndex) >= static_cast<unsigned>(ColumnFieldCount)) return fsapi::ft_nomorefields;
  const TColumnField& field = Fields[fieldIndex];
  if (maxlen > 0) {
    if (units != nullptr) units[0] = 0;
    if (fieldName != nullptr) {
      const std::size_t n = std::min(std::strlen(field.Name), static_cast<std::size_t>(maxlen - 1));
      std::memcpy(fieldName, field.Name, n);
      fieldName[n] = 0;
    }
  }
  return field.Type;
}

int TColumnProvider::FsContentGetDefaultViewW(char16_t* viewContents, char16_t* viewHeaders, char16_t* viewWidths,
                                              char16_t* viewOptions, int maxlen) const {
  // Room for maxlen / 2 - 2 characters and the zero.
  const int characters = maxlen / 2 - 2;
  if (characters >= 0) {
    const auto capacity = static_cast<std::size_t>(characters) + 1;
    if (viewContents) WriteText(viewContents, capacity, ViewContents);
    if (viewHeaders) WriteText(viewHeaders, capacity, ViewHeaders);
    if (viewWidths) WriteText(viewWidths, capacity, ViewWidths);
    if (viewOptions) WriteText(viewOptions, capacity, ViewOptions);
  }
  return platform::HostTrue;
}

std::u16string TColumnProvider::ContentFieldPath(std::u16string_view path) {
  // Folders of the Albums, Artists and Genres views have no track.
  const int delimiters = CountChar(path, PathDelim);
  if (StartsWith(path, VPath(u"\\Albums\\")) && delimiters < 4) return {};
  if (StartsWith(path, VPath(u"\\Artists\\")) && delimiters < 3) return {};
  if (StartsWith(path, VPath(u"\\Genres\\")) && delimiters < 4) return {};
  return FTree.ResolveVirtualPath(path);
}

int TColumnProvider::FsContentGetValueW(const char16_t* fileName, int fieldIndex, void* fieldValue, int maxlen) {
  if (fileName == nullptr || fieldValue == nullptr) return fsapi::ft_fieldempty;
  return Trapped("FsContentGetValueW", fsapi::ft_fieldempty,
                 [&] { return GetValue(fileName, fieldIndex, fieldValue, maxlen); });
}

namespace {

// The number a track number text starts with ("3" of "3/12", of "03" and
// of "3\\12"); a text without one reads 0, as any non-numeric integer value.
std::u16string LeadingNumber(const TDISQLite3Field& field) {
  if (field.IsNull()) return {};
  const std::u16string text = field.AsString();
  std::size_t end = 0;
  while (end < text.size() && text[end] == u' ') ++end;
  const std::size_t begin = end;
  while (end < text.size() && end - begin < 18 && text[end] >= u'0' && text[end] <= u'9') ++end;
  long long value = 0;
  if (!ParseDecimalInt64(std::u16string_view(text).substr(begin, end - begin), value)) value = 0;
  return platform::IntToU16(value);
}

}  // namespace

void TColumnProvider::LoadRow(const std::u16string& real) {
  if (FRowCached && real == FColumnQueryPath) return;
  FRowCached = false;
  if (!FColumnQuery) FColumnQuery = std::make_unique<TDISQLite3UniDirQuery>();
  FColumnQuery->SetDatabase(FLibrary.LibraryDatabase.get());
  // The path is compared with the column's own collation. The track
  // number is read as stored too: "3/12" (a number and the count) is text.
  FColumnQuery->SetSQL(
      u"select *, cast(mf_trackno as text) as vk_trackno from \"mp3files\" where \"mf_path\"=?1 limit 1");
  FColumnQuery->SetParams({real});
  FColumnQuery->Open();
  FRowFound = !FColumnQuery->Eof();
  for (int i = 0; i < ColumnFieldCount; ++i) {
    FRow[static_cast<std::size_t>(i)].clear();
    if (!FRowFound) continue;
    const TDISQLite3Field& field = FColumnQuery->FieldByName(Fields[i].Column);
    // Integer columns give their integer value: an empty or non-numeric
    // stored text reads "0"; NULL gives the empty text.
    if (!field.IsNull()) FRow[static_cast<std::size_t>(i)] = field.AsString();
  }
  if (FRowFound) FRow[TrackFieldIndex] = LeadingNumber(FColumnQuery->FieldByName(u"vk_trackno"));
  FColumnQuery->Close();
  FColumnQueryPath = real;
  FRowCached = true;
}

int TColumnProvider::GetValue(std::u16string_view fileName, int fieldIndex, void* fieldValue, int maxlen) {
  if (fieldIndex < 0 || fieldIndex >= ColumnFieldCount || maxlen <= 0) return fsapi::ft_fieldempty;
  // A library that is not open has no rows to show.
  if (!FLibrary.DatabaseReady || !FLibrary.LibraryDatabase) return fsapi::ft_fieldempty;
  // A host asks for each column of an entry in turn: the entry resolved
  // for the first one serves the others. A column asked for again is a new
  // look at the entry (the host refreshed), which resolves it again.
  const unsigned field = 1u << fieldIndex;
  if (!FRowCached || fileName != FColumnQueryName || (FColumnQueryServed & field) != 0) {
    const std::u16string real = ContentFieldPath(fileName);
    if (IsBlank(real) || real == fileName) return fsapi::ft_fieldempty;
    FRowCached = false;
    LoadRow(real);
    FColumnQueryName = fileName;
    FColumnQueryServed = 0;
  }
  FColumnQueryServed |= field;
  if (!FRowFound) return fsapi::ft_fieldempty;
  const std::u16string& text = FRow[static_cast<std::size_t>(fieldIndex)];
  if (text.empty()) return fsapi::ft_fieldempty;

  auto* out = static_cast<unsigned char*>(fieldValue);
  const auto bytes = static_cast<std::size_t>(maxlen);
  if (fieldIndex == LengthFieldIndex) {
    // The host's layout of a number with its own display text: the 8-byte
    // double, then the text from byte 8 on; both within maxlen.
    const double seconds = ParsePlayTime(text);
    if (bytes < sizeof(double) + sizeof(char16_t)) return fsapi::ft_fieldempty;
    std::memcpy(out, &seconds, sizeof seconds);
    WriteTextBytes(out + sizeof(double), bytes - sizeof(double), FormatPlayTime(seconds));
    return Fields[fieldIndex].Type;
  }
  if (!WriteTextBytes(out, bytes, text)) return fsapi::ft_fieldempty;
  return Fields[fieldIndex].Type;
}

}  // namespace velmaro
