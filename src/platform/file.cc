#include "platform/file.h"

#include <fcntl.h>
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

void WriteAll(int fd, const std::string& data, const std::string& path) {
  size_t done = 0;
  while (done < data.size()) {
    ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      Fail("Cannot write", path, errno);
    }
    done += static_cast<size_t>(n);
  }
}

}  // namespace

bool FileExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string ReadFile(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) Fail("Cannot open", path, errno);
  std::string data;
  char buf[65536];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      int err = errno;
      ::close(fd);
      Fail("Cannot read", path, err);
    }
    if (n == 0) break;
    data.append(buf, static_cast<size_t>(n));
  }
  ::close(fd);
  return data;
}

void CreateDirectories(const std::string& path) {
  if (path.empty() || DirectoryExists(path)) return;
  std::string prefix;
  size_t pos = 0;
  while (pos != std::string::npos) {
    size_t next = path.find('/', pos + 1);
    prefix = path.substr(0, next);
    pos = next;
    if (prefix.empty() || prefix == "/" || DirectoryExists(prefix)) continue;
    if (::mkdir(prefix.c_str(), 0777) != 0 && errno != EEXIST) {
      Fail("Cannot create folder", prefix, errno);
    }
  }
  if (!DirectoryExists(path)) Fail("Cannot create folder", path, ENOTDIR);
}

std::string DirName(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string BaseName(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

void WriteFileAtomic(const std::string& path, const std::string& data, mode_t new_file_mode) {
  struct stat existing;
  bool exists = ::stat(path.c_str(), &existing) == 0;
  if (exists && ::access(path.c_str(), W_OK) != 0) Fail("Cannot write", path, errno);

  std::string dir = DirName(path);
  std::string temp = dir + "." + BaseName(path) + ".tmp." + std::to_string(::getpid());
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) Fail("Cannot write", path, errno);
  try {
    WriteAll(fd, data, path);
    mode_t mode = exists ? (existing.st_mode & 07777) : new_file_mode;
    if (exists && (existing.st_uid != ::geteuid() || existing.st_gid != ::getegid())) {
      // Only root may hand the file back to its owner; others keep their own ownership.
      if (::fchown(fd, existing.st_uid, existing.st_gid) != 0 && errno != EPERM) {
        Fail("Cannot set the owner of", path, errno);
      }
    }
    if (::fchmod(fd, mode) != 0) Fail("Cannot set the mode of", path, errno);
    if (::fsync(fd) != 0) Fail("Cannot flush", path, errno);
  } catch (...) {
    ::close(fd);
    ::unlink(temp.c_str());
    throw;
  }
  if (::close(fd) != 0) {
    int err = errno;
    ::unlink(temp.c_str());
    Fail("Cannot write", path, err);
  }
  if (::rename(temp.c_str(), path.c_str()) != 0) {
    int err = errno;
    ::unlink(temp.c_str());
    Fail("Cannot replace", path, err);
  }
  int dfd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    ::fsync(dfd);
    ::close(dfd);
  }
}

}  // namespace ab
