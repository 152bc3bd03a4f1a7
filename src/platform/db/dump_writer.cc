#include "platform/db/dump_writer.h"

#include <mysql.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/db/connection.h"
#include "platform/text.h"

namespace ab::db {
namespace {

constexpr std::string_view kEol = "\r\n";
constexpr unsigned kBinaryCharset = 63;

bool IsGbkLead(unsigned char c) { return c >= 0x81 && c <= 0xFE; }
bool IsGbkTrail(unsigned char c) { return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFE); }

// Multi-byte character sets whose characters may contain bytes below 0x80 besides GBK: a byte
// there could read as a quote or a backslash, and the dump does not handle them.
bool IsUnsupportedCharset(std::string_view cs) {
  return cs == "big5" || cs == "sjis" || cs == "cp932" || cs == "gb18030";
}

// The length of the character starting at `i` when it is a whole GBK two-byte character, else 0.
size_t GbkPair(std::string_view s, size_t i) {
  return i + 1 < s.size() && IsGbkLead(static_cast<unsigned char>(s[i])) &&
                 IsGbkTrail(static_cast<unsigned char>(s[i + 1]))
             ? 2
             : 0;
}

// The escape letter of a byte for mysql_real_escape_string, 0 when it is copied.
struct EscapeTable {
  char code[256] = {};
  EscapeTable() {
    code[0] = '0';
    code[static_cast<unsigned char>('\n')] = 'n';
    code[static_cast<unsigned char>('\r')] = 'r';
    code[static_cast<unsigned char>('\\')] = '\\';
    code[static_cast<unsigned char>('\'')] = '\'';
    code[static_cast<unsigned char>('"')] = '"';
    code[032] = 'Z';
  }
};
const EscapeTable kEscape;

void AppendEscapedImpl(std::string& out, std::string_view text, bool gbk) {
  const size_t n = text.size();
  size_t i = 0;
  while (i < n) {
    // Runs of bytes that need nothing are copied at once.
    size_t run = i;
    while (run < n) {
      unsigned char c = static_cast<unsigned char>(text[run]);
      if (kEscape.code[c] != 0 || (gbk && c >= 0x81)) break;
      ++run;
    }
    out.append(text.data() + i, run - i);
    i = run;
    if (i >= n) break;
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (gbk && c >= 0x81) {
      if (GbkPair(text, i) == 2) {
        out.append(text.data() + i, 2);
        i += 2;
        continue;
      }
      if (c <= 0xFE) {
        // A lead byte without its trail byte is escaped, so that it cannot swallow what follows.
        out += '\\';
        out += static_cast<char>(c);
        ++i;
        continue;
      }
      out += static_cast<char>(c);
      ++i;
      continue;
    }
    out += '\\';
    out += kEscape.code[c];
    ++i;
  }
}

struct HexTable {
  char digits[512];
  HexTable() {
    static const char kDigits[] = "0123456789ABCDEF";
    for (int b = 0; b < 256; ++b) {
      digits[2 * b] = kDigits[b >> 4];
      digits[2 * b + 1] = kDigits[b & 15];
    }
  }
};
const HexTable kHex;

void AppendHex(std::string& out, std::string_view bytes) {
  if (bytes.empty()) {
    out += "''";
    return;
  }
  size_t start = out.size();
  out.resize(start + 3 + 2 * bytes.size());
  char* p = out.data() + start;
  *p++ = 'X';
  *p++ = '\'';
  for (unsigned char c : bytes) {
    *p++ = kHex.digits[2 * c];
    *p++ = kHex.digits[2 * c + 1];
  }
  *p = '\'';
}

// Line breaks of the server's CREATE texts become CR LF; those inside quoted text stay.
std::string WithCrLf(std::string_view text, bool gbk) {
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  char quote = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (gbk && GbkPair(text, i) == 2) {
      out.append(text.data() + i, 2);
      ++i;
      continue;
    }
    if (quote != 0) {
      out += c;
      if (c == '\\' && quote != '`' && i + 1 < text.size()) {
        out += text[++i];
      } else if (c == quote) {
        quote = 0;
      }
      continue;
    }
    if (c == '\'' || c == '"' || c == '`') {
      quote = c;
    } else if (c == '\n') {
      if (i == 0 || text[i - 1] != '\r') out += '\r';
    }
    out += c;
  }
  return out;
}

// A header comment holds no line break of its own.
std::string CommentText(std::string_view text) {
  std::string out(text);
  std::replace(out.begin(), out.end(), '\r', ' ');
  std::replace(out.begin(), out.end(), '\n', ' ');
  return out;
}

enum class Kind { kText, kNumber, kHexLiteral, kNull };

