#include "shell/local_server.h"

#include <chrono>
#include <fstream>
#include <thread>

#include "config/connection_registry.h"
#include "platform/db/local_server.h"
#include "platform/error.h"
#include "platform/ini.h"
#include "platform/process.h"
#include "platform/text.h"

namespace ab {

LocalServerSupervisor::LocalServerSupervisor(std::string home, bool use_local_database)
    : LocalServerSupervisor(std::move(home), use_local_database, Seams{}) {}

LocalServerSupervisor::LocalServerSupervisor(std::string home, bool use_local_database,
                                             Seams seams)
    : home_(std::move(home)), use_local_database_(use_local_database), seams_(std::move(seams)) {
  if (!seams_.probe) {
    seams_.probe = [this] { return db::ProbeServer({SocketPath()}); };
  }
  if (!seams_.sleep) {
    seams_.sleep = [](int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); };
  }
  if (!seams_.launch) {
    seams_.launch = [this] { return Launch(); };
  }
}

void LocalServerSupervisor::WriteOptions() {
  IniFile ini = IniFile::Load(OptionsPath());
  ini.WriteString("mysqld", "basedir", home_ + "Database/");
  ini.WriteString("mysqld", "datadir", home_ + "Database/data/");
  ini.WriteString("mysqld", "innodb_data_home_dir", home_ + "Database/data/");
  ini.WriteString("mysqld", "socket", SocketPath());
  ini.Save(OptionsPath());
}

pid_t LocalServerSupervisor::Launch() {
  LaunchOptions options;
  options.argv = {ProgramPath(), "--defaults-file=" + OptionsPath(), "--console"};
  options.output_log = home_ + "Database/mysqld.log";
  return LaunchProcess(options);
}

void LocalServerSupervisor::StartLocalServer() {
  if (seams_.probe()) return;
  WriteOptions();
  try {
    server_process_ = seams_.launch();
  } catch (const Exception&) {
    throw Exception(gbk("启动本地服务器失败"));
  }
  seams_.sleep(100);
  for (int probe = 1; probe <= 100; ++probe) {
    if (seams_.probe()) return;
    seams_.sleep(100);
  }
  // Not answering: the next database step fails in its own way.
}

void LocalServerSupervisor::RefreshServerProcess() {
  try {
    db::Connection* connection = GetThreadConnection(false);
    if (connection == nullptr) throw Exception("no connection");
    auto q = connection->OpenQuery("show variables like 'pid_file'");
    if (q->Eof()) throw Exception("no pid_file");
    std::ifstream file(q->AsString("Value"));
    std::string line;
    if (!std::getline(file, line)) throw Exception("pid file unreadable");
    pid_t pid = static_cast<pid_t>(StrToInt(Trim(line)));
    if (server_process_ == 0 || server_process_ != pid) server_process_ = pid;
  } catch (const std::exception&) {
    server_process_ = 0;
  }
}

void LocalServerSupervisor::StopLocalServer() {
  if (!use_local_database_) return;
  try {
    db::Connection* connection = GetThreadConnection(false);
    if (connection != nullptr && connection->OpenQuery("show processlist")->RowCount() >= 2) {
      return;  // another client besides the service's own connection
    }
  } catch (const std::exception&) {
    // As if nobody else were connected.
  }
  RefreshServerProcess();
  if (!db::RequestShutdown({SocketPath()})) return;
  // The server refuses new connections at once but its process ends a little later.
  for (int waited = 0; server_process_ != 0 && ProcessAlive(server_process_) && waited < 30000;
       waited += 100) {
    seams_.sleep(100);
  }
}

}  // namespace ab
