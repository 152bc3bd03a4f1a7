#include "platform/home.h"

#include <limits.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/file.h"

namespace ab {
namespace {

std::string& Storage() {
  static std::string dir;
  return dir;
}

}  // namespace

std::string ExecutablePath() {
  char buf[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return {};
  return std::string(buf, static_cast<size_t>(n));
}

const std::string& ProgramDir() {
  std::string& dir = Storage();
  if (dir.empty()) SetProgramDir(ResolveProgramDir(""));
  return dir;
}

void SetProgramDir(const std::string& dir) {
  std::string d = dir.empty() ? "." : dir;
  if (d[0] != '/') {
    char cwd[PATH_MAX];
    if (::getcwd(cwd, sizeof cwd) != nullptr) d = std::string(cwd) + "/" + d;
  }
  if (d.back() != '/') d += '/';
  Storage() = d;
}

std::string ResolveProgramDir(const std::string& option) {
  if (!option.empty()) return option;
  const char* env = std::getenv("AUTOBACKUP_HOME");
  if (env != nullptr && *env != '\0') return env;
  return DirName(ExecutablePath());
}

}  // namespace ab