Kind KindOf(int type, unsigned charset) {
  switch (type) {
    case MYSQL_TYPE_TINY:
    case MYSQL_TYPE_SHORT:
    case MYSQL_TYPE_LONG:
    case MYSQL_TYPE_INT24:
    case MYSQL_TYPE_LONGLONG:
    case MYSQL_TYPE_DECIMAL:
    case MYSQL_TYPE_NEWDECIMAL:
    case MYSQL_TYPE_FLOAT:
    case MYSQL_TYPE_DOUBLE:
    case MYSQL_TYPE_YEAR:
      return Kind::kNumber;
    case MYSQL_TYPE_BIT:
      return Kind::kHexLiteral;
    case MYSQL_TYPE_NULL:
      return Kind::kNull;
    case MYSQL_TYPE_STRING:
    case MYSQL_TYPE_VAR_STRING:
    case MYSQL_TYPE_VARCHAR:
    case MYSQL_TYPE_BLOB:
    case MYSQL_TYPE_TINY_BLOB:
    case MYSQL_TYPE_MEDIUM_BLOB:
    case MYSQL_TYPE_LONG_BLOB:
    case MYSQL_TYPE_GEOMETRY:
      return charset == kBinaryCharset ? Kind::kHexLiteral : Kind::kText;
    default:
      return Kind::kText;
  }
}

// Writes one object's lines; all output of the dump goes through here.
class ScriptOut {
 public:
  explicit ScriptOut(ScriptSink& sink) : sink_(sink) {}
  void Line(std::string_view text) {
    line_.assign(text);
    line_ += kEol;
    sink_.Append(line_);
  }
  void Raw(std::string_view bytes) { sink_.Append(bytes); }

 private:
  ScriptSink& sink_;
  std::string line_;
};

// The session settings the dump needs, given back when it ends.
class SessionSettings {
 public:
  SessionSettings(Connection& connection, std::string time_zone, std::string sql_mode,
                  std::string quote_show_create)
      : connection_(connection),
        time_zone_(std::move(time_zone)),
        sql_mode_(std::move(sql_mode)),
        quote_show_create_(std::move(quote_show_create)) {
    connection_.Execute("SET SESSION time_zone='+00:00', sql_mode='', sql_quote_show_create=1");
  }
  ~SessionSettings() {
    try {
      connection_.Execute("SET SESSION time_zone=:p0, sql_mode=:p1, sql_quote_show_create=:p2",
                          {time_zone_, sql_mode_, Value(StrToIntDef(quote_show_create_, 1))});
    } catch (...) {
      // A lost link has taken the session with it; a reopened one has its defaults anyway.
    }
  }
  SessionSettings(const SessionSettings&) = delete;
  SessionSettings& operator=(const SessionSettings&) = delete;

 private:
  Connection& connection_;
  std::string time_zone_, sql_mode_, quote_show_create_;
};

struct View {
  std::string name;
  std::string create;
};

// Views in an order where each comes after the views its definition names (a name in backquotes
// is taken as a reference; a false match only moves a view later).
std::vector<View> InDependencyOrder(std::vector<View> views, std::string_view charset) {
  std::vector<View> ordered;
  std::vector<bool> done(views.size(), false);
  std::vector<std::string> quoted;
  for (const auto& v : views) quoted.push_back(QuoteName(v.name, charset));
  while (ordered.size() < views.size()) {
    size_t pick = views.size();
    for (size_t i = 0; i < views.size() && pick == views.size(); ++i) {
      if (done[i]) continue;
      bool ready = true;
      for (size_t j = 0; j < views.size() && ready; ++j) {
        if (j != i && !done[j] && views[i].create.find(quoted[j]) != std::string::npos) {
          ready = false;
        }
      }
      if (ready) pick = i;
    }
    if (pick == views.size()) {
      pick = static_cast<size_t>(std::find(done.begin(), done.end(), false) - done.begin());
    }
    done[pick] = true;
    ordered.push_back(std::move(views[pick]));
  }
  return ordered;
}

class Dumper {
 public:
  Dumper(Connection& connection, ScriptSink& sink, const DumpProgressFn& progress,
         const DumpOptions& options, std::string charset)
      : c_(connection),
        out_(sink),
        progress_(progress),
        options_(options),
        charset_(std::move(charset)),
        gbk_(charset_ == "gbk") {}

