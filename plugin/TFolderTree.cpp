#include "plugin/TFolderTree.h"

#include <algorithm>
#include <cstring>

#include "library/SqlText.h"
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

// A key value taken from a listing path, ready to stand between double
// quotes: "_Other" stands for the empty value.
std::u16string KeyValue(const std::u16string& component) {
  if (component == OtherName) return {};
  return DoubleChar(component, u'"');
}

const std::u16string& V(const char16_t* backslashed) {
  // The few view paths, converted once to the platform's delimiter.
  static thread_local std::unordered_map<const char16_t*, std::u16string> cache;
  auto it = cache.find(backslashed);
  if (it == cache.end()) it = cache.emplace(backslashed, VPath(backslashed)).first;
  return it->second;
}

bool IsTrackKind(TViewKind kind) {
  return kind == TViewKind::AlbumTracks || kind == TViewKind::ArtistTracks || kind == TViewKind::GenreTracks;
}

bool IsFolderKind(TViewKind kind) {
  return kind == TViewKind::AlbumArtists || kind == TViewKind::AlbumAlbums || kind == TViewKind::ArtistFolders ||
         kind == TViewKind::GenreFolders || kind == TViewKind::GenreArtists;
}

}  // namespace

const char16_t* RootEntryName(int index) {
  return index >= 0 && index < RootEntryCount ? RootNames[index] : u"";
}

TView ClassifyListingPath(std::u16string_view path) {
  // Track levels read the row's own rowid with the row: the entry's name
  // carries it, and resolving the name must find exactly this row.
  static const std::u16string Tracks = u"select rowid, \"mf_title\", \"mf_path\" from \"mp3files\" where ";
  TView view;
  if (path == V(u"\\")) {
    view.Kind = TViewKind::Root;
  } else if (path == V(u"\\Titles")) {
    view = {TViewKind::Titles, u"select \"mf_path\" from \"mp3files\""};
  } else if (path == V(u"\\Latest")) {
    view = {TViewKind::Latest, u"select \"mf_path\" from \"mp3files\" order by rowid desc limit 99"};
  } else if (path == V(u"\\Favorites")) {
    view = {TViewKind::Favorites, u"select \"mf_path\" from \"mp3files\" where \"mf_favorite\"=1"};
  } else if (Contains(path, V(u"\\Albums"))) {
    const int depth = PathDepth(path);
    if (path == V(u"\\Albums")) {
      view = {TViewKind::AlbumArtists, u"select \"mf_artist\" from \"mp3files\""};
    } else if (depth == 2) {
      view = {TViewKind::AlbumAlbums, u"select \"mf_album\" from \"mp3files\" where mf_artist=\"" +
                                          KeyValue(LastComponent(path)) + u"\" collate systemnocase"};
    } else if (depth == 3) {
      view = {TViewKind::AlbumTracks, Tracks + u"mf_artist=\"" + KeyValue(LastComponent(ParentPath(path))) +
                                          u"\" and mf_album=\"" + KeyValue(LastComponent(path)) +
                                          u"\" collate systemnocase"};
    } else {
      view.Kind = TViewKind::BadDepth;
    }
  } else if (Contains(path, V(u"\\Artists"))) {
    if (path == V(u"\\Artists")) {
      view = {TViewKind::ArtistFolders, u"select \"mf_artist\" from \"mp3files\""};
    } else if (PathDepth(path) == 2) {
      view = {TViewKind::ArtistTracks,
              Tracks + u"mf_artist=\"" + KeyValue(LastComponent(path)) + u"\" collate systemnocase"};
    } else {
      view.Kind = TViewKind::Empty;
    }
  } else if (Contains(path, V(u"\\Genres"))) {
    const int depth = PathDepth(path);
    if (path == V(u"\\Genres")) {
      view = {TViewKind::GenreFolders, u"select \"mf_genre\" from \"mp3files\""};
    } else if (depth == 2) {
      view = {TViewKind::GenreArtists, u"select \"mf_artist\" from \"mp3files\" where mf_genre=\"" +
                                           KeyValue(LastComponent(path)) + u"\" collate systemnocase"};
    } else if (depth == 3) {
      view = {TViewKind::GenreTracks, Tracks + u"mf_genre=\"" + KeyValue(LastComponent(ParentPath(path))) +
                                          u"\" and mf_artist=\"" + KeyValue(LastComponent(path)) +
                                          u"\" collate systemnocase"};
    } else {
      view.Kind = TViewKind::BadDepth;
    }
  }
  return view;
}

