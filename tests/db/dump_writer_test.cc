// The dump writer against the real server: the script's shape, the escaping, the snapshot, and
// restores that give back identical tables, through the standard mariadb client and through
// RunScriptFile.

#include "platform/db/dump_writer.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <map>
#include <string>
#include <vector>

#include "platform/db/connection.h"
#include "platform/db/script_runner.h"
#include "platform/text.h"
#include "support/temp_dir.h"
#include "support/test_database.h"

namespace ab {
namespace {

using db::Connection;
using db::DbError;
using db::Value;
using testing::CommandResult;
using testing::RunCommand;
using testing::ShellQuote;
using testing::TempDir;
using testing::TestDatabase;

class ScriptString : public db::ScriptSink {
 public:
  void Append(std::string_view bytes) override { data.append(bytes); }
  std::string data;
};

std::string Dump(Connection& c, const db::DumpProgressFn& progress = {},
                 const db::DumpOptions& options = {}) {
  ScriptString sink;
  db::DumpDatabase(c, sink, progress, options);
  return sink.data;
}

// The statements of a script, as RunScriptFile would send them.
std::vector<std::string> Statements(const std::string& script) {
  db::StatementSplitter splitter(true);
  splitter.Feed(script);
  splitter.Finish();
  std::vector<std::string> out;
  while (auto s = splitter.Next()) out.push_back(s->text);
  return out;
}

std::string CrLf(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

// CHECKSUM TABLE of every base table of the connection's database, by table name.
std::map<std::string, std::string> Checksums(Connection& c) {
  std::map<std::string, std::string> sums;
  std::vector<std::string> tables;
  for (auto q = c.OpenQuery("SHOW FULL TABLES WHERE Table_type = 'BASE TABLE'"); !q->Eof();
       q->Next()) {
    tables.push_back(q->RawAt(0));
  }
  for (const auto& t : tables) {
    auto q = c.OpenQuery("CHECKSUM TABLE " + db::QuoteName(t));
    sums[t] = q->RawAt(1);
  }
  return sums;
}

std::string ClientCommand() {
  db::ConnectionSettings s = testing::ServerSettings();
  return "mariadb --no-defaults --protocol=tcp -h " + ShellQuote(s.server) + " -P " +
         std::to_string(s.port) + " -u " + ShellQuote(s.user) + " -p" + ShellQuote(s.password) +
         " --default-character-set=gbk";
}

TEST(EscapeTest, EveryGbkPairIsEscapedAsTheClientLibraryDoes) {
  TestDatabase db(false);
  Connection& c = db.admin();
  std::vector<std::string> texts = {
      "it's",
      "back\\slash",
      "\"quoted\"",
      std::string("nul\0byte", 8),
      "cr\rlf\n",
      "ctrl-z\x1A",
      "\xD5\x5C",
      "\xB1\x7C",
      "\xD5\x5C'",
      "\x81",
      "\x81'",
      "x\x81\\",
      "\xFF\\",
      "\x80'",
      "\xFE\x40\xFE\xFE\x81\x7F\\",
  };
  for (int a = 0; a < 256; ++a) {
    for (int b = 0; b < 256; ++b) {
      texts.push_back(std::string{static_cast<char>(a), static_cast<char>(b), '\''});
    }
  }
  for (const auto& t : texts) {
    std::string ours;
    db::AppendEscaped(ours, t, "gbk");
    ASSERT_EQ(ours, c.Escape(t)) << "bytes " << ::testing::PrintToString(t);
  }
}

TEST(QuoteNameTest, BackquotesAreDoubledButAGbkTrailByteIsNoBackquote) {
  EXPECT_EQ(db::QuoteName("t"), "`t`");
  EXPECT_EQ(db::QuoteName("a`b"), "`a``b`");
  EXPECT_EQ(db::QuoteName("\x81\x60"), "`\x81\x60`") << "0x60 is the trail byte of a character";
  EXPECT_EQ(db::QuoteName("\x81\x60", "utf8mb4"), "`\x81\x60\x60`");
}

class DumpWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    conn_.SetSettings(db_.settings());
    conn_.Open();
  }

