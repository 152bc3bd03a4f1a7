#include "config/setup_dialog.h"

#include <cstdio>

#include "config/config_file.h"
#include "config/des_cipher.h"
#include "platform/db/connection.h"
#include "platform/db/script_runner.h"
#include "platform/error.h"
#include "platform/file.h"
#include "platform/home.h"
#include "platform/ini.h"
#include "platform/text.h"
#include "platform/ui.h"

namespace ab {

TfrmDBConfig::TfrmDBConfig(Ui& ui, TConfigFile& config) : ui_(ui), config_(config) {}

void TfrmDBConfig::FormShow() {
  cbbServer = config_.ReadString("Server", "localhost");
  edtDBName = config_.ReadString("Database", "DiderUvor");
  edtUserName = config_.ReadString("UserName", "root");
  std::string stored = config_.ReadString("Password", "");
  if (!stored.empty()) edtPassword = DES_DecryptHex(stored, kCredentialKey);
}

void TfrmDBConfig::btnOkClick() {
  config_.SelectSection("Database");
  config_.WriteString("Server", cbbServer);
  config_.WriteString("Database", edtDBName);
  config_.WriteString("DBName", edtDBName);
  config_.WriteString("UserName", edtUserName);
  config_.WriteString("Password", DES_EncryptHex(edtPassword, kCredentialKey));
  config_.Save();
  modalResult = Result::kOk;
}

void TfrmDBConfig::btnCancelClick() { modalResult = Result::kCancel; }

std::string TfrmDBConfig::ScriptDatabaseName(const std::string& script) {
  size_t use = script.find("USE `");
  if (use == std::string::npos) return {};
  size_t start = use + 5;
  size_t end = script.substr(start, 100).find("`;");
  if (end == std::string::npos) return {};
  return script.substr(start, end);
}

void TfrmDBConfig::btnTestClick() {
  auto path = ui_.ChooseFile(gbk("EXCEL文件(*.sql)|*.sql|文本文件(*.Txt)|*.Txt"), "*.sql");
  if (!path) return;
  CreateFromScript(*path);
}

void TfrmDBConfig::CreateFromScript(const std::string& path) {
  std::string script;
  try {
    script = ReadFile(path);
  } catch (const Exception& e) {
    ui_.MessageBox(gbk("创建失败！,请检查连接主机是否己安装MySQL或正确输入登录密码...\r\n\r\n 失败原因：") +
                       e.message(),
                   gbk("创建数据库"), MsgButtons::kOk, MsgIcon::kError);
    return;
  }
  // A script starting with a UTF-8 byte-order mark names its database in UTF-8.
  std::string name = ScriptDatabaseName(script);
  if (script.rfind("\xEF\xBB\xBF", 0) == 0) name = gbk(name);
  MsgResult answer = ui_.MessageBox(
      gbk("确认要创建名称为 '") + name + gbk("' 的会员数据库吗？\r\n\r\n确认数据库登录密码正确吗..."),
      gbk("提示"), MsgButtons::kOkCancel, MsgIcon::kQuestion);
  if (answer != MsgResult::kOk) return;
  pb1Visible = true;
  edtDBName = name;
  try {
    config_.SelectSection("Database");
    db::ConnectionSettings s;
    s.port = static_cast<unsigned>(StrToInt(config_.ReadString("Port", "3309")));
    (void)config_.ReadString("NotUseDirect", "False");  // no counterpart in the client library
    s.charset = "utf8";
    s.database.clear();
    s.server = cbbServer;
    s.password = edtPassword;
    s.user = edtUserName;
    db::Connection connection(s);
    connection.Open();
    pb1Max = 100;
    pb1Position = 100;
    pb1Position = 0;
    ui_.SetProgress(pb1Max, pb1Position);
    db::RunScriptFile(connection, path, {db::ScriptEncoding::kSetupScript}, [this](int percent) {
      pb1Position = percent;
      ui_.SetProgress(pb1Max, pb1Position);
      ui_.ProcessPendingEvents();
    });
    pb1Position = 100;
    ui_.SetProgress(pb1Max, pb1Position);
    ui_.MessageBox(gbk("数据库创建成功！"), gbk("创建数据库"), MsgButtons::kOk,
                   MsgIcon::kInformation);
    connection.Close();
    btnOkClick();
  } catch (const Exception& e) {
    ui_.MessageBox(gbk("创建失败！,请检查连接主机是否己安装MySQL或正确输入登录密码...\r\n\r\n 失败原因：") +
                       e.message(),
                   gbk("创建数据库"), MsgButtons::kOk, MsgIcon::kError);
  }
}

void TfrmDBConfig::ShowHelp() {
  std::string chm = ProgramDir() + "help.chm";
  char id[16];
  std::snprintf(id, sizeof id, "%06d", 213659);
  std::string ini_path = ProgramDir() + "Help.ini";
  IniFile ini = IniFile::Load(ini_path);
  std::string topic = ini.ReadString("HelpID", id, "");
  if (topic.empty()) {
    auto answer = ui_.InputBox(gbk("帮助内容"), gbk("没有发现相对应帮助,请指定对应帮助文档名"),
                               "xxxx.html");
    topic = answer.value_or("xxxx.html");
    ini.WriteString("HelpID", id, topic);
    ini.Save(ini_path);
  }
  if (FileExists(chm)) ui_.ShowHelp(chm, topic);
}

}  // namespace ab
