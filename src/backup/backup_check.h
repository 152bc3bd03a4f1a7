#pragma once
// The check of a backup file that `verify` and `restore` make before trusting it: exactly one
// complete zlib stream with a good Adler-32 checksum and nothing after it, whose script begins
// with header comment lines followed by the five connection-setting statements, selects
// "USE mysql" after the settings, ends with the four restoring SET statements, and ends every
// line in CR LF. The file is read as a stream; memory holds a few statements at a time.

#include <cstdint>
#include <string>

namespace ab {

struct BackupCheck {
  bool ok = false;
  std::string problem;  // the first fault found, when not ok
  uint64_t file_bytes = 0;
  uint64_t script_bytes = 0;
  uint64_t statements = 0;
  std::string database;  // the database the script creates, when found
};

// Reads `path` completely. A file that cannot be opened or read gives ok false with the reason.
BackupCheck CheckBackupFile(const std::string& path);

}  // namespace ab
