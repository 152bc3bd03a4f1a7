#include "platform/ini.h"

#include "platform/file.h"
#include "platform/text.h"

namespace ab {
namespace {

// "[name]" → name; "" when the line is no section header.
bool SectionName(const std::string& line, std::string* name) {
  std::string t = Trim(line);
  if (t.size() < 2 || t.front() != '[' || t.back() != ']') return false;
  *name = Trim(t.substr(1, t.size() - 2));
  return true;
}

bool KeyLine(const std::string& line, std::string* key, std::string* value) {
  std::string t = Trim(line);
  if (t.empty() || t[0] == ';' || t[0] == '#') return false;
  size_t eq = line.find('=');
  if (eq == std::string::npos) {
    *key = t;  // a bare option such as "skip-networking"
    value->clear();
    return true;
  }
  *key = Trim(line.substr(0, eq));
  *value = Trim(line.substr(eq + 1));
  return true;
}

}  // namespace

IniFile IniFile::FromText(const std::string& text) {
  IniFile ini;
  if (text.find("\r\n") != std::string::npos) ini.eol_ = "\r\n";
  size_t pos = 0;
  while (pos < text.size()) {
    size_t eol = text.find('\n', pos);
    std::string line = text.substr(pos, eol == std::string::npos ? std::string::npos : eol - pos);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    ini.lines_.push_back(line);
    pos = eol == std::string::npos ? text.size() : eol + 1;
  }
  return ini;
}

IniFile IniFile::Load(const std::string& path) {
  if (!FileExists(path)) return IniFile();
  return FromText(ReadFile(path));
}

std::string IniFile::ReadString(const std::string& section, const std::string& key,
                                const std::string& def) const {
  bool in_section = false;
  for (const std::string& line : lines_) {
    std::string name, k, v;
    if (SectionName(line, &name)) {
      in_section = SameText(name, section);
    } else if (in_section && KeyLine(line, &k, &v) && SameText(k, key)) {
      return v;
    }
  }
  return def;
}

void IniFile::WriteString(const std::string& section, const std::string& key,
                          const std::string& value) {
  bool in_section = false;
  size_t section_end = lines_.size();  // where a new key of the section goes
  bool found_section = false;
  for (size_t i = 0; i < lines_.size(); ++i) {
    std::string name, k, v;
    if (SectionName(lines_[i], &name)) {
      if (in_section) {
        section_end = i;
        break;
      }
      in_section = SameText(name, section);
      if (in_section) {
        found_section = true;
        section_end = lines_.size();
      }
    } else if (in_section && KeyLine(lines_[i], &k, &v) && SameText(k, key)) {
      lines_[i] = k + "=" + value;
      return;
    }
  }
  if (!found_section) {
    if (!lines_.empty() && !Trim(lines_.back()).empty()) lines_.push_back("");
    lines_.push_back("[" + section + "]");
    lines_.push_back(key + "=" + value);
    return;
  }
  // Insert after the section's last non-blank line.
  size_t at = section_end;
  while (at > 0 && Trim(lines_[at - 1]).empty()) --at;
  lines_.insert(lines_.begin() + static_cast<long>(at), key + "=" + value);
}

std::string IniFile::ToText() const {
  std::string out;
  for (const std::string& line : lines_) out += line + eol_;
  return out;
}

void IniFile::Save(const std::string& path) const { WriteFileAtomic(path, ToText(), 0644); }

}  // namespace ab
