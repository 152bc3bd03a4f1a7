#include "support/test_database.h"

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <random>

#include "config/config_file.h"
#include "config/connection_registry.h"
#include "config/des_cipher.h"
#include "platform/file.h"

namespace ab::testing {
namespace {

std::string Env(const char* name, const char* def) {
  const char* v = std::getenv(name);
  return v && *v ? v : def;
}

std::string UniqueName() {
  static std::atomic<int> counter{0};
  std::random_device rd;
  return "abt_" + std::to_string(::getpid()) + "_" + std::to_string(counter++) + "_" +
         std::to_string(rd() % 100000);
}

}  // namespace

db::ConnectionSettings ServerSettings() {
  db::ConnectionSettings s;
  s.server = Env("AB_DB_HOST", "127.0.0.1");
  s.port = static_cast<unsigned>(std::stoi(Env("AB_DB_PORT", "3399")));
  s.user = Env("AB_DB_USER", "root");
  s.password = Env("AB_DB_PASSWORD", "907358");
  s.charset = "gbk";
  return s;
}

void LoadMembershipSchema(db::Connection& connection) {
  std::string text = ReadFile(std::string(AB_SOURCE_DIR) + "/sql/membership.sql");
  // The first two statements create and select the shop's database; the tables follow.
  std::string script;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t eol = text.find('\n', pos);
    std::string line = text.substr(pos, eol == std::string::npos ? std::string::npos : eol - pos);
    pos = eol == std::string::npos ? text.size() : eol + 1;
    if (line.rfind("CREATE DATABASE", 0) == 0 || line.rfind("USE ", 0) == 0) continue;
    script += line + "\n";
  }
  connection.Execute(script);
}

TestDatabase::TestDatabase(bool with_schema) : name_(UniqueName()) {
  db::ConnectionSettings s = ServerSettings();
  s.multi_statements = true;
  admin_ = std::make_unique<db::Connection>(s);
  admin_->Open();
  admin_->Execute("CREATE DATABASE `" + name_ + "` DEFAULT CHARACTER SET gbk");
  s.database = name_;
  admin_->SetSettings(s);
  admin_->Open();
  if (with_schema) LoadMembershipSchema(*admin_);
}

TestDatabase::~TestDatabase() {
  if (registry_) {
    ConnectionRegistry::Instance().ReleaseAllConnections();
    ConnectionRegistry::Instance().SetConnectionLostHandler(nullptr, false);
    TConfigFile::GetInstance().Reset();
  }
  try {
    admin_->Execute("DROP DATABASE IF EXISTS `" + name_ + "`");
  } catch (...) {
    // The server may have been stopped by the test; the database is dropped with its sandbox.
  }
}

db::ConnectionSettings TestDatabase::settings() const {
  db::ConnectionSettings s = ServerSettings();
  s.database = name_;
  return s;
}

std::string TestDatabase::Scalar(const std::string& sql) {
  auto q = admin_->OpenQuery(sql);
  if (q->Eof() || q->FieldCount() == 0) return "";
  return q->RawAt(0);
}

void TestDatabase::UseThroughRegistry() {
  db::ConnectionSettings s = settings();
  home_.Write("Config.xml",
              "<?xml version=\"1.0\" encoding=\"GB2312\"?>\n<SysConfig><Database>"
              "<Server>" + s.server + "</Server><Port>" + std::to_string(s.port) +
                  "</Port><UserName>" + s.user + "</UserName><Password>" +
                  DES_EncryptHex(s.password, kCredentialKey) + "</Password><Database>" + name_ +
                  "</Database></Database></SysConfig>");
  ConnectionRegistry::Instance().ReleaseAllConnections();
  TConfigFile::GetInstance().Reset(home_.File("Config.xml"));
  registry_ = true;
}

}  // namespace ab::testing
