// The script runner: the statement splitter on tricky scripts fed in pieces of every size, and
// RunScriptFile against the real server with plain, compressed, damaged and setup scripts.

#include "platform/db/script_runner.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/text.h"
#include "support/temp_dir.h"
#include "support/test_database.h"

namespace ab {
namespace {

using db::Connection;
using db::ScriptError;
using db::StatementSplitter;
using testing::TempDir;
using testing::TestDatabase;

// The statements of `script` fed in pieces of `piece` bytes (0: all at once).
std::vector<std::string> Split(const std::string& script, size_t piece, bool gbk = true) {
  StatementSplitter splitter(gbk);
  std::vector<std::string> out;
  size_t step = piece == 0 ? script.size() : piece;
  for (size_t i = 0; i < script.size(); i += step) {
    splitter.Feed(std::string_view(script).substr(i, step));
    while (auto s = splitter.Next()) out.push_back(s->text);
  }
  splitter.Finish();
  while (auto s = splitter.Next()) out.push_back(s->text);
  return out;
}

std::string Compress(const std::string& text) {
  uLongf size = compressBound(text.size());
  std::string packed(size, '\0');
  compress2(reinterpret_cast<Bytef*>(packed.data()), &size,
            reinterpret_cast<const Bytef*>(text.data()), text.size(), 9);
  packed.resize(size);
  return packed;
}

using List = std::vector<std::string>;

TEST(StatementSplitterTest, TrickyScriptsSplitWhereTheServerWould) {
  struct Case {
    std::string script;
    List statements;
  } cases[] = {
      {"SELECT 1;SELECT 2;", {"SELECT 1", "SELECT 2"}},
      {"SELECT ';' ;", {"SELECT ';'"}},
      {"SELECT \"a;\\\"b\";", {"SELECT \"a;\\\"b\""}},
      {"SELECT `a;``b`;", {"SELECT `a;``b`"}},
      {"SELECT 'it''s;';", {"SELECT 'it''s;'"}},
      {"SELECT 'a\\';b';", {"SELECT 'a\\';b'"}},
      {"SELECT '\\\\';SELECT 2;", {"SELECT '\\\\'", "SELECT 2"}},
      {"-- comment; here\r\nSELECT 1;\r\n", {"SELECT 1"}},
      {"# hash; comment\nSELECT 1; # trailing; too\n", {"SELECT 1"}},
      {"SELECT 5--3;", {"SELECT 5--3"}},
      {"SELECT 1 -- x;\n;", {"SELECT 1 -- x;"}},
      {"SELECT 1 --\tx;\n;", {"SELECT 1 --\tx;"}},
      {"/* block; comment */ SELECT 1;", {"SELECT 1"}},
      {"SELECT /* in; side */ 1;", {"SELECT /* in; side */ 1"}},
      {"/*!40101 SET NAMES gbk */;\r\n", {"/*!40101 SET NAMES gbk */"}},
      {"/*M!100100 SET @x=1 */;", {"/*M!100100 SET @x=1 */"}},
      {"/*!40101 SET @a='x;y' */;SELECT 2;", {"/*!40101 SET @a='x;y' */", "SELECT 2"}},
      {";;  ;\r\n", {}},
      {"SELECT 1", {"SELECT 1"}},
      {"-- only a comment", {}},
      {"/* unterminated", {}},
      {"SELECT 'open;", {"SELECT 'open;"}},
      {"SELECT '--';SELECT '#';", {"SELECT '--'", "SELECT '#'"}},
      {"SELECT\r\n  1\r\n;", {"SELECT\r\n  1"}},
      {"DELIMITER $$\nCREATE PROCEDURE p() BEGIN SELECT 1; SELECT 2; END$$\nDELIMITER ;\n"
       "SELECT 3;",
       {"CREATE PROCEDURE p() BEGIN SELECT 1; SELECT 2; END", "SELECT 3"}},
      {"delimiter //\r\nSELECT 1//\r\ndelimiter ;\r\nSELECT 2;", {"SELECT 1", "SELECT 2"}},
      {"SELECT delimiter FROM t;", {"SELECT delimiter FROM t"}},
      {"INSERT INTO t VALUES ('\xD5\x5C'),('\xB1\x7C');SELECT 2;",
       {"INSERT INTO t VALUES ('\xD5\x5C'),('\xB1\x7C')", "SELECT 2"}},
      {"SELECT `\x81\x60`;SELECT 2;", {"SELECT `\x81\x60`", "SELECT 2"}},
      {"SELECT '\xD5\x5C\\'';SELECT 2;", {"SELECT '\xD5\x5C\\''", "SELECT 2"}},
  };
  for (const auto& c : cases) {
    for (size_t piece : {0, 1, 2, 3, 7}) {
      EXPECT_EQ(Split(c.script, piece), c.statements)
          << "script " << ::testing::PrintToString(c.script) << " in pieces of " << piece;
    }
  }
}

TEST(StatementSplitterTest, OutsideGbkATrailByte0x5CIsABackslash) {
  const std::string script = "SELECT '\xD5\x5C';SELECT 2;";
  EXPECT_EQ(Split(script, 0, true).size(), 2u);
  EXPECT_EQ(Split(script, 0, false), List{"SELECT '\xD5\x5C';SELECT 2;"});
}

TEST(StatementSplitterTest, StatementsAreNumberedWithTheLineTheyStartOn) {
  StatementSplitter splitter(true);
  splitter.Feed("-- header\r\n\r\nSELECT 'a\nb';\r\n/* c\n */ SELECT\n 2;SELECT 3;");
  splitter.Finish();
  std::vector<std::string> seen;
  while (auto s = splitter.Next()) {
    seen.push_back(std::to_string(s->number) + "@" + std::to_string(s->line));
  }
  EXPECT_EQ(seen, (List{"1@3", "2@6", "3@7"}));
}

TEST(SetNamesCharsetTest, ReadsTheCharacterSetOfSetNames) {
  EXPECT_EQ(db::SetNamesCharset("/*!40101 SET NAMES gbk */"), "gbk");
  EXPECT_EQ(db::SetNamesCharset("set names 'UTF8MB4' collate utf8mb4_bin"), "utf8mb4");
  EXPECT_EQ(db::SetNamesCharset("SET NAMESX gbk"), std::nullopt);
  EXPECT_EQ(db::SetNamesCharset("SET @x = 'names'"), std::nullopt);
  EXPECT_EQ(db::SetNamesCharset("SELECT 1"), std::nullopt);
}

class ScriptRunnerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    conn_.SetSettings(db_.settings());
    conn_.Open();
  }
  // The statement number, line and message of the ScriptError a script raises ("" if none).
  std::string Failure(const std::string& file) {
    try {
      db::RunScriptFile(conn_, dir_.File(file));
    } catch (const ScriptError& e) {
      return std::to_string(e.statement_number()) + "@" + std::to_string(e.line()) + ": " +
             e.message();
    }
    return "";
  }

