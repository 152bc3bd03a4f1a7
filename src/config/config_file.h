#pragma once
// Config.xml: every setting of the service that lives outside the database. One process-wide
// object; callers select a section, read and write keys of it as text, and save explicitly.
//
// The file is read on first use. A missing file, or one that cannot be parsed, is replaced in
// memory by the empty template; nothing is written until Save. A file that exists but cannot be
// read is reported in the log before the template is used. The current section stays selected
// between callers. Save replaces the file atomically (temporary file, flush, rename): a crash or
// a full disk during a save leaves the old file whole. A new file gets mode 0600 since it holds
// the database password; a replaced file keeps its owner and mode. Save declares "GB2312".
//
// Not locked: all users run on the user-interface thread.

#include <cstdint>
#include <string>

#include "platform/xml.h"

namespace ab {

class TConfigFile {
 public:
  static TConfigFile& GetInstance();

  // The program directory followed by "Config.xml"; worked out on first use and kept.
  const std::string& FilePath();

  // Loads the document if needed and selects the section, creating its element when missing.
  // Selecting the section that is already current does nothing.
  void SelectSection(const std::string& name);
  // The key's text in the current section, or `def` when the key element is missing (an existing
  // key with empty text gives ""). Reads before any selection address keys under the root.
  std::string ReadString(const std::string& key, const std::string& def);
  // ReadString(key, "") as a whole number; `def` when missing or not a whole number.
  int32_t ReadInteger(const std::string& key, int32_t def);
  // Sets the key's text in the current section, creating the key element at its end.
  void WriteString(const std::string& key, const std::string& value);
  void WriteInteger(const std::string& key, int32_t value);
  // Writes the whole document to FilePath(); does nothing when no document was loaded. Throws
  // IoError when the file cannot be written (a read-only file, a folder without rights).
  void Save();

  // Reads a key of any section without selecting it and without creating anything.
  std::string PeekString(const std::string& section, const std::string& key,
                         const std::string& def);

  // Forgets the document, the selection and the path, and uses `path` from now on (tests and
  // front ends that change the program directory).
  void Reset(const std::string& path = "");

 private:
  TConfigFile() = default;
  void Load();

  std::string path_;
  std::string section_name_;
  bool loaded_ = false;
  XmlDocument document_;
  XmlElement root_;
  XmlElement section_;
};

// Applies section Locale (ShortDateFormat, LongTimeFormat) to the system's date formats, keeping
// the defaults for keys that are missing or empty.
void ApplyLocaleSettings(TConfigFile& config);

}  // namespace ab
