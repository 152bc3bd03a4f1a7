#include "config/connection_registry.h"

#include "config/config_file.h"
#include "config/des_cipher.h"
#include "platform/text.h"
#include "platform/ui.h"

namespace ab {

ConnectionRegistry& ConnectionRegistry::Instance() {
  static ConnectionRegistry registry;
  return registry;
}

db::Connection* GetThreadConnection(bool interactive) {
  return ConnectionRegistry::Instance().GetThreadConnection(interactive);
}

db::Connection* ConnectionRegistry::GetThreadConnection(bool interactive) {
  std::thread::id id = std::this_thread::get_id();
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (auto it = connections_.find(id); it != connections_.end()) return it->second.get();
  auto connection = std::make_unique<db::Connection>();
  if (!ConnectFromConfig(*connection, interactive)) return nullptr;
  connection->SetLostConnectionHandler(lost_handler_);
  // A nested request of this thread (from inside the dialogue) may have stored one meanwhile.
  auto [it, inserted] = connections_.emplace(id, std::move(connection));
  return it->second.get();
}

db::ConnectionSettings ConnectionRegistry::SettingsFromConfig(TConfigFile& config) {
  db::ConnectionSettings s;
  config.SelectSection("Database");
  s.database = LowerCase(config.ReadString("Database", "RudUvivizUzevid"));
  s.server = config.ReadString("Server", "localhost");
  s.user = config.ReadString("UserName", "root");
  s.password = config.ReadString("Password", "");
  if (!s.password.empty()) s.password = DES_DecryptHex(s.password, kCredentialKey);
  s.port = static_cast<unsigned>(config.ReadInteger("Port", 3309));
  // NotUseDirect switches a protocol of the old access layer that the client library has no
  // counterpart for; it is read and has no effect.
  (void)config.ReadString("NotUseDirect", "False");
  s.charset = "gbk";
  return s;
}

bool ConnectionRegistry::ConnectFromConfig(db::Connection& connection, bool interactive) {
  TConfigFile& config = TConfigFile::GetInstance();
  for (;;) {
    config.SelectSection("Database");
    // An empty name opens the default with its capitals, and is written back.
    bool unnamed = config.ReadString("Database", "RudUvivizUzevid").empty();
    if (unnamed) {
      config.WriteString("Database", "RudUvivizUzevid");
      config.Save();
    }
    db::ConnectionSettings s = SettingsFromConfig(config);
    if (unnamed) s.database = "RudUvivizUzevid";
    try {
      OpenConnection(connection, s.server, s.user, s.database, s.password, s.port);
      return true;
    } catch (const db::DbError& e) {
      if (!interactive || ui_ == nullptr) return false;
      std::string text =
          gbk("数据库连接失败，请检查数据库配置参数或数据服务器是否己启动！\r\n\r\n信息为：") +
          e.message() + gbk(" \r\n\r\n 按【确定】设置数据库参数，按【取消】退出系统");
      MsgResult answer = ui_->MessageBox(text, gbk("数据库连接"), MsgButtons::kOkCancel,
                                         MsgIcon::kError, Question::kStartupConnection);
      if (answer != MsgResult::kOk) return false;
      if (!open_setup_dialog_ || !open_setup_dialog_()) return false;
    }
  }
}

void ConnectionRegistry::OpenConnection(db::Connection& connection, const std::string& server,
                                        const std::string& user, const std::string& database,
                                        const std::string& password, unsigned port) {
  connection.Close();
  db::ConnectionSettings s = connection.settings();
  s.server = server;
  s.user = user;
  s.database = database;
  s.password = password;
  s.port = port;
  s.unix_socket.clear();
  s.charset = "gbk";
  connection.SetSettings(s);
  connection.Open();
}

void ConnectionRegistry::ReleaseAllConnections() {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  connections_.clear();
}

void ConnectionRegistry::SetConnectionLostHandler(db::LostConnectionHandler handler,
                                                  bool attach_to_existing) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  lost_handler_ = std::move(handler);
  if (attach_to_existing) {
    for (auto& [id, connection] : connections_) {
      connection->SetLostConnectionHandler(lost_handler_);
    }
  }
}

db::LostConnectionHandler ConnectionRegistry::ConnectionLostHandler() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return lost_handler_;
}

void ConnectionRegistry::SetInteractive(Ui* ui, std::function<bool()> open_setup_dialog) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  ui_ = ui;
  open_setup_dialog_ = std::move(open_setup_dialog);
}

}  // namespace ab
