#include "backup/backup_check.h"

#include <deque>
#include <optional>
#include <vector>

#include "platform/db/script_runner.h"
#include "platform/error.h"

namespace ab {
namespace {

const char* const kConnectionSettings[] = {
    "/*!40101 SET @OLD_CHARACTER_SET_CLIENT=@@CHARACTER_SET_CLIENT */",
    "/*!40101 SET @OLD_CHARACTER_SET_RESULTS=@@CHARACTER_SET_RESULTS */",
    "/*!40101 SET @OLD_COLLATION_CONNECTION=@@COLLATION_CONNECTION */",
    nullptr,  // "/*!40101 SET NAMES <charset> */"
    "/*!40014 SET @OLD_FOREIGN_KEY_CHECKS=@@FOREIGN_KEY_CHECKS, FOREIGN_KEY_CHECKS=0 */",
};

const char* const kRestoringSettings[] = {
    "/*!40014 SET FOREIGN_KEY_CHECKS=@OLD_FOREIGN_KEY_CHECKS */",
    "/*!40101 SET CHARACTER_SET_CLIENT=@OLD_CHARACTER_SET_CLIENT */",
    "/*!40101 SET CHARACTER_SET_RESULTS=@OLD_CHARACTER_SET_RESULTS */",
    "/*!40101 SET COLLATION_CONNECTION=@OLD_COLLATION_CONNECTION */",
};

bool IsSetNames(const std::string& s) {
  const std::string prefix = "/*!40101 SET NAMES ";
  return s.size() > prefix.size() + 3 && s.compare(0, prefix.size(), prefix) == 0 &&
         s.compare(s.size() - 3, 3, " */") == 0 && s.find(' ', prefix.size()) == s.size() - 3;
}

std::string Shorten(const std::string& s) { return s.size() > 80 ? s.substr(0, 80) + "..." : s; }

std::optional<std::string> CheckStatements(const std::vector<std::string>& first,
                                           const std::deque<std::string>& last, uint64_t count) {
  for (size_t i = 0; i < 5; ++i) {
    if (i >= first.size()) return "the script has fewer statements than its settings need";
    bool good = kConnectionSettings[i] ? first[i] == kConnectionSettings[i] : IsSetNames(first[i]);
    if (!good) {
      return "statement " + std::to_string(i + 1) +
             " is not the connection setting expected: " + Shorten(first[i]);
    }
  }
  size_t i = 5;
  while (i < first.size() && first[i].compare(0, 3, "/*!") == 0) ++i;
  if (i >= first.size() || first[i] != "USE mysql") {
    return "the connection settings are not followed by \"USE mysql;\"";
  }
  if (count < 9 || last.size() < 4) return "the script is too short";
  for (size_t k = 0; k < 4; ++k) {
    if (last[k] != kRestoringSettings[k]) {
      return "the script does not end with the restoring settings (statement " +
             std::to_string(count - 3 + k) + ": " + Shorten(last[k]) + ")";
    }
  }
  return std::nullopt;
}

}  // namespace

BackupCheck CheckBackupFile(const std::string& path) {
  BackupCheck check;
  try {
    db::ScriptReader reader(path);
    check.file_bytes = reader.size();
    if (!reader.compressed()) {
      check.problem = "the file is not a zlib stream";
      return check;
    }
    db::StatementSplitter splitter(true);
    std::vector<std::string> first;  // the statements up to "USE mysql" and a few more
    std::deque<std::string> last;
    bool started = false;
    bool header = false;
    char previous = 0;
    uint64_t bare_lf_line = 0, line = 1;
    for (;;) {
      std::string_view piece = reader.Read();
      if (!started && !piece.empty()) {
        header = piece.substr(0, 2) == "--";
        started = true;
      }
      for (char c : piece) {
        if (c == '\n') {
          if (previous != '\r' && bare_lf_line == 0) bare_lf_line = line;
          ++line;
        }
        previous = c;
      }
      check.script_bytes += piece.size();
      if (piece.empty()) {
        splitter.Finish();
      } else {
        splitter.Feed(piece);
      }
      while (auto s = splitter.Next()) {
        ++check.statements;
        if (auto cs = db::SetNamesCharset(s->text)) splitter.SetGbk(*cs == "gbk");
        if (check.database.empty() && s->text.compare(0, 16, "CREATE DATABASE ") == 0) {
          std::string name = s->text.substr(16);
          if (name.size() >= 2 && name.front() == '`' && name.back() == '`') {
            check.database = name.substr(1, name.size() - 2);
          }
        }
        if (first.size() < 16) first.push_back(s->text);
        last.push_back(std::move(s->text));
        if (last.size() > 4) last.pop_front();
      }
      if (piece.empty()) break;
    }
    if (!header) {
      check.problem = "the script does not begin with header comments";
    } else if (auto problem = CheckStatements(first, last, check.statements)) {
      check.problem = *problem;
    } else if (bare_lf_line != 0) {
      check.problem = "line " + std::to_string(bare_lf_line) + " does not end in CR LF";
    } else {
      check.ok = true;
    }
  } catch (const Exception& e) {
    check.problem = e.message();
  }
  return check;
}

}  // namespace ab
