#pragma once
// The fixture of the data-layer tests: a fresh membership database that the thread connections
// of the registry open, so that every DAO and service of the test works on it. Scopes a failing
// test left open are closed, so that the next test of the process starts at depth 0.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "config/connection_registry.h"
#include "data/base_service.h"
#include "data/card_log.h"
#include "data/member_card.h"
#include "diag/operator_context.h"
#include "platform/clock.h"
#include "support/test_database.h"

namespace ab::testing {

class DataTest : public ::testing::Test {
 protected:
  DataTest() { db_.UseThroughRegistry(); }
  ~DataTest() override {
    while (TransactionDepth() > 0) CardLogService::Instance().RollbackTransaction();
  }

  // Runs a statement on the test's own connection and returns the id it generated.
  int32_t Insert(const std::string& sql) {
    db_.Exec(sql);
    return static_cast<int32_t>(db_.admin().LastInsertId());
  }
  // The registry's connection of the calling thread, opened when needed.
  db::Connection& ThreadConnection() { return *GetThreadConnection(false); }

  TestDatabase db_;
};

// Sets the contact-number encoding flag for one scope.
class ContactEncodingGuard {
 public:
  explicit ContactEncodingGuard(bool on) : saved_(contactNumberEncoding) {
    contactNumberEncoding = on;
  }
  ~ContactEncodingGuard() { contactNumberEncoding = saved_; }
  ContactEncodingGuard(const ContactEncodingGuard&) = delete;
  ContactEncodingGuard& operator=(const ContactEncodingGuard&) = delete;

 private:
  bool saved_;
};

// Sets the checksum prefix of the operator context for one scope.
class ChecksumPrefixGuard {
 public:
  explicit ChecksumPrefixGuard(int32_t prefix) : saved_(checksumPrefix) { checksumPrefix = prefix; }
  ~ChecksumPrefixGuard() { checksumPrefix = saved_; }
  ChecksumPrefixGuard(const ChecksumPrefixGuard&) = delete;
  ChecksumPrefixGuard& operator=(const ChecksumPrefixGuard&) = delete;

 private:
  int32_t saved_;
};

// Gives MemberCardService another clock for one scope.
class ServiceClockGuard {
 public:
  explicit ServiceClockGuard(const Clock& clock) : saved_(&MemberCardService::Instance().clock()) {
    MemberCardService::Instance().SetClock(clock);
  }
  ~ServiceClockGuard() { MemberCardService::Instance().SetClock(*saved_); }
  ServiceClockGuard(const ServiceClockGuard&) = delete;
  ServiceClockGuard& operator=(const ServiceClockGuard&) = delete;

 private:
  const Clock* saved_;
};

}  // namespace ab::testing
