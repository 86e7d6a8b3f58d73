#include "library/TNoCaseLookup.h"

#include <sqlite3.h>

#include <algorithm>
#include <limits>
#include <map>
#include <memory>
#include <utility>

#include "library/Errors.h"
#include "library/SqlText.h"
#include "library/TDISQLite3Statement.h"
#include "platform/Text.h"

namespace velmaro {

namespace {

// FNV-1a over the key's bytes, then a final mix so that keys that differ in
// their last bytes only spread over the high bits too.
std::uint64_t Hash(std::string_view key) {
  std::uint64_t h = 0xcbf29ce484222325ULL;
  for (const char c : key) {
    h ^= static_cast<unsigned char>(c);
    h *= 0x100000001b3ULL;
  }
  h ^= h >> 33;
  h *= 0xff51afd7ed558ccdULL;
  h ^= h >> 33;
  return h;
}

bool HasLoneSurrogate(std::u16string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      ++i;
      continue;
    }
    if (c >= 0xD800 && c <= 0xDFFF) return true;
  }
  return false;
}

struct TStamp {
  std::int64_t DataVersion = -1;
  std::int64_t TotalChanges = -1;
  bool operator==(const TStamp& other) const {
    return DataVersion == other.DataVersion && TotalChanges == other.TotalChanges;
  }
};

struct TValueIndex {
  TStamp Stamp;
  bool Usable = false;
  std::vector<std::pair<std::uint64_t, std::uint32_t>> Keys;  // sorted
  std::vector<std::string> Values;
};

struct TRowIndex {
  TStamp Stamp;
  std::vector<std::pair<std::uint64_t, std::int64_t>> Keys;  // sorted
  // Rows the caller wrote since, unsorted; merged into Keys now and then.
  std::vector<std::pair<std::uint64_t, std::int64_t>> Added;
  // The count of changed rows when RowCandidates last answered.
  std::int64_t AnsweredAt = -1;
};

class TLookupCache final : public TConnectionCache {
 public:
  explicit TLookupCache(TDISQLite3Database& database) : FDatabase(database) {}

  TStamp Current() {
    const auto [dataVersion, totalChanges] = FDatabase.ChangeStamp();
    return TStamp{dataVersion, totalChanges};
  }

  // The text as the collation receives it from SQLite: a bound text takes
  // the database's encoding on the way, which changes only an ill-formed
  // one.
  std::u16string AsCollated(std::u16string_view text) {
    if (!HasLoneSurrogate(text)) return std::u16string(text);
    return RoundTrip([&](TDISQLite3Statement& s) { s.BindText(1, text); });
  }
  std::u16string AsCollatedUtf8(std::string_view bytes) {
    if (platform::IsWellFormedUtf8(bytes)) return platform::Utf8ToUtf16(bytes);
    return RoundTrip([&](TDISQLite3Statement& s) { s.BindTextUtf8(1, bytes); });
  }

  TValueIndex& Values(std::u16string_view column) {
    const TStamp now = Current();
    TValueIndex& index = FValues[std::u16string(column)];
    if (index.Stamp == now) return index;
    index = TValueIndex{};
    try {
      ReadValues(u"\"" + DoubleChar(column, u'"') + u"\"", index);
    } catch (...) {
      index = TValueIndex{};
      throw;
    }
    if (!index.Usable) {
      index.Keys.clear();
      index.Values.clear();
    }
    std::sort(index.Keys.begin(), index.Keys.end());
    index.Stamp = now;
    return index;
  }

