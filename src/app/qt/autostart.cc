#include "app/qt/autostart.h"

#include <sys/stat.h>

#include <cctype>

#include "platform/error.h"
#include "platform/file.h"

namespace ab {

std::string QuoteExecArgument(const std::string& argument) {
  bool plain = !argument.empty();
  for (char c : argument) {
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '/' || c == '.' || c == '-' ||
          c == '_' || c == '=' || c == '+' || c == ',' || c == ':' ||
          static_cast<unsigned char>(c) >= 0x80)) {
      plain = false;
    }
  }
  std::string quoted;
  if (plain) {
    quoted = argument;
  } else {
    quoted = "\"";
    for (char c : argument) {
      if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
      quoted += c;
    }
    quoted += '"';
  }
  // The desktop entry's own escapes, applied over the Exec quoting.
  std::string entry;
  for (char c : quoted) {
    if (c == '\\') entry += '\\';
    if (c == '%') entry += '%';
    entry += c;
  }
  return entry;
}

std::string AutostartEntry(const std::string& program, const std::string& home) {
  return "[Desktop Entry]\n"
         "Type=Application\n"
         "Name=AutoBackup\n"
         "Comment=AutoBackup: backups and reminders of the membership database\n"
         "Exec=" +
         QuoteExecArgument(program) + " --home " + QuoteExecArgument(home) +
         "\n"
         "Terminal=false\n"
         "X-GNOME-Autostart-enabled=true\n";
}

bool RegisterAutostart(const std::string& path, const std::string& program,
                       const std::string& home) {
  try {
    WriteFileAtomic(path, AutostartEntry(program, home), 0644);
    return true;
  } catch (const Exception&) {
    return false;
  }
}

}  // namespace ab
