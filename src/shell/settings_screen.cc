#include "shell/settings_screen.h"

#include "platform/text.h"

namespace ab {

const std::vector<std::string>& IntervalEntries() {
  static const std::vector<std::string> entries = [] {
    std::vector<std::string> e;
    for (int minutes : {5, 10, 15, 20, 25, 30, 35, 40, 45, 50, 55, 60, 90, 120, 150, 180, 210, 240,
                        270, 300}) {
      e.push_back(std::to_string(minutes) + gbk("分钟"));
    }
    e.push_back(gbk("更大时间"));
    return e;
  }();
  return entries;
}

const std::vector<std::string>& RetentionEntries() {
  static const std::vector<std::string> entries = {"1", "2", "3", "4", "5",
                                                   "6", "7", "8", "9", "10"};
  return entries;
}

SettingsScreen LoadSettingsScreen(TConfigFile& config) {
  SettingsScreen s;
  config.SelectSection("AutoInterval");
  s.interval_index = config.ReadInteger("AutoInterval", -1);
  config.SelectSection("Database");
  s.backup_path = config.ReadString("BackupPath", "");
  config.SelectSection("BranchNumber");
  s.branch_number = config.ReadString("BranchNumber", "");
  config.SelectSection("SaveDays");
  s.days_text = config.ReadString("Days", "");
  return s;
}

int32_t SaveSettingsScreen(TConfigFile& config, const SettingsScreen& s) {
  config.SelectSection("AutoInterval");
  config.WriteInteger("AutoInterval", s.interval_index);
  config.SelectSection("Database");
  config.WriteString("BackupPath", s.backup_path);
  config.SelectSection("BranchNumber");
  config.WriteString("BranchNumber", s.branch_number);
  config.SelectSection("SaveDays");
  config.WriteString("Days", s.days_text);
  config.Save();
  return StrToInt(s.days_text);
}

std::string TypeIntoBranchNumber(const std::string& typed) {
  std::string field;
  for (char c : typed) {
    if (c >= '0' && c <= '9') {
      field += c;
    } else if (c == '\b') {
      if (!field.empty()) field.pop_back();
    }
  }
  return field;
}

}  // namespace ab
