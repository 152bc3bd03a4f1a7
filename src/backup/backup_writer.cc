#include "backup/backup_writer.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "backup/sink.h"
#include "config/config_file.h"
#include "config/connection_registry.h"
#include "platform/clock.h"
#include "platform/db/connection.h"
#include "platform/error.h"
#include "platform/file.h"
#include "platform/home.h"
#include "platform/text.h"

namespace ab {
namespace {

constexpr mode_t kBackupMode = 0600;
constexpr std::string_view kPartialSuffix = ".bak.partial";

bool EndsWith(std::string_view s, std::string_view suffix) {
  return s.size() >= suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
}

void SyncFolder(const std::string& folder) {
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    ::fsync(fd);
    ::close(fd);
  }
}

// Calls `visit` with the name of every entry of `folder` but "." and "..".
template <typename F>
void ListFolder(const std::string& folder, F visit) {
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) {
    throw IoError("Cannot list the folder \"" + folder + "\": " + std::strerror(errno));
  }
  std::unique_ptr<DIR, int (*)(DIR*)> closer(dir, ::closedir);
  while (struct dirent* e = ::readdir(dir)) {
    std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    visit(name);
  }
}

// Counts the bytes that go through, for the result.
class CountingSink : public Sink {
 public:
  explicit CountingSink(Sink& out) : out_(out) {}
  void Append(std::string_view bytes) override {
    out_.Append(bytes);
    bytes_ += bytes.size();
  }
  void Finish() override { out_.Finish(); }
  uint64_t bytes() const { return bytes_; }

 private:
  Sink& out_;
  uint64_t bytes_ = 0;
};

}  // namespace

std::string BackupFolder(TConfigFile& config) {
  config.SelectSection("Database");
  return config.ReadString("BackupPath", ProgramDir());
}

std::string BackupName(DateTime now) { return FormatDateTime("yyyy-mm-dd_hh-nn", now); }

std::string TemporaryBackupName(const std::string& name) {
  return "." + name + std::string(kPartialSuffix);
}

void PurgeOldBackups(const std::string& folder, int32_t saveDays, const Clock& clock) {
  const int64_t cutoff =
      StrToIntDef(FormatDateTime("yyyymmdd", clock.Now() - static_cast<double>(saveDays)), 0);
  ListFolder(folder, [&](const std::string& name) {
    if (name.size() < 20) return;
    auto date = TryStrToInt(name.substr(0, 4) + name.substr(5, 2) + name.substr(8, 2));
    if (!date) return;
    if (LowerCase(name.substr(name.size() - 4)) != ".bak") return;
    if (cutoff < *date) return;
    ::unlink((folder + "/" + name).c_str());  // a failure leaves the entry; the listing goes on
  });
}

void RemoveStaleBackupFiles(const std::string& folder) {
  ListFolder(folder, [&](const std::string& name) {
    if (name.size() != 1 + 16 + kPartialSuffix.size() || name[0] != '.' ||
        !EndsWith(name, kPartialSuffix)) {
      return;
    }
    std::string path = folder + "/" + name;
    int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return;
    struct stat held, now;
    // A backup in progress holds the lock; and the name must still be the file that was locked.
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &held) == 0 &&
        ::lstat(path.c_str(), &now) == 0 && held.st_dev == now.st_dev &&
        held.st_ino == now.st_ino) {
      ::unlink(path.c_str());
    }
    ::close(fd);
  });
}

BackupResult DoBackup(int32_t saveDays, const BackupProgressFn& progress, TConfigFile& config,
                      const Clock& clock, const BackupOptions& options) {
  const std::string folder = BackupFolder(config);
  CreateDirectories(folder);
  PurgeOldBackups(folder, saveDays, clock);
  try {
    RemoveStaleBackupFiles(folder);
  } catch (const Exception&) {
    // The purge could list the folder a moment ago; a left-over file can wait for the next run.
  }

  const std::string name = BackupName(clock.Now());
  BackupResult result;
  result.path = folder + "/" + name + ".bak";
  const std::string temp = folder + "/" + TemporaryBackupName(name);
  std::unique_ptr<FileSink> file = FileSink::Create(temp, kBackupMode);

  try {
    {
      ZlibSink zlib(*file, options.compressor);
      CountingSink script(zlib);
      if (progress) progress(0, 0);
      db::Connection* connection = GetThreadConnection(false);
      if (connection == nullptr) {
        throw db::DbError("No database connection", 0, db::ErrorKind::kNoConnection);
      }
      db::DumpDatabase(
          *connection, script,
          [&](const std::string&, int number, int count) {
            if (progress) progress(count - 1, number);
          },
          options.dump);
      script.Finish();
      result.script_bytes = script.bytes();
    }
    result.file_bytes = file->size();
    if (::rename(temp.c_str(), result.path.c_str()) != 0) {
      throw IoError("Cannot rename \"" + temp + "\" to \"" + result.path +
                    "\": " + std::strerror(errno));
    }
    SyncFolder(folder);
    result.written = true;
  } catch (const std::exception& e) {
    file.reset();
    ::unlink(temp.c_str());
    result.error = e.what();
    result.script_bytes = 0;
    result.file_bytes = 0;
  }
  return result;
}

}  // namespace ab
