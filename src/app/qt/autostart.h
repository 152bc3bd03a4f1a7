#pragma once
// Automatic start of the tray program with the desktop session: the machine-wide XDG autostart
// entry (Desktop Application Autostart Specification), the counterpart of the "AutoBackup" value
// under the Run key of the system the service comes from.

#include <string>

namespace ab {

inline constexpr const char* kAutostartFile = "/etc/xdg/autostart/AutoBackup.desktop";

// One argument of an Exec line: kept as it is when it needs no quoting, else in double quotes
// with `"`, `` ` ``, `$` and `\` escaped, then with `\` doubled and `%` doubled as the
// desktop entry's string rules require.
std::string QuoteExecArgument(const std::string& argument);

// The desktop entry that starts `program` (its full path) with `--home home`.
std::string AutostartEntry(const std::string& program, const std::string& home);

// Writes the entry to `path`, replacing an older one. Failures (no rights, no folder) are
// ignored: the registration is a convenience. Returns whether the file was written.
bool RegisterAutostart(const std::string& path, const std::string& program,
                       const std::string& home);

}  // namespace ab
