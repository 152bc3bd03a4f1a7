#pragma once
// Statement parameters: variants bound by position to ":name" markers of the SQL text.

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "platform/datetime.h"

namespace ab::db {

struct Null {};
struct DateTimeValue {
  DateTime value = 0;
};
struct BlobValue {
  std::string bytes;
};

class Value {
 public:
  Value() : v_(Null{}) {}
  Value(int v) : v_(static_cast<int64_t>(v)) {}  // NOLINT(google-explicit-constructor)
  Value(int64_t v) : v_(v) {}                     // NOLINT
  Value(uint32_t v) : v_(static_cast<int64_t>(v)) {}  // NOLINT
  Value(double v) : v_(v) {}                      // NOLINT
  Value(std::string v) : v_(std::move(v)) {}      // NOLINT
  Value(const char* v) : v_(std::string(v)) {}    // NOLINT
  Value(DateTimeValue v) : v_(v) {}               // NOLINT
  Value(BlobValue v) : v_(std::move(v)) {}        // NOLINT
  Value(Null) : v_(Null{}) {}                     // NOLINT
  Value(bool) = delete;  // say Value(int{b}) to bind a boolean as 0/1

  static Value Date(DateTime t) { return Value(DateTimeValue{t}); }
  static Value Blob(std::string bytes) { return Value(BlobValue{std::move(bytes)}); }

  bool is_null() const { return std::holds_alternative<Null>(v_); }
  bool is_date() const { return std::holds_alternative<DateTimeValue>(v_); }
  DateTime date() const { return std::get<DateTimeValue>(v_).value; }
  const std::variant<Null, int64_t, double, std::string, DateTimeValue, BlobValue>& raw() const {
    return v_;
  }

 private:
  std::variant<Null, int64_t, double, std::string, DateTimeValue, BlobValue> v_;
};

using Params = std::vector<Value>;

}  // namespace ab::db
