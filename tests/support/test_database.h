#pragma once
// A fresh, uniquely named database on the test server (settings from AB_DB_HOST, AB_DB_PORT,
// AB_DB_USER, AB_DB_PASSWORD; defaults 127.0.0.1, 3399, root, 907358) with the membership tables
// of sql/membership.sql, dropped when the object goes away. A missing server fails the test.
//
// UseThroughRegistry() points the process-wide Config.xml at this database (in a temporary home),
// so that GetThreadConnection and the whole data layer work on it; the registry's connections are
// released when the object goes away.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/db/connection.h"
#include "support/temp_dir.h"

namespace ab::testing {

// The test server's settings without a database.
db::ConnectionSettings ServerSettings();

class TestDatabase {
 public:
  // `with_schema` false gives an empty database.
  explicit TestDatabase(bool with_schema = true);
  ~TestDatabase();
  TestDatabase(const TestDatabase&) = delete;
  TestDatabase& operator=(const TestDatabase&) = delete;

  const std::string& name() const { return name_; }
  db::ConnectionSettings settings() const;
  // A connection of the test's own to the database (not the registry's).
  db::Connection& admin() { return *admin_; }

  void Exec(const std::string& sql) { admin_->Execute(sql); }
  // The first column of the first row as text ("" for no row or NULL).
  std::string Scalar(const std::string& sql);
  int64_t Count(const std::string& sql) { return std::stoll("0" + Scalar(sql)); }

  // Writes Config.xml for this database into a temporary home, resets TConfigFile to it and
  // releases the registry's connections; from then on GetThreadConnection() opens this database.
  void UseThroughRegistry();
  const TempDir& home() const { return home_; }

 private:
  std::string name_;
  std::unique_ptr<db::Connection> admin_;
  TempDir home_;
  bool registry_ = false;
};

// Loads the membership tables (without the CREATE DATABASE and USE lines) over `connection`,
// which must have a default database and allow multi statements.
void LoadMembershipSchema(db::Connection& connection);

}  // namespace ab::testing
