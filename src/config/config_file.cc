#include "config/config_file.h"



#include "platform/datetime.h"
#include "platform/error.h"
#include "platform/file.h"
#include "platform/home.h"
#include "platform/log.h"
#include "platform/text.h"

namespace ab {
namespace {

constexpr char kTemplate[] = "<?xml version=\"1.0\" encoding=\"GBK\"?>\r\n<SysConfig/>";

}  // namespace

TConfigFile& TConfigFile::GetInstance() {
  static TConfigFile instance;
  return instance;
}

const std::string& TConfigFile::FilePath() {
  if (path_.empty()) path_ = ProgramDir() + "Config.xml";
  return path_;
}

void TConfigFile::Reset(const std::string& path) {
  path_ = path;
  section_name_.clear();
  loaded_ = false;
  document_ = XmlDocument();
  root_ = XmlElement();
  section_ = XmlElement();
}

void TConfigFile::Load() {
  if (loaded_) return;
  const std::string& path = FilePath();
  bool parsed = false;
  if (FileExists(path)) {
    try {
      document_ = XmlDocument::Parse(ReadFile(path));
      parsed = true;
    } catch (const IoError& e) {
      Log(LogLevel::kWarning, "Config.xml cannot be read, starting from an empty configuration: " +
                                  e.message());
    } catch (const Exception& e) {
      Log(LogLevel::kWarning,
          "Config.xml is malformed, starting from an empty configuration: " + e.message());
    }
  }
  if (!parsed) document_ = XmlDocument::Parse(kTemplate);
  loaded_ = true;
  root_ = document_.DocumentElement();
  section_ = root_;
}

void TConfigFile::SelectSection(const std::string& name) {
  Load();
  if (name == section_name_) return;
  section_name_ = name;
  section_ = root_.Child(name);
  if (!section_) section_ = root_.AppendChild(name);
}

std::string TConfigFile::ReadString(const std::string& key, const std::string& def) {
  Load();
  XmlElement element = section_.Child(key);
  return element ? element.Text() : def;
}

int32_t TConfigFile::ReadInteger(const std::string& key, int32_t def) {
  return StrToIntDef(ReadString(key, ""), def);
}

void TConfigFile::WriteString(const std::string& key, const std::string& value) {
  Load();
  XmlElement element = section_.Child(key);
  if (!element) element = section_.AppendChild(key);
  element.SetText(value);
}

void TConfigFile::WriteInteger(const std::string& key, int32_t value) {
  WriteString(key, IntToStr(value));
}

void TConfigFile::Save() {
  if (!loaded_) return;
  document_.SetEncoding("GB2312");
  WriteFileAtomic(FilePath(), document_.ToString(), 0600);
}

std::string TConfigFile::PeekString(const std::string& section, const std::string& key,
                                    const std::string& def) {
  Load();
  XmlElement element = root_.Child(section).Child(key);
  return element ? element.Text() : def;
}

void ApplyLocaleSettings(TConfigFile& config) {
  FormatSettings& formats = SystemFormats();
  std::string date = config.PeekString("Locale", "ShortDateFormat", "");
  std::string time = config.PeekString("Locale", "LongTimeFormat", "");
  if (!date.empty()) formats.short_date_format = date;
  if (!time.empty()) formats.long_time_format = time;
}

}  // namespace ab