TFolderTree::TFolderTree(TLibraryState& library, TMessageSink report)
    : FLibrary(library), FReport(std::move(report)) {}

TFolderTree::~TFolderTree() { Release(); }

void TFolderTree::Release() {
  FListingQuery.reset();
  FLatestNames.reset();
  FFolderNames.reset();
}

bool TFolderTree::EnsureLibrary() {
  if (!FLibrary.DatabaseReady) FLibrary.DatabaseReady = InitDatabase(FLibrary, FReport);
  return FLibrary.DatabaseReady;
}

bool TFolderTree::FindFirst(std::u16string_view path, fsapi::TFindDataW& findData) {
  // 1. Release the previous listing.
  FListingQuery.reset();
  if (FLatestNames) FLatestNames->clear();
  if (FFolderNames) FFolderNames->Clear();

  // 2. A path with one trailing delimiter names the same folder.
  Zero(findData);
  FListingPath = std::u16string(WithoutTrailingDelim(path));
  const TView view = ClassifyListingPath(FListingPath);
  FListingKind = view.Kind;

  // 3. The root needs no library.
  if (view.Kind == TViewKind::Root) {
    FillRootEntry(findData);
    return true;
  }
  // 4. Everything else does; it is tried again until it opens.
  if (!EnsureLibrary()) return false;

  // 5. The view's query.
  if (view.Kind == TViewKind::BadDepth) return false;
  if (view.Kind == TViewKind::Empty) {
    platform::SetLastError(platform::ErrorNoMoreFiles);
    return false;
  }
  if (view.Kind == TViewKind::Latest) {
    FEntryCounter = 0;
    if (!FLatestNames) FLatestNames = std::make_unique<std::unordered_map<std::u16string, std::u16string>>(100);
  }
  if (IsFolderKind(view.Kind) || IsTrackKind(view.Kind)) {
    FEntryCounter = -1;
    if (!FFolderNames) FFolderNames = std::make_unique<TFolderNameList>();
  }
  FListingQuery = std::make_unique<TDISQLite3UniDirQuery>(FLibrary.LibraryDatabase.get());
  FListingQuery->SetSQL(view.SQL);
  FListingQuery->Open();

  // 6. Folder views read all their names first.
  if (IsFolderKind(view.Kind)) FillFolderNames();

  // 7. The first entry.
  if (NextEntry(findData)) return true;
  platform::SetLastError(platform::ErrorNoMoreFiles);
  return false;
}

bool TFolderTree::FindNext(fsapi::TFindDataW& findData) {
  Zero(findData);
  return NextEntry(findData);
}

bool TFolderTree::NextEntry(fsapi::TFindDataW& findData) {
  switch (FListingKind) {
    case TViewKind::Root:
      if (++FRootIndex >= RootEntryCount) {
        FRootIndex = 0;
        return false;
      }
      FillRootEntry(findData);
      return true;
    case TViewKind::Titles:
    case TViewKind::Favorites: return NextPathEntry(findData);
    case TViewKind::Latest: return NextLatestEntry(findData);
    case TViewKind::AlbumTracks:
    case TViewKind::ArtistTracks:
    case TViewKind::GenreTracks: return NextTrackEntry(findData);
    default: return IsFolderKind(FListingKind) ? NextFolderEntry(findData) : false;
  }
}

