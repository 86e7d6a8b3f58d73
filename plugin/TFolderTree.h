// The virtual folder tree: the root entries, the views below them, the
// listings in progress, and the way back from an entry's name to the real
// file.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "library/Library.h"
#include "library/TDISQLite3UniDirQuery.h"
#include "plugin/FsPluginApi.h"
#include "plugin/TFolderNameList.h"

namespace velmaro {

// The folder name that stands for an empty value.
inline constexpr char16_t OtherName[] = u"_Other";

inline constexpr int RootEntryCount = 8;
// "Albums", "Artists", "Favorites", "Genres", "Latest", "Titles", "Years", "Settings".
const char16_t* RootEntryName(int index);

// What a listing path shows.
enum class TViewKind {
  Root,
  Titles,
  Latest,
  Favorites,
  AlbumArtists,   // \Albums: artist folders
  AlbumAlbums,    // \Albums\A: album folders
  AlbumTracks,    // \Albums\A\B: tracks
  ArtistFolders,  // \Artists: artist folders
  ArtistTracks,   // \Artists\A: tracks
  GenreFolders,   // \Genres: genre folders
  GenreArtists,   // \Genres\G: artist folders
  GenreTracks,    // \Genres\G\A: tracks
  BadDepth,       // below Albums or Genres at another depth: no listing, last error untouched
  Empty,          // anything else: an empty folder
};

// A value a view's rows hold in a column, their case ignored as the
// platform ignores it ("_Other" of a path stands for the empty value).
struct TViewKey {
  const char16_t* Column = u"";
  std::u16string Value;
};

struct TView {
  TViewKind Kind = TViewKind::Empty;
  std::u16string SQL;  // the query that fills the view, if any, without the keys' conditions
  std::vector<TViewKey> Keys;
};

// Classifies a listing path (without a trailing delimiter) and builds its SQL.
TView ClassifyListingPath(std::u16string_view path);

// The view's query with its keys' conditions and their parameters: the
// rows whose columns the collation calls equal to the keys, in the order
// they were stored, found through the columns' indexes.
struct TViewQuery {
  std::u16string SQL;
  std::vector<std::u16string> Params;
  std::vector<std::string> Utf8Params;  // bound after Params
};
TViewQuery BuildViewQuery(TDISQLite3Database& database, const TView& view);

// One listing in progress: what FindFirst started and FindNext goes on
// with. A host lists both panels at once, so every listing has its own.
struct TListingState {
  std::u16string Path;
  TViewKind Kind = TViewKind::Empty;
  std::unique_ptr<TDISQLite3UniDirQuery> Query;
  int RootIndex = 0;
  int EntryCounter = 0;
  TFolderNameList FolderNames;
  // For a Latest listing: which one it is; only the newest one names the
  // entries that resolve.
  std::uint64_t LatestListing = 0;
};

class TFolderTree {
 public:
  // A listing's handle: never 0 and never all bits set.
  using THandle = std::uint64_t;
  static constexpr THandle NoListing = 0;
  // Listings a host started and never closed are dropped, oldest first,
  // beyond this many.
  static constexpr std::size_t MaxOpenListings = 256;

  TFolderTree(TLibraryState& library, TMessageSink report);
  ~TFolderTree();

  // Starts a listing. Its handle with the first entry in findData;
  // NoListing when there is none, with the last error set to
  // ERROR_NO_MORE_FILES when the folder is empty (and left alone when the
  // library cannot be opened or the path is too deep). Errors of the
  // query propagate.
  THandle FindFirst(std::u16string_view path, fsapi::TFindDataW& findData);
  // The next entry of that listing; false at its end or for a handle that
  // names no listing.
  bool FindNext(THandle handle, fsapi::TFindDataW& findData);
  // Ends a listing and frees its state.
  void FindClose(THandle handle);

  // The real file behind a track entry's virtual path, or the empty text.
  std::u16string ResolveVirtualPath(std::u16string_view path);

  // Frees every listing and the Latest names.
  void Release();

  std::size_t OpenListings() const { return FListings.size(); }

 private:
  bool NextEntry(TListingState& listing, fsapi::TFindDataW& findData);
  void FillRootEntry(const TListingState& listing, fsapi::TFindDataW& findData) const;
  bool NextPathEntry(TListingState& listing, fsapi::TFindDataW& findData);
  bool NextLatestEntry(TListingState& listing, fsapi::TFindDataW& findData);
  bool NextFolderEntry(TListingState& listing, fsapi::TFindDataW& findData);
  bool NextTrackEntry(TListingState& listing, fsapi::TFindDataW& findData);
  void FillFolderNames(TListingState& listing);
  // The real file a Titles or Favorites entry names; empty when the name
  // reads as the paths of two files of the library.
  std::u16string ResolvePathEntry(std::u16string_view name);
  bool EnsureLibrary();

  TLibraryState& FLibrary;
  TMessageSink FReport;

  std::map<THandle, std::unique_ptr<TListingState>> FListings;
  THandle FNextHandle = 1;
  // The names of the newest Latest listing, and which listing that is.
  std::unique_ptr<std::unordered_map<std::u16string, std::u16string>> FLatestNames;
  std::uint64_t FLatestListing = 0;
};

}  // namespace velmaro