  TestDatabase db_{false};
  Connection conn_;
  TempDir dir_;
};

TEST_F(ScriptRunnerTest, PlainAndCompressedScriptsRunWithGrowingPercentProgress) {
  std::string script = "CREATE TABLE t (id INT, txt VARCHAR(50)) DEFAULT CHARSET=gbk;\r\n";
  for (int i = 0; i < 2000; ++i) {
    script += "INSERT INTO t VALUES (" + std::to_string(i) + ", '12:30 :p" + std::to_string(i) +
              " \xD5\x5C');\r\n";
  }
  dir_.Write("plain.sql", script);
  dir_.Write("packed.bak", Compress(script));
  for (const char* file : {"plain.sql", "packed.bak"}) {
    db_.Exec("DROP TABLE IF EXISTS t");
    std::vector<int> seen;
    uint64_t ran = db::RunScriptFile(conn_, dir_.File(file), {}, [&](int p) { seen.push_back(p); });
    EXPECT_EQ(ran, 2001u) << file;
    EXPECT_EQ(db_.Count("SELECT COUNT(*) FROM t WHERE txt LIKE '%\xD5\x5C'"), 2000) << file;
    ASSERT_GE(seen.size(), 3u) << file;
    EXPECT_EQ(seen.front(), 0);
    EXPECT_EQ(seen.back(), 100);
    for (size_t i = 1; i < seen.size(); ++i) EXPECT_LT(seen[i - 1], seen[i]) << file;
  }
}

