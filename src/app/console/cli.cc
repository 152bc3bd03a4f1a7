#include "app/console/cli.h"

#include <cstdio>
#include <functional>
#include <iostream>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/console/backup_commands.h"
#include "app/console/command.h"
#include "app/console/console_ui.h"
#include "app/console/service.h"
#include "codec/base64.h"
#include "config/config_file.h"
#include "platform/error.h"
#include "platform/home.h"
#include "platform/home_lock.h"
#include "platform/log.h"
#include "platform/text.h"
#include "shell/settings_screen.h"

namespace ab {
namespace {

std::string ReadAll(std::istream& in) {
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

int Base64Command(const Args& args, Context&) {
  const auto& pos = args.positional();
  if (pos.size() != 1 || (pos[0] != "encode" && pos[0] != "decode")) {
    throw UsageError("base64 needs exactly one of: encode, decode");
  }
  bool raw = args.Has("raw");
  std::string input = ReadAll(std::cin);
  Base64 codec;
  if (pos[0] == "encode") {
    std::cout << Base64Encode(raw ? input : gbk(input)) << std::flush;
    return 0;
  }
  size_t expected = input.empty() ? 0 : codec.DecodedSize(input);
  std::string decoded(expected + 1, '\0');
  size_t returned = codec.Decode(input, reinterpret_cast<unsigned char*>(decoded.data()));
  decoded.resize(returned);
  std::cout << (raw ? decoded : utf8(decoded)) << std::flush;
  char label[64];
  std::snprintf(label, sizeof label, "%zu", expected);
  Log(LogLevel::kInfo, gbk("预设:") + label + gbk(" 返回:") + std::to_string(returned));
  return 0;
}

std::string IntervalName(int32_t index) {
  const auto& entries = IntervalEntries();
  if (index < 0) return "";
  return entries[static_cast<size_t>(index < 20 ? index : 20)];
}

int32_t ParseInterval(const std::string& text) {
  const auto& entries = IntervalEntries();
  std::string g = gbk(text);
  for (size_t i = 0; i < entries.size(); ++i) {
    if (entries[i] == g) return static_cast<int32_t>(i);
  }
  auto index = TryStrToInt(text);
  if (!index || *index < -1 || *index > 20) {
    throw UsageError("--interval takes an index of the interval list (0 to 20, -1 for none) or "
                     "one of its entries, e.g. 30分钟");
  }
  return *index;
}

int SettingsCommand(const Args& args, Context& ctx) {
  if (!args.positional().empty()) throw UsageError("settings takes no arguments");
  SettingsScreen screen = LoadSettingsScreen(ctx.config);
  bool change = false;
  if (auto v = args.Get("folder")) {
    screen.backup_path = gbk(*v);
    change = true;
  }
  if (auto v = args.Get("interval")) {
    screen.interval_index = ParseInterval(*v);
    change = true;
  }
  if (auto v = args.Get("days")) {
    screen.days_text = gbk(*v);
    change = true;
  }
  if (auto v = args.Get("branch")) {
    screen.branch_number = TypeIntoBranchNumber(*v);
    change = true;
  }
  if (change) {
    SaveSettingsScreen(ctx.config, screen);  // throws after saving when the days are no number
    ctx.ui.Balloon(gbk("参数设置"), gbk("参数设置完成,建议重启\r\n交互程序..."));
  }
  std::cout << "BackupPath: " << utf8(screen.backup_path) << "\n"
            << "AutoInterval: " << screen.interval_index;
  if (screen.interval_index >= 0) std::cout << " (" << utf8(IntervalName(screen.interval_index)) << ")";
  std::cout << "\nDays: " << utf8(screen.days_text) << "\n"
            << "BranchNumber: " << utf8(screen.branch_number) << "\n";
  return 0;
}

void AddSettingsCommands(CommandTable& table) {
  table.insert({
      {"base64",
       {"the settings window's Base64 test pair, standard input to standard output",
        "base64 encode|decode [--raw]\n"
        "  encode: the Base64 (MIME line breaks) of the GBK form of the UTF-8 input\n"
        "  decode: the decoded GBK bytes written as UTF-8; logs \"预设:N 返回:M\"\n"
        "  --raw   take and give bytes unchanged\n",
        {},
        {"raw"},
        Base64Command}},
      {"settings",
       {"show or change the backup settings (folder, interval, retention, branch number)",
        "settings [--folder DIR] [--interval N|ENTRY] [--days N] [--branch DIGITS]\n"
        "  Without options, prints the values the settings screen shows.\n"
        "  With options, saves all four values to Config.xml as \"保存设置\" does;\n"
        "  --interval is an index of the interval list (0 = 5分钟 ... 20 = 更大时间) or an entry;\n"
        "  --branch keeps only the digits typed. A --days that is no whole number fails after\n"
        "  the file was saved (exit status 1).\n",
        {"folder", "interval", "days", "branch"},
        {},
        SettingsCommand}},
  });
}

const CommandTable& Commands() {
  static const CommandTable commands = [] {
    CommandTable table;
    AddSettingsCommands(table);
    AddBackupCommands(table);
    AddServiceCommands(table);
    return table;
  }();
  return commands;
}

void PrintUsage(std::ostream& out) {
  out << "usage: autobackup [--home DIR] [--yes] COMMAND [OPTIONS]\n"
         "       autobackup COMMAND --help\n\n"
         "  --home DIR  the program directory (default: $AUTOBACKUP_HOME, else the\n"
         "              executable's folder); Config.xml and the other files live there\n"
         "  --yes       answer Yes/OK to every question\n\ncommands:\n";
  for (const auto& [name, cmd] : Commands()) {
    out << "  " << name << std::string(name.size() < 10 ? 10 - name.size() : 1, ' ')
        << cmd.summary << "\n";
  }
}


}  // namespace

int RunCli(int argc, char** argv) {
  std::vector<std::string> words(argv + 1, argv + argc);
  std::string home;
  bool yes = false;
  size_t i = 0;
  try {
    for (; i < words.size(); ++i) {
      const std::string& w = words[i];
      if (w == "--home") {
        if (i + 1 >= words.size()) throw UsageError("option --home needs a value");
        home = words[++i];
      } else if (w.rfind("--home=", 0) == 0) {
        home = w.substr(7);
      } else if (w == "--yes") {
        yes = true;
      } else if (w == "--help" || w == "-h") {
        PrintUsage(std::cout);
        return 0;
      } else if (w.rfind("-", 0) == 0) {
        throw UsageError("unknown option " + w);
      } else {
        break;
      }
    }
    if (i >= words.size()) throw UsageError("no command given");
    std::string name = words[i];
    auto it = Commands().find(name);
    if (it == Commands().end()) throw UsageError("unknown command '" + name + "'");
    const Command& command = it->second;
    std::vector<std::string> rest(words.begin() + static_cast<long>(i) + 1, words.end());
    for (const auto& w : rest) {
      if (w == "--help" || w == "-h") {
        std::cout << "usage: autobackup [--home DIR] [--yes] " << command.usage;
        return 0;
      }
    }
    Args args(rest, command.valued, command.flags);

    SetProgramDir(ResolveProgramDir(home));
    TConfigFile& config = TConfigFile::GetInstance();
    config.Reset(ProgramDir() + "Config.xml");
    ApplyLocaleSettings(config);
    ConsoleUi ui({yes, OnTerminal()}, std::cin, PauseUnlessStopped);
    Context ctx{ui, config, yes, OnTerminal()};
    try {
      return command.run(args, ctx);
    } catch (const UsageError&) {
      throw;
    } catch (const LockedError& e) {
      Log(LogLevel::kError, e.message());
      std::cerr << "autobackup: " << utf8(e.message()) << "\n";
      return kExitLocked;
    } catch (const Exception& e) {
      Log(LogLevel::kError, e.message());
      return 1;
    }
  } catch (const UsageError& e) {
    std::cerr << "autobackup: " << e.what() << "\n"
              << "Try 'autobackup --help'"
              << (i < words.size() ? " or 'autobackup " + words[i] + " --help'" : std::string())
              << ".\n";
    return kExitUsage;
  } catch (const std::exception& e) {
    std::cerr << "autobackup: " << utf8(e.what()) << "\n";
    return 1;
  }
}

}  // namespace ab
