#pragma once
// Ini files (my.ini of the local server, Help.ini, winsms.ini): sections "[name]" and lines
// "key=value". Reading matches section and key names without regard to letter case, as the
// platform's ini routines do; writing replaces the first matching line in place, or appends the
// key at the end of its section (creating the section at the end of the file), and keeps every
// other line — comments, blank lines, other sections — byte for byte.

#include <string>
#include <vector>

namespace ab {

class IniFile {
 public:
  IniFile() = default;
  // Parses text; never fails (lines that are neither sections nor keys are kept as they are).
  static IniFile FromText(const std::string& text);
  // A missing file gives an empty ini; throws IoError when the file exists but cannot be read.
  static IniFile Load(const std::string& path);

  std::string ReadString(const std::string& section, const std::string& key,
                         const std::string& def) const;
  void WriteString(const std::string& section, const std::string& key, const std::string& value);

  std::string ToText() const;
  // Writes the file atomically, keeping the mode of an existing file (0644 for a new one).
  void Save(const std::string& path) const;

 private:
  std::vector<std::string> lines_;  // without line ends
  std::string eol_ = "\n";
};

}  // namespace ab
