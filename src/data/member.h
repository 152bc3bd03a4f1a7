#pragma once
// Members: basic data in MemberInfo, extended personal data in MemberExInfo (one row per member,
// same id). Read only; the membership system's other programs create and edit members.
//
// The data-access object and the service exist once per process, created on first request and
// kept until exit, without state of their own. Statements run on the calling thread's
// connection; database errors reach the caller.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "data/base_dao.h"
#include "data/base_service.h"
#include "platform/datetime.h"

namespace ab {

// One row of MemberExInfo. idCard, mobile and telephone hold the decoded numbers
// (DecodeContactNumber, which follows contactNumberEncoding at the time of the read).
struct MemberExInfo {
  int32_t id = 0;
  int32_t reserved = 0;  // no column
  std::string idCard;
  std::string profession;
  std::string email;
  std::string mobile;
  std::string telephone;  // the number reminders go to
  DateTime birthday = 0;
  std::string education;
  std::string interest;
  std::string hometown;
  std::string nation;
  bool isMarriage = false;
  std::string zipCode;
  std::optional<std::string> image;  // the picture's bytes; nullopt when the column is NULL
  std::string driverLicense;
  DateTime driverExpire = 0;
  std::string address;
  int32_t receiveNotify = 3;
  std::string description;
};

class MemberDao : public BaseDao {
 public:
  static MemberDao& Instance();
  MemberDao(const MemberDao&) = delete;
  MemberDao& operator=(const MemberDao&) = delete;

  // Null when the member has no MemberExInfo row.
  [[nodiscard]] std::unique_ptr<MemberExInfo> FindExInfo(int32_t member_id) const;

  // The reminder selections: open results, one row per member card of a member who is due. The
  // window runs from the date of `from` to the date one day after `to`, both included, compared
  // as "yyyy-MM-dd" texts (a birthday is moved into the year of either bound, so that a window
  // across New Year finds both sides).
  [[nodiscard]] std::unique_ptr<db::Query> FindBirthdays(DateTime from, DateTime to) const;
  [[nodiscard]] std::unique_ptr<db::Query> FindInsuranceDue(DateTime from, DateTime to) const;
  [[nodiscard]] std::unique_ptr<db::Query> FindMaintenanceDue(DateTime from, DateTime to) const;

 private:
  MemberDao() = default;
};

class MemberService : public BaseService {
 public:
  static MemberService& Instance();
  MemberService(const MemberService&) = delete;
  MemberService& operator=(const MemberService&) = delete;

  MemberDao* GetDao() override;

  // MemberDao::FindExInfo; no transaction, nothing caught.
  [[nodiscard]] std::unique_ptr<MemberExInfo> GetExInfo(int32_t member_id);

 private:
  MemberService() = default;
};

}  // namespace ab
