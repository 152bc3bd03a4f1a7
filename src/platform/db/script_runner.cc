#include "platform/db/script_runner.h"

#include <fcntl.h>
#include <mysqld_error.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>

#include "platform/db/sql_text.h"
#include "platform/error.h"
#include "platform/text.h"

namespace ab::db {
namespace {

constexpr size_t kNone = std::string::npos;
constexpr size_t kChunk = 256 * 1024;

bool IsBlank(unsigned char c) { return c <= 0x20; }
bool IsGbkLead(unsigned char c) { return c >= 0x81 && c <= 0xFE; }
bool IsGbkTrail(unsigned char c) { return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFE); }

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

[[noreturn]] void IoFail(const std::string& what, const std::string& path, int err) {
  throw IoError(what + " \"" + path + "\": " + std::strerror(err));
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// StatementSplitter

StatementSplitter::StatementSplitter(bool gbk) : gbk_(gbk), start_(kNone) {}

void StatementSplitter::Feed(std::string_view bytes) {
  Compact();
  buffer_.append(bytes);
}

void StatementSplitter::Finish() { finished_ = true; }

void StatementSplitter::Compact() {
  size_t keep = start_ != kNone ? start_ : pos_;
  if (keep == 0) return;
  buffer_.erase(0, keep);
  pos_ -= keep;
  if (start_ != kNone) start_ = 0;
}

// Compares without reading past the buffer; `need_more` tells that the answer waits for input.
bool StatementSplitter::StartsWith(size_t at, std::string_view text, bool ignore_case,
                                   bool* need_more) const {
  *need_more = false;
  for (size_t k = 0; k < text.size(); ++k) {
    if (at + k >= buffer_.size()) {
      *need_more = !finished_;
      return false;
    }
    char c = buffer_[at + k];
    if (ignore_case ? Lower(c) != Lower(text[k]) : c != text[k]) return false;
  }
  return true;
}

// 2 for a whole GBK two-byte character at `at`, 0 when its second byte has not arrived yet,
// else 1.
size_t StatementSplitter::CharLength(size_t at) const {
  if (!gbk_ || !IsGbkLead(static_cast<unsigned char>(buffer_[at]))) return 1;
  if (at + 1 >= buffer_.size()) return finished_ ? 1 : 0;
  return IsGbkTrail(static_cast<unsigned char>(buffer_[at + 1])) ? 2 : 1;
}

// A "DELIMITER xx" line before any statement text sets the delimiter, as the mysql client does.
bool StatementSplitter::TryDelimiterCommand(size_t at, bool* need_more) {
  if (!StartsWith(at, "delimiter", true, need_more)) return false;
  size_t after = at + 9;
  if (after >= buffer_.size()) {
    *need_more = !finished_;
    return false;
  }
  char sep = buffer_[after];
  if (sep != ' ' && sep != '\t') return false;
  size_t eol = buffer_.find('\n', after);
  if (eol == kNone) {
    if (!finished_) {
      *need_more = true;
      return false;
    }
    eol = buffer_.size();
  }
  size_t b = after;
  while (b < eol && (buffer_[b] == ' ' || buffer_[b] == '\t')) ++b;
  size_t e = b;
  while (e < eol && !IsBlank(static_cast<unsigned char>(buffer_[e]))) ++e;
  if (e == b) return false;
  delimiter_ = buffer_.substr(b, e - b);
  pos_ = eol < buffer_.size() ? eol + 1 : eol;
  if (eol < buffer_.size()) ++line_;
  return true;
}

std::optional<Statement> StatementSplitter::Next() {
  auto emit = [&](size_t end) {
    while (end > start_ && IsBlank(static_cast<unsigned char>(buffer_[end - 1]))) --end;
    Statement s{buffer_.substr(start_, end - start_), ++number_, start_line_};
    start_ = kNone;
    has_text_ = false;
    return s;
  };
  auto mark_text = [&]() {
    if (!has_text_) {
      has_text_ = true;
      start_ = pos_;
      start_line_ = line_;
    }
  };
  const size_t n_wait = 0;
  for (;;) {
    const size_t n = buffer_.size();
    if (pos_ >= n) {
      if (finished_ && has_text_) {
        state_ = State::kNormal;
        return emit(n);
      }
      return std::nullopt;
    }
    const char c = buffer_[pos_];
    bool more = false;
    switch (state_) {
      case State::kLineComment:
        if (c == '\n') {
          ++line_;
          state_ = State::kNormal;
        }
        ++pos_;
        continue;
      case State::kBlockComment:
        if (c == '*') {
          if (pos_ + 1 >= n) {
            if (!finished_) return std::nullopt;
            ++pos_;
            continue;
          }
          if (buffer_[pos_ + 1] == '/') {
            pos_ += 2;
            state_ = State::kNormal;
            continue;
          }
        }
        if (c == '\n') ++line_;
        ++pos_;
        continue;
      case State::kQuote: {
        size_t len = CharLength(pos_);
        if (len == n_wait) return std::nullopt;
        if (len == 2) {
          pos_ += 2;
          continue;
        }
        if (c == '\\' && quote_ != '`') {
          if (pos_ + 1 >= n) {
            if (!finished_) return std::nullopt;
            ++pos_;
            continue;
          }
          size_t next = CharLength(pos_ + 1);
          if (next == n_wait) return std::nullopt;
          if (buffer_[pos_ + 1] == '\n') ++line_;
          pos_ += 1 + next;
          continue;
        }
        if (c == quote_) state_ = State::kNormal;
        if (c == '\n') ++line_;
        ++pos_;
        continue;
      }
      case State::kNormal:
        break;
    }

    if (StartsWith(pos_, delimiter_, false, &more)) {
      size_t end = pos_;
      pos_ += delimiter_.size();
      if (has_text_) return emit(end);
      continue;
    }
    if (more) return std::nullopt;
    if (IsBlank(static_cast<unsigned char>(c))) {
      if (c == '\n') ++line_;
      ++pos_;
      continue;
    }
    if (c == '#') {
      state_ = State::kLineComment;
      ++pos_;
      continue;
    }
    if (c == '-' && StartsWith(pos_, "--", false, &more)) {
      if (pos_ + 2 >= n && !finished_) return std::nullopt;
      if (pos_ + 2 >= n || IsBlank(static_cast<unsigned char>(buffer_[pos_ + 2]))) {
        state_ = State::kLineComment;
        pos_ += 2;
        continue;
      }
    } else if (more) {
      return std::nullopt;
    }
    if (c == '/' && StartsWith(pos_, "/*", false, &more)) {
      if (pos_ + 3 >= n && !finished_) return std::nullopt;
      char third = pos_ + 2 < n ? buffer_[pos_ + 2] : 0;
      char fourth = pos_ + 3 < n ? buffer_[pos_ + 3] : 0;
      if (third != '!' && !(third == 'M' && fourth == '!')) {
        state_ = State::kBlockComment;
        pos_ += 2;
        continue;
      }
      // A versioned comment is SQL for the server: it is part of the statement.
      mark_text();
      pos_ += 2;
      continue;
    } else if (more) {
      return std::nullopt;
    }
    if (!has_text_ && (c == 'd' || c == 'D')) {
      if (TryDelimiterCommand(pos_, &more)) continue;
      if (more) return std::nullopt;
    }
    if (c == '\'' || c == '"' || c == '`') {
      mark_text();
      state_ = State::kQuote;
      quote_ = c;
      ++pos_;
      continue;
    }
    size_t len = CharLength(pos_);
    if (len == n_wait) return std::nullopt;
    mark_text();
    pos_ += len;
  }
}

std::optional<std::string> SetNamesCharset(std::string_view statement) {
  std::string_view s = statement;
  if (s.substr(0, 3) == "/*!") {
    s.remove_prefix(3);
    while (!s.empty() && s.front() >= '0' && s.front() <= '9') s.remove_prefix(1);
  }
  while (!s.empty() && IsBlank(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  std::string head = LowerCase(s.substr(0, 10));
  if (head.size() < 10 || head.substr(0, 3) != "set" ||
      !IsBlank(static_cast<unsigned char>(head[3]))) {
    return std::nullopt;
  }
  s.remove_prefix(3);
  while (!s.empty() && IsBlank(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  if (LowerCase(s.substr(0, 5)) != "names" || s.size() < 6 ||
      !IsBlank(static_cast<unsigned char>(s[5]))) {
    return std::nullopt;
  }
  s.remove_prefix(5);
  while (!s.empty() && IsBlank(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  if (!s.empty() && (s.front() == '\'' || s.front() == '"' || s.front() == '`')) s.remove_prefix(1);
  size_t n = 0;
  while (n < s.size() && ((s[n] >= 'a' && s[n] <= 'z') || (s[n] >= 'A' && s[n] <= 'Z') ||
                          (s[n] >= '0' && s[n] <= '9') || s[n] == '_')) {
    ++n;
  }
  if (n == 0) return std::nullopt;
  return LowerCase(s.substr(0, n));
}

// ---------------------------------------------------------------------------------------------
// ScriptError

ScriptError::ScriptError(const DbError& cause, const Statement& statement)
    : DbError(cause.message(), cause.code(), cause.kind()),
      number_(statement.number),
      line_(statement.line),
      excerpt_(statement.text.substr(0, 200)) {}

// ---------------------------------------------------------------------------------------------
// ScriptReader

struct ScriptReader::Inflater {
  z_stream strm{};
  bool open = false;
  ~Inflater() {
    if (open) inflateEnd(&strm);
  }
};

ScriptReader::ScriptReader(const std::string& path) : path_(path) {
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) IoFail("Cannot open", path, errno);
  struct stat st;
  if (::fstat(fd_, &st) == 0) size_ = static_cast<uint64_t>(st.st_size);
  while (in_.size() < 2 && Fill()) {
  }
  const unsigned char* b = reinterpret_cast<const unsigned char*>(in_.data());
  // A zlib header with a 32 KiB window and no preset dictionary; no SQL text starts so.
  compressed_ =
      in_.size() >= 2 && b[0] == 0x78 && (b[1] & 0x20) == 0 && ((b[0] << 8) | b[1]) % 31 == 0;
  if (compressed_) {
    inflater_ = std::make_unique<Inflater>();
    if (inflateInit(&inflater_->strm) != Z_OK) throw IoError("Cannot start inflating");
    inflater_->open = true;
  }
}

ScriptReader::~ScriptReader() {
  if (fd_ >= 0) ::close(fd_);
}

// Appends the next piece of the file to in_; false at its end.
bool ScriptReader::Fill() {
  if (eof_) return false;
  if (in_pos_ > 0 && in_pos_ == in_.size()) {
    in_.clear();
    in_pos_ = 0;
  }
  size_t old = in_.size();
  in_.resize(old + kChunk);
  for (;;) {
    ssize_t n = ::read(fd_, in_.data() + old, kChunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      int err = errno;
      in_.resize(old);
      IoFail("Cannot read", path_, err);
    }
    in_.resize(old + static_cast<size_t>(n));
    if (n == 0) eof_ = true;
    return n > 0;
  }
}

std::string_view ScriptReader::Read() {
  if (!compressed_) {
    if (in_pos_ >= in_.size() && !Fill()) return {};
    std::string_view piece(in_.data() + in_pos_, in_.size() - in_pos_);
    in_pos_ = in_.size();
    consumed_ += piece.size();
    return piece;
  }
  if (done_) return {};
  z_stream& s = inflater_->strm;
  out_.resize(kChunk);
  s.next_out = reinterpret_cast<Bytef*>(out_.data());
  s.avail_out = static_cast<uInt>(out_.size());
  while (s.avail_out == out_.size()) {
    if (in_pos_ >= in_.size() && !Fill()) {
      throw IoError("The compressed script \"" + path_ +
                    "\" ends before its end: the file is truncated");
    }
    s.next_in = reinterpret_cast<Bytef*>(in_.data() + in_pos_);
    s.avail_in = static_cast<uInt>(in_.size() - in_pos_);
    int rc = inflate(&s, Z_NO_FLUSH);
    in_pos_ = in_.size() - s.avail_in;
    consumed_ = s.total_in;
    if (rc == Z_STREAM_END) {
      done_ = true;
      if (in_pos_ < in_.size() || Fill()) {
        throw IoError("The file \"" + path_ + "\" holds bytes after the end of its zlib stream");
      }
      break;
    }
    if (rc != Z_OK && rc != Z_BUF_ERROR) {
      throw IoError("The compressed script \"" + path_ +
                    "\" is damaged: " + (s.msg ? s.msg : "zlib error " + std::to_string(rc)));
    }
  }
  out_.resize(out_.size() - s.avail_out);
  return out_;
}

// ---------------------------------------------------------------------------------------------
// RunScriptFile

namespace {

// GBK text to UTF-8 piece by piece; a lead byte at the end of a piece waits for its trail byte.
class GbkToUtf8 {
 public:
  std::string Convert(std::string_view piece, bool last) {
    carry_.append(piece);
    size_t whole = carry_.size();
    if (!last) {
      size_t i = 0;
      while (i < carry_.size()) {
        unsigned char c = static_cast<unsigned char>(carry_[i]);
        if (IsGbkLead(c)) {
          if (i + 1 >= carry_.size()) {
            whole = i;
            break;
          }
          i += 2;
        } else {
          ++i;
        }
      }
    }
    std::string out = utf8(std::string_view(carry_).substr(0, whole));
    carry_.erase(0, whole);
    return out;
  }

 private:
  std::string carry_;
};

// Sends one statement as it is. ExecuteRaw renders parameter markers first, and the marker
// scanner knows no GBK: a 0x5C trail byte inside a quoted text reads to it as an escape, the
// quotes after it pair up wrongly, and a time such as '12:30' then looks like a marker. Such a
// statement goes through OpenStream, which sends the text untouched; a statement without a
// result set ends there in the "no rows to stream" error, code 0, which is its success.
void ExecuteStatement(Connection& connection, const std::string& sql) {
  if (CountParameters(sql) == 0) {
    connection.ExecuteRaw(sql);
    return;
  }
  try {
    auto rows = connection.OpenStream(sql);
    while (rows->Fetch()) {
    }
  } catch (const DbError& e) {
    if (e.code() != 0) throw;
  }
}

// The statements of a script file in order, each with the bytes of the file read up to its
// end: the file bytes consumed up to the piece that holds the end, plus the part of that
// piece's file bytes in proportion to the text used.
class StatementSource {
 public:
  StatementSource(const std::string& path, bool setup, bool gbk)
      : reader_(path), setup_(setup), splitter_(gbk) {}

  uint64_t size() const { return reader_.size(); }

  // False at the end of the script.
  bool Next(Statement* statement, uint64_t* position) {
    for (;;) {
      if (auto s = splitter_.Next()) {
        if (!setup_) {
          if (auto cs = SetNamesCharset(s->text)) splitter_.SetGbk(*cs == "gbk");
        }
        *statement = std::move(*s);
        *position = Position();
        return true;
      }
      if (done_) return false;
      Feed();
    }
  }

 private:
  void Feed() {
    file_before_ = reader_.consumed();
    std::string_view piece = reader_.Read();
    file_after_ = reader_.consumed();
    const bool last = piece.empty();
    if (setup_ && first_ && piece.substr(0, 3) == "\xEF\xBB\xBF") {
      bom_ = true;
      piece.remove_prefix(3);
    }
    first_ = false;
    if (setup_ && !bom_) {
      std::string text = decoder_.Convert(piece, last);
      splitter_.Feed(text);
      piece_length_ = text.size();
    } else {
      splitter_.Feed(piece);
      piece_length_ = piece.size();
    }
    if (last) {
      splitter_.Finish();
      done_ = true;
    }
  }

  uint64_t Position() const {
    if (piece_length_ == 0) return file_after_;
    size_t unused = std::min(splitter_.pending(), piece_length_);
    return file_before_ + (file_after_ - file_before_) * (piece_length_ - unused) / piece_length_;
  }

  ScriptReader reader_;
  const bool setup_;
  StatementSplitter splitter_;
  GbkToUtf8 decoder_;
  bool first_ = true;
  bool bom_ = false;
  bool done_ = false;
  uint64_t file_before_ = 0, file_after_ = 0;
  size_t piece_length_ = 0;
};

// Reads, inflates and splits on a thread of its own, a few megabytes ahead of the statement the
// server is running, so that the server never waits for the client.
class ReadAhead {
 public:
  explicit ReadAhead(StatementSource& source) : source_(source), thread_([this] { Produce(); }) {}
  ~ReadAhead() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    space_.notify_all();
    thread_.join();
  }
  ReadAhead(const ReadAhead&) = delete;
  ReadAhead& operator=(const ReadAhead&) = delete;

  // The next statement; false at the end. Rethrows what reading the script threw, in order.
  bool Next(Statement* statement, uint64_t* position) {
    std::unique_lock<std::mutex> lock(mutex_);
    items_.wait(lock, [&] { return !queue_.empty() || finished_; });
    if (queue_.empty()) {
      if (error_) std::rethrow_exception(error_);
      return false;
    }
    *statement = std::move(queue_.front().statement);
    *position = queue_.front().position;
    queued_ -= statement->text.size();
    queue_.pop_front();
    space_.notify_one();
    return true;
  }

 private:
  static constexpr size_t kAhead = 8 << 20;
  struct Item {
    Statement statement;
    uint64_t position;
  };

  void Produce() {
    try {
      Statement s;
      uint64_t position = 0;
      while (source_.Next(&s, &position)) {
        std::unique_lock<std::mutex> lock(mutex_);
        space_.wait(lock, [&] { return stop_ || queued_ < kAhead || queue_.empty(); });
        if (stop_) return;
        queued_ += s.text.size();
        queue_.push_back({std::move(s), position});
        items_.notify_one();
      }
    } catch (...) {
      std::lock_guard<std::mutex> lock(mutex_);
      error_ = std::current_exception();
    }
    std::lock_guard<std::mutex> lock(mutex_);
    finished_ = true;
    items_.notify_one();
  }

  StatementSource& source_;
  std::mutex mutex_;
  std::condition_variable items_, space_;
  std::deque<Item> queue_;
  size_t queued_ = 0;
  bool finished_ = false;
  bool stop_ = false;
  std::exception_ptr error_;
  std::thread thread_;
};

}  // namespace

uint64_t RunScriptFile(Connection& connection, const std::string& path,
                       const ScriptOptions& options, const ScriptProgressFn& progress) {
  const bool setup = options.encoding == ScriptEncoding::kSetupScript;
  StatementSource source(path, setup, !setup && LowerCase(connection.CharacterSet()) == "gbk");
  int reported = -1;
  auto report = [&](int percent) {
    if (progress && percent > reported) {
      reported = percent;
      progress(percent);
    }
  };
  report(0);
  uint64_t ran = 0;
  ReadAhead ahead(source);
  Statement statement;
  uint64_t position = 0;
  while (ahead.Next(&statement, &position)) {
    try {
      ExecuteStatement(connection, statement.text);
    } catch (const DbError& e) {
      if (e.code() != ER_EMPTY_QUERY) throw ScriptError(e, statement);
    }
    ++ran;
    if (source.size() > 0) report(static_cast<int>(position * 100 / source.size()));
  }
  report(100);
  return ran;
}

}  // namespace ab::db
