#include "platform/db/connection.h"

#include <errmsg.h>
#include <mysql.h>
#include <mysqld_error.h>
#include <poll.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/db/sql_text.h"
#include "platform/text.h"

namespace ab::db {
namespace {

std::function<void(Connection&)>& TransactionLostHook() {
  static std::function<void(Connection&)> hook;
  return hook;
}

bool IsDateType(int type) {
  return type == MYSQL_TYPE_DATE || type == MYSQL_TYPE_DATETIME || type == MYSQL_TYPE_TIMESTAMP ||
         type == MYSQL_TYPE_NEWDATE;
}

bool IsIntegerType(int type) {
  return type == MYSQL_TYPE_TINY || type == MYSQL_TYPE_SHORT || type == MYSQL_TYPE_LONG ||
         type == MYSQL_TYPE_INT24 || type == MYSQL_TYPE_LONGLONG || type == MYSQL_TYPE_YEAR ||
         type == MYSQL_TYPE_BIT;
}

bool IsRealType(int type) {
  return type == MYSQL_TYPE_FLOAT || type == MYSQL_TYPE_DOUBLE || type == MYSQL_TYPE_DECIMAL ||
         type == MYSQL_TYPE_NEWDECIMAL;
}

// "YYYY-MM-DD", "YYYY-MM-DD HH:MM:SS[.ffffff]" or "HH:MM:SS" as the server writes them; the zero
// date reads as 0.
std::optional<DateTime> ParseServerDateTime(std::string_view s) {
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, sec = 0;
  double frac = 0;
  if (s.size() >= 8 && s[2] == ':') {
    if (std::sscanf(std::string(s).c_str(), "%d:%d:%d", &h, &mi, &sec) != 3) return std::nullopt;
    return (h * 3600 + mi * 60 + sec) / 86400.0;
  }
  std::string text(s);
  int n = std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d", &y, &mo, &d, &h, &mi, &sec);
  if (n != 3 && n != 6) return std::nullopt;
  if (y == 0 && mo == 0 && d == 0) return 0.0;
  if (size_t dot = text.find('.'); dot != std::string::npos) frac = std::atof(text.c_str() + dot);
  if (!IsValidDate(y, mo, d)) return std::nullopt;
  DateParts p{y, mo, d, h, mi, sec, static_cast<int>(std::lround(frac * 1000)) % 1000};
  try {
    return EncodeDateTime(p);
  } catch (const Exception&) {
    return std::nullopt;
  }
}

std::string DateLiteral(DateTime value) {
  DateParts p = DecodeDateTime(value);
  char buf[64];
  if (p.millisecond != 0) {
    std::snprintf(buf, sizeof buf, "'%04d-%02d-%02d %02d:%02d:%02d.%03d'", p.year, p.month, p.day,
                  p.hour, p.minute, p.second, p.millisecond);
  } else {
    std::snprintf(buf, sizeof buf, "'%04d-%02d-%02d %02d:%02d:%02d'", p.year, p.month, p.day,
                  p.hour, p.minute, p.second);
  }
  return buf;
}

std::string HexLiteral(const std::string& bytes) {
  if (bytes.empty()) return "''";
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out = "X'";
  out.reserve(bytes.size() * 2 + 3);
  for (unsigned char c : bytes) {
    out += kDigits[c >> 4];
    out += kDigits[c & 15];
  }
  return out + "'";
}

}  // namespace

ErrorKind ClassifyError(unsigned code) {
  switch (code) {
    case CR_CONNECTION_ERROR:     // 2002
    case CR_CONN_HOST_ERROR:      // 2003
    case CR_SERVER_GONE_ERROR:    // 2006
    case CR_SERVER_LOST:          // 2013
    case CR_SERVER_LOST_EXTENDED:  // 2055
    case ER_SERVER_SHUTDOWN:      // 1053
    case ER_CONNECTION_KILLED:    // 1927
      return ErrorKind::kLostLink;
    case ER_DUP_ENTRY:
    case ER_DUP_KEY:
      return ErrorKind::kDuplicateKey;
    case ER_LOCK_DEADLOCK:
    case ER_LOCK_WAIT_TIMEOUT:
      return ErrorKind::kDeadlock;
    default:
      return ErrorKind::kOther;
  }
}

// ---------------------------------------------------------------------------------------------
// Query

Query::Query(st_mysql_res* result) : result_(result) { Load(); }

Query::~Query() {
  if (result_) mysql_free_result(result_);
}

void Query::Load() {
  if (!result_) return;
  unsigned count = mysql_num_fields(result_);
  MYSQL_FIELD* fields = mysql_fetch_fields(result_);
  for (unsigned i = 0; i < count; ++i) {
    names_.emplace_back(fields[i].name, fields[i].name_length);
    types_.push_back(fields[i].type);
    flags_.push_back(fields[i].flags);
  }
  rows_ = static_cast<size_t>(mysql_num_rows(result_));
  if (rows_ > 0) {
    current_ = mysql_fetch_row(result_);
    lengths_ = mysql_fetch_lengths(result_);
  }
}

void Query::Next() {
  if (row_ >= rows_) return;
  ++row_;
  if (row_ < rows_) {
    current_ = mysql_fetch_row(result_);
    lengths_ = mysql_fetch_lengths(result_);
  } else {
    current_ = nullptr;
    lengths_ = nullptr;
  }
}

int Query::FieldCount() const { return static_cast<int>(names_.size()); }

std::string Query::FieldName(int index) const { return names_.at(static_cast<size_t>(index)); }

bool Query::HasField(std::string_view name) const {
  for (const auto& n : names_) {
    if (SameText(n, name)) return true;
  }
  return false;
}

int Query::FieldIndex(std::string_view name) const {
  for (size_t i = 0; i < names_.size(); ++i) {
    if (SameText(names_[i], name)) return static_cast<int>(i);
  }
  throw DbError("Field '" + std::string(name) + "' not found", 0, ErrorKind::kOther);
}

const char* Query::Cell(int index, size_t* length) const {
  if (Eof() || current_ == nullptr) {
    throw DbError("No current record", 0, ErrorKind::kOther);
  }
  const char* cell = current_[index];
  *length = cell ? lengths_[index] : 0;
  return cell;
}

bool Query::IsNullAt(int index) const {
  size_t len;
  return Cell(index, &len) == nullptr;
}

std::string Query::RawAt(int index) const {
  size_t len;
  const char* cell = Cell(index, &len);
  return cell ? std::string(cell, len) : std::string();
}

bool Query::IsNull(std::string_view name) const { return IsNullAt(FieldIndex(name)); }

int64_t Query::AsInt64(std::string_view name) const {
  int index = FieldIndex(name);
  if (IsNullAt(index)) return 0;
  std::string raw = RawAt(index);
  int type = types_[static_cast<size_t>(index)];
  if (IsIntegerType(type)) return std::strtoll(raw.c_str(), nullptr, 10);
  if (IsRealType(type)) return std::llround(std::strtod(raw.c_str(), nullptr));
  if (IsDateType(type)) {
    auto t = ParseServerDateTime(raw);
    return t ? static_cast<int64_t>(*t) : 0;
  }
  auto v = TryStrToInt64(raw);
  if (!v) throw ConvertError("'" + raw + "' is not a valid integer value");
  return *v;
}

int32_t Query::AsInteger(std::string_view name) const {
  int64_t v = AsInt64(name);
  return static_cast<int32_t>(v);
}

double Query::AsFloat(std::string_view name) const {
  int index = FieldIndex(name);
  if (IsNullAt(index)) return 0;
  std::string raw = RawAt(index);
  int type = types_[static_cast<size_t>(index)];
  if (IsIntegerType(type) || IsRealType(type)) return std::strtod(raw.c_str(), nullptr);
  if (IsDateType(type)) return ParseServerDateTime(raw).value_or(0);
  return StrToFloat(raw);
}

std::string Query::AsStringAt(int index) const {
  if (IsNullAt(index)) return {};
  std::string raw = RawAt(index);
  int type = types_[static_cast<size_t>(index)];
  if (IsDateType(type)) {
    auto t = ParseServerDateTime(raw);
    if (!t || *t == 0) return {};
    return type == MYSQL_TYPE_DATE || type == MYSQL_TYPE_NEWDATE ? DateToStr(*t)
                                                                : DateTimeToStr(*t);
  }
  if (type == MYSQL_TYPE_FLOAT || type == MYSQL_TYPE_DOUBLE) {
    return FloatToStr(std::strtod(raw.c_str(), nullptr));
  }
  return raw;
}

std::string Query::AsString(std::string_view name) const { return AsStringAt(FieldIndex(name)); }

DateTime Query::AsDateTime(std::string_view name) const {
  int index = FieldIndex(name);
  if (IsNullAt(index)) return 0;
  std::string raw = RawAt(index);
  int type = types_[static_cast<size_t>(index)];
  if (IsIntegerType(type) || IsRealType(type)) return std::strtod(raw.c_str(), nullptr);
  if (auto t = ParseServerDateTime(raw)) return *t;
  if (auto t = TryStrToDateTime(raw)) return *t;
  throw ConvertError("'" + raw + "' is not a valid date and time");
}

bool Query::AsBoolean(std::string_view name) const {
  int index = FieldIndex(name);
  if (IsNullAt(index)) return false;
  std::string raw = RawAt(index);
  int type = types_[static_cast<size_t>(index)];
  if (type == MYSQL_TYPE_BIT) return !raw.empty() && raw.find_first_not_of('\0') != std::string::npos;
  return StrToBool(raw);
}

std::optional<std::string> Query::AsBlob(std::string_view name) const {
  int index = FieldIndex(name);
  if (IsNullAt(index)) return std::nullopt;
  return RawAt(index);
}

// ---------------------------------------------------------------------------------------------
// StreamQuery

StreamQuery::StreamQuery(Connection& connection, st_mysql_res* result)
    : connection_(connection), result_(result) {
  connection_.streaming_ = true;
  unsigned count = mysql_num_fields(result_);
  MYSQL_FIELD* fields = mysql_fetch_fields(result_);
  for (unsigned i = 0; i < count; ++i) {
    names_.emplace_back(fields[i].name, fields[i].name_length);
    types_.push_back(fields[i].type);
    flags_.push_back(fields[i].flags);
    charsets_.push_back(fields[i].charsetnr);
  }
}

StreamQuery::~StreamQuery() {
  // Freeing an unfinished streamed result reads and drops the rest of it.
  mysql_free_result(result_);
  connection_.streaming_ = false;
}

bool StreamQuery::Fetch() {
  row_ = mysql_fetch_row(result_);
  if (row_ == nullptr) {
    if (connection_.mysql_ && mysql_errno(connection_.mysql_) != 0) {
      connection_.streaming_ = false;
      connection_.Fail();
    }
    return false;
  }
  lengths_ = mysql_fetch_lengths(result_);
  return true;
}

bool StreamQuery::IsNull(int index) const { return row_[index] == nullptr; }

std::string_view StreamQuery::Raw(int index) const {
  const char* cell = row_[index];
  return cell ? std::string_view(cell, lengths_[index]) : std::string_view();
}

// ---------------------------------------------------------------------------------------------
// Connection

Connection::Connection() = default;
Connection::Connection(ConnectionSettings settings) : settings_(std::move(settings)) {}
Connection::~Connection() { Close(); }

void Connection::SetSettings(ConnectionSettings settings) { settings_ = std::move(settings); }

void Connection::SetTransactionLostHook(std::function<void(Connection&)> hook) {
  TransactionLostHook() = std::move(hook);
}

void Connection::Open() {
  Close();
  MYSQL* m = mysql_init(nullptr);
  if (m == nullptr) throw DbError("Out of memory", CR_OUT_OF_MEMORY, ErrorKind::kOther);
  std::string charset = LowerCase(settings_.charset);
  mysql_options(m, MYSQL_SET_CHARSET_NAME, charset.c_str());
  unsigned timeout = settings_.connect_timeout;
  mysql_options(m, MYSQL_OPT_CONNECT_TIMEOUT, &timeout);
  unsigned protocol = settings_.unix_socket.empty() ? MYSQL_PROTOCOL_TCP : MYSQL_PROTOCOL_SOCKET;
  mysql_options(m, MYSQL_OPT_PROTOCOL, &protocol);
  my_bool reconnect = 0;
  mysql_options(m, MYSQL_OPT_RECONNECT, &reconnect);
  unsigned long flags = CLIENT_FOUND_ROWS;
  if (settings_.multi_statements) flags |= CLIENT_MULTI_STATEMENTS | CLIENT_MULTI_RESULTS;
  const char* db = settings_.database.empty() ? nullptr : settings_.database.c_str();
  const char* socket = settings_.unix_socket.empty() ? nullptr : settings_.unix_socket.c_str();
  if (mysql_real_connect(m, settings_.server.c_str(), settings_.user.c_str(),
                         settings_.password.c_str(), db, settings_.port, socket, flags) ==
      nullptr) {
    unsigned code = mysql_errno(m);
    std::string message = mysql_error(m);
    mysql_close(m);
    throw DbError(message, code, ClassifyError(code));
  }
  mysql_ = m;
}

void Connection::Close() {
  if (mysql_) {
    mysql_close(mysql_);
    mysql_ = nullptr;
  }
  streaming_ = false;
}

void Connection::MarkBroken() { Close(); }

bool Connection::InTransaction() const {
  return mysql_ != nullptr && (mysql_->server_status & SERVER_STATUS_IN_TRANS) != 0;
}

void Connection::Fail(const std::string& context) {
  unsigned code = mysql_ ? mysql_errno(mysql_) : CR_SERVER_GONE_ERROR;
  std::string message = mysql_ ? mysql_error(mysql_) : "MySQL server has gone away";
  if (!context.empty()) message = context + ": " + message;
  ErrorKind kind = ClassifyError(code);
  if (kind == ErrorKind::kLostLink) {
    bool had_transaction = InTransaction();
    MarkBroken();
    if (had_transaction && TransactionLostHook()) TransactionLostHook()(*this);
  }
  throw DbError(message, code, kind);
}

void Connection::EnsureOpen() {
  if (streaming_) {
    throw DbError("Commands out of sync: a streamed result is still open", CR_COMMANDS_OUT_OF_SYNC,
                  ErrorKind::kOther);
  }
  if (mysql_ == nullptr) {
    Open();
    return;
  }
  // An idle connection receives nothing; anything readable (an error packet, end of stream) means
  // the server closed it. Reopen before the statement is sent, unless a transaction would be lost.
  my_socket fd = -1;
  if (mariadb_get_infov(mysql_, MARIADB_CONNECTION_SOCKET, &fd) != 0 || fd < 0) return;
  struct pollfd p{static_cast<int>(fd), POLLIN | POLLRDHUP, 0};
  if (::poll(&p, 1, 0) <= 0) return;
  bool had_transaction = InTransaction();
  MarkBroken();
  if (had_transaction) {
    if (TransactionLostHook()) TransactionLostHook()(*this);
    throw DbError("Lost connection to server during a transaction", CR_SERVER_LOST,
                  ErrorKind::kLostLink);
  }
  Open();
}

template <typename F>
auto Connection::WithLostLinkPolicy(F body, bool may_repeat) -> decltype(body()) {
  bool had_transaction = InTransaction();
  try {
    EnsureOpen();
    return body();
  } catch (const DbError& e) {
    if (!e.lost_link() || had_transaction || !handler_ || in_handler_) throw;
    RetryMode mode = RetryMode::kFail;
    in_handler_ = true;
    try {
      handler_(*this, mode);
    } catch (...) {
      in_handler_ = false;
      throw;
    }
    in_handler_ = false;
    if (mode != RetryMode::kReconnectAndExecuteAgain || !may_repeat) throw;
  }
  EnsureOpen();
  return body();
}

void Connection::RunSql(const std::string& sql) {
  if (mysql_real_query(mysql_, sql.data(), sql.size()) != 0) Fail();
}

void Connection::RunStatement(const std::string& sql) {
  RunSql(sql);
  affected_rows_ = mysql_affected_rows(mysql_);
  last_insert_id_ = mysql_insert_id(mysql_);
  // Results the statement produced are read and dropped, so the connection is ready again.
  for (;;) {
    if (mysql_field_count(mysql_) > 0) {
      MYSQL_RES* r = mysql_store_result(mysql_);
      if (r) mysql_free_result(r);
    }
    int next = mysql_next_result(mysql_);
    if (next > 0) Fail();
    if (next != 0) break;
  }
}

std::string Connection::Escape(std::string_view text) {
  EnsureOpen();
  std::string out(text.size() * 2 + 1, '\0');
  unsigned long n = mysql_real_escape_string(mysql_, out.data(), text.data(), text.size());
  out.resize(n);
  return out;
}

std::string Connection::Literal(const Value& value) {
  const auto& v = value.raw();
  switch (v.index()) {
    case 0:
      return "NULL";
    case 1:
      return std::to_string(std::get<int64_t>(v));
    case 2: {
      double d = std::get<double>(v);
      if (!std::isfinite(d)) throw Exception("A number that is not finite cannot be stored");
      char buf[40];
      std::snprintf(buf, sizeof buf, "%.17g", d);
      return buf;
    }
    case 3:
      return "'" + Escape(std::get<std::string>(v)) + "'";
    case 4:
      return DateLiteral(std::get<DateTimeValue>(v).value);
    default:
      return HexLiteral(std::get<BlobValue>(v).bytes);
  }
}

std::string Connection::RenderSql(std::string_view sql, const Params& params) {
  size_t expected = CountParameters(sql);
  if (expected != params.size()) {
    throw DbError("The statement has " + std::to_string(expected) + " parameters but " +
                      std::to_string(params.size()) + " values were given",
                  0, ErrorKind::kOther);
  }
  if (expected == 0) return std::string(sql);
  return ReplaceParameters(sql, [&](size_t i) { return Literal(params[i]); });
}

uint64_t Connection::Execute(std::string_view sql, const Params& params) {
  return WithLostLinkPolicy(
      [&]() -> uint64_t {
        RunStatement(RenderSql(sql, params));
        return affected_rows_;
      },
      true);
}

std::unique_ptr<Query> Connection::OpenQuery(std::string_view sql, const Params& params) {
  return WithLostLinkPolicy(
      [&]() -> std::unique_ptr<Query> {
        RunSql(RenderSql(sql, params));
        MYSQL_RES* r = mysql_store_result(mysql_);
        if (r == nullptr && mysql_field_count(mysql_) != 0) Fail();
        affected_rows_ = mysql_affected_rows(mysql_);
        return std::unique_ptr<Query>(new Query(r));
      },
      true);
}

std::unique_ptr<StreamQuery> Connection::OpenStream(std::string_view sql) {
  return WithLostLinkPolicy(
      [&]() -> std::unique_ptr<StreamQuery> {
        RunSql(std::string(sql));
        MYSQL_RES* r = mysql_use_result(mysql_);
        if (r == nullptr) {
          if (mysql_field_count(mysql_) != 0) Fail();
          throw DbError("The statement returned no rows to stream", 0, ErrorKind::kOther);
        }
        return std::unique_ptr<StreamQuery>(new StreamQuery(*this, r));
      },
      true);
}

void Connection::ExecuteRaw(std::string_view sql) {
  // A script's statement goes as it is: its text holds no parameter markers, and scanning it
  // for them would misread GBK trail bytes and times such as '12:30' inside its literals.
  WithLostLinkPolicy(
      [&] {
        RunStatement(std::string(sql));
      },
      true);
}

void Connection::StartTransaction() {
  WithLostLinkPolicy([&] { RunSql("START TRANSACTION"); }, true);
}

void Connection::Commit() {
  WithLostLinkPolicy([&] { RunSql("COMMIT"); }, false);
}

void Connection::Rollback() {
  if (mysql_ == nullptr) return;
  try {
    RunSql("ROLLBACK");
  } catch (const DbError& e) {
    // With the link gone the server has rolled the transaction back already.
    if (!e.lost_link()) throw;
  }
}

std::string Connection::CharacterSet() const {
  return mysql_ ? mysql_character_set_name(mysql_) : LowerCase(settings_.charset);
}

unsigned long Connection::ServerThreadId() {
  EnsureOpen();
  return mysql_thread_id(mysql_);
}

}  // namespace ab::db
