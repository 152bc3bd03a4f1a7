#pragma once
// Where a backup's bytes go. The dump writes its script into a Sink; the zlib compressor
// (zlib_sink.h) is a Sink that writes into another one; FileSink ends the chain on disk and
// StringSink in memory.

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/db/dump_writer.h"

namespace ab {

using Sink = db::ScriptSink;

// A file written from its start. Create takes an exclusive flock on it for the sink's life, so
// that a clean-up of left-over files can tell a file still being written from an abandoned one.
// Not thread-safe; every call comes from the thread that writes.
class FileSink : public Sink {
 public:
  // Creates the file, or empties an existing one, and gives it exactly `mode`. Throws IoError
  // naming the path when it cannot be created, or when another process holds its lock.
  static std::unique_ptr<FileSink> Create(const std::string& path, mode_t mode);
  // Closes the file when Finish did not; the bytes stay, unflushed.
  ~FileSink() override;
  FileSink(const FileSink&) = delete;
  FileSink& operator=(const FileSink&) = delete;

  // Throws IoError (for example when the disk is full).
  void Append(std::string_view bytes) override;
  // Flushes the file to disk and closes it; throws IoError.
  void Finish() override;

  const std::string& path() const { return path_; }
  uint64_t size() const { return size_; }

 private:
  FileSink(std::string path, int fd) : path_(std::move(path)), fd_(fd) {}

  std::string path_;
  int fd_;
  uint64_t size_ = 0;
};

// Collects the bytes in memory.
class StringSink : public Sink {
 public:
  void Append(std::string_view bytes) override { data.append(bytes); }
  void Finish() override { finished = true; }

  std::string data;
  bool finished = false;
};

}  // namespace ab
