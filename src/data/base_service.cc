#include "data/base_service.h"

#include <map>
#include <mutex>
#include <thread>

#include "config/connection_registry.h"
#include "data/base_dao.h"
#include "data/transaction_state.h"

namespace ab {
namespace {

struct Scope {
  int32_t depth = 0;
  bool lost = false;  // the transaction went with the link
};

std::mutex& MapMutex() {
  static std::mutex m;
  return m;
}

std::map<std::thread::id, Scope>& DepthMap() {
  static std::map<std::thread::id, Scope> map;
  return map;
}

enum class End { kNotOutermost, kOutermost, kOutermostLost };

End EndLevel() {
  std::lock_guard<std::mutex> lock(MapMutex());
  auto& map = DepthMap();
  auto it = map.find(std::this_thread::get_id());
  if (it == map.end()) return End::kNotOutermost;
  if (it->second.depth <= 1) {
    bool lost = it->second.lost;
    map.erase(it);
    return lost ? End::kOutermostLost : End::kOutermost;
  }
  --it->second.depth;
  return End::kNotOutermost;
}

}  // namespace

bool ThreadTransactionLost() {
  std::lock_guard<std::mutex> lock(MapMutex());
  auto it = DepthMap().find(std::this_thread::get_id());
  return it != DepthMap().end() && it->second.lost;
}

int32_t TransactionDepth() {
  std::lock_guard<std::mutex> lock(MapMutex());
  auto it = DepthMap().find(std::this_thread::get_id());
  return it == DepthMap().end() ? 0 : it->second.depth;
}

void InstallTransactionLostHook() {
  db::Connection::SetTransactionLostHook([](db::Connection&) {
    std::lock_guard<std::mutex> lock(MapMutex());
    auto it = DepthMap().find(std::this_thread::get_id());
    if (it != DepthMap().end()) it->second.lost = true;
  });
}

void BaseService::BeginTransaction() {
  if (ThreadTransactionLost()) {
    // Inside a scope whose transaction is gone: count the level, start nothing.
    std::lock_guard<std::mutex> lock(MapMutex());
    ++DepthMap()[std::this_thread::get_id()].depth;
    return;
  }
  db::Connection& connection = ThreadConnection();
  if (!connection.InTransaction()) {
    connection.StartTransaction();
    std::lock_guard<std::mutex> lock(MapMutex());
    Scope& scope = DepthMap()[std::this_thread::get_id()];
    ++scope.depth;
    return;
  }
  std::lock_guard<std::mutex> lock(MapMutex());
  auto it = DepthMap().find(std::this_thread::get_id());
  if (it != DepthMap().end()) ++it->second.depth;
}

void BaseService::CommitTransaction() {
  switch (EndLevel()) {
    case End::kNotOutermost:
      return;
    case End::kOutermostLost:
      throw db::DbError(
          "The transaction was rolled back when the connection to the server was lost", 0,
          db::ErrorKind::kLostLink);
    case End::kOutermost:
      if (db::Connection* c = GetThreadConnection(false)) c->Commit();
      return;
  }
}

void BaseService::RollbackTransaction() {
  if (EndLevel() != End::kOutermost) return;
  if (db::Connection* c = GetThreadConnection(false)) c->Rollback();
}

}  // namespace ab
