#pragma once
// The platform's exception base. Every handler in the system catches this type and looks only at
// the message; the message text is GBK like every text inside the system.

#include <stdexcept>
#include <string>

namespace ab {

class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& message) : std::runtime_error(message) {}
  const std::string& message() const noexcept { return message_; }
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  std::string message_{std::runtime_error::what()};
};

// A text that does not convert to the requested type (the platform's conversion error).
class ConvertError : public Exception {
 public:
  using Exception::Exception;
};

// A missing XML element or attribute where one is required.
class XmlError : public Exception {
 public:
  using Exception::Exception;
};

// A failing file-system operation; the message names the path and the system's reason.
class IoError : public Exception {
 public:
  using Exception::Exception;
};

}  // namespace ab
