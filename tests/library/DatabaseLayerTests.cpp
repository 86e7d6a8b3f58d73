// The database layer: error texts, running SQL, transactions, field kinds.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <thread>

#include "library/Errors.h"
#include "library/SqlText.h"
#include "library/TDISQLite3Database.h"
#include "library/TDISQLite3Statement.h"
#include "library/TDISQLite3UniDirQuery.h"
#include "support/TestFolder.h"
#include "support/LibraryFixture.h"

using namespace velmaro;
using velmaro::test::TStatementTrace;
using velmaro::test::TTestFolder;

namespace {

std::string MessageOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const std::exception& error) {
    return error.what();
  }
  return "(no error)";
}

class DatabaseLayer : public ::testing::Test {
 protected:
  void SetUp() override {
    Db.SetDatabaseName(Folder.Path16("t.db"));
    Db.CreateDatabase();
    Db.Execute("create table t (i integer, c char, f real, b blob)");
  }
  std::u16string One(const std::u16string& sql, const char16_t* field = nullptr) {
    TDISQLite3UniDirQuery query(&Db);
    query.SetSQL(sql);
    query.Open();
    if (query.Eof()) return u"(eof)";
    return field ? query.FieldByName(field).AsString() : query.Fields(0).AsString();
  }
  TTestFolder Folder;
  TDISQLite3Database Db;
};

TEST_F(DatabaseLayer, ExecuteRunsEveryStatementAndStopsAtTheFirstError) {
  Db.Execute16(u"PRAGMA locking_mode=NORMAL");  // returns a row: still fine
  EXPECT_EQ(MessageOf([&] { Db.Execute16(u"insert into t (i) values (1); insert into missing values (2)"); }),
            "SQLite3 Error 1 - no such table: missing");
  EXPECT_EQ(One(u"select count(*) from t"), u"1");
  Db.Execute16(u"");  // empty text does nothing
  Db.Execute16(u"insert into t (i) values (2);;  -- trailing comment");
  EXPECT_EQ(One(u"select count(*) from t"), u"2");
}

TEST_F(DatabaseLayer, ClosedAndOpenMisuseHaveFixedTexts) {
  EXPECT_EQ(MessageOf([&] { Db.SetDatabaseName(u"x.db"); }), "Cannot perform this operation on an open database");
  EXPECT_EQ(MessageOf([&] { Db.CreateDatabase(); }), "Cannot perform this operation on an open database");
  EXPECT_EQ(MessageOf([&] { Db.Prepare16(u"  "); }), "Empty SQL Statement");
  Db.Close();
  EXPECT_EQ(MessageOf([&] { Db.Execute("select 1"); }), "Cannot perform this operation on a closed database");
  EXPECT_EQ(MessageOf([&] { Db.StartTransaction(TTransactionType::ttDeferred); }),
            "Cannot perform this operation on a closed database");
  TDISQLite3UniDirQuery orphan;
  orphan.SetSQL(u"select 1");
  EXPECT_EQ(MessageOf([&] { orphan.Open(); }), "Missing dabatase");
}

TEST_F(DatabaseLayer, OpenRefusesMissingFilesAndBlankNames) {
  TDISQLite3Database other;
  const std::u16string missing = Folder.Path16("missing.db");
  other.SetDatabaseName(missing);
  try {
    other.Open();
    FAIL() << "opened a missing file";
  } catch (const EFOpenError& error) {
    EXPECT_EQ(std::string(error.what()), "Cannot open file " + Folder.Path("missing.db"));
  }
  EXPECT_FALSE(other.Connected());
  EXPECT_FALSE(std::filesystem::exists(Folder.Path("missing.db")));
  other.CreateDatabase();
  EXPECT_TRUE(other.Connected());
  EXPECT_TRUE(std::filesystem::exists(Folder.Path("missing.db")));

  TDISQLite3Database blank;
  blank.SetDatabaseName(u" \t ");
  EXPECT_EQ(MessageOf([&] { blank.Open(); }), "Invalid DatabaseName");
}

TEST_F(DatabaseLayer, PreparingOnAClosedConnectionOpensIt) {
  Db.Close();
  TDISQLite3UniDirQuery query(&Db);
  query.SetSQL(u"select count(*) from t");
  query.Open();
  EXPECT_TRUE(Db.Connected());
  EXPECT_EQ(query.Fields(0).AsInteger(), 0);
}

TEST_F(DatabaseLayer, NestedTransactionsReachSQLiteOnceAtTheOutermostLevel) {
  TStatementTrace trace(Db);
  Db.Commit();  // outside a transaction: nothing
  Db.StartTransaction(TTransactionType::ttDeferred);
  Db.StartTransaction(TTransactionType::ttDeferred);
  Db.Execute("insert into t (i) values (1)");
  Db.Commit();
  EXPECT_TRUE(Db.InTransaction());
  Db.Commit();
  EXPECT_FALSE(Db.InTransaction());
  EXPECT_EQ(trace.Count("BEGIN"), 1);
  EXPECT_EQ(trace.Count("COMMIT"), 1);
  EXPECT_EQ(trace.Count("ROLLBACK"), 0);
}

