#pragma once
// The command table of the console front end. Each group of commands lives in its own file and
// adds its entries with an Add…Commands(CommandTable&) function that cli.cc calls.

#include <functional>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace ab {

class ConsoleUi;
class TConfigFile;

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitBeforeDump = 3;
inline constexpr int kExitLocked = 4;

// Bad arguments: the front end prints "autobackup: <message>" and exits with status 2.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The options of one command: "--name value", "--name=value" and bare flags.
class Args {
 public:
  Args(std::vector<std::string> words, std::vector<std::string> valued,
       std::vector<std::string> flags);
  bool Has(const std::string& name) const { return options_.count(name) != 0; }
  std::optional<std::string> Get(const std::string& name) const;
  const std::vector<std::string>& positional() const { return positional_; }

 private:
  std::vector<std::string> valued_, flags_, positional_;
  std::map<std::string, std::string> options_;
};

struct Context {
  ConsoleUi& ui;
  TConfigFile& config;
  bool yes = false;
  bool interactive = false;
};

struct Command {
  const char* summary;
  const char* usage;  // after "autobackup [--home DIR] [--yes] "
  std::vector<std::string> valued;
  std::vector<std::string> flags;
  std::function<int(const Args&, Context&)> run;
};

using CommandTable = std::map<std::string, Command>;

}  // namespace ab
