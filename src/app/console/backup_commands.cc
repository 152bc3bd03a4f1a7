#include "app/console/backup_commands.h"

#include <cstdio>
#include <iostream>
#include <memory>
#include <string>

#include "app/console/console_ui.h"
#include "app/console/service.h"
#include "backup/backup_check.h"
#include "backup/backup_writer.h"
#include "config/config_file.h"
#include "config/connection_registry.h"
#include "platform/clock.h"
#include "platform/db/connection.h"
#include "platform/db/script_runner.h"
#include "platform/error.h"
#include "platform/home.h"
#include "platform/home_lock.h"
#include "platform/log.h"
#include "platform/text.h"
#include "shell/local_server.h"

namespace ab {
namespace {

void ShowProgress(bool interactive, const std::string& what) {
  if (!interactive) return;
  std::fprintf(stderr, "\r%s   ", what.c_str());
  std::fflush(stderr);
}

int BackupCommand(const Args& args, Context& ctx) {
  if (!args.positional().empty()) throw UsageError("backup takes no arguments");
  auto lock = LockHome();
  ConsoleService service(ctx);
  BackupResult result;
  try {
    // The start-up steps a backup relies on: the local server, the backup folder rule (an empty
    // BackupPath becomes the program directory, saved), the retention (0 or missing: 2) and the
    // connection.
    if (!service.StartOneShot()) return kExitBeforeDump;
    result = DoBackup(
        service.window().saveDays,
        [&](int maximum, int position) {
          ShowProgress(ctx.interactive, "backup: object " + std::to_string(position + 1) + " of " +
                                            std::to_string(maximum + 1));
        },
        ctx.config, RealClock());
  } catch (const Exception& e) {
    ShowProgress(ctx.interactive, "\n");
    Log(LogLevel::kError, e.message());
    return kExitBeforeDump;
  }
  ShowProgress(ctx.interactive, "\n");
  if (!result) {
    Log(LogLevel::kError, "The backup failed, no file was kept: " + result.error);
    return kExitFailed;
  }
  // As the "立即备份" button after a successful backup.
  ctx.ui.Balloon(gbk("自动备份"), gbk("数据自动备份完成！..."));
  std::cout << utf8(result.path) << "\n";
  return kExitOk;
}

int RestoreCommand(const Args& args, Context& ctx) {
  if (args.positional().size() != 1) throw UsageError("restore needs exactly one FILE");
  const std::string path = args.positional()[0];
  auto lock = LockHome();

  BackupCheck check = CheckBackupFile(path);
  if (!check.ok) {
    Log(LogLevel::kError,
        path + " is not a complete backup, nothing was restored: " + check.problem);
    return kExitFailed;
  }
  const bool yes = ctx.yes || args.Has("yes");
  if (!yes) {
    if (!ctx.interactive) {
      Log(LogLevel::kError, "restore drops and recreates the database `" + check.database +
                                "`; confirm on a terminal or give --yes");
      return kExitFailed;
    }
    std::string text = gbk("恢复将删除并重建数据库 '") + check.database +
                       gbk("'，库中现有的数据将被备份文件 ") + path +
                       gbk(" 中的数据取代。\r\n\r\n确认要恢复吗？");
    if (ctx.ui.MessageBox(text, gbk("恢复备份"), MsgButtons::kYesNo, MsgIcon::kQuestion,
                          Question::kGeneric) != MsgResult::kYes) {
      Log(LogLevel::kInfo, "Restore cancelled; nothing was changed");
      return kExitFailed;
    }
  }
  // The script recreates its database, which may not exist (a new server): the connection goes
  // to the server of Config.xml without a database, a local one started first.
  ctx.config.SelectSection("Database");
  if (TryStrToBool(ctx.config.ReadString("LocalDatabase", "false")).value_or(false)) {
    LocalServerSupervisor(ProgramDir(), true).StartLocalServer();
  }
  db::ConnectionSettings settings = ConnectionRegistry::SettingsFromConfig(ctx.config);
  settings.database.clear();
  db::Connection connection(settings);
  try {
    connection.Open();
    uint64_t ran = db::RunScriptFile(connection, path, {}, [&](int percent) {
      ShowProgress(ctx.interactive, "restore: " + std::to_string(percent) + "%");
    });
    ShowProgress(ctx.interactive, "\n");
    std::cout << "restored `" << utf8(check.database) << "` from " << path << " (" << ran
              << " statements)\n";
    return kExitOk;
  } catch (const db::ScriptError& e) {
    ShowProgress(ctx.interactive, "\n");
    Log(LogLevel::kError, "Statement " + std::to_string(e.statement_number()) + " (line " +
                              std::to_string(e.line()) + ") failed: " + e.message());
    return kExitFailed;
  } catch (const Exception& e) {
    ShowProgress(ctx.interactive, "\n");
    Log(LogLevel::kError, e.message());
    return kExitFailed;
  }
}

int VerifyCommand(const Args& args, Context&) {
  if (args.positional().size() != 1) throw UsageError("verify needs exactly one FILE");
  const std::string path = args.positional()[0];
  BackupCheck check = CheckBackupFile(path);
  if (!check.ok) {
    std::cout << path << ": BAD: " << utf8(check.problem) << "\n";
    return kExitFailed;
  }
  std::cout << path << ": OK: database `" << utf8(check.database) << "`, " << check.statements
            << " statements, " << check.script_bytes << " bytes of script in " << check.file_bytes
            << " bytes\n";
  return kExitOk;
}

}  // namespace

void AddBackupCommands(CommandTable& table) {
  table.insert({
      {"backup",
       {"make one backup now and print the file's path",
        "backup\n"
        "  Dumps the database of section Database of Config.xml into BackupPath (the program\n"
        "  directory by default) as yyyy-mm-dd_hh-nn.bak, after purging the backups older than\n"
        "  SaveDays/Days days (0 or missing: 2). Exit 0 written, 1 the dump failed, 3 an error\n"
        "  before the dump, 4 another process holds the home.\n",
        {},
        {},
        BackupCommand}},
      {"restore",
       {"restore a backup file (drops and recreates the database)",
        "restore FILE [--yes]\n"
        "  Checks FILE completely, then runs its script on the server of Config.xml. The script\n"
        "  drops and recreates its database: on a terminal the command asks first; otherwise it\n"
        "  needs --yes. Exit 0 restored, 1 not, 4 another process holds the home.\n",
        {},
        {"yes"},
        RestoreCommand}},
      {"verify",
       {"check that a backup file is complete",
        "verify FILE\n"
        "  Exit 0 when FILE is exactly one zlib stream with a good Adler-32 checksum whose\n"
        "  script starts with the connection settings and ends with the restoring ones.\n",
        {},
        {},
        VerifyCommand}},
  });
}

}  // namespace ab
