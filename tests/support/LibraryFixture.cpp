#include "support/LibraryFixture.h"

#include <sqlite3.h>

#include "library/SqlText.h"
#include "library/TDISQLite3UniDirQuery.h"

namespace velmaro::test {

namespace {
std::u16string Value(const std::optional<std::u16string>& value) {
  return value ? SqlLiteral(*value) : std::u16string(u"NULL");
}
}  // namespace

TLibraryFixture::TLibraryFixture(bool open) {
  State.IniFileName = Folder.Path16("v.ini");
  if (open) Open();
}

bool TLibraryFixture::Open() {
  State.DatabaseReady = InitDatabase(State, [this](const std::u16string& text) { Messages.push_back(text); });
  return State.DatabaseReady;
}

long long TLibraryFixture::AddTrack(const TTrackRow& row) {
  Db().Execute16(u"insert into mp3files (mf_path, mf_artist, mf_title, mf_album, mf_genre, mf_favorite) values (" +
                 SqlLiteral(row.Path) + u", " + Value(row.Artist) + u", " + Value(row.Title) + u", " +
                 Value(row.Album) + u", " + Value(row.Genre) + u", " + (row.Favorite ? u"1" : u"0") + u")");
  return sqlite3_last_insert_rowid(Db().Handle());
}

std::u16string TLibraryFixture::Scalar(const std::u16string& sql) {
  TDISQLite3UniDirQuery query(&Db());
  query.SetSQL(sql);
  query.Open();
  return query.Eof() ? std::u16string() : query.Fields(0).AsString();
}

namespace {
int TraceCallback(unsigned, void* context, void* statement, void*) {
  auto* self = static_cast<TStatementTrace*>(context);
  char* sql = sqlite3_expanded_sql(static_cast<sqlite3_stmt*>(statement));
  if (sql) {
    self->Statements.emplace_back(sql);
    sqlite3_free(sql);
  }
  return 0;
}
}  // namespace

TStatementTrace::TStatementTrace(TDISQLite3Database& db) : FDb(db) {
  sqlite3_trace_v2(db.Handle(), SQLITE_TRACE_STMT, TraceCallback, this);
}

TStatementTrace::~TStatementTrace() {
  if (FDb.Handle()) sqlite3_trace_v2(FDb.Handle(), 0, nullptr, nullptr);
}

int TStatementTrace::Count(const std::string& prefix) const {
  int n = 0;
  for (const std::string& s : Statements)
    if (s.rfind(prefix, 0) == 0) ++n;
  return n;
}

}  // namespace velmaro::test