  TestDatabase db_{false};
  Connection conn_;
};

TEST_F(DumpWriterTest, TheScriptHasTheStatementsInTheirOrder) {
  db_.Exec("CREATE TABLE t (id INT PRIMARY KEY, name VARCHAR(20)) DEFAULT CHARSET=gbk");
  db_.Exec("CREATE TABLE empty (id INT) DEFAULT CHARSET=gbk");
  db_.Exec("INSERT INTO t VALUES (1, 'a'), (2, NULL)");
  db_.Exec("CREATE VIEW v AS SELECT name FROM t");
  std::string create_t = db_.admin().OpenQuery("SHOW CREATE TABLE t")->RawAt(1);
  std::string create_empty = db_.admin().OpenQuery("SHOW CREATE TABLE empty")->RawAt(1);
  std::string create_v = db_.admin().OpenQuery("SHOW CREATE VIEW v")->RawAt(1);
  const std::string q = "`" + db_.name() + "`";

  std::string script = Dump(conn_);

  EXPECT_EQ(script.rfind("-- ", 0), 0u) << "header comments first";
  std::vector<std::string> expected = {
      "/*!40101 SET @OLD_CHARACTER_SET_CLIENT=@@CHARACTER_SET_CLIENT */",
      "/*!40101 SET @OLD_CHARACTER_SET_RESULTS=@@CHARACTER_SET_RESULTS */",
      "/*!40101 SET @OLD_COLLATION_CONNECTION=@@COLLATION_CONNECTION */",
      "/*!40101 SET NAMES gbk */",
      "/*!40014 SET @OLD_FOREIGN_KEY_CHECKS=@@FOREIGN_KEY_CHECKS, FOREIGN_KEY_CHECKS=0 */",
      "/*!40103 SET @OLD_TIME_ZONE=@@TIME_ZONE */",
      "/*!40103 SET TIME_ZONE='+00:00' */",
      "/*!40101 SET @OLD_SQL_MODE=@@SQL_MODE, SQL_MODE='NO_AUTO_VALUE_ON_ZERO' */",
      "USE mysql",
      "DROP DATABASE IF EXISTS " + q,
      "CREATE DATABASE " + q,
      "USE " + q,
      "DROP TABLE IF EXISTS `empty`",
      CrLf(create_empty),
      "DROP TABLE IF EXISTS `t`",
      CrLf(create_t),
      "LOCK TABLES `t` WRITE",
      "INSERT INTO `t` VALUES (1,'a'),(2,NULL)",
      "UNLOCK TABLES",
      "DROP VIEW IF EXISTS `v`",
      CrLf(create_v),
      "/*!40101 SET SQL_MODE=@OLD_SQL_MODE */",
      "/*!40103 SET TIME_ZONE=@OLD_TIME_ZONE */",
      "/*!40014 SET FOREIGN_KEY_CHECKS=@OLD_FOREIGN_KEY_CHECKS */",
      "/*!40101 SET CHARACTER_SET_CLIENT=@OLD_CHARACTER_SET_CLIENT */",
      "/*!40101 SET CHARACTER_SET_RESULTS=@OLD_CHARACTER_SET_RESULTS */",
      "/*!40101 SET COLLATION_CONNECTION=@OLD_COLLATION_CONNECTION */",
  };
  EXPECT_EQ(Statements(script), expected) << script;
  for (size_t i = 0; i < script.size(); ++i) {
    if (script[i] == '\n') {
      ASSERT_TRUE(i > 0 && script[i - 1] == '\r') << "bare LF at byte " << i;
    }
  }
  EXPECT_EQ(script.substr(script.size() - 2), "\r\n");
  EXPECT_NE(script.find("\r\n/*!40101 SET NAMES gbk */;\r\n"), std::string::npos)
      << "each setting is a line of its own";
}

TEST_F(DumpWriterTest, ProgressNamesEveryTableThenEveryViewWithItsNumber) {
  db_.Exec("CREATE TABLE b (id INT)");
  db_.Exec("CREATE TABLE a (id INT)");
  db_.Exec("CREATE VIEW v2 AS SELECT id FROM a");
  db_.Exec("CREATE VIEW v1 AS SELECT id FROM v2");
  std::vector<std::string> seen;
  Dump(conn_, [&](const std::string& name, int number, int count) {
    seen.push_back(name + " " + std::to_string(number) + "/" + std::to_string(count));
  });
  EXPECT_EQ(seen, (std::vector<std::string>{"a 0/4", "b 1/4", "v2 2/4", "v1 3/4"}))
      << "a view comes after the view it selects from";
}

TEST_F(DumpWriterTest, InsertsStayBelowTheStatementLimitAndKeepEveryRow) {
  db_.Exec("CREATE TABLE t (id INT PRIMARY KEY, txt VARCHAR(100))");
  db_.Exec("INSERT INTO t SELECT seq, REPEAT('x', seq % 97) FROM seq_1_to_3000");
  db::DumpOptions options;
  options.max_statement_bytes = 4096;
  std::string script = Dump(conn_, {}, options);
  size_t inserts = 0;
  for (const auto& s : Statements(script)) {
    if (s.rfind("INSERT INTO", 0) != 0) continue;
    ++inserts;
    EXPECT_LE(s.size() + 1, 4096u);
  }
  EXPECT_GT(inserts, 10u);
  db_.Exec("DELETE FROM t");
  TempDir dir;
  dir.Write("s.sql", script);
  db::RunScriptFile(conn_, dir.File("s.sql"));
  db_.Exec("USE `" + db_.name() + "`");
  EXPECT_EQ(db_.Count("SELECT COUNT(*) FROM t"), 3000);
  EXPECT_EQ(db_.Count("SELECT SUM(LENGTH(txt)) FROM t"),
            db_.Count("SELECT SUM(seq % 97) FROM seq_1_to_3000"));
}

TEST_F(DumpWriterTest, TheDumpIsOnePointInTimeWhileAnotherSessionWrites) {
  db_.Exec("CREATE TABLE a (id INT) ENGINE=InnoDB");
  db_.Exec("CREATE TABLE b (id INT) ENGINE=InnoDB");
  db_.Exec("INSERT INTO a VALUES (1)");
  db_.Exec("INSERT INTO b VALUES (1)");
  std::string script = Dump(conn_, [&](const std::string& name, int, int) {
    if (name == "a") db_.Exec("INSERT INTO b VALUES (2)");
  });
  EXPECT_NE(script.find("INSERT INTO `b` VALUES (1);"), std::string::npos) << script;
  EXPECT_FALSE(conn_.InTransaction()) << "the dump's own snapshot is ended";
  EXPECT_EQ(Dump(conn_).find("INSERT INTO `b` VALUES (1);"), std::string::npos)
      << "a later dump sees the new row";
}

TEST_F(DumpWriterTest, InsideACallersTransactionTheDumpReadsItAndLeavesItOpen) {
  db_.Exec("CREATE TABLE a (id INT) ENGINE=InnoDB");
  conn_.StartTransaction();
  conn_.Execute("INSERT INTO a VALUES (7)");
  std::string script = Dump(conn_);
  EXPECT_NE(script.find("INSERT INTO `a` VALUES (7);"), std::string::npos);
  EXPECT_TRUE(conn_.InTransaction());
  conn_.Rollback();
  EXPECT_EQ(db_.Count("SELECT COUNT(*) FROM a"), 0);
}

TEST_F(DumpWriterTest, TheSessionSettingsAreGivenBack) {
  db_.Exec("CREATE TABLE a (id INT)");
  conn_.Execute("SET SESSION time_zone='+05:00', sql_mode='ANSI_QUOTES,NO_ZERO_DATE'");
  std::string script = Dump(conn_);
  EXPECT_NE(script.find("CREATE TABLE `a`"), std::string::npos) << "names in backquotes";
  auto q = conn_.OpenQuery("SELECT @@SESSION.time_zone, @@SESSION.sql_mode");
  EXPECT_EQ(q->RawAt(0), "+05:00");
  EXPECT_EQ(q->RawAt(1), "ANSI_QUOTES,NO_ZERO_DATE");
}

TEST_F(DumpWriterTest, AConnectionWithoutDatabaseIsRefused) {
  db::ConnectionSettings s = testing::ServerSettings();
  Connection c(s);
  c.Open();
  try {
    Dump(c);
    FAIL() << "dumped without a database";
  } catch (const DbError& e) {
    EXPECT_EQ(e.message(), "No database selected");
  }
}

TEST_F(DumpWriterTest, AKilledConnectionFailsTheDump) {
  db_.Exec("CREATE TABLE a (id INT)");
  db_.Exec("CREATE TABLE b (id INT)");
  db_.Exec("INSERT INTO b VALUES (1)");
  try {
    Dump(conn_, [&](const std::string& name, int, int) {
      if (name == "b") db_.Exec("KILL CONNECTION " + std::to_string(conn_.ServerThreadId()));
    });
    FAIL() << "the dump went on over a killed connection";
  } catch (const DbError& e) {
    EXPECT_TRUE(e.lost_link()) << e.message();
  }
}

// ---------------------------------------------------------------------------------------------
// Restores give back identical tables.

enum class Restorer { kMariadbClient, kRunScriptPlain, kRunScriptCompressed };

std::string RestorerName(const ::testing::TestParamInfo<Restorer>& info) {
  switch (info.param) {
    case Restorer::kMariadbClient:
      return "MariadbClient";
    case Restorer::kRunScriptPlain:
      return "RunScriptPlain";
    case Restorer::kRunScriptCompressed:
      return "RunScriptCompressed";
  }
  return "?";
}

class RestoreTest : public ::testing::TestWithParam<Restorer> {
 protected:
  void SetUp() override {
    db_.Exec("SET SESSION sql_mode='NO_AUTO_VALUE_ON_ZERO', time_zone='+08:00'");
    CreateFixture();
    conn_.SetSettings(db_.settings());
    conn_.Open();
  }

