#pragma once
// The system's own exception: the platform exception with an integer code beside the message.
// Every raise in the system passes 0; no handler looks at the code.

#include <cstdint>
#include <string>

#include "platform/error.h"

namespace ab {

class TarnException : public Exception {
 public:
  explicit TarnException(const std::string& message, int32_t code = 0)
      : Exception(message), code_(code) {}
  int32_t code() const noexcept { return code_; }

 private:
  int32_t code_;
};

}  // namespace ab
