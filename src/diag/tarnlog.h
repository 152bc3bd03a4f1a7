#pragma once
// Named logs. A service asks for its log once, when it is constructed, and keeps the pointer;
// the registry owns every log for the life of the process. Recording a failure has no effect on
// the system's behaviour: MLog::Error writes nothing and changes nothing.

#include <exception>
#include <string>
#include <string_view>

namespace ab {

class MLog {
 public:
  MLog() = default;
  MLog(const MLog&) = delete;
  MLog& operator=(const MLog&) = delete;

  // `what` names the failed operation (for example "GetPackage(7)"); `error` is what was caught.
  void Error(std::string_view what, const std::exception& error) const noexcept;
};

// The log registered under `name` (exact, case-sensitive byte comparison), created on the first
// request. Never fails; the empty name is valid. The pointer stays valid until process exit.
MLog* GetLog(const std::string& name);

}  // namespace ab