  TRowIndex& Rows(std::u16string_view column) {
    const TStamp now = Current();
    TRowIndex& index = FRows[std::u16string(column)];
    if (!(index.Stamp == now)) {
      index = TRowIndex{};
      auto statement =
          FDatabase.TakePrepared(u"select rowid, \"" + DoubleChar(column, u'"') + u"\" from \"mp3files\"");
      try {
        while (statement->Step() == SQLITE_ROW) {
          sqlite3_stmt* handle = statement->Handle();
          if (sqlite3_column_type(handle, 1) != SQLITE_TEXT) continue;
          const std::int64_t rowid = sqlite3_column_int64(handle, 0);
          const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(handle, 1));
          const std::string_view value(bytes ? bytes : "", static_cast<std::size_t>(sqlite3_column_bytes(handle, 1)));
          index.Keys.emplace_back(Hash(platform::NoCaseSortKeySystem(AsCollatedUtf8(value))), rowid);
        }
      } catch (...) {
        FDatabase.Reuse(std::move(statement));
        index = TRowIndex{};
        throw;
      }
      FDatabase.Reuse(std::move(statement));
      std::sort(index.Keys.begin(), index.Keys.end());
      index.Stamp = now;
    }
    index.AnsweredAt = now.TotalChanges;
    return index;
  }

  void NoteWritten(std::u16string_view column, std::u16string_view text, std::int64_t rowid) {
    const auto it = FRows.find(std::u16string(column));
    if (it == FRows.end()) return;
    TRowIndex& index = it->second;
    // Only what the caller wrote since its last question may have happened:
    // anything else leaves the table to be read again.
    if (index.AnsweredAt < 0 || index.AnsweredAt != index.Stamp.TotalChanges) return;
    index.AnsweredAt = -1;
    index.Added.emplace_back(Hash(platform::NoCaseSortKeySystem(AsCollated(text))), rowid);
    // A row deleted meanwhile stays listed: a candidate the collation then
    // turns down.
    if (index.Added.size() >= 1024) {
      std::sort(index.Added.begin(), index.Added.end());
      const std::size_t middle = index.Keys.size();
      index.Keys.insert(index.Keys.end(), index.Added.begin(), index.Added.end());
      std::inplace_merge(index.Keys.begin(), index.Keys.begin() + static_cast<std::ptrdiff_t>(middle),
                         index.Keys.end());
      index.Added.clear();
    }
    index.Stamp.TotalChanges = FDatabase.TotalChanges();
  }

 private:
  // Runs the statement with the text bound to ?1 (when given) and hands
  // each row's first value to take until take says stop.
  template <typename TTake>
  void ForEachValue(const std::u16string& sql, const std::string* bound, TTake take) {
    auto statement = FDatabase.TakePrepared(sql);
    try {
      if (bound) statement->BindTextUtf8(1, *bound);
      while (statement->Step() == SQLITE_ROW && take(statement->Handle())) {
      }
    } catch (...) {
      FDatabase.Reuse(std::move(statement));
      throw;
    }
    FDatabase.Reuse(std::move(statement));
  }

  // One text of each group of the column's values that its NOCASE
  // collation calls equal, read through the column's index in its order.
  void ReadValues(const std::u16string& column, TValueIndex& index) {
    const std::u16string from = u" from \"mp3files\" where " + column;
    // Numbers sort before every text: a column that holds one (where its
    // affinity may make a text equal to a number) is compared row by row.
    bool numbers = false;
    ForEachValue(u"select 1" + from + u" < '' limit 1", nullptr, [&](sqlite3_stmt*) { return !(numbers = true); });
    index.Usable = !numbers;
    if (!index.Usable) return;
    // A text of the value's group, or false at the end: blobs sort after
    // every text and never equal one.
    std::string last;
    bool more = true;
    const auto add = [&](sqlite3_stmt* handle) {
      if (sqlite3_column_type(handle, 0) != SQLITE_TEXT) return more = false;
      const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(handle, 0));
      last.assign(bytes ? bytes : "", static_cast<std::size_t>(sqlite3_column_bytes(handle, 0)));
      index.Keys.emplace_back(Hash(platform::NoCaseSortKeySystem(AsCollatedUtf8(last))),
                              static_cast<std::uint32_t>(index.Values.size()));
      index.Values.push_back(last);
      return true;
    };
    // Few groups (genres): one seek each. Many (artists, albums): after a
    // while, the rest of the index in one pass, which costs less than a
    // seek per group.
    constexpr int MaxSeeks = 1000;
    const std::u16string next = u"select " + column + from + u" > ?1 order by " + column + u" limit 1";
    bool found = false;
    ForEachValue(u"select " + column + from + u" >= '' order by " + column + u" limit 1", nullptr,
                 [&](sqlite3_stmt* handle) { return (found = add(handle)) && false; });
    for (int seek = 0; found && more && seek < MaxSeeks; ++seek) {
      found = false;
      ForEachValue(next, &last, [&](sqlite3_stmt* handle) { return (found = add(handle)) && false; });
    }
    if (found && more)
      ForEachValue(u"select distinct " + column + from + u" > ?1", &last, add);
  }

  template <typename TBind>
  std::u16string RoundTrip(TBind bind) {
    auto statement = FDatabase.TakePrepared(u"select ?1");
    std::u16string result;
    try {
      bind(*statement);
      if (statement->Step() == SQLITE_ROW) result = statement->Column_Str16(0);
    } catch (...) {
      FDatabase.Reuse(std::move(statement));
      throw;
    }
    FDatabase.Reuse(std::move(statement));
    return result;
  }

  TDISQLite3Database& FDatabase;
  std::map<std::u16string, TValueIndex, std::less<>> FValues;
  std::map<std::u16string, TRowIndex, std::less<>> FRows;
};

