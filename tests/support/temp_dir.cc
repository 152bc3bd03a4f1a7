#include "support/temp_dir.h"

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace ab::testing {

TempDir::TempDir() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/ab-test-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern + "/";
}

TempDir::~TempDir() {
  std::error_code ec;
  // Tests may leave read-only folders behind; give write access back before removing.
  for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
       it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
  }
  std::filesystem::remove_all(path_, ec);
}

void TempDir::Write(const std::string& name, const std::string& data) const {
  std::ofstream out(File(name), std::ios::binary);
  out << data;
  if (!out) throw std::runtime_error("cannot write " + File(name));
}

std::string TempDir::Read(const std::string& name) const {
  std::ifstream in(File(name), std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + File(name));
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string ShellQuote(const std::string& word) {
  std::string out = "'";
  for (char c : word) {
    if (c == '\'') {
      out += "'\\''";
    } else {
      out += c;
    }
  }
  return out + "'";
}

CommandResult RunCommand(const std::string& command_line, const std::string& input) {
  TempDir io;
  io.Write("in", input);
  std::string full = "( " + command_line + " ) <" + ShellQuote(io.File("in")) + " >" +
                     ShellQuote(io.File("out")) + " 2>" + ShellQuote(io.File("err"));
  int raw = std::system(full.c_str());
  CommandResult r;
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  r.out = io.Read("out");
  r.err = io.Read("err");
  return r;
}

}  // namespace ab::testing

namespace ab::testing {

int RunUnprivileged(const std::function<int()>& body) {
  std::fflush(nullptr);
  pid_t pid = ::fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    if (::geteuid() == 0) {
      if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0) {
        ::_exit(126);
      }
    }
    int result = 127;
    try {
      result = body();
    } catch (...) {
      result = 127;
    }
    ::_exit(result);
  }
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  int code = WEXITSTATUS(status);
  return code >= 126 ? -1 : code;
}

}  // namespace ab::testing
