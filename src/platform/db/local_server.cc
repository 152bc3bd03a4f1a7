#include "platform/db/local_server.h"

#include <mysql.h>

namespace ab::db {
namespace {

MYSQL* Connect(const ProbeSettings& s) {
  MYSQL* m = mysql_init(nullptr);
  if (m == nullptr) return nullptr;
  unsigned protocol = MYSQL_PROTOCOL_SOCKET;
  mysql_options(m, MYSQL_OPT_PROTOCOL, &protocol);
  unsigned timeout = s.connect_timeout;
  mysql_options(m, MYSQL_OPT_CONNECT_TIMEOUT, &timeout);
  if (mysql_real_connect(m, "localhost", s.user.c_str(), s.password.c_str(), nullptr, 0,
                         s.unix_socket.c_str(), 0) == nullptr) {
    mysql_close(m);
    return nullptr;
  }
  return m;
}

}  // namespace

bool ProbeServer(const ProbeSettings& settings) {
  MYSQL* m = Connect(settings);
  if (m == nullptr) return false;
  mysql_close(m);
  return true;
}

bool RequestShutdown(const ProbeSettings& settings) {
  MYSQL* m = Connect(settings);
  if (m == nullptr) return false;
  // The SQL statement where the library no longer offers the call.
  if (mysql_shutdown(m, SHUTDOWN_DEFAULT) != 0) mysql_query(m, "SHUTDOWN");
  mysql_close(m);
  return true;
}

}  // namespace ab::db
