#include "backup/sink.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/error.h"

namespace ab {
namespace {

[[noreturn]] void Fail(const std::string& what, const std::string& path, int err) {
  throw IoError(what + " \"" + path + "\": " + std::strerror(err));
}

}  // namespace

std::unique_ptr<FileSink> FileSink::Create(const std::string& path, mode_t mode) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, mode);
  if (fd < 0) Fail("Cannot create", path, errno);
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    int err = errno;
    ::close(fd);
    if (err == EWOULDBLOCK) {
      throw IoError("Cannot create \"" + path + "\": another process is writing it");
    }
    Fail("Cannot lock", path, err);
  }
  if (::ftruncate(fd, 0) != 0 || ::fchmod(fd, mode) != 0) {
    int err = errno;
    ::close(fd);
    Fail("Cannot create", path, err);
  }
  return std::unique_ptr<FileSink>(new FileSink(path, fd));
}

FileSink::~FileSink() {
  if (fd_ >= 0) ::close(fd_);
}

void FileSink::Append(std::string_view bytes) {
  if (fd_ < 0) throw IoError("Cannot write \"" + path_ + "\": the file is closed");
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      Fail("Cannot write", path_, errno);
    }
    done += static_cast<size_t>(n);
  }
  size_ += bytes.size();
}

void FileSink::Finish() {
  if (fd_ < 0) throw IoError("Cannot write \"" + path_ + "\": the file is closed");
  int fd = fd_;
  fd_ = -1;
  if (::fsync(fd) != 0) {
    int err = errno;
    ::close(fd);
    Fail("Cannot flush", path_, err);
  }
  if (::close(fd) != 0) Fail("Cannot write", path_, errno);
}

}  // namespace ab
