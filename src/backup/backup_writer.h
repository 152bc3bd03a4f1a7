#pragma once
// One backup of the membership database, and the retention of old ones.
//
// A backup is the dump script of the database of the thread's connection (GetThreadConnection),
// compressed into one zlib stream at level 9, in the file "yyyy-mm-dd_hh-nn.bak" of the backup
// folder. The file is first written under a temporary name in the same folder,
// ".yyyy-mm-dd_hh-nn.bak.partial" (a name the purge never matches), flushed to disk, and renamed
// to its final name only when complete, so a crash or a power cut never leaves a truncated file
// that looks like a backup; a later run removes such left-overs. A second backup in the same
// minute replaces the first. Backup files get mode 0600: they hold every member's personal data.
//
// User-interface thread only; callers keep two backups of one home from running at once (the
// home lock).

#include <cstdint>
#include <functional>
#include <string>

#include "backup/zlib_sink.h"
#include "platform/datetime.h"
#include "platform/db/dump_writer.h"

namespace ab {

class Clock;
class TConfigFile;

// The progress bar of a backup: its maximum and its position.
using BackupProgressFn = std::function<void(int maximum, int position)>;

struct BackupOptions {
  CompressorOptions compressor;
  db::DumpOptions dump;
};

struct BackupResult {
  bool written = false;  // the file is complete under its final name
  std::string path;      // folder + "/" + name + ".bak"
  std::string error;     // why the dump failed, when not written
  uint64_t script_bytes = 0;
  uint64_t file_bytes = 0;
  explicit operator bool() const { return written; }
};

// The backup folder: key BackupPath of section Database of Config.xml (selected), the program
// directory when the key is missing.
std::string BackupFolder(TConfigFile& config);

// "yyyy-mm-dd_hh-nn", e.g. 2024-03-15_09-05.
std::string BackupName(DateTime now);

// Makes one backup:
//  1. folder := BackupFolder(config); creates it with any missing parents;
//  2. PurgeOldBackups(folder, saveDays, clock), then RemoveStaleBackupFiles(folder);
//  3. name := BackupName(clock.Now()); creates the temporary file;
//  4. progress(0, 0); dumps the database into the compressor over the file, reporting
//     progress(object count - 1, object number) before each table and view;
//  5. finishes the stream, flushes and closes the file, renames it to folder/name.bak.
// Errors of steps 1 to 3 (the folder or the file cannot be created, the folder cannot be
// listed) are raised (IoError) and leave no file. A failure from step 4 on (no connection, a
// server error, a lost link, a full disk) deletes the file and returns written false with the
// reason; the purge is not undone.
[[nodiscard]] BackupResult DoBackup(int32_t saveDays, const BackupProgressFn& progress,
                                    TConfigFile& config, const Clock& clock,
                                    const BackupOptions& options = {});

// Deletes the backups of `folder` older than the retention. Cutoff := the date of now minus
// saveDays days as the number YYYYMMDD. Every entry is looked at (hidden ones and folders
// too); an entry is deleted when its name has at least 20 characters, its characters 1-4, 6-7
// and 9-10 read as a whole number not above the cutoff, and it ends in ".bak" in any letter case.
// Nothing else of the name is looked at. An entry that cannot be deleted is skipped; a folder
// that cannot be listed raises IoError.
void PurgeOldBackups(const std::string& folder, int32_t saveDays, const Clock& clock);

// Deletes the temporary files of backups that never completed; one that a running backup is
// writing (it holds the file's lock) stays. Errors for single files are ignored.
void RemoveStaleBackupFiles(const std::string& folder);

// The temporary name of the backup `name` (".name.bak.partial").
std::string TemporaryBackupName(const std::string& name);

}  // namespace ab
