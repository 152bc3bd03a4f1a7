#pragma once
// The database-access layer over MariaDB Connector/C. Only this folder includes its headers.
//
// A Connection belongs to one thread at a time. Statements take positional parameters (":p0",
// ":Name", … found outside quoted text and comments; the i-th marker takes the i-th value) that
// are rendered as SQL literals with the client library's escaping for the connection's character
// set, which the library itself knows (it is set before connecting, never by a plain SET NAMES),
// and BLOB values as hexadecimal literals: parameters are never pasted into SQL unescaped.
//
// Affected rows count the rows a statement matched (CLIENT_FOUND_ROWS), so storing an unchanged
// row still reports 1.
//
// A connection that was closed, or whose link broke, is reopened with its settings (character set
// included) when it is next used. A lost link (server gone, lost during a query, server shutting
// down) is reported to the lost-connection handler when the connection carries one; when the
// handler asks for reconnect-and-execute-again and the link is back, the interrupted statement
// runs once more — but only when it was a statement on its own: never inside a transaction (the
// server has rolled it back already) and never a streamed result that had delivered rows. Then,
// and without a handler, the error reaches the caller as a DbError of kind kLostLink, and a
// transaction that was open is reported to the transaction-lost hook as rolled back.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/datetime.h"
#include "platform/db/value.h"
#include "platform/error.h"

struct st_mysql;
struct st_mysql_res;

namespace ab::db {

enum class ErrorKind { kOther, kLostLink, kDuplicateKey, kDeadlock, kNoConnection };

class DbError : public Exception {
 public:
  DbError(const std::string& message, unsigned code, ErrorKind kind)
      : Exception(message), code_(code), kind_(kind) {}
  unsigned code() const noexcept { return code_; }
  ErrorKind kind() const noexcept { return kind_; }
  bool lost_link() const noexcept { return kind_ == ErrorKind::kLostLink; }

 private:
  unsigned code_;
  ErrorKind kind_;
};

// The one place that maps client and server error numbers to kinds.
ErrorKind ClassifyError(unsigned code);

struct ConnectionSettings {
  std::string server = "localhost";
  unsigned port = 3306;
  std::string user = "root";
  std::string password;
  std::string database;          // empty: no default database
  std::string charset = "gbk";   // the client character set, known to the library
  std::string unix_socket;       // when set, used instead of TCP
  unsigned connect_timeout = 10;  // seconds
  bool multi_statements = false;
};

enum class RetryMode { kFail, kReconnectAndExecuteAgain };

class Connection;
using LostConnectionHandler = std::function<void(Connection&, RetryMode&)>;

// A result held in memory: the rows of a SELECT (or SHOW …), read forward.
//
// Fields are looked up by column name without regard to letter case; the first column of that
// name wins. NULL reads as 0, "", the zero date or an empty blob; IsNull tells them apart. A DATE
// or DATETIME column read as text gives the short date, followed by the long time when it has a
// time of day, in the system's formats, so that reading it back as a date-time works.
class Query {
 public:
  ~Query();
  Query(const Query&) = delete;
  Query& operator=(const Query&) = delete;

  bool Eof() const { return row_ >= rows_; }
  void Next();
  size_t RowCount() const { return rows_; }

  int FieldCount() const;
  std::string FieldName(int index) const;
  bool HasField(std::string_view name) const;
  // Throws DbError "Field 'name' not found".
  int FieldIndex(std::string_view name) const;

  bool IsNull(std::string_view name) const;
  int32_t AsInteger(std::string_view name) const;
  int64_t AsInt64(std::string_view name) const;
  double AsFloat(std::string_view name) const;
  std::string AsString(std::string_view name) const;
  DateTime AsDateTime(std::string_view name) const;
  bool AsBoolean(std::string_view name) const;
  // The column's bytes; nullopt for NULL.
  std::optional<std::string> AsBlob(std::string_view name) const;

  // The same by column index.
  bool IsNullAt(int index) const;
  std::string RawAt(int index) const;  // the server's text form; "" for NULL
  std::string AsStringAt(int index) const;

 private:
  friend class Connection;
  explicit Query(st_mysql_res* result);

