#include "config/sys_param.h"

#include "config/connection_registry.h"
#include "platform/db/connection.h"
#include "platform/text.h"

namespace ab {

std::string GetParamString(const std::string& name, const std::string& default_text,
                           int32_t sys_id) {
  db::Connection* connection = GetThreadConnection(false);
  if (connection == nullptr) {
    throw db::DbError("No database connection", 0, db::ErrorKind::kNoConnection);
  }
  auto query = connection->OpenQuery(
      "SELECT PValue FROM SysParam WHERE PName= :Name And SysId = :ID", {name, sys_id});
  if (query->Eof()) return default_text;
  return query->AsStringAt(0);
}

int32_t GetParamInt(const std::string& name, int32_t default_value, int32_t sys_id) {
  std::string text = GetParamString(name, "", sys_id);
  if (text.empty()) return default_value;
  return TryStrToInt(text).value_or(default_value);
}

bool GetParamBool(const std::string& name, bool default_value, int32_t sys_id) {
  std::string text = GetParamString(name, "", sys_id);
  if (text.empty()) return default_value;
  return TryStrToBool(text).value_or(default_value);
}

}  // namespace ab
