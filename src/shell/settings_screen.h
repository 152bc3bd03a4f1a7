#pragma once
// The settings screen of the backup schedule: the values it shows when it is opened and what
// "保存设置" writes. The toolkit-free part of the main window, shared by the tray's window and the
// console's `settings` command.

#include <cstdint>
#include <string>
#include <vector>

#include "config/config_file.h"

namespace ab {

// The interval list cxComboBox1 (21 entries, GBK): "5分钟" … "300分钟", "更大时间".
const std::vector<std::string>& IntervalEntries();
// The retention list cxComboBox2: "1" … "10".
const std::vector<std::string>& RetentionEntries();

struct SettingsScreen {
  int32_t interval_index = -1;  // selected entry of the interval list, -1 none
  std::string backup_path;      // edtPath
  std::string branch_number;    // cxTextEdit1
  std::string days_text;        // the retention list's text
};

// What the window shows each time it becomes visible: the stored values, uncapped.
SettingsScreen LoadSettingsScreen(TConfigFile& config);

// "保存设置": writes the four values and saves Config.xml, then returns the retention as a whole
// number. A retention text that is no whole number throws ConvertError after the file was saved.
int32_t SaveSettingsScreen(TConfigFile& config, const SettingsScreen& screen);

// The branch number field lets only digits and backspace through; this is the text that typing
// `typed` into an empty field leaves.
std::string TypeIntoBranchNumber(const std::string& typed);

}  // namespace ab
