#pragma once
// File-system helpers shared by the configuration file and the backup writer. Paths are byte
// strings as the file system takes them. Failures throw IoError naming the path and the reason.

#include <string>
#include <sys/types.h>

namespace ab {

bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);
// Reads the whole file; throws IoError when it cannot be opened or read.
std::string ReadFile(const std::string& path);
// Creates the folder and any missing parents; an existing folder is fine.
void CreateDirectories(const std::string& path);

// Replaces `path` with `data` so that no reader and no crash ever sees a partly written file: the
// bytes go to a temporary file in the same folder, are flushed to disk, and the temporary file is
// renamed over `path`. A new file gets `new_file_mode`; an existing file keeps its mode and, where
// the process may set it, its owner. An existing file the process may not write makes the call
// fail, as writing it in place would.
void WriteFileAtomic(const std::string& path, const std::string& data, mode_t new_file_mode);

// The folder part of a path, with its trailing "/" ("" for a bare name).
std::string DirName(const std::string& path);
// The last component of a path.
std::string BaseName(const std::string& path);

}  // namespace ab
