#include "diag/tarnlog.h"

#include <map>
#include <memory>
#include <mutex>

namespace ab {

void MLog::Error(std::string_view, const std::exception&) const noexcept {}

MLog* GetLog(const std::string& name) {
  static std::mutex mutex;
  static std::map<std::string, std::unique_ptr<MLog>> registry;
  std::lock_guard<std::mutex> lock(mutex);
  auto& slot = registry[name];
  if (!slot) slot = std::make_unique<MLog>();
  return slot.get();
}

}  // namespace ab
