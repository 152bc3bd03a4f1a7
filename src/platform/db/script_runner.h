#pragma once
// Running an SQL script on a connection, statement by statement: a restore of a backup, and the
// setup dialog's creation of the membership database.
//
// A script file is plain text or exactly one zlib stream (RFC 1950) of it, told apart by its
// first two bytes; it is read and inflated as a stream, so memory holds one statement at a time
// whatever the size of the script. Statements end at the delimiter (";" unless a DELIMITER line
// changes it) outside quoted text ('…', "…" with backslash escapes, `…`), outside -- and #
// comments and /* … */ comments; /*!NNNNN … */ and /*M!…*/ comments are SQL for the server and
// are sent with the statement. Text between statements that holds only blanks and comments is
// not a statement. CR LF line ends are blanks like any other.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/db/connection.h"

namespace ab::db {

// How the script's text reaches the server.
enum class ScriptEncoding {
  // The bytes go as they are: they are in the connection's character set (a backup).
  kConnection,
  // A setup script: GBK text, or UTF-8 when it starts with a UTF-8 byte-order mark (dropped);
  // sent as UTF-8, so the connection's character set must be utf8. Bytes that are no GBK
  // character become U+FFFD.
  kSetupScript,
};

struct Statement {
  std::string text;     // without its delimiter, the blanks and comments before it, trailing blanks
  uint64_t number = 0;  // 1 for the script's first statement
  uint64_t line = 0;    // the line its text starts on, 1 for the first line
};

// Splits a script fed in pieces of any size into statements. `gbk`: the text is GBK, whose
// two-byte characters may end in a byte that reads as a quote or a backslash alone.
class StatementSplitter {
 public:
  explicit StatementSplitter(bool gbk);

  void Feed(std::string_view bytes);
  // No more input: the text after the last delimiter is the last statement when it holds more
  // than blanks and comments.
  void Finish();
  // The next complete statement, or nullopt when more input is needed (after Finish: when the
  // script is done).
  std::optional<Statement> Next();
  // Changes how the text not yet returned is read, as a SET NAMES statement of the script does.
  void SetGbk(bool gbk) { gbk_ = gbk; }
  // Bytes fed but not yet part of a returned statement or of the blanks and comments before it.
  size_t pending() const { return buffer_.size() - pos_; }

 private:
  enum class State { kNormal, kQuote, kLineComment, kBlockComment };
  bool StartsWith(size_t at, std::string_view text, bool ignore_case, bool* need_more) const;
  size_t CharLength(size_t at) const;
  bool TryDelimiterCommand(size_t at, bool* need_more);
  void Compact();

  bool gbk_;
  bool finished_ = false;
  std::string buffer_;
  size_t pos_ = 0;         // scanning position in buffer_
  size_t start_ = 0;       // start of the current statement's text; npos while none
  bool has_text_ = false;  // the current statement has more than blanks and comments
  State state_ = State::kNormal;
  char quote_ = 0;
  std::string delimiter_ = ";";
  uint64_t line_ = 1;
  uint64_t start_line_ = 1;
  uint64_t number_ = 0;
};

// The character set, in lower case, that a "SET NAMES cs" statement sets (also one inside a
// /*!…*/ comment); nullopt for any other statement.
std::optional<std::string> SetNamesCharset(std::string_view statement);

// The statement that failed, with the server's error. message() is the server's message.
class ScriptError : public DbError {
 public:
  ScriptError(const DbError& cause, const Statement& statement);
  uint64_t statement_number() const { return number_; }
  uint64_t line() const { return line_; }
  // The statement's first 200 bytes.
  const std::string& excerpt() const { return excerpt_; }

 private:
  uint64_t number_;
  uint64_t line_;
  std::string excerpt_;
};

// Reads a script file as text, inflating it when it is a zlib stream. A compressed file must be
// exactly one complete zlib stream with a good Adler-32 checksum; anything else (a damaged or
// truncated stream, bytes after its end) makes Read throw IoError once the fault is reached.
class ScriptReader {
 public:
  // Throws IoError when the file cannot be opened.
  explicit ScriptReader(const std::string& path);
  ~ScriptReader();
  ScriptReader(const ScriptReader&) = delete;
  ScriptReader& operator=(const ScriptReader&) = delete;

  // The next piece of the script's text, empty at the end; valid until the next call.
  std::string_view Read();
  bool compressed() const { return compressed_; }
  // Bytes of the file consumed so far, and the file's size.
  uint64_t consumed() const { return consumed_; }
  uint64_t size() const { return size_; }

 private:
  struct Inflater;
  bool Fill();

  std::string path_;
  int fd_ = -1;
  uint64_t size_ = 0;
  uint64_t consumed_ = 0;
  bool compressed_ = false;
  bool eof_ = false;
  bool done_ = false;
  std::string in_;
  size_t in_pos_ = 0;
  std::string out_;
  std::unique_ptr<Inflater> inflater_;
};

// Called with the share of the file consumed, 0 to 100, each time it grows by a whole percent.
using ScriptProgressFn = std::function<void(int percent)>;

struct ScriptOptions {
  ScriptEncoding encoding = ScriptEncoding::kConnection;
};

// Runs every statement of the script file on `connection` in order and returns how many ran.
// The text is split as GBK when the connection's character set is gbk, and from a SET NAMES
// statement of the script on as that statement says.
// Stops at the first statement the server refuses and throws ScriptError (an empty statement
// the server ignores, such as a /*!…*/ comment for a newer version, is no failure); IoError for
// a file that cannot be read or a damaged compressed stream (the statements before the fault
// have run).
uint64_t RunScriptFile(Connection& connection, const std::string& path,
                       const ScriptOptions& options = {}, const ScriptProgressFn& progress = {});

}  // namespace ab::db
