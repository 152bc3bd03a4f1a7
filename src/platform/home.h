#pragma once
// The program directory ("home"): where Config.xml, winsms.so, winsms.ini, my.ini, mysqld,
// Database/ and autobackup.lock live. A front end sets it once at start-up from --home, else
// $AUTOBACKUP_HOME, else the folder of the executable.

#include <string>

namespace ab {

// The program directory with its trailing "/".
const std::string& ProgramDir();
// Sets the program directory; a missing trailing "/" is added, a relative path made absolute.
void SetProgramDir(const std::string& dir);
// The rule of the front ends: `option` (from --home) if not empty, else $AUTOBACKUP_HOME if set
// and not empty, else the folder of the running executable.
std::string ResolveProgramDir(const std::string& option);
// The full path of the running executable.
std::string ExecutablePath();

}  // namespace ab
