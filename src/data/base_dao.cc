#include "data/base_dao.h"

#include "config/connection_registry.h"
#include "data/transaction_state.h"

namespace ab {
namespace {

db::Params NullForZeroDates(const db::Params& params) {
  db::Params out = params;
  for (auto& v : out) {
    if (v.is_date() && v.date() == 0) v = db::Value(db::Null{});
  }
  return out;
}

}  // namespace

db::Connection& ThreadConnection() {
  if (ThreadTransactionLost()) {
    throw db::DbError("The transaction was rolled back when the connection to the server was lost",
                      0, db::ErrorKind::kLostLink);
  }
  db::Connection* connection = GetThreadConnection(false);
  if (connection == nullptr) {
    throw db::DbError("No database connection", 0, db::ErrorKind::kNoConnection);
  }
  return *connection;
}

std::unique_ptr<db::Query> BaseDao::OpenQuery(std::string_view sql,
                                              const db::Params& params) const {
  return ThreadConnection().OpenQuery(sql, params);
}

int32_t BaseDao::QueryInteger(std::string_view sql, std::string_view column,
                              const db::Params& params) const {
  auto query = OpenQuery(sql, params);
  return query->AsInteger(column);
}

int64_t BaseDao::ExecuteInsert(std::string_view sql, const db::Params& params) const {
  db::Connection& connection = ThreadConnection();
  connection.Execute(sql, NullForZeroDates(params));
  return static_cast<int64_t>(connection.LastInsertId());
}

int64_t BaseDao::ExecuteCommand(std::string_view sql, const db::Params& params) const {
  return static_cast<int64_t>(ThreadConnection().Execute(sql, NullForZeroDates(params)));
}

}  // namespace ab
