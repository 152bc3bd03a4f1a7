#pragma once
// The data-access base: every statement of the data layer runs on the calling thread's connection
// (GetThreadConnection, quiet), so that all statements of a thread run inside that thread's
// transaction. Parameters are bound by position. Nothing here catches: a database error reaches
// the caller as the platform's exception.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/db/connection.h"

namespace ab {

// The calling thread's connection; throws DbError (kind kNoConnection) when there is none, and
// when the thread's transaction was lost with its link and its outermost scope has not ended yet
// (statements then must not run in autocommit mode and commit half a unit of work).
db::Connection& ThreadConnection();

class BaseDao {
 public:
  virtual ~BaseDao() = default;

  // A read-only query positioned on its first row (or at end when empty). A zero date parameter
  // is bound unchanged.
  std::unique_ptr<db::Query> OpenQuery(std::string_view sql, const db::Params& params = {}) const;
  // The named column of the first row as an integer; throws when the result has no such column
  // (or no row).
  int32_t QueryInteger(std::string_view sql, std::string_view column,
                       const db::Params& params = {}) const;
  // Runs an insert; returns the generated id. A zero date parameter is written as NULL.
  int64_t ExecuteInsert(std::string_view sql, const db::Params& params = {}) const;
  // Runs a command; returns the rows it matched. A zero date parameter is written as NULL.
  int64_t ExecuteCommand(std::string_view sql, const db::Params& params = {}) const;
};

}  // namespace ab
