#pragma once
// The client-library side of the local server's supervision: a quick probe connection and the
// shutdown request, both over the server's unix socket as its administrator, without database.

#include <string>

namespace ab::db {

struct ProbeSettings {
  std::string unix_socket;
  std::string user = "root";
  std::string password = "907358";
  unsigned connect_timeout = 2;  // seconds
};

// Connects and closes at once; true when the server answered.
bool ProbeServer(const ProbeSettings& settings);

// Connects and asks the server to shut down (default level); false when it could not connect.
// What the request itself returned is not looked at.
bool RequestShutdown(const ProbeSettings& settings);

}  // namespace ab::db
