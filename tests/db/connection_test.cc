// The database-access layer against the real server: parameters, field access, found rows, and
// the lost-link policy with connections killed from a second session and a server restarted.

#include "platform/db/connection.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/db/sql_text.h"
#include "platform/datetime.h"
#include "support/temp_dir.h"
#include "support/test_database.h"

namespace ab {
namespace {

using db::Connection;
using db::DbError;
using db::Params;
using db::RetryMode;
using db::Value;
using testing::TestDatabase;

TEST(SqlTextTest, MarkersOutsideQuotesAndCommentsAreNumberedInOrder) {
  struct Case {
    const char* sql;
    size_t count;
  } cases[] = {
      {"SELECT * FROM t WHERE a=:p0 AND b = :Name", 2},
      {"SELECT ':p0', \":p1\", `:p2` FROM t", 0},
      {"SELECT 1 -- :p0\n, :p1 # :p2\n /* :p3 */", 1},
      {"SELECT 'it''s :p0', 'a\\':p1' , :p2", 1},
      {"SELECT DATE_FORMAT(x, '-%m-%d') BETWEEN :p1 AND :p2", 2},
      {"SELECT '11:00:00'", 0},
      {"SELECT a::int", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(db::CountParameters(c.sql), c.count) << c.sql;
  EXPECT_EQ(db::ReplaceParameters("a=:p1 and b=:p0", [](size_t i) { return "#" + std::to_string(i); }),
            "a=#0 and b=#1")
      << "the i-th marker takes the i-th value whatever its name";
}

TEST(ClassifyErrorTest, LostLinkCodes) {
  for (unsigned code : {2002u, 2003u, 2006u, 2013u, 2055u, 1053u, 1927u}) {
    EXPECT_EQ(db::ClassifyError(code), db::ErrorKind::kLostLink) << code;
  }
  EXPECT_EQ(db::ClassifyError(1317), db::ErrorKind::kOther) << "KILL QUERY is no lost link";
  EXPECT_EQ(db::ClassifyError(1062), db::ErrorKind::kDuplicateKey);
  EXPECT_EQ(db::ClassifyError(1213), db::ErrorKind::kDeadlock);
}

class ConnectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    db_.Exec("CREATE TABLE t (id INT AUTO_INCREMENT PRIMARY KEY, txt VARCHAR(200), b BLOB, "
             "n INT, d DOUBLE, dt DATETIME, day DATE, flag TINYINT(1)) DEFAULT CHARSET=gbk");
    conn_.SetSettings(db_.settings());
    conn_.Open();
  }
  void TearDown() override { Connection::SetTransactionLostHook(nullptr); }

  // Kills `victim`'s server session from the test's own connection.
  void Kill(Connection& victim) {
    db_.Exec("KILL CONNECTION " + std::to_string(victim.ServerThreadId()));
  }

  TestDatabase db_{false};
  Connection conn_;
};

TEST_F(ConnectionTest, HostileTextsAndBytesAreStoredAndReadBackUnchanged) {
  const std::string texts[] = {
      "it's",
      "back\\slash",
      "'; DROP TABLE t; --",
      "\xD5\x5C\xB1\x7C",  // GBK characters with 0x5C and 0x7C trail bytes
      "\xD5\x5C'",          // ... the 0x5C one right before a quote
      "\"double\" `back` :p0 ?",
      "line\r\nbreak\ttab",
      "",
  };
  for (const std::string& text : texts) {
    std::string blob = text + std::string("\0\x27\x5C\xFF", 4);
    conn_.Execute("INSERT INTO t (txt, b) VALUES (:p0, :p1)", {text, Value::Blob(blob)});
    auto q = conn_.OpenQuery("SELECT txt, b FROM t WHERE id=:p0",
                             {static_cast<int64_t>(conn_.LastInsertId())});
    ASSERT_FALSE(q->Eof());
    EXPECT_EQ(q->AsString("txt"), text);
    EXPECT_EQ(q->AsBlob("b").value_or("<null>"), blob);
    EXPECT_EQ(conn_.OpenQuery("SELECT id FROM t WHERE txt=:p0", {text})->RowCount(), 1u) << text;
  }
  EXPECT_EQ(db_.Count("SELECT COUNT(*) FROM t"), static_cast<int64_t>(std::size(texts)))
      << "the table is still there";
}

TEST_F(ConnectionTest, AGbkLeadByteCannotSwallowTheEscapeOfAQuote) {
  // 0xBF 0x27 is no GBK character; escaped wrongly, 0xBF would join the backslash and the quote
  // would end the literal, letting "OR 1=1" through.
  conn_.Execute("INSERT INTO t (txt) VALUES ('a'), ('b')");
  for (const char* hostile : {"\xBF' OR 1=1 -- ", "\xBF\\' OR 1=1 -- ", "\xBF"}) {
    auto q = conn_.OpenQuery("SELECT COUNT(*) AS c FROM t WHERE b = :p0 OR txt = :p1",
                             {Value::Blob(hostile), std::string(hostile)});
    EXPECT_EQ(q->AsInteger("c"), 0) << "injected: " << hostile;
    conn_.Execute("INSERT INTO t (b) VALUES (:p0)", {Value::Blob(hostile)});
    auto back = conn_.OpenQuery("SELECT b FROM t WHERE id=:p0",
                                {static_cast<int64_t>(conn_.LastInsertId())});
    EXPECT_EQ(back->AsBlob("b").value_or(""), hostile);
  }
}

TEST_F(ConnectionTest, NullReadsAsZeroEmptyOrZeroDateAndIsNullTellsThemApart) {
  conn_.Execute("INSERT INTO t (txt) VALUES (NULL)");
  conn_.Execute("INSERT INTO t (txt, b, n, d) VALUES ('', '', 0, 0)");
  auto q = conn_.OpenQuery("SELECT * FROM t ORDER BY id");
  EXPECT_TRUE(q->IsNull("txt"));
  EXPECT_EQ(q->AsString("txt"), "");
  EXPECT_EQ(q->AsInteger("n"), 0);
  EXPECT_EQ(q->AsFloat("d"), 0.0);
  EXPECT_EQ(q->AsDateTime("dt"), 0.0);
  EXPECT_FALSE(q->AsBoolean("flag"));
  EXPECT_FALSE(q->AsBlob("b").has_value()) << "a NULL blob gives no bytes";
  q->Next();
  EXPECT_FALSE(q->IsNull("txt"));
  EXPECT_EQ(q->AsBlob("b").value_or("<null>"), "") << "an empty blob gives empty bytes";
  q->Next();
  EXPECT_TRUE(q->Eof());
}

TEST_F(ConnectionTest, FieldsAreFoundByNameInAnyLetterCase) {
  conn_.Execute("INSERT INTO t (n) VALUES (7)");
  auto q = conn_.OpenQuery("SELECT n AS Count, n FROM t");
  EXPECT_EQ(q->AsInteger("count"), 7);
  EXPECT_EQ(q->AsInteger("N"), 7);
  EXPECT_THROW(q->AsInteger("missing"), DbError);
}

TEST_F(ConnectionTest, DatesReadAsTextInTheSystemFormatsAndBackAsDateTimes) {
  DateTime with_time = EncodeDate(2024, 3, 5) + EncodeTime(9, 5, 0);
  DateTime day = EncodeDate(2024, 12, 31);
  conn_.Execute("INSERT INTO t (dt, day) VALUES (:p0, :p1)",
                {Value::Date(with_time), Value::Date(day)});
  conn_.Execute("INSERT INTO t (dt, day) VALUES (:p0, :p1)",
                {Value::Date(day), Value::Date(day)});
  auto q = conn_.OpenQuery("SELECT dt, day FROM t ORDER BY id");
  EXPECT_EQ(q->AsString("dt"), "2024/3/5 9:05:00");
  EXPECT_EQ(q->AsString("day"), "2024/12/31");
  EXPECT_DOUBLE_EQ(q->AsDateTime("dt"), with_time);
  EXPECT_DOUBLE_EQ(StrToDateTime(q->AsString("dt")), with_time);
  q->Next();
  EXPECT_EQ(q->AsString("dt"), "2024/12/31") << "no time of day, no time text";
}

TEST_F(ConnectionTest, NumbersKeepTheirValue) {
  const double values[] = {0.1, 16.65, 1.7976931348623157e308, -2.5e-300, 123456789.123456789};
  for (double v : values) {
    conn_.Execute("INSERT INTO t (d) VALUES (:p0)", {v});
    auto q = conn_.OpenQuery("SELECT d FROM t WHERE id=:p0",
                             {static_cast<int64_t>(conn_.LastInsertId())});
    EXPECT_EQ(q->AsFloat("d"), v);
  }
  EXPECT_THROW(conn_.Execute("INSERT INTO t (d) VALUES (:p0)", {1.0 / 0.0}), Exception);
}

TEST_F(ConnectionTest, AffectedRowsCountMatchedRows) {
  conn_.Execute("INSERT INTO t (n) VALUES (1), (1), (2)");
  EXPECT_EQ(conn_.Execute("UPDATE t SET n = 1 WHERE n = 1"), 2u) << "unchanged rows count";
  EXPECT_EQ(conn_.Execute("UPDATE t SET n = 3 WHERE n = 9"), 0u);
}

TEST_F(ConnectionTest, RawStatementsAreSentAsTheyAre) {
  // A GBK character with a 0x5C trail byte before a quote, and a time with a colon, inside
  // literals: no parameter marker may be found in them.
  conn_.ExecuteRaw("INSERT INTO t (txt) VALUES ('\xD5\x5C'), ('12:30 :p0'), ('it''s :x')");
  EXPECT_EQ(conn_.AffectedRows(), 3u);
  auto q = conn_.OpenQuery("SELECT txt FROM t ORDER BY id");
  EXPECT_EQ(q->AsString("txt"), "\xD5\x5C");
  q->Next();
  EXPECT_EQ(q->AsString("txt"), "12:30 :p0");
  q->Next();
  EXPECT_EQ(q->AsString("txt"), "it's :x");
}

TEST_F(ConnectionTest, ParameterCountMustMatch) {
  EXPECT_THROW(conn_.Execute("UPDATE t SET n=:p0 WHERE id=:p1", {1}), DbError);
}

TEST_F(ConnectionTest, IdleConnectionKilledByTheServerIsReopenedWithItsCharacterSet) {
  unsigned long before = conn_.ServerThreadId();
  Kill(conn_);
  auto q = conn_.OpenQuery("SELECT @@character_set_client AS cs");
  EXPECT_EQ(q->AsString("cs"), "gbk");
  EXPECT_NE(conn_.ServerThreadId(), before) << "a new session serves the statement";
}

TEST_F(ConnectionTest, IdleConnectionKilledInsideATransactionIsNotSilentlyReopened) {
  int lost = 0;
  Connection::SetTransactionLostHook([&](Connection&) { ++lost; });
  conn_.StartTransaction();
  conn_.Execute("INSERT INTO t (n) VALUES (1)");
  Kill(conn_);
  try {
    conn_.Execute("INSERT INTO t (n) VALUES (2)");
    FAIL() << "the second half of the transaction ran on a new session";
  } catch (const DbError& e) {
    EXPECT_TRUE(e.lost_link()) << e.message();
  }
  EXPECT_EQ(lost, 1);
  EXPECT_EQ(db_.Count("SELECT COUNT(*) FROM t"), 0) << "nothing of the transaction stays";
  EXPECT_FALSE(conn_.InTransaction());
  EXPECT_NO_THROW(conn_.Execute("INSERT INTO t (n) VALUES (3)")) << "the next use reopens";
}

// A statement blocked on a user lock the test holds, killed from the test's session.
class BlockedStatement {
 public:
  BlockedStatement(TestDatabase& db, Connection& victim)
      : db_(db), victim_(victim), killer_(db.settings()) {
    db_.Exec("SELECT GET_LOCK('ab_block', 10)");
    killer_.Open();
  }
  ~BlockedStatement() { Release(); }

