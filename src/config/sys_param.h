#pragma once
// The system parameters shared by the whole membership system: table SysParam, one value per
// (PName, SysId), always stored as text. The service only reads them, fresh on every call.
//
// Every getter runs one query on the calling thread's connection (GetThreadConnection, quiet). A
// failing query (missing table, lost link, SQL error) is not caught: the db::DbError reaches the
// caller, and so does one of kind kNoConnection when the thread has no connection. A missing row
// is no error: the getter returns its default. With two rows for one key the first the server
// returns wins. Call from the thread that owns the connection (the user-interface thread).

#include <cstdint>
#include <string>

namespace ab {

// The stored text, "" for a NULL value; `default_text` when no row exists.
[[nodiscard]] std::string GetParamString(const std::string& name, const std::string& default_text,
                                         int32_t sys_id);

// The stored text as a whole number (TryStrToInt: leading blanks, sign, decimal or "$"/"0x"
// hexadecimal, nothing after it, 32-bit range); `default_value` for no row, an empty or NULL
// value, and any text that does not convert completely.
[[nodiscard]] int32_t GetParamInt(const std::string& name, int32_t default_value, int32_t sys_id);

// A number gives true when it is non-zero; otherwise "True"/"False" in any letter case;
// `default_value` for no row, an empty or NULL value and any other text.
[[nodiscard]] bool GetParamBool(const std::string& name, bool default_value, int32_t sys_id);

}  // namespace ab