  void Run(const std::string& database, const std::string& version) {
    std::vector<std::string> tables;
    std::vector<View> views;
    {
      auto q = c_.OpenQuery("SHOW FULL TABLES");
      for (; !q->Eof(); q->Next()) {
        std::string type = q->FieldCount() > 1 ? q->RawAt(1) : "BASE TABLE";
        if (type == "VIEW") {
          views.push_back({q->RawAt(0), {}});
        } else {
          tables.push_back(q->RawAt(0));
        }
      }
    }
    std::sort(tables.begin(), tables.end());
    std::sort(views.begin(), views.end(),
              [](const View& a, const View& b) { return a.name < b.name; });
    for (auto& v : views) {
      auto q = c_.OpenQuery("SHOW CREATE VIEW " + Quote(v.name));
      v.create = q->Eof() ? std::string() : q->RawAt(1);
    }
    views = InDependencyOrder(std::move(views), charset_);
    const int count = static_cast<int>(tables.size() + views.size());

    std::string qdb = Quote(database);
    out_.Line("-- AutoBackup SQL dump");
    out_.Line("--");
    out_.Line("-- Server version: " + CommentText(version));
    out_.Line("-- Database: " + CommentText(qdb));
    out_.Line("-- ------------------------------------------------------");
    out_.Line("");
    out_.Line("/*!40101 SET @OLD_CHARACTER_SET_CLIENT=@@CHARACTER_SET_CLIENT */;");
    out_.Line("/*!40101 SET @OLD_CHARACTER_SET_RESULTS=@@CHARACTER_SET_RESULTS */;");
    out_.Line("/*!40101 SET @OLD_COLLATION_CONNECTION=@@COLLATION_CONNECTION */;");
    out_.Line("/*!40101 SET NAMES " + charset_ + " */;");
    out_.Line(
        "/*!40014 SET @OLD_FOREIGN_KEY_CHECKS=@@FOREIGN_KEY_CHECKS, FOREIGN_KEY_CHECKS=0 */;");
    out_.Line("/*!40103 SET @OLD_TIME_ZONE=@@TIME_ZONE */;");
    out_.Line("/*!40103 SET TIME_ZONE='+00:00' */;");
    out_.Line("/*!40101 SET @OLD_SQL_MODE=@@SQL_MODE, SQL_MODE='NO_AUTO_VALUE_ON_ZERO' */;");
    out_.Line("");
    out_.Line("USE mysql;");
    out_.Line("DROP DATABASE IF EXISTS " + qdb + ";");
    out_.Line("CREATE DATABASE " + qdb + ";");
    out_.Line("USE " + qdb + ";");

    int number = 0;
    for (const auto& t : tables) {
      if (progress_) progress_(t, number, count);
      ++number;
      DumpTable(t);
    }
    for (const auto& v : views) {
      if (progress_) progress_(v.name, number, count);
      ++number;
      std::string qv = Quote(v.name);
      out_.Line("");
      out_.Line("--");
      out_.Line("-- View " + CommentText(qv));
      out_.Line("--");
      out_.Line("");
      out_.Line("DROP VIEW IF EXISTS " + qv + ";");
      out_.Line(WithCrLf(v.create, gbk_) + ";");
    }

    out_.Line("");
    out_.Line("/*!40101 SET SQL_MODE=@OLD_SQL_MODE */;");
    out_.Line("/*!40103 SET TIME_ZONE=@OLD_TIME_ZONE */;");
    out_.Line("/*!40014 SET FOREIGN_KEY_CHECKS=@OLD_FOREIGN_KEY_CHECKS */;");
    out_.Line("/*!40101 SET CHARACTER_SET_CLIENT=@OLD_CHARACTER_SET_CLIENT */;");
    out_.Line("/*!40101 SET CHARACTER_SET_RESULTS=@OLD_CHARACTER_SET_RESULTS */;");
    out_.Line("/*!40101 SET COLLATION_CONNECTION=@OLD_COLLATION_CONNECTION */;");
  }

 private:
  std::string Quote(std::string_view name) const { return QuoteName(name, charset_); }

