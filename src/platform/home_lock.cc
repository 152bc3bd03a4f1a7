#include "platform/home_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

namespace ab {

HomeLock::HomeLock(const std::string& path) {
  fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd_ < 0) {
    throw IoError("Cannot open the lock file \"" + path + "\": " + std::strerror(errno));
  }
  if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
    int err = errno;
    char buf[32] = {0};
    ssize_t n = ::pread(fd_, buf, sizeof buf - 1, 0);
    pid_t holder = n > 0 ? static_cast<pid_t>(std::atol(buf)) : 0;
    ::close(fd_);
    fd_ = -1;
    if (err != EWOULDBLOCK) {
      throw IoError("Cannot lock \"" + path + "\": " + std::strerror(err));
    }
    throw LockedError("Another AutoBackup process (pid " + std::to_string(holder) +
                          ") is working in this home; it holds \"" + path + "\"",
                      holder);
  }
  std::string pid = std::to_string(::getpid()) + "\n";
  if (::ftruncate(fd_, 0) == 0) {
    ssize_t w = ::pwrite(fd_, pid.data(), pid.size(), 0);
    (void)w;
  }
}

HomeLock::~HomeLock() {
  if (fd_ >= 0) ::close(fd_);  // closing releases the lock
}

}  // namespace ab
