// The nested per-thread transaction scope, seen through a concrete service (the card log): rows
// written inside a scope become visible to the test's own connection only when the outermost
// scope of the writing thread commits.

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "data/base_service.h"
#include "data/card_log.h"
#include "data_fixture.h"

namespace ab {
namespace {

class TransactionTest : public testing::DataTest {
 protected:
  static MemberCardLog Log(int32_t card_id) {
    MemberCardLog log;
    log.cardId = card_id;
    log.type = kLogCardTypeAutoChange;
    return log;
  }
  // Rows another connection sees, that is rows committed.
  int64_t CommittedRows() { return db_.Count("SELECT COUNT(*) FROM MemberCardLog"); }

  CardLogService& service_ = CardLogService::Instance();
};

TEST_F(TransactionTest, NestedScopesCommitOnceAtTheOutermostCommit) {
  MemberCardLog log = Log(1);
  service_.BeginTransaction();
  EXPECT_TRUE(ThreadConnection().InTransaction());
  service_.BeginTransaction();
  EXPECT_EQ(TransactionDepth(), 2);
  EXPECT_GT(service_.add(&log), 0);

  service_.CommitTransaction();
  EXPECT_EQ(TransactionDepth(), 1);
  EXPECT_TRUE(ThreadConnection().InTransaction()) << "the inner commit ended the transaction";
  EXPECT_EQ(CommittedRows(), 0) << "the inner commit committed";

  service_.CommitTransaction();
  EXPECT_EQ(TransactionDepth(), 0);
  EXPECT_FALSE(ThreadConnection().InTransaction());
  EXPECT_EQ(CommittedRows(), 1);
}

TEST_F(TransactionTest, InnerRollbackIsOverruledByTheOuterCommit) {
  MemberCardLog log = Log(1);
  service_.BeginTransaction();
  service_.BeginTransaction();
  EXPECT_GT(service_.add(&log), 0);
  service_.RollbackTransaction();
  EXPECT_TRUE(ThreadConnection().InTransaction()) << "the inner rollback ended the transaction";

  service_.CommitTransaction();
  EXPECT_EQ(CommittedRows(), 1);
}

TEST_F(TransactionTest, OuterRollbackUndoesWhatAnInnerScopeCommitted) {
  MemberCardLog log = Log(1);
  service_.BeginTransaction();
  service_.BeginTransaction();
  EXPECT_GT(service_.add(&log), 0);
  service_.CommitTransaction();

  service_.RollbackTransaction();
  EXPECT_EQ(TransactionDepth(), 0);
  EXPECT_FALSE(ThreadConnection().InTransaction());
  EXPECT_EQ(CommittedRows(), 0);
}

TEST_F(TransactionTest, ServiceScopeOnItsOwnCommitsAtOnce) {
  MemberCardLog log = Log(1);
  EXPECT_GT(service_.add(&log), 0);

  EXPECT_EQ(TransactionDepth(), 0);
  EXPECT_EQ(CommittedRows(), 1);
}

TEST_F(TransactionTest, UnrecordedTransactionIsJoinedButNeverCommittedByTheScope) {
  MemberCardLog log = Log(1);
  ThreadConnection().StartTransaction();

  service_.BeginTransaction();
  EXPECT_EQ(TransactionDepth(), 0) << "a scope was recorded for a transaction nobody began";
  EXPECT_GT(service_.add(&log), 0);
  service_.CommitTransaction();
  EXPECT_TRUE(ThreadConnection().InTransaction());
  EXPECT_EQ(CommittedRows(), 0);

  ThreadConnection().Rollback();
  EXPECT_EQ(CommittedRows(), 0);
}

TEST_F(TransactionTest, CommitOrRollbackWithoutBeginDoesNothing) {
  MemberCardLog log = Log(1);
  ThreadConnection().StartTransaction();
  EXPECT_GT(service_.add(&log), 0);

  service_.RollbackTransaction();
  service_.CommitTransaction();
  EXPECT_EQ(TransactionDepth(), 0);
  EXPECT_TRUE(ThreadConnection().InTransaction());
  EXPECT_EQ(CommittedRows(), 0);

  ThreadConnection().Commit();
  EXPECT_EQ(CommittedRows(), 1) << "the unmatched rollback undid the row";
}

TEST_F(TransactionTest, TwoThreadsKeepIndependentDepthsAndConnections) {
  MemberCardLog main_log = Log(1);
  service_.BeginTransaction();
  EXPECT_GT(service_.add(&main_log), 0);
  unsigned long main_connection = ThreadConnection().ServerThreadId();

  struct {
    int32_t depth_at_start = -1, depth_inside = -1, depth_after = -1, id = 0;
    unsigned long connection = 0;
  } other;
  std::thread([&] {
    MemberCardLog log = Log(2);
    other.depth_at_start = TransactionDepth();
    service_.BeginTransaction();
    service_.BeginTransaction();
    other.depth_inside = TransactionDepth();
    other.id = service_.add(&log);
    service_.CommitTransaction();
    service_.CommitTransaction();
    other.depth_after = TransactionDepth();
    other.connection = GetThreadConnection(false)->ServerThreadId();
  }).join();

  EXPECT_EQ(other.depth_at_start, 0) << "the other thread saw this thread's depth";
  EXPECT_EQ(other.depth_inside, 2);
  EXPECT_EQ(other.depth_after, 0);
  EXPECT_GT(other.id, 0);
  EXPECT_NE(other.connection, main_connection);
  EXPECT_EQ(TransactionDepth(), 1) << "the other thread's scopes changed this thread's depth";
  EXPECT_EQ(db_.Scalar("SELECT GROUP_CONCAT(cardId) FROM MemberCardLog"), "2")
      << "only the other thread's commit is visible";

  service_.RollbackTransaction();
  EXPECT_EQ(db_.Scalar("SELECT GROUP_CONCAT(cardId) FROM MemberCardLog"), "2")
      << "this thread's rollback reached the other thread's row";
}

}  // namespace
}  // namespace ab
