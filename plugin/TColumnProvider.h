// The custom columns of the host's file list: nine fields of a track's
// library row, a default view of six of them, and the values of every
// track entry in any view folder.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <string_view>

#include "library/Library.h"
#include "library/TDISQLite3UniDirQuery.h"

namespace velmaro {

class TFolderTree;

inline constexpr int ColumnFieldCount = 9;

struct TColumnField {
  const char* Name;    // as the host shows it
  int Type;            // ft_stringw or ft_numeric_floating
  const char16_t* Column;  // the library column it reads
};

// Field 0 to 8: Artist, Title, Album, Track, Genre, Length, Bitrate,
// Sample Rate, Rating.
const TColumnField& ColumnField(int index);

inline constexpr int TrackFieldIndex = 3;
inline constexpr int LengthFieldIndex = 5;

// A play time in seconds as "mm:ss", or "hh:mm:ss" from one hour on; every
// part has at least two digits, the hours as many as they need.
std::u16string FormatPlayTime(double seconds);

class TColumnProvider {
 public:
  TColumnProvider(TLibraryState& library, TFolderTree& tree) : FLibrary(library), FTree(tree) {}
  ~TColumnProvider();
  TColumnProvider(const TColumnProvider&) = delete;
  TColumnProvider& operator=(const TColumnProvider&) = delete;

  // The field's name (8-bit, cut to maxlen - 1 and a zero) and an empty
  // unit text; returns its type, or ft_nomorefields past the last field.
  int FsContentGetSupportedField(int fieldIndex, char* fieldName, char* units, int maxlen) const;

  // The field's value for the entry, written into fieldValue within maxlen
  // bytes: UTF-16 text, or for Length an 8-byte double followed by its text.
  // Returns the field's type, or ft_fieldempty (nothing written) for an
  // entry without a track, a missing row or an empty value. Never throws.
  int FsContentGetValueW(const char16_t* fileName, int fieldIndex, void* fieldValue, int maxlen);

  // The default column view's four texts, each cut to maxlen / 2 - 2
  // characters and a zero; HostTrue.
  int FsContentGetDefaultViewW(char16_t* viewContents, char16_t* viewHeaders, char16_t* viewWidths,
                               char16_t* viewOptions, int maxlen) const;

  // The real file behind an entry that stands for a track; the empty text
  // for the artist, album and genre folders and for entries without a track.
  std::u16string ContentFieldPath(std::u16string_view path);

  // Forgets the cached row, so that the next request reads the library
  // again (called before a dialog writes a row).
  void CloseColumnQuery();
  // Frees the query (unload).
  void Release();

  // The real path whose row is cached.
  const std::u16string& ColumnQueryPath() const { return FColumnQueryPath; }

 private:
  int GetValue(std::u16string_view fileName, int fieldIndex, void* fieldValue, int maxlen);
  // Reads the row of the real path into the cache unless it is there.
  void LoadRow(const std::u16string& real);

  TLibraryState& FLibrary;
  TFolderTree& FTree;
  // The query of the last row asked for. Its values are copied out and the
  // statement closed at once: an open cursor would hold a read lock on the
  // library file and lock every other writer out.
  std::unique_ptr<TDISQLite3UniDirQuery> FColumnQuery;
  std::u16string FColumnQueryPath;
  std::u16string FColumnQueryName;  // the entry name FColumnQueryPath was resolved from
  unsigned FColumnQueryServed = 0;  // the columns given since it was resolved, a bit each
  bool FRowCached = false;  // FRow holds the row of FColumnQueryPath
  bool FRowFound = false;   // ... and the library has such a row
  std::array<std::u16string, ColumnFieldCount> FRow;
};

}  // namespace velmaro
