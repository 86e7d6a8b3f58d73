// The virtual folder tree: the root entries, the views below them, the
// listing state of the one listing in progress, and the way back from an
// entry's name to the real file.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

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

struct TView {
  TViewKind Kind = TViewKind::Empty;
  std::u16string SQL;  // the query that fills the view, if any
};

// Classifies a listing path (without a trailing delimiter) and builds its SQL.
TView ClassifyListingPath(std::u16string_view path);

class TFolderTree {
 public:
  TFolderTree(TLibraryState& library, TMessageSink report);
  ~TFolderTree();

  // Starts a listing. True with the first entry in findData; false when
  // there is none, with the last error set to ERROR_NO_MORE_FILES when
  // the folder is empty (and left alone when the library cannot be opened
  // or the path is too deep). Errors of the query propagate.
  bool FindFirst(std::u16string_view path, fsapi::TFindDataW& findData);
  // The next entry of the listing in progress; false at the end.
  bool FindNext(fsapi::TFindDataW& findData);

  // The real file behind a track entry's virtual path, or the empty text.
  std::u16string ResolveVirtualPath(std::u16string_view path);

  // Frees the listing state (the query, the Latest names, the folder names).
  void Release();

  int RootIndex() const { return FRootIndex; }
  const std::u16string& ListingPath() const { return FListingPath; }

 private:
  bool NextEntry(fsapi::TFindDataW& findData);
  void FillRootEntry(fsapi::TFindDataW& findData) const;
  bool NextPathEntry(fsapi::TFindDataW& findData);
  bool NextLatestEntry(fsapi::TFindDataW& findData);
  bool NextFolderEntry(fsapi::TFindDataW& findData);
  bool NextTrackEntry(fsapi::TFindDataW& findData);
  void FillFolderNames();
  bool EnsureLibrary();

  TLibraryState& FLibrary;
  TMessageSink FReport;

  std::u16string FListingPath;
  TViewKind FListingKind = TViewKind::Empty;
  std::unique_ptr<TDISQLite3UniDirQuery> FListingQuery;
  int FRootIndex = 0;
  int FEntryCounter = 0;
  std::unique_ptr<TFolderNameList> FFolderNames;
  std::unique_ptr<std::unordered_map<std::u16string, std::u16string>> FLatestNames;
};

}  // namespace velmaro
