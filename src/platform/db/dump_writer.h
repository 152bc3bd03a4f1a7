#pragma once
// The logical dump of one database as an SQL script that the standard `mariadb` client (and
// RunScript) restores to identical tables.
//
// The script, every line ending in CR LF:
//   header comment lines ("-- …");
//   the five connection lines: the three @OLD_ saves, "/*!40101 SET NAMES <charset> */;" with
//     the connection's character set, the FOREIGN_KEY_CHECKS=0 line;
//   the saves of TIME_ZONE and SQL_MODE with TIME_ZONE='+00:00' and
//     SQL_MODE='NO_AUTO_VALUE_ON_ZERO', so that TIMESTAMP values and zero ids restore as they
//     were;
//   "USE mysql;", "DROP DATABASE IF EXISTS `db`;", "CREATE DATABASE `db`;", "USE `db`;";
//   per table (by name): "DROP TABLE IF EXISTS `t`;", the server's SHOW CREATE TABLE text and
//     ";", and when the table has rows "LOCK TABLES `t` WRITE;", extended INSERTs (one line each,
//     at most DumpOptions::max_statement_bytes unless a single row is longer) and
//     "UNLOCK TABLES;";
//   per view (a view after the views it selects from): "DROP VIEW IF EXISTS `v`;" and the
//     server's SHOW CREATE VIEW text with ";";
//   SQL_MODE and TIME_ZONE given back, then the four restoring lines (FOREIGN_KEY_CHECKS,
//     CHARACTER_SET_CLIENT, CHARACTER_SET_RESULTS, COLLATION_CONNECTION).
//
// Values: NULL as NULL; numbers (integers, DECIMAL, DOUBLE, YEAR) unquoted in the server's own
// text form, which reads back to the same bits; FLOAT columns are read as DOUBLE, whose text does
// too; binary strings, BLOBs and BIT as X'…' hex literals; every other value quoted and escaped
// for the connection's character set. Names are in backquotes.
//
// Consistency: when the connection is not inside a transaction, the dump runs inside
// START TRANSACTION WITH CONSISTENT SNAPSHOT at REPEATABLE READ, ended when the dump ends (also on
// failure), so the script is one point in time as far as InnoDB tables go. Inside a caller's
// transaction it reads that transaction's view and leaves the transaction open. The session's
// time_zone, sql_mode and sql_quote_show_create are changed for the dump and given back.
//
// Rows are streamed from the server and each row goes to the sink as soon as it is formatted:
// memory stays flat whatever the size of the tables.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace ab::db {

class Connection;

// Where a script goes. Append may throw (a full disk, a failing compressor); once it has thrown,
// the sink is not used again except to be destroyed. Finish ends the output (decorators finish
// the sink they write into) and is called at most once.
class ScriptSink {
 public:
  virtual ~ScriptSink() = default;
  virtual void Append(std::string_view bytes) = 0;
  virtual void Finish() {}
};

// Called before each object (table or view) is written: its name, its number (0 to count - 1,
// tables first, then views) and the number of objects. It may throw to abandon the dump.
using DumpProgressFn = std::function<void(const std::string& object, int number, int count)>;

struct DumpOptions {
  // INSERT statements stop taking rows at this size, well below any max_allowed_packet.
  size_t max_statement_bytes = 1000 * 1024;
};

// Writes the script of the connection's current database into `sink` (without finishing it).
// Throws DbError for a server error or a lost link (the connection then is no longer usable for
// the dump), DbError "No database selected" when the connection has no default database, and
// whatever `sink` or `progress` throw. A character set whose multi-byte characters may hold
// ASCII bytes other than GBK (big5, sjis, cp932, gb18030) is refused with a DbError.
void DumpDatabase(Connection& connection, ScriptSink& sink, const DumpProgressFn& progress = {},
                  const DumpOptions& options = {});

// `text` escaped for a quoted SQL literal in `charset`, byte for byte as the client library's
// mysql_real_escape_string escapes it (the dump cannot ask the library while a streamed result
// is open): \0, \n, \r, \\, \', \" and \Z escaped; in GBK a two-byte character is copied whole, so
// a 0x5C trail byte is never mistaken for a backslash. Appends to `out`.
void AppendEscaped(std::string& out, std::string_view text, std::string_view charset);

// `name` in backquotes, a backquote inside it doubled (a GBK trail byte 0x60 is no backquote).
std::string QuoteName(std::string_view name, std::string_view charset = "gbk");

}  // namespace ab::db