  // Waits until the victim's session waits for the lock, then kills it.
  void KillWhenBlocked(unsigned long thread_id) {
    for (int i = 0; i < 500; ++i) {
      auto q = killer_.OpenQuery(
          "SELECT COUNT(*) AS c FROM information_schema.PROCESSLIST WHERE ID=:p0 AND "
          "STATE LIKE '%lock%'",
          {static_cast<int64_t>(thread_id)});
      if (q->AsInteger("c") > 0) {
        killer_.Execute("KILL CONNECTION " + std::to_string(thread_id));
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ADD_FAILURE() << "the victim never blocked";
  }
  // Only the session that took the lock can release it: the test's own, from the main thread.
  void Release() {
    if (!released_) db_.Exec("SELECT RELEASE_LOCK('ab_block')");
    released_ = true;
  }

 private:
  TestDatabase& db_;
  Connection& victim_;
  Connection killer_;
  bool released_ = false;
};

TEST_F(ConnectionTest, LostLinkDuringAStatementRunsItOnceMoreWhenTheHandlerAsks) {
  BlockedStatement block(db_, conn_);
  int calls = 0;
  conn_.SetLostConnectionHandler([&](Connection& c, RetryMode& mode) {
    ++calls;
    EXPECT_EQ(&c, &conn_);
    mode = RetryMode::kReconnectAndExecuteAgain;
    block.Release();  // the repeated statement gets the lock at once
  });
  unsigned long id = conn_.ServerThreadId();
  std::thread killer([&] { block.KillWhenBlocked(id); });
  auto q = conn_.OpenQuery("SELECT GET_LOCK('ab_block', 10) AS got");
  killer.join();
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(q->AsInteger("got"), 1);
  conn_.Execute("SELECT RELEASE_LOCK('ab_block')");
}

TEST_F(ConnectionTest, LostLinkWithoutHandlerReachesTheCaller) {
  BlockedStatement block(db_, conn_);
  unsigned long id = conn_.ServerThreadId();
  std::thread killer([&] { block.KillWhenBlocked(id); });
  try {
    conn_.OpenQuery("SELECT GET_LOCK('ab_block', 10)");
    ADD_FAILURE() << "no error";
  } catch (const DbError& e) {
    EXPECT_TRUE(e.lost_link()) << e.code() << " " << e.message();
  }
  killer.join();
}

TEST_F(ConnectionTest, LostLinkInsideATransactionIsNeverRepeated) {
  BlockedStatement block(db_, conn_);
  int calls = 0, lost = 0;
  Connection::SetTransactionLostHook([&](Connection&) { ++lost; });
  conn_.SetLostConnectionHandler([&](Connection&, RetryMode& mode) {
    ++calls;
    mode = RetryMode::kReconnectAndExecuteAgain;
  });
  conn_.StartTransaction();
  conn_.Execute("INSERT INTO t (n) VALUES (1)");
  unsigned long id = conn_.ServerThreadId();
  std::thread killer([&] { block.KillWhenBlocked(id); });
  EXPECT_THROW(conn_.OpenQuery("SELECT GET_LOCK('ab_block', 10)"), DbError);
  killer.join();
  EXPECT_EQ(calls, 0) << "the handler must not be offered a repeat inside a transaction";
  EXPECT_EQ(lost, 1);
  EXPECT_EQ(db_.Count("SELECT COUNT(*) FROM t"), 0);
}

TEST_F(ConnectionTest, StreamThatDeliveredRowsIsNotRepeated) {
  for (int i = 0; i < 2000; ++i) conn_.Execute("INSERT INTO t (txt) VALUES (REPEAT('x', 190))");
  int calls = 0;
  conn_.SetLostConnectionHandler([&](Connection&, RetryMode& mode) {
    ++calls;
    mode = RetryMode::kReconnectAndExecuteAgain;
  });
  unsigned long id = conn_.ServerThreadId();
  auto stream = conn_.OpenStream("SELECT a.txt FROM t a, t b");  // far more than one buffer
  ASSERT_TRUE(stream->Fetch());
  EXPECT_THROW(conn_.Execute("SELECT 1"), DbError) << "no statement while rows stream";
  db_.Exec("KILL CONNECTION " + std::to_string(id));
  EXPECT_THROW(
      {
        while (stream->Fetch()) {
        }
      },
      DbError);
  EXPECT_EQ(calls, 0);
  stream.reset();
  EXPECT_NO_THROW(conn_.Execute("SELECT 1")) << "the connection is usable again";
}

TEST(ServerRestartTest, HandlerThatRestartsTheServerGetsTheStatementRepeated) {
  testing::TempDir dir;
  std::string sandbox = std::string(AB_SOURCE_DIR) + "/scripts/mariadb-sandbox";
  std::string folder = dir.File("server");
  auto port_probe = testing::RunCommand(
      "python3 -c 'import socket; s=socket.socket(); s.bind((\"127.0.0.1\", 0)); "
      "print(s.getsockname()[1])'");
  std::string port = port_probe.out.substr(0, port_probe.out.find('\n'));
  auto up = testing::RunCommand(sandbox + " up " + testing::ShellQuote(folder) + " " + port);
  ASSERT_EQ(up.status, 0) << up.err << up.out;

  db::ConnectionSettings s = testing::ServerSettings();
  s.port = static_cast<unsigned>(std::stoi(port));
  s.password = "907358";
  Connection conn(s);
  conn.Open();
  conn.Execute("SELECT 1");
  int calls = 0;
  conn.SetLostConnectionHandler([&](Connection& c, RetryMode& mode) {
    ++calls;
    c.Close();
    auto again = testing::RunCommand(sandbox + " up " + testing::ShellQuote(folder) + " " + port);
    EXPECT_EQ(again.status, 0) << again.err;
    mode = RetryMode::kReconnectAndExecuteAgain;
  });
  auto down = testing::RunCommand(sandbox + " down " + testing::ShellQuote(folder));
  ASSERT_EQ(down.status, 0) << down.err;
  auto q = conn.OpenQuery("SELECT 41 + 1 AS answer");
  EXPECT_EQ(q->AsInteger("answer"), 42);
  EXPECT_EQ(calls, 1) << "the restart went through the handler once";
  conn.Close();
  testing::RunCommand(sandbox + " down " + testing::ShellQuote(folder));
}

}  // namespace
}  // namespace ab
