#include "platform/db/sql_text.h"

namespace ab::db {
namespace {

bool IsNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// Calls on_marker(begin, end) for every marker; returns nothing.
template <typename F>
void Scan(std::string_view sql, F on_marker) {
  size_t i = 0;
  const size_t n = sql.size();
  while (i < n) {
    char c = sql[i];
    if (c == '\'' || c == '"' || c == '`') {
      size_t j = i + 1;
      while (j < n) {
        if (sql[j] == '\\' && c != '`') {
          j += 2;
          continue;
        }
        if (sql[j] == c) {
          if (j + 1 < n && sql[j + 1] == c) {
            j += 2;  // doubled quote inside the text
            continue;
          }
          break;
        }
        ++j;
      }
      i = j + 1;
      continue;
    }
    if (c == '#' || (c == '-' && i + 2 < n + 1 && sql.substr(i, 2) == "--")) {
      size_t eol = sql.find('\n', i);
      i = eol == std::string_view::npos ? n : eol + 1;
      continue;
    }
    if (c == '/' && i + 1 < n && sql[i + 1] == '*') {
      size_t end = sql.find("*/", i + 2);
      i = end == std::string_view::npos ? n : end + 2;
      continue;
    }
    if (c == ':' && i + 1 < n && IsNameChar(sql[i + 1]) && (i == 0 || sql[i - 1] != ':')) {
      size_t j = i + 1;
      while (j < n && IsNameChar(sql[j])) ++j;
      on_marker(i, j);
      i = j;
      continue;
    }
    ++i;
  }
}

}  // namespace

size_t CountParameters(std::string_view sql) {
  size_t count = 0;
  Scan(sql, [&](size_t, size_t) { ++count; });
  return count;
}

std::string ReplaceParameters(std::string_view sql,
                              const std::function<std::string(size_t)>& render) {
  std::string out;
  out.reserve(sql.size() + 64);
  size_t last = 0, index = 0;
  Scan(sql, [&](size_t begin, size_t end) {
    out.append(sql.substr(last, begin - last));
    out += render(index++);
    last = end;
  });
  out.append(sql.substr(last));
  return out;
}

}  // namespace ab::db