  st_mysql_res* result_;
  size_t rows_ = 0;
  size_t row_ = 0;
  char** current_ = nullptr;
  unsigned long* lengths_ = nullptr;
  std::vector<std::string> names_;
  std::vector<int> types_;
  std::vector<unsigned> flags_;
  void Load();
  const char* Cell(int index, size_t* length) const;
};

// A result streamed from the server row by row (for dumps): memory stays flat whatever the size
// of the table. While it is open the connection runs no other statement.
class StreamQuery {
 public:
  ~StreamQuery();
  StreamQuery(const StreamQuery&) = delete;
  StreamQuery& operator=(const StreamQuery&) = delete;

  // Advances to the next row; false at the end. Throws DbError when the link breaks midway.
  bool Fetch();
  int FieldCount() const { return static_cast<int>(types_.size()); }
  // Column types as the client library numbers them (enum_field_types) and their flags.
  int FieldType(int index) const { return types_[static_cast<size_t>(index)]; }
  unsigned FieldFlags(int index) const { return flags_[static_cast<size_t>(index)]; }
  unsigned FieldCharset(int index) const { return charsets_[static_cast<size_t>(index)]; }
  std::string FieldName(int index) const { return names_[static_cast<size_t>(index)]; }
  bool IsNull(int index) const;
  std::string_view Raw(int index) const;

 private:
  friend class Connection;
  StreamQuery(Connection& connection, st_mysql_res* result);

  Connection& connection_;
  st_mysql_res* result_;
  char** row_ = nullptr;
  unsigned long* lengths_ = nullptr;
  std::vector<int> types_;
  std::vector<unsigned> flags_;
  std::vector<unsigned> charsets_;
  std::vector<std::string> names_;
};

class Connection {
 public:
  Connection();
  explicit Connection(ConnectionSettings settings);
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  void SetSettings(ConnectionSettings settings);
  const ConnectionSettings& settings() const { return settings_; }

  // Opens with the current settings (closing first); throws DbError.
  void Open();
  void Close();
  bool IsOpen() const { return mysql_ != nullptr; }

  void SetLostConnectionHandler(LostConnectionHandler handler) { handler_ = std::move(handler); }
  const LostConnectionHandler& lost_connection_handler() const { return handler_; }

  bool InTransaction() const;
  void StartTransaction();
  void Commit();
  void Rollback();

  // Runs a statement; returns the affected (matched) rows. A result set it produces is dropped.
  uint64_t Execute(std::string_view sql, const Params& params = {});
  // Runs a query and holds its whole result in memory.
  std::unique_ptr<Query> OpenQuery(std::string_view sql, const Params& params = {});
  // Runs a query whose rows are streamed; see StreamQuery.
  std::unique_ptr<StreamQuery> OpenStream(std::string_view sql);
  // Runs one statement as it is (no parameters), for scripts: results are drained.
  void ExecuteRaw(std::string_view sql);

  uint64_t LastInsertId() const { return last_insert_id_; }
  uint64_t AffectedRows() const { return affected_rows_; }
  // The character set the library uses for this connection ("gbk").
  std::string CharacterSet() const;
  unsigned long ServerThreadId();

  // SQL literal of a value for this connection: 'escaped text', X'hex', numbers, NULL.
  std::string Literal(const Value& value);
  std::string Escape(std::string_view text);
  std::string RenderSql(std::string_view sql, const Params& params);

  // Called when a lost link ended an open transaction, before the error reaches the caller.
  static void SetTransactionLostHook(std::function<void(Connection&)> hook);

 private:
  friend class StreamQuery;
  void EnsureOpen();
  [[noreturn]] void Fail(const std::string& context = {});
  // Runs `body` (which talks to the server) with the lost-link policy described above.
  template <typename F>
  auto WithLostLinkPolicy(F body, bool may_repeat) -> decltype(body());
  void RunSql(const std::string& sql);
  // Runs `sql` and drains its results, keeping the affected rows and the last insert id.
  void RunStatement(const std::string& sql);
  void MarkBroken();

  ConnectionSettings settings_;
  st_mysql* mysql_ = nullptr;
  LostConnectionHandler handler_;
  bool in_handler_ = false;
  bool streaming_ = false;
  uint64_t last_insert_id_ = 0;
  uint64_t affected_rows_ = 0;
};

}  // namespace ab::db
