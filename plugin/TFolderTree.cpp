#include "plugin/TFolderTree.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "library/SqlText.h"
#include "library/TNoCaseLookup.h"
#include "platform/System.h"
#include "platform/Text.h"
#include "plugin/VirtualPath.h"

namespace velmaro {

namespace {

constexpr const char16_t* RootNames[RootEntryCount] = {u"Albums", u"Artists", u"Favorites", u"Genres",
                                                       u"Latest", u"Titles",  u"Years",     u"Settings"};
constexpr std::size_t MaxRootName = 259;
constexpr std::size_t MaxEntryName = 258;

void SetName(fsapi::TFindDataW& findData, std::u16string_view name, std::size_t limit) {
  const std::size_t n = std::min(name.size(), limit);
  std::copy_n(name.data(), n, findData.cFileName);
  findData.cFileName[n] = 0;
}

void Zero(fsapi::TFindDataW& findData) { std::memset(&findData, 0, sizeof findData); }

// A key value taken from a listing path: "_Other" stands for the empty
// value.
TViewKey Key(const char16_t* column, std::u16string_view component) {
  return {column, component == OtherName ? std::u16string() : std::u16string(component)};
}

// A view path in the platform's delimiter. Made on each call: a cache per
// thread would be an object with a destructor in thread-local storage, and
// in a Windows DLL built with mingw-w64 that storage is freed before such
// a destructor runs when one of the host's threads ends, which corrupts the
// heap.
std::u16string V(const char16_t* backslashed) { return VPath(backslashed); }

bool IsTrackKind(TViewKind kind) {
  return kind == TViewKind::AlbumTracks || kind == TViewKind::ArtistTracks || kind == TViewKind::GenreTracks;
}

bool IsFolderKind(TViewKind kind) {
  return kind == TViewKind::AlbumArtists || kind == TViewKind::AlbumAlbums || kind == TViewKind::ArtistFolders ||
         kind == TViewKind::GenreFolders || kind == TViewKind::GenreArtists;
}

// Track levels read the row's own rowid with the row: the entry's name
// carries it, and resolving the name must find exactly this row.
const std::u16string Tracks = u"select rowid, \"mf_title\", \"mf_path\" from \"mp3files\"";

// A folder view of all the values of a column. Each value is read once
// (through the column's index, in its order: the names a plain reading of
// the column gives, in the same order, without the later ones of each
// group its NOCASE collation calls equal, which the folder's names would
// drop anyway as alike to an earlier one).
std::u16string FolderNames(std::u16string_view column) {
  return u"select distinct \"" + std::u16string(column) + u"\" from \"mp3files\"";
}

TView ClassifyGenresPath(std::u16string_view path) {
  TView view;
  const int depth = PathDepth(path);
  if (path == V(u"\\Genres")) {
    view = {TViewKind::GenreFolders, FolderNames(u"mf_genre"), {}};
  } else if (depth == 2) {
    view = {TViewKind::GenreArtists, u"select \"mf_artist\" from \"mp3files\"",
            {Key(u"mf_genre", LastComponent(path))}};
  } else if (depth == 3) {
    view = {TViewKind::GenreTracks, Tracks,
            {Key(u"mf_genre", LastComponent(ParentPath(path))), Key(u"mf_artist", LastComponent(path))}};
  } else {
    view.Kind = TViewKind::BadDepth;
  }
  return view;
}

}  // namespace

const char16_t* RootEntryName(int index) {
  return index >= 0 && index < RootEntryCount ? RootNames[index] : u"";
}

TView ClassifyListingPath(std::u16string_view path) {
  TView view;
  if (path == V(u"\\")) {
    view.Kind = TViewKind::Root;
  } else if (path == V(u"\\Titles")) {
    view = {TViewKind::Titles, u"select \"mf_path\" from \"mp3files\"", {}};
  } else if (path == V(u"\\Latest")) {
    view = {TViewKind::Latest, u"select \"mf_path\" from \"mp3files\" order by rowid desc limit 99", {}};
  } else if (path == V(u"\\Favorites")) {
    view = {TViewKind::Favorites, u"select \"mf_path\" from \"mp3files\" where \"mf_favorite\"=1", {}};
  } else if (StartsWith(path, V(u"\\Genres")) &&
             (path.size() == V(u"\\Genres").size() || path[V(u"\\Genres").size()] == PathDelim)) {
    // Below Genres, a genre or artist named like another view ("Artists
    // United") is still a genre or an artist.
    view = ClassifyGenresPath(path);
  } else if (Contains(path, V(u"\\Albums"))) {
    const int depth = PathDepth(path);
    if (path == V(u"\\Albums")) {
      view = {TViewKind::AlbumArtists, FolderNames(u"mf_artist"), {}};
    } else if (depth == 2) {
      view = {TViewKind::AlbumAlbums, u"select \"mf_album\" from \"mp3files\"",
              {Key(u"mf_artist", LastComponent(path))}};
    } else if (depth == 3) {
      view = {TViewKind::AlbumTracks, Tracks,
              {Key(u"mf_artist", LastComponent(ParentPath(path))), Key(u"mf_album", LastComponent(path))}};
    } else {
      view.Kind = TViewKind::BadDepth;
    }
  } else if (Contains(path, V(u"\\Artists"))) {
    if (path == V(u"\\Artists")) {
      view = {TViewKind::ArtistFolders, FolderNames(u"mf_artist"), {}};
    } else if (PathDepth(path) == 2) {
      view = {TViewKind::ArtistTracks, Tracks, {Key(u"mf_artist", LastComponent(path))}};
    } else {
      view.Kind = TViewKind::Empty;
    }
  } else if (Contains(path, V(u"\\Genres"))) {
    view = ClassifyGenresPath(path);
  }
  return view;
}

TViewQuery BuildViewQuery(TDISQLite3Database& database, const TView& view) {
  TViewQuery query;
  query.SQL = view.SQL;
  if (view.Keys.empty()) return query;
  std::u16string where;
  for (std::size_t i = 0; i < view.Keys.size(); ++i) {
    const TViewKey& key = view.Keys[i];
    query.Params.push_back(key.Value);
    const std::u16string column = u"\"" + std::u16string(key.Column) + u"\"";
    const std::u16string compare = column + u" = ?" + platform::IntToU16(static_cast<long long>(i) + 1) +
                                   u" collate systemnocase";
    if (!where.empty()) where += u" and ";
    // The collation is exact but reads every row; the stored values it may
    // call equal narrow the rows first, through the column's index.
    TValueCandidates candidates = ValueCandidates(database, key.Column, key.Value);
    if (candidates.Usable && candidates.Values.size() <= MaxListedCandidates) {
      const int first = static_cast<int>(view.Keys.size() + query.Utf8Params.size()) + 1;
      where += column + InParameters(first, candidates.Values.size()) + u" and ";
      for (std::string& value : candidates.Values) query.Utf8Params.push_back(std::move(value));
    }
    where += compare;
  }
  // In the order the rows were stored, as a reading of the whole table
  // gives them: of folder names alike, the first one stored is shown.
  query.SQL += u" where " + where + u" order by rowid";
  return query;
}

TFolderTree::TFolderTree(TLibraryState& library, TMessageSink report)
    : FLibrary(library), FReport(std::move(report)) {}

TFolderTree::~TFolderTree() { Release(); }

void TFolderTree::Release() {
  FListings.clear();
  FLatestNames.reset();
}

bool TFolderTree::EnsureLibrary() {
  if (!FLibrary.DatabaseReady) FLibrary.DatabaseReady = InitDatabase(FLibrary, FReport);
  return FLibrary.DatabaseReady;
}

TFolderTree::THandle TFolderTree::FindFirst(std::u16string_view path, fsapi::TFindDataW& findData) {
  // A path with one trailing delimiter names the same folder.
  Zero(findData);
  auto listing = std::make_unique<TListingState>();
  listing->Path = std::u16string(WithoutTrailingDelim(path));
  const TView view = ClassifyListingPath(listing->Path);
  listing->Kind = view.Kind;

  if (view.Kind != TViewKind::Root) {
    // Everything below the root needs the library; it is tried again
    // until it opens.
    if (!EnsureLibrary()) return NoListing;
    if (view.Kind == TViewKind::BadDepth) return NoListing;
    if (view.Kind == TViewKind::Empty) {
      platform::SetLastError(platform::ErrorNoMoreFiles);
      return NoListing;
    }
    if (view.Kind == TViewKind::Latest) {
      // A new Latest listing numbers its entries from 01; from now on its
      // names are the ones that resolve.
      listing->LatestListing = ++FLatestListing;
      if (!FLatestNames) FLatestNames = std::make_unique<std::unordered_map<std::u16string, std::u16string>>(100);
      FLatestNames->clear();
    }
    if (IsFolderKind(view.Kind) || IsTrackKind(view.Kind)) listing->EntryCounter = -1;
    TViewQuery query = BuildViewQuery(*FLibrary.LibraryDatabase, view);
    listing->Query = std::make_unique<TDISQLite3UniDirQuery>(FLibrary.LibraryDatabase.get());
    listing->Query->SetSQL(query.SQL);
    listing->Query->SetParams(std::move(query.Params));
    listing->Query->SetUtf8Params(std::move(query.Utf8Params));
    listing->Query->Open();
    // Folder views read all their names first.
    if (IsFolderKind(view.Kind)) FillFolderNames(*listing);
  }

  if (!NextEntry(*listing, findData)) {
    platform::SetLastError(platform::ErrorNoMoreFiles);
    return NoListing;
  }
  if (FListings.size() >= MaxOpenListings) FListings.erase(FListings.begin());
  const THandle handle = FNextHandle++;
  // The handle travels as a pointer-sized value: skip the two that mean
  // "no listing" to a host, should the counter ever get there.
  if (FNextHandle == static_cast<THandle>(static_cast<std::uintptr_t>(-1))) FNextHandle = 1;
  FListings.emplace(handle, std::move(listing));
  return handle;
}

bool TFolderTree::FindNext(THandle handle, fsapi::TFindDataW& findData) {
  Zero(findData);
  const auto it = FListings.find(handle);
  if (it == FListings.end()) return false;
  if (NextEntry(*it->second, findData)) return true;
  // The listing is done: its statement goes now, not when the host closes.
  it->second->Query.reset();
  return false;
}

void TFolderTree::FindClose(THandle handle) { FListings.erase(handle); }

bool TFolderTree::NextEntry(TListingState& listing, fsapi::TFindDataW& findData) {
  switch (listing.Kind) {
    case TViewKind::Root:
      if (listing.RootIndex >= RootEntryCount) return false;
      FillRootEntry(listing, findData);
      ++listing.RootIndex;
      return true;
    case TViewKind::Titles:
    case TViewKind::Favorites: return NextPathEntry(listing, findData);
    case TViewKind::Latest: return NextLatestEntry(listing, findData);
    case TViewKind::AlbumTracks:
    case TViewKind::ArtistTracks:
    case TViewKind::GenreTracks: return NextTrackEntry(listing, findData);
    default: return IsFolderKind(listing.Kind) ? NextFolderEntry(listing, findData) : false;
  }
}

void TFolderTree::FillRootEntry(const TListingState& listing, fsapi::TFindDataW& findData) const {
  findData.dwFileAttributes =
      listing.RootIndex == RootEntryCount - 1 ? fsapi::FileAttributeNormal : fsapi::FileAttributeDirectory;
  for (fsapi::TFileTime* t : {&findData.ftCreationTime, &findData.ftLastAccessTime, &findData.ftLastWriteTime})
    *t = {0xFFFFFFFFu, 0xFFFFFFFFu};
  SetName(findData, RootNames[listing.RootIndex], MaxRootName);
}

bool TFolderTree::NextPathEntry(TListingState& listing, fsapi::TFindDataW& findData) {
  if (!listing.Query || listing.Query->Eof()) return false;
  const std::u16string path = listing.Query->Fields(0).AsString();
  listing.Query->Next();
  Zero(findData);
  SetName(findData, ReplaceChar(path, PathDelim, AltDelim), MaxEntryName);
  return true;
}

bool TFolderTree::NextLatestEntry(TListingState& listing, fsapi::TFindDataW& findData) {
  if (!listing.Query || listing.Query->Eof()) return false;
  const std::u16string path = listing.Query->Fields(0).AsString();
  listing.Query->Next();
  Zero(findData);
  ++listing.EntryCounter;
  const std::u16string number = platform::IntToU16(listing.EntryCounter);
  std::u16string name = u"(" + (number.size() < 2 ? u"0" + number : number) + u") ";
  name += RealFileName(path);
  if (name.size() > MaxEntryName) name.resize(MaxEntryName);
  // An older Latest listing still going on in the other panel does not
  // mix its names into the newest one's.
  if (FLatestNames && listing.LatestListing == FLatestListing) FLatestNames->insert_or_assign(name, path);
  SetName(findData, name, MaxEntryName);
  return true;
}

void TFolderTree::FillFolderNames(TListingState& listing) {
  while (!listing.Query->Eof()) {
    const TDISQLite3Field& field = listing.Query->Fields(0);
    const std::u16string value = field.AsString();
    listing.FolderNames.Add(value.empty() ? std::u16string(OtherName) : value);
    listing.Query->Next();
  }
  listing.FolderNames.Finish();
  listing.Query.reset();
}

bool TFolderTree::NextFolderEntry(TListingState& listing, fsapi::TFindDataW& findData) {
  ++listing.EntryCounter;
  if (listing.EntryCounter >= listing.FolderNames.Count()) return false;
  Zero(findData);
  findData.dwFileAttributes = fsapi::FileAttributeDirectory;
  SetName(findData, listing.FolderNames[listing.EntryCounter], MaxEntryName);
  return true;
}

bool TFolderTree::NextTrackEntry(TListingState& listing, fsapi::TFindDataW& findData) {
  if (!listing.Query || listing.Query->Eof()) return false;
  const std::u16string rowid = listing.Query->Fields(0).AsString();
  const std::u16string title = listing.Query->Fields(1).AsString();
  const std::u16string path = listing.Query->Fields(2).AsString();
  const std::u16string_view fileName = RealFileName(path);
  const std::size_t dot = fileName.find_last_of(u'.');
  std::u16string name = title + u" *" + rowid;
  if (dot != std::u16string_view::npos) name += fileName.substr(dot);
  Zero(findData);
  SetName(findData, name, MaxEntryName);
  listing.Query->Next();
  return true;
}

std::u16string TFolderTree::ResolvePathEntry(std::u16string_view name) {
  const std::u16string mapped = ReplaceChar(name, AltDelim, PathDelim);
  TDISQLite3Database* db = FLibrary.LibraryDatabase.get();
  if (!platform::NamesMayHoldAltDelim || name.find(AltDelim) == std::u16string_view::npos || db == nullptr ||
      !db->Connected() || !FLibrary.DatabaseReady)
    return mapped;
  // Each AltDelim of the name is a separator or a character of a file's
  // own name: the rows whose path reads as the name are found by the
  // path's first literal AltDelim, one index range per place it may be.
  std::vector<std::u16string> candidates;
  const std::u16string reads = u"replace(mf_path, " + SqlLiteral(std::u16string(1, PathDelim)) + u", " +
                               SqlLiteral(std::u16string(1, AltDelim)) + u") = ?3";
  {
    TDISQLite3UniDirQuery exact(db);
    exact.SetSQL(u"select mf_path from \"mp3files\" where mf_path = ?1 and mf_path = ?1 collate binary");
    exact.SetParams({mapped});
    exact.Open();
    if (!exact.Eof()) candidates.push_back(mapped);
  }
  for (std::size_t i = 0; i < name.size() && candidates.size() < 2; ++i) {
    if (name[i] != AltDelim) continue;
    const std::u16string low = mapped.substr(0, i) + AltDelim;
    const std::u16string high = mapped.substr(0, i) + static_cast<char16_t>(AltDelim + 1);
    TDISQLite3UniDirQuery range(db);
    range.SetSQL(u"select mf_path from \"mp3files\" where mf_path >= ?1 and mf_path < ?2 and " + reads);
    range.SetParams({low, high, std::u16string(name)});
    range.Open();
    for (; !range.Eof() && candidates.size() < 2; range.Next()) candidates.push_back(range.Fields(0).AsString());
  }
  // Two files that read alike: no name may lead to the wrong one.
  if (candidates.size() > 1) return {};
  return candidates.empty() ? mapped : candidates.front();
}

std::u16string TFolderTree::ResolveVirtualPath(std::u16string_view path) {
  const std::u16string& titles = V(u"\\Titles\\");
  const std::u16string& latest = V(u"\\Latest\\");
  const std::u16string& favorites = V(u"\\Favorites\\");
  if (StartsWith(path, titles)) return ResolvePathEntry(path.substr(titles.size()));
  if (StartsWith(path, latest)) {
    const std::u16string key(path.substr(latest.size()));
    if (key.empty() || !FLatestNames) return {};
    const auto it = FLatestNames->find(key);
    return it == FLatestNames->end() ? std::u16string() : it->second;
  }
  if (StartsWith(path, favorites)) return ResolvePathEntry(path.substr(favorites.size()));

  TDISQLite3Database* db = FLibrary.LibraryDatabase.get();
  if (db == nullptr || !db->Connected() || !FLibrary.DatabaseReady) return {};
  if (!StartsWith(path, V(u"\\Albums\\")) && !StartsWith(path, V(u"\\Artists\\")) &&
      !StartsWith(path, V(u"\\Genres\\")))
    return {};

  // The row id is what follows the last asterisk, before the extension.
  std::u16string_view rest = path;
  std::size_t split = rest.find_last_of(PathDelim);
  const std::size_t colon = rest.find_last_of(u':');
  if (colon != std::u16string_view::npos && (split == std::u16string_view::npos || colon > split)) split = colon;
  const std::size_t dot = rest.find_last_of(u'.');
  if (dot != std::u16string_view::npos && (split == std::u16string_view::npos || dot > split))
    rest = rest.substr(0, dot);
  std::u16string_view id;
  std::size_t end = rest.size();
  while (end > 0) {
    const std::size_t star = rest.find_last_of(u'*', end - 1);
    const std::size_t begin = star == std::u16string_view::npos ? 0 : star + 1;
    if (begin < end) {
      id = rest.substr(begin, end - begin);
      break;
    }
    if (star == std::u16string_view::npos || star == 0) break;
    end = star;
  }
  long long rowid = 0;
  if (id.empty() || !ParseDecimalInt64(id, rowid)) return {};

  TDISQLite3UniDirQuery query(db);
  // One statement for every entry: the connection keeps it prepared.
  query.SetSQL(u"select \"mf_path\" from \"mp3files\" where rowid=cast(?1 as integer)");
  query.SetParams({platform::IntToU16(rowid)});
  query.Open();
  return query.Eof() ? std::u16string() : query.Fields(0).AsString();
}

}  // namespace velmaro
