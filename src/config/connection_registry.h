#pragma once
// One database connection per thread, made on the thread's first request from section Database
// of Config.xml. The start-up asks in interactive mode: when the database cannot be reached the
// registry shows the failure, offers the setup dialog and tries again with the new settings; every
// other request is quiet and yields no connection on failure. Connections stay in the registry for
// the life of the process (a broken or closed one is reopened by the access layer on next use).
//
// The lock is re-entrant: the interactive dialogue runs under it and may let a timer handler of
// the same thread ask for a connection, which then makes a quiet attempt of its own.

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/db/connection.h"

namespace ab {

class TConfigFile;
class Ui;

class ConnectionRegistry {
 public:
  static ConnectionRegistry& Instance();

  // The calling thread's open connection, or nullptr. The registry owns it.
  db::Connection* GetThreadConnection(bool interactive);

  // Fills `connection` from Config.xml and opens it; in interactive mode conducts the failure
  // dialogue. Throws the cipher's error when the stored password is no valid encrypted hex.
  bool ConnectFromConfig(db::Connection& connection, bool interactive);

  // The connection settings of section Database of Config.xml (selecting it): server, port,
  // user, the decrypted password (the cipher's error when it is no valid encrypted hex) and the
  // database name in lower case ("" when the key holds empty text).
  static db::ConnectionSettings SettingsFromConfig(TConfigFile& config);

  // Closes the connection, sets the five values, TCP and the character set "GBK", and opens it;
  // throws the access layer's error.
  static void OpenConnection(db::Connection& connection, const std::string& server,
                             const std::string& user, const std::string& database,
                             const std::string& password, unsigned port);

  void ReleaseAllConnections();

  // The handler copied into every connection the registry creates from now on. When
  // `attach_to_existing` is set, the connections that exist already get it too (a single-threaded
  // service made its only connection before any handler existed).
  void SetConnectionLostHandler(db::LostConnectionHandler handler, bool attach_to_existing);
  db::LostConnectionHandler ConnectionLostHandler() const;

  // The interactive dialogue's message box goes to `ui`; OK there opens the setup dialog through
  // `open_setup_dialog`, which returns true when the dialog closed with OK (settings saved).
  void SetInteractive(Ui* ui, std::function<bool()> open_setup_dialog);

 private:
  ConnectionRegistry() = default;

  mutable std::recursive_mutex mutex_;
  std::map<std::thread::id, std::unique_ptr<db::Connection>> connections_;
  db::LostConnectionHandler lost_handler_;
  Ui* ui_ = nullptr;
  std::function<bool()> open_setup_dialog_;
};

// ConnectionRegistry::Instance().GetThreadConnection(interactive).
db::Connection* GetThreadConnection(bool interactive = false);

}  // namespace ab