  void CreateFixture() {
    // Every column kind of the membership tables, with values that are hard to get back.
    const std::string hostile[] = {
        "\xD5\x5C",   // a GBK character with a 0x5C trail byte
        "\xB1\x7C",   // ... and one with 0x7C
        "\xD5\x5C'",  // the first right before a quote
        "it's \"quoted\" back\\slash",
        std::string("nul\0cr\rlf\nsub\x1A", 14),
        "'; DROP TABLE t; --",
        "-- no comment; /* nor this */ # nor this",
        gbk("会员张三，积分：100"),
        "12:30:00 :p0 :Name",
    };
    for (size_t i = 0; i < std::size(hostile); ++i) {
      db_.admin().Execute(
          "INSERT INTO CardType (name, level, price, deposit, validity, regulation, image, "
          "description, state) VALUES (:p0, :p1, :p2, :p3, :p4, :p5, :p6, :p7, :p8)",
          {hostile[i], static_cast<int>(i), 0.1 * static_cast<double>(i), 1.7976931348623157e308,
           -static_cast<int>(i), gbk("<Regulation 名称=\"") + hostile[i] + "\">\r\n</Regulation>",
           Value::Blob(std::string("\x00\x27\x5C\x22\r\n\xFF", 7) + hostile[i]), hostile[i],
           static_cast<int>(i % 2)});
    }
    db_.Exec("INSERT INTO CardType (id, name) VALUES (0, 'zero id')");
    db_.Exec("INSERT INTO CardType (name, image, regulation) VALUES (NULL, '', NULL)");
    db_.admin().Execute(
        "INSERT INTO MemberCard (serial, money, rechargeMoney, present, activeDate, "
        "lastExpenseDate, description) VALUES (:p0, :p1, :p2, :p3, :p4, NULL, :p5)",
        {"\xD5\x5C", 0.1, 5e-324, -2.2250738585072014e-308, Value::Date(45366.5), "\xB1\x7C"});
    db_.Exec(
        "INSERT INTO MemberCard (serial, money, activeDate, validity) VALUES "
        "('0', 1e300, '0000-00-00 00:00:00', '2024-02-29 23:59:59')");
    db_.admin().Execute(
        "INSERT INTO MemberExInfo (id, birthday, isMarriage, image, address) VALUES "
        "(1, '0000-00-00', 1, :p0, :p1), (2, '1999-12-31', 0, NULL, NULL)",
        {Value::Blob(std::string(70000, '\x5C') + std::string("\x00\x27", 2)),
         gbk("北京市\\朝阳区'")});
    db_.Exec(
        "CREATE TABLE Odd (id BIGINT UNSIGNED NOT NULL PRIMARY KEY, "
        "dec1 DECIMAL(20,6), dbl DOUBLE, flt FLOAT, ts TIMESTAMP NULL DEFAULT NULL, "
        "tm TIME(1), bits BIT(5), wide BIT(64), yr YEAR, ch CHAR(4), vb VARBINARY(16), "
        "en ENUM('a','b\\'c'), st SET('x','y'), tiny TINYINT(1), zd DATE NOT NULL, "
        "zdt DATETIME NOT NULL, txt TEXT) ENGINE=InnoDB DEFAULT CHARSET=gbk");
    db_.Exec(
        "INSERT INTO Odd VALUES "
        "(18446744073709551615, -12345678901234.123456, 0.1, 16777217, '2024-03-15 09:05:00', "
        "'-838:59:59', b'10101', "
        "b'1111111111111111111111111111111111111111111111111111111111111111',"
        " 2155, 'ab', x'00275C', 'b\\'c', 'x,y', 1, '0000-00-00', '0000-00-00 00:00:00', ''),"
        "(1, 0.000001, -0.0, 1.17549435e-38, NULL, '12:30:00.5', b'0', b'0', 0, '', '', 'a', '',"
        " 0, '2024-02-29', '1000-01-01 00:00:00', NULL),"
        "(2, NULL, 0.3333333333333333, 3.40282e38, '1970-01-01 08:00:01', NULL, NULL, NULL, NULL,"
        " NULL, NULL, NULL, NULL, NULL, '9999-12-31', '9999-12-31 23:59:59', 'x')");
    db_.admin().Execute(
        "INSERT INTO Odd (id, dbl, zd, zdt, txt) VALUES (3, :p0, '2000-01-01', "
        "'2000-01-01', :p1)",
        {1.7976931348623157e308, std::string(300000, '\x5C')});
    db_.Exec("CREATE TABLE `" + gbk("会员") + "\x81\x60` (`" + gbk("名") +
             "\x81\x60` VARCHAR(10)) DEFAULT CHARSET=gbk");
    db_.Exec("INSERT INTO `" + gbk("会员") + "\x81\x60` VALUES ('\x81\x60')");
    db_.Exec("CREATE VIEW CardNames AS SELECT id, name, price FROM CardType WHERE id > 0");
  }