TEST_F(DatabaseLayer, AnInnerRollbackUndoesOnlyItsOwnWork) {
  // An import inside a host batch deletes the old row and then fails to
  // write the new one: its rollback must bring the old row back even
  // though the batch goes on and commits.
  Db.Execute("insert into t (i) values (1)");
  Db.StartTransaction(TTransactionType::ttDeferred);
  Db.Execute("insert into t (i) values (2)");
  Db.StartTransaction(TTransactionType::ttDeferred);
  Db.Execute("delete from t where i=1");
  Db.Rollback();
  Db.Commit();
  EXPECT_EQ(One(u"select group_concat(i) from (select i from t order by i)"), u"1,2");
  EXPECT_FALSE(Db.InTransaction());
}

TEST_F(DatabaseLayer, OutermostRollbackDiscardsTheBatch) {
  Db.StartTransaction(TTransactionType::ttImmediate);
  Db.Execute("insert into t (i) values (7)");
  Db.Rollback();
  Db.Rollback();  // nothing left: no error
  EXPECT_EQ(One(u"select count(*) from t"), u"0");
}

TEST_F(DatabaseLayer, IntegerFieldsReadNonNumericTextAsZeroEveryWay) {
  Db.Execute("insert into t (i, c, f) values ('3/12', 'abc', 1.5)");
  Db.Execute("insert into t (i, c, f) values ('42', 17, 0.1)");
  Db.Execute("insert into t (i, c, f) values ('', NULL, NULL)");
  TDISQLite3UniDirQuery query(&Db);
  query.SetSQL(u"select * from t order by rowid");
  query.Open();
  const TDISQLite3Field& i = query.FieldByName(u"I");
  EXPECT_EQ(i.Kind(), TFieldKind::fkInteger);
  EXPECT_EQ(query.FieldByName(u"c").Kind(), TFieldKind::fkText);
  EXPECT_EQ(query.FieldByName(u"f").Kind(), TFieldKind::fkFloat);
  EXPECT_EQ(query.FieldByName(u"b").Kind(), TFieldKind::fkBlob);
  EXPECT_EQ(i.AsInteger(), 0);
  EXPECT_EQ(i.AsString(), u"0");
  EXPECT_EQ(std::get<std::int64_t>(i.AsVariant()), 0);
  EXPECT_EQ(query.FieldByName(u"c").AsInteger(), 0);
  EXPECT_EQ(query.FieldByName(u"f").AsString(), u"1.5");
  query.Next();
  EXPECT_EQ(i.AsInteger(), 42);
  EXPECT_EQ(query.FieldByName(u"c").AsString(), u"17");
  EXPECT_EQ(query.FieldByName(u"c").AsInteger(), 17);
  EXPECT_EQ(query.FieldByName(u"f").AsString(), u"0.1");
  query.Next();
  EXPECT_EQ(i.AsString(), u"0");  // an empty text in an integer column
  EXPECT_TRUE(query.FieldByName(u"c").IsNull());
  EXPECT_EQ(query.FieldByName(u"c").AsString(), u"");
  EXPECT_TRUE(std::holds_alternative<std::monostate>(query.FieldByName(u"f").AsVariant()));
  query.Next();
  EXPECT_TRUE(query.Eof());
  EXPECT_EQ(MessageOf([&] { query.FieldByName(u"nope"); }), "Field 'nope' not found");
}

TEST_F(DatabaseLayer, ExpressionColumnsTakeTheTypeOfTheFirstRow) {
  TDISQLite3UniDirQuery query(&Db);
  query.SetSQL(u"select 5 as n, 'x' as s, 2.5 as r, NULL as z");
  query.Open();
  EXPECT_EQ(query.FieldByName(u"n").Kind(), TFieldKind::fkInteger);
  EXPECT_EQ(query.FieldByName(u"s").Kind(), TFieldKind::fkText);
  EXPECT_EQ(query.FieldByName(u"r").Kind(), TFieldKind::fkFloat);
  EXPECT_EQ(query.FieldByName(u"z").Kind(), TFieldKind::fkText);
  query.SetSQL(u"select i from t");  // empty table: at the end right away
  query.Open();
  EXPECT_TRUE(query.Eof());
}

TEST_F(DatabaseLayer, TextsKeepEveryCharacter) {
  const std::u16string text = u"Beyonc\u00e9 \U0001F3B5 \"quoted\" 'single'";
  Db.Execute16(u"insert into t (c) values (" + SqlLiteral(text) + u")");
  EXPECT_EQ(One(u"select c from t"), text);
}

TEST_F(DatabaseLayer, ABusyDatabaseIsRetriedThenReported) {
  TDISQLite3Database other;
  other.SetDatabaseName(Folder.Path16("t.db"));
  other.Open();
  other.StartTransaction(TTransactionType::ttExclusive);
  const auto started = std::chrono::steady_clock::now();
  const std::string message = MessageOf([&] { Db.Execute("insert into t (i) values (1)"); });
  const auto waited = std::chrono::steady_clock::now() - started;
  EXPECT_EQ(message, "SQLite3 Error 5 - database is locked");
  EXPECT_GE(waited, std::chrono::milliseconds(60));  // seven waits of 10 ms
  other.Rollback();
  Db.Execute("insert into t (i) values (1)");  // free again
}

TEST_F(DatabaseLayer, ClosingTheConnectionClosesItsStatements) {
  auto statement = Db.Prepare16(u"select 1");
  TDISQLite3UniDirQuery query(&Db);
  query.SetSQL(u"select 2");
  query.Open();
  Db.Close();
  EXPECT_EQ(statement->Handle(), nullptr);
  EXPECT_EQ(MessageOf([&] { statement->Step(); }), "Missing dabatase");
}

}  // namespace
