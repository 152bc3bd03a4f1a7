#pragma once
// The local database server supervisor. When Config.xml says LocalDatabase, the service makes
// sure the server kept in its home answers before it opens its own connection, restarts it when
// the link is lost, and asks it to shut down when the service exits unless other clients still
// use it.
//
// Files in the home: mysqld (the server program; a link to mariadbd serves), my.ini (the
// server's options; basedir, datadir, innodb_data_home_dir and socket are written into
// [mysqld] before each launch, every other line is kept), Database/ (base directory),
// Database/data/ (data directory), Database/mysqld.log (the server's output), mysql.sock.
//
// User-interface thread only. The waits block that thread.

#include <functional>
#include <string>
#include <sys/types.h>

namespace ab {

class LocalServerSupervisor {
 public:
  // The seams tests replace; by default the real probe over <home>/mysql.sock, a real sleep and
  // the real launch.
  struct Seams {
    std::function<bool()> probe;
    std::function<void(int milliseconds)> sleep;
    std::function<pid_t()> launch;  // throws on failure
  };

  // `home` ends in "/".
  LocalServerSupervisor(std::string home, bool use_local_database);
  LocalServerSupervisor(std::string home, bool use_local_database, Seams seams);

  // Makes sure the server answers; launches it when the first probe fails, then waits 100 ms and
  // probes up to 100 times, 100 ms apart, giving up silently. Throws Exception
  // "启动本地服务器失败" when the server cannot be launched; my.ini that cannot be written raises
  // the file layer's error.
  void StartLocalServer();

  // Nothing unless the local database is in use. Leaves the server running when "show
  // processlist" over the thread's connection shows another client; otherwise asks it to shut
  // down and waits (up to 30 s) for its process to end, so that a following start never runs a
  // second server on the same data directory.
  void StopLocalServer();

  bool use_local_database() const { return use_local_database_; }
  pid_t serverProcess() const { return server_process_; }

  std::string ProgramPath() const { return home_ + "mysqld"; }
  std::string OptionsPath() const { return home_ + "my.ini"; }
  std::string SocketPath() const { return home_ + "mysql.sock"; }

 private:
  void WriteOptions();
  pid_t Launch();
  void RefreshServerProcess();

  std::string home_;
  bool use_local_database_;
  Seams seams_;
  pid_t server_process_ = 0;
};

}  // namespace ab