TEST_F(ScriptRunnerTest, TheFirstFailingStatementStopsTheRunWithItsNumberAndTheServerMessage) {
  dir_.Write("s.sql",
             "CREATE TABLE a (id INT);\r\n"
             "INSERT INTO a VALUES (1);\r\n"
             "-- the next one fails\r\n"
             "INSERT INTO missing VALUES (1);\r\n"
             "INSERT INTO a VALUES (2);\r\n");
  EXPECT_EQ(Failure("s.sql"), "3@4: Table '" + db_.name() + ".missing' doesn't exist");
  EXPECT_EQ(db_.Count("SELECT COUNT(*) FROM a"), 1) << "nothing after the failure ran";

  dir_.Write("syntax.sql", "SELECT 1;\nSELEC 2;\n");
  EXPECT_NE(Failure("syntax.sql").find("2@2: You have an error in your SQL syntax"),
            std::string::npos);
}

TEST_F(ScriptRunnerTest, AVersionedCommentForANewerServerIsNoFailure) {
  dir_.Write("s.sql", "/*!99999 SET @x = 1 */;\nCREATE TABLE a (id INT);\n");
  EXPECT_EQ(db::RunScriptFile(conn_, dir_.File("s.sql")), 2u);
  EXPECT_EQ(db_.Count("SELECT COUNT(*) FROM information_schema.tables WHERE table_name = 'a' "
                      "AND table_schema = DATABASE()"),
            1);
}

TEST_F(ScriptRunnerTest, ADamagedCompressedScriptFailsWithTheStatementsBeforeItRun) {
  std::string script = "CREATE TABLE a (id INT);\n";
  for (int i = 0; i < 20000; ++i) script += "INSERT INTO a VALUES (" + std::to_string(i) + ");\n";
  std::string packed = Compress(script);
  dir_.Write("truncated.bak", packed.substr(0, packed.size() - 10));
  std::string bad_check = packed;
  bad_check.back() ^= 1;
  dir_.Write("badcheck.bak", bad_check);
  dir_.Write("trailing.bak", packed + "x");

  struct Case {
    const char* file;
    const char* message;
  } cases[] = {{"truncated.bak", "truncated"},
               {"badcheck.bak", "incorrect data check"},
               {"trailing.bak", "bytes after the end"}};
  for (const auto& c : cases) {
    db_.Exec("DROP TABLE IF EXISTS a");
    try {
      db::RunScriptFile(conn_, dir_.File(c.file));
      ADD_FAILURE() << c.file << " ran without error";
    } catch (const IoError& e) {
      EXPECT_NE(e.message().find(c.message), std::string::npos) << c.file << ": " << e.message();
    }
    EXPECT_GT(db_.Count("SELECT COUNT(*) FROM a"), 10000) << c.file;
  }
}

TEST_F(ScriptRunnerTest, ASetupScriptIsReadAsGbkOrUtf8WithBomAndSentAsUtf8) {
  const std::string name_gbk = gbk("会员表名") + "\xD5\x5C";  // the last one reads 誠
  const std::string script_utf8 = "-- " + std::string("创建会员表") +
                                  "\n"
                                  "CREATE TABLE s (name VARCHAR(20)) DEFAULT CHARSET=gbk;\n"
                                  "INSERT INTO s VALUES ('会员表名誠');\n";
  dir_.Write("gbk.sql", gbk(script_utf8));
  dir_.Write("bom.sql", "\xEF\xBB\xBF" + script_utf8);
  ASSERT_EQ(utf8(gbk(script_utf8)), script_utf8);

  db::ConnectionSettings s = db_.settings();
  s.charset = "utf8";
  Connection setup(s);
  setup.Open();
  db::ScriptOptions options;
  options.encoding = db::ScriptEncoding::kSetupScript;
  for (const char* file : {"gbk.sql", "bom.sql"}) {
    db_.Exec("DROP TABLE IF EXISTS s");
    EXPECT_EQ(db::RunScriptFile(setup, dir_.File(file), options), 2u) << file;
    EXPECT_EQ(db_.Scalar("SELECT name FROM s"), name_gbk) << file;
  }
}

TEST_F(ScriptRunnerTest, AFileThatCannotBeOpenedIsAnIoError) {
  EXPECT_THROW(db::RunScriptFile(conn_, dir_.File("missing.sql")), IoError);
}

}  // namespace
}  // namespace ab
