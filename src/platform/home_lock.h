#pragma once
// One process per home: the service holds an exclusive lock on <home>/autobackup.lock for its
// whole life, and the one-shot commands (backup, daily, restore, setup --create) for their
// duration, so that two instances never send the daily messages twice or race each other's
// backups. The holder's process id is written into the file so that a refused process can name it.

#include <string>
#include <sys/types.h>

#include "platform/error.h"

namespace ab {

class LockedError : public Exception {
 public:
  LockedError(const std::string& message, pid_t holder) : Exception(message), holder_(holder) {}
  pid_t holder() const { return holder_; }

 private:
  pid_t holder_;
};

class HomeLock {
 public:
  // Takes the lock on `path` without waiting; throws LockedError naming the holder when another
  // process has it, IoError when the file cannot be opened.
  explicit HomeLock(const std::string& path);
  ~HomeLock();
  HomeLock(const HomeLock&) = delete;
  HomeLock& operator=(const HomeLock&) = delete;

 private:
  int fd_ = -1;
};

}  // namespace ab