void TFolderTree::FillRootEntry(fsapi::TFindDataW& findData) const {
  findData.dwFileAttributes =
      FRootIndex == RootEntryCount - 1 ? fsapi::FileAttributeNormal : fsapi::FileAttributeDirectory;
  for (fsapi::TFileTime* t : {&findData.ftCreationTime, &findData.ftLastAccessTime, &findData.ftLastWriteTime})
    *t = {0xFFFFFFFFu, 0xFFFFFFFFu};
  SetName(findData, RootNames[FRootIndex], MaxRootName);
}

bool TFolderTree::NextPathEntry(fsapi::TFindDataW& findData) {
  if (!FListingQuery || FListingQuery->Eof()) return false;
  const std::u16string path = FListingQuery->Fields(0).AsString();
  FListingQuery->Next();
  Zero(findData);
  SetName(findData, ReplaceChar(path, PathDelim, AltDelim), MaxEntryName);
  return true;
}

bool TFolderTree::NextLatestEntry(fsapi::TFindDataW& findData) {
  if (!FListingQuery || FListingQuery->Eof()) return false;
  const std::u16string path = FListingQuery->Fields(0).AsString();
  FListingQuery->Next();
  Zero(findData);
  ++FEntryCounter;
  const std::u16string number = platform::IntToU16(FEntryCounter);
  std::u16string name = u"(" + (number.size() < 2 ? u"0" + number : number) + u") ";
  name += RealFileName(path);
  if (name.size() > MaxEntryName) name.resize(MaxEntryName);
  if (FLatestNames) FLatestNames->insert_or_assign(name, path);
  SetName(findData, name, MaxEntryName);
  return true;
}

void TFolderTree::FillFolderNames() {
  while (!FListingQuery->Eof()) {
    const TDISQLite3Field& field = FListingQuery->Fields(0);
    const std::u16string value = field.AsString();
    FFolderNames->Add(value.empty() ? std::u16string(OtherName) : value);
    FListingQuery->Next();
  }
  FFolderNames->Finish();
}

bool TFolderTree::NextFolderEntry(fsapi::TFindDataW& findData) {
  ++FEntryCounter;
  if (!FFolderNames || FEntryCounter >= FFolderNames->Count()) return false;
  Zero(findData);
  findData.dwFileAttributes = fsapi::FileAttributeDirectory;
  SetName(findData, (*FFolderNames)[FEntryCounter], MaxEntryName);
  return true;
}

bool TFolderTree::NextTrackEntry(fsapi::TFindDataW& findData) {
  if (!FListingQuery || FListingQuery->Eof()) return false;
  const std::u16string rowid = FListingQuery->Fields(0).AsString();
  const std::u16string title = FListingQuery->Fields(1).AsString();
  const std::u16string path = FListingQuery->Fields(2).AsString();
  const std::u16string_view fileName = RealFileName(path);
  const std::size_t dot = fileName.find_last_of(u'.');
  std::u16string name = title + u" *" + rowid;
  if (dot != std::u16string_view::npos) name += fileName.substr(dot);
  Zero(findData);
  SetName(findData, name, MaxEntryName);
  FListingQuery->Next();
  return true;
}

std::u16string TFolderTree::ResolveVirtualPath(std::u16string_view path) {
  const std::u16string& titles = V(u"\\Titles\\");
  const std::u16string& latest = V(u"\\Latest\\");
  const std::u16string& favorites = V(u"\\Favorites\\");
  if (StartsWith(path, titles)) return ReplaceChar(path.substr(titles.size()), AltDelim, PathDelim);
  if (StartsWith(path, latest)) {
    const std::u16string key(path.substr(latest.size()));
    if (key.empty() || !FLatestNames) return {};
    const auto it = FLatestNames->find(key);
    return it == FLatestNames->end() ? std::u16string() : it->second;
  }
  if (StartsWith(path, favorites)) return ReplaceChar(path.substr(favorites.size()), AltDelim, PathDelim);

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
  query.SetSQL(u"select \"mf_path\" from \"mp3files\" where rowid=" + platform::IntToU16(rowid));
  query.Open();
  return query.Eof() ? std::u16string() : query.Fields(0).AsString();
}

}  // namespace velmaro