  void DumpTable(const std::string& table) {
    std::string qt = Quote(table);
    std::string create;
    {
      auto q = c_.OpenQuery("SHOW CREATE TABLE " + qt);
      create = q->Eof() ? std::string() : q->RawAt(1);
    }
    out_.Line("");
    out_.Line("--");
    out_.Line("-- Table " + CommentText(qt));
    out_.Line("--");
    out_.Line("");
    out_.Line("DROP TABLE IF EXISTS " + qt + ";");
    out_.Line(WithCrLf(create, gbk_) + ";");

    std::vector<Kind> kinds;
    std::string select = "SELECT /*!40001 SQL_NO_CACHE */ * FROM " + qt;
    {
      auto probe = c_.OpenStream("SELECT * FROM " + qt + " LIMIT 0");
      bool has_float = false;
      std::string list;
      for (int i = 0; i < probe->FieldCount(); ++i) {
        kinds.push_back(KindOf(probe->FieldType(i), probe->FieldCharset(i)));
        std::string qc = Quote(probe->FieldName(i));
        if (!list.empty()) list += ',';
        if (probe->FieldType(i) == MYSQL_TYPE_FLOAT) {
          // FLOAT's own text has six digits; the value as a DOUBLE is exact and stores back to
          // the same float.
          has_float = true;
          list += "CAST(" + qc + " AS DOUBLE)";
        } else {
          list += qc;
        }
      }
      while (probe->Fetch()) {
      }
      if (has_float) select = "SELECT /*!40001 SQL_NO_CACHE */ " + list + " FROM " + qt;
    }

    auto rows = c_.OpenStream(select);
    const std::string insert = "INSERT INTO " + qt + " VALUES ";
    bool locked = false;
    bool in_statement = false;
    size_t statement_bytes = 0;
    const int fields = rows->FieldCount();
    while (rows->Fetch()) {
      row_.clear();
      row_ += ",(";
      for (int i = 0; i < fields; ++i) {
        if (i > 0) row_ += ',';
        if (rows->IsNull(i)) {
          row_ += "NULL";
          continue;
        }
        std::string_view v = rows->Raw(i);
        switch (kinds[static_cast<size_t>(i)]) {
          case Kind::kNumber:
            row_.append(v);
            break;
          case Kind::kHexLiteral:
            AppendHex(row_, v);
            break;
          case Kind::kNull:
            row_ += "NULL";
            break;
          case Kind::kText:
            row_ += '\'';
            AppendEscapedImpl(row_, v, gbk_);
            row_ += '\'';
            break;
        }
      }
      row_ += ')';
      if (!locked) {
        out_.Line("LOCK TABLES " + qt + " WRITE;");
        locked = true;
      }
      // Rows go out one by one; a statement ends before it would grow past the limit.
      size_t row_bytes = row_.size() - 1;
      if (in_statement &&
          statement_bytes + 1 + row_bytes + kEol.size() + 1 > options_.max_statement_bytes) {
        out_.Raw(";\r\n");
        in_statement = false;
      }
      if (!in_statement) {
        out_.Raw(insert);
        out_.Raw(std::string_view(row_).substr(1));
        statement_bytes = insert.size() + row_bytes;
        in_statement = true;
      } else {
        out_.Raw(row_);
        statement_bytes += row_.size();
      }
    }
    if (in_statement) out_.Raw(";\r\n");
    if (locked) out_.Line("UNLOCK TABLES;");
  }

  Connection& c_;
  ScriptOut out_;
  const DumpProgressFn& progress_;
  const DumpOptions& options_;
  std::string charset_;
  bool gbk_;
  std::string row_;
};

}  // namespace

void AppendEscaped(std::string& out, std::string_view text, std::string_view charset) {
  AppendEscapedImpl(out, text, charset == "gbk");
}

std::string QuoteName(std::string_view name, std::string_view charset) {
  bool gbk = charset == "gbk";
  std::string out = "`";
  for (size_t i = 0; i < name.size(); ++i) {
    if (gbk && GbkPair(name, i) == 2) {
      out.append(name.data() + i, 2);
      ++i;
      continue;
    }
    if (name[i] == '`') out += '`';
    out += name[i];
  }
  return out + "`";
}

void DumpDatabase(Connection& connection, ScriptSink& sink, const DumpProgressFn& progress,
                  const DumpOptions& options) {
  std::string database, version, time_zone, sql_mode, quote_show_create;
  {
    auto q = connection.OpenQuery(
        "SELECT DATABASE(), VERSION(), @@SESSION.time_zone, @@SESSION.sql_mode, "
        "@@SESSION.sql_quote_show_create");
    if (q->Eof() || q->IsNullAt(0)) {
      throw DbError("No database selected", 1046, ErrorKind::kOther);
    }
    database = q->RawAt(0);
    version = q->RawAt(1);
    time_zone = q->RawAt(2);
    sql_mode = q->RawAt(3);
    quote_show_create = q->RawAt(4);
  }
  std::string charset = LowerCase(connection.CharacterSet());
  if (IsUnsupportedCharset(charset)) {
    throw DbError("A dump over the character set " + charset + " is not supported", 0,
                  ErrorKind::kOther);
  }

  SessionSettings session(connection, time_zone, sql_mode, quote_show_create);
  const bool own_transaction = !connection.InTransaction();
  if (own_transaction) {
    connection.Execute("SET TRANSACTION ISOLATION LEVEL REPEATABLE READ");
    connection.Execute("START TRANSACTION WITH CONSISTENT SNAPSHOT");
  }
  try {
    Dumper(connection, sink, progress, options, charset).Run(database, version);
    if (own_transaction) connection.Commit();
  } catch (...) {
    if (own_transaction) {
      try {
        connection.Rollback();
      } catch (...) {
        // The dump's own error is the one to report.
      }
    }
    throw;
  }
}

}  // namespace ab::db
