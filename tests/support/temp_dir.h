#pragma once
// A fresh folder under $TMPDIR (or /tmp) for one test, removed with everything in it when the
// object goes out of scope.

#include <functional>
#include <string>

namespace ab::testing {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The folder with its trailing "/".
  const std::string& path() const { return path_; }
  // path() + name.
  std::string File(const std::string& name) const { return path_ + name; }
  void Write(const std::string& name, const std::string& data) const;
  std::string Read(const std::string& name) const;

 private:
  std::string path_;
};

// Runs a shell command line, returning its exit status and collecting standard output and error.
struct CommandResult {
  int status = -1;
  std::string out;
  std::string err;
};
CommandResult RunCommand(const std::string& command_line, const std::string& input = "");

// Single-quotes a word for the shell.
std::string ShellQuote(const std::string& word);

}  // namespace ab::testing

namespace ab::testing {

// Runs `body` in a child process that, when the tests run as root, first drops to the user and
// group "nobody", so that permission checks hold as they do for the service's own user. Returns
// the value `body` returned (0 to 125), or -1 when the child failed otherwise.
int RunUnprivileged(const std::function<int()>& body);

}  // namespace ab::testing