TLookupCache& CacheOf(TDISQLite3Database& database) {
  if (!database.Connected()) database.Open();
  if (auto* cache = dynamic_cast<TLookupCache*>(database.ConnectionCache())) return *cache;
  auto cache = std::make_unique<TLookupCache>(database);
  TLookupCache& result = *cache;
  database.SetConnectionCache(std::move(cache));
  return result;
}

}  // namespace

TValueCandidates ValueCandidates(TDISQLite3Database& database, std::u16string_view column, std::u16string_view text) {
  TLookupCache& cache = CacheOf(database);
  const TValueIndex& index = cache.Values(column);
  TValueCandidates result;
  result.Usable = index.Usable;
  if (!index.Usable) return result;
  const std::uint64_t hash = Hash(platform::NoCaseSortKeySystem(cache.AsCollated(text)));
  auto it = std::lower_bound(index.Keys.begin(), index.Keys.end(), std::make_pair(hash, std::uint32_t{0}));
  for (; it != index.Keys.end() && it->first == hash; ++it) result.Values.push_back(index.Values[it->second]);
  return result;
}

TRowCandidates RowCandidates(TDISQLite3Database& database, std::u16string_view column, std::u16string_view text) {
  TLookupCache& cache = CacheOf(database);
  const TRowIndex& index = cache.Rows(column);
  TRowCandidates result;
  result.Usable = true;
  const std::uint64_t hash = Hash(platform::NoCaseSortKeySystem(cache.AsCollated(text)));
  auto it = std::lower_bound(index.Keys.begin(), index.Keys.end(),
                             std::make_pair(hash, std::numeric_limits<std::int64_t>::min()));
  for (; it != index.Keys.end() && it->first == hash; ++it) result.Rowids.push_back(it->second);
  for (const auto& added : index.Added)
    if (added.first == hash) result.Rowids.push_back(added.second);
  std::sort(result.Rowids.begin(), result.Rowids.end());
  result.Rowids.erase(std::unique(result.Rowids.begin(), result.Rowids.end()), result.Rowids.end());
  return result;
}

void NoteRowWritten(TDISQLite3Database& database, std::u16string_view column, std::u16string_view text,
                    std::int64_t rowid) {
  if (!database.Connected()) return;
  if (auto* cache = dynamic_cast<TLookupCache*>(database.ConnectionCache())) cache->NoteWritten(column, text, rowid);
}

std::u16string InParameters(int first, std::size_t count) {
  std::u16string list = u" in (";
  for (std::size_t i = 0; i < count; ++i) {
    if (i > 0) list += u", ";
    list += u"?" + platform::IntToU16(first + static_cast<long long>(i));
  }
  return list + u")";
}

}  // namespace velmaro