  // Restores `script` with the restorer under test; the script recreates the database.
  void Restore(const std::string& script) {
    TempDir dir;
    switch (GetParam()) {
      case Restorer::kMariadbClient: {
        dir.Write("dump.sql", script);
        CommandResult r = RunCommand(ClientCommand() + " < " + ShellQuote(dir.File("dump.sql")));
        ASSERT_EQ(r.status, 0) << r.err;
        break;
      }
      case Restorer::kRunScriptPlain:
        dir.Write("dump.sql", script);
        db::RunScriptFile(conn_, dir.File("dump.sql"));
        break;
      case Restorer::kRunScriptCompressed: {
        uLongf size = compressBound(script.size());
        std::string packed(size, '\0');
        ASSERT_EQ(compress2(reinterpret_cast<Bytef*>(packed.data()), &size,
                            reinterpret_cast<const Bytef*>(script.data()), script.size(), 9),
                  Z_OK);
        packed.resize(size);
        dir.Write("dump.bak", packed);
        db::RunScriptFile(conn_, dir.File("dump.bak"));
        break;
      }
    }
  }

  TestDatabase db_{true};
  Connection conn_;
};

TEST_P(RestoreTest, ARestoredDatabaseHasTheSameTablesAndViews) {
  auto before = Checksums(db_.admin());
  std::string view_before = db_.Scalar("SELECT GROUP_CONCAT(id, HEX(name), price) FROM CardNames");
  ASSERT_GE(before.size(), 17u);

  std::string script = Dump(conn_);
  db_.Exec("DROP DATABASE `" + db_.name() + "`");
  ASSERT_NO_FATAL_FAILURE(Restore(script));
  db_.Exec("USE `" + db_.name() + "`");

  EXPECT_EQ(Checksums(db_.admin()), before);
  EXPECT_EQ(db_.Scalar("SELECT GROUP_CONCAT(id, HEX(name), price) FROM CardNames"), view_before);
  EXPECT_EQ(db_.Scalar("SELECT HEX(name) FROM CardType WHERE id = 0"), "7A65726F206964")
      << "an id of 0 stays 0";
  EXPECT_EQ(db_.Scalar("SELECT ts FROM Odd WHERE id = 2"), "1970-01-01 08:00:01")
      << "TIMESTAMP values keep their instant";
  EXPECT_EQ(Dump(conn_), script) << "a dump of the restored database is the same script";
}

INSTANTIATE_TEST_SUITE_P(Restorers, RestoreTest,
                         ::testing::Values(Restorer::kMariadbClient, Restorer::kRunScriptPlain,
                                           Restorer::kRunScriptCompressed),
                         RestorerName);

}  // namespace
}  // namespace ab
