#pragma once
// The console's backup commands:
//   backup          one backup now, as the settings screen's "立即备份" does; prints the file's
//                   path. Exit 0 written, 1 the dump failed (no file left), 3 an error before
//                   the dump (folder, purge, file, no database connection), 4 the home is locked.
//   restore FILE    runs a backup file's script on the configured server, which drops and
//                   recreates the database: asks first on a terminal, needs --yes otherwise.
//                   The file is checked completely before anything runs. Exit 0 restored, 1 not
//                   (refused, cancelled, a damaged file, a failing statement), 4 locked.
//   verify FILE     checks that the file is one complete zlib stream with a good checksum
//                   holding a backup script. Exit 0 good, 1 not.
// backup and restore hold the home's lock (<home>/autobackup.lock) while they work.

#include "app/console/command.h"

namespace ab {

void AddBackupCommands(CommandTable& table);

}  // namespace ab
