#pragma once
// The common base of the entity records that follow the data layer's record conventions (the
// member card derives from it). It carries nothing that any operation reads; a record can be
// destroyed through it.

namespace ab {

class BaseRecord {
 public:
  BaseRecord() = default;
  BaseRecord(const BaseRecord&) = default;
  BaseRecord& operator=(const BaseRecord&) = default;
  virtual ~BaseRecord() = default;
};

}  // namespace ab
