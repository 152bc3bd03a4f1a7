#pragma once
// The service base and the nested per-thread transaction scope. Only the outermost scope of a
// thread starts, commits or rolls back; inner scopes only count. Begin while the connection is
// already in a transaction that no scope of this thread recorded records nothing, and the matching
// commit does not commit. A commit or rollback without a matching begin does nothing.
//
// When a thread's transaction is lost with its link, its scope is marked rolled back: statements
// of the data layer fail until the outermost scope ends, and the outermost commit raises instead
// of reporting success.

#include <cstdint>

namespace ab {

class BaseDao;

class BaseService {
 public:
  virtual ~BaseService() = default;
  virtual BaseDao* GetDao() = 0;

  // Throws DbError when the thread has no connection, before any depth is recorded.
  void BeginTransaction();
  void CommitTransaction();
  void RollbackTransaction();
};

// The calling thread's transaction depth (0 outside any recorded scope), for tests.
int32_t TransactionDepth();

// Installs the connection layer's hook that marks a thread's scope as rolled back when its
// transaction is lost with the link. Called once at start-up (idempotent).
void InstallTransactionLostHook();

}  // namespace ab
