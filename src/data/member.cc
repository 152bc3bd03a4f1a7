#include "data/member.h"

#include "codec/contact_number.h"
#include "platform/db/connection.h"

namespace ab {

MemberDao& MemberDao::Instance() {
  static MemberDao instance;
  return instance;
}

std::unique_ptr<MemberExInfo> MemberDao::FindExInfo(int32_t member_id) const {
  auto query = OpenQuery("select * from memberExInfo where id=:p0", {member_id});
  if (query->Eof()) return nullptr;
  auto info = std::make_unique<MemberExInfo>();
  info->id = query->AsInteger("id");
  info->idCard = DecodeContactNumber(query->AsString("idCard"));
  info->profession = query->AsString("profession");
  info->email = query->AsString("email");
  info->mobile = DecodeContactNumber(query->AsString("mobile"));
  info->telephone = DecodeContactNumber(query->AsString("telephone"));
  info->birthday = query->AsDateTime("birthday");
  info->education = query->AsString("education");
  info->interest = query->AsString("interest");
  info->hometown = query->AsString("hometown");
  info->nation = query->AsString("nation");
  info->isMarriage = query->AsBoolean("isMarriage");
  info->zipCode = query->AsString("zipCode");
  info->image = query->AsBlob("image");
  info->driverLicense = query->AsString("driverLicense");
  info->driverExpire = query->AsDateTime("driverExpire");
  info->address = query->AsString("address");
  info->receiveNotify = query->AsInteger("receiveNotify");
  info->description = query->AsString("description");
  return info;
}

MemberService& MemberService::Instance() {
  static MemberService instance;
  return instance;
}

MemberDao* MemberService::GetDao() { return &MemberDao::Instance(); }

std::unique_ptr<MemberExInfo> MemberService::GetExInfo(int32_t member_id) {
  return GetDao()->FindExInfo(member_id);
}

}  // namespace ab

namespace ab {
namespace {

// The window's bounds as date texts without a time.
std::pair<std::string, std::string> Window(DateTime from, DateTime to) {
  return {FormatDateTime("yyyy-MM-dd", from), FormatDateTime("yyyy-MM-dd", to + 1)};
}

}  // namespace

std::unique_ptr<db::Query> MemberDao::FindBirthdays(DateTime from, DateTime to) const {
  auto [lower, upper] = Window(from, to);
  return OpenQuery(
      "SELECT m.id AS personId,m.*,me.*,mc.activeSubbranchId FROM MemberInfo m "
      "LEFT JOIN MemberExInfo me ON me.id = m.id "
      "LEFT JOIN MemberCard mc ON mc.memberId=m.id "
      "WHERE ((concat(year(date(:p0)) , DATE_FORMAT(me.birthday, '-%m-%d')) between :p1 and :p2) "
      "or "
      "(concat(year(date(:p3)) , DATE_FORMAT(me.birthday, '-%m-%d')) between :p4 and :p5))",
      {lower, lower, upper, upper, lower, upper});
}

std::unique_ptr<db::Query> MemberDao::FindInsuranceDue(DateTime from, DateTime to) const {
  auto [lower, upper] = Window(from, to);
  return OpenQuery(
      "SELECT i.name AS ICCategory, i.provider AS ICCompany, "
      "i.deadline AS ICDueDate, m.id AS personId,m.*,me.telephone,me.mobile,c.*,mc.activeSubbranchId "
      "FROM Insurance i "
      "LEFT JOIN CarInfo c ON c.id=i.carId "
      "LEFT JOIN MemberInfo m ON m.id=c.memberId "
      "LEFT JOIN MemberExInfo me ON me.id=m.id "
      "LEFT JOIN MemberCard mc ON mc.memberId=m.id "
      "WHERE i.deadline between :p0 and :p1",
      {lower, upper});
}

std::unique_ptr<db::Query> MemberDao::FindMaintenanceDue(DateTime from, DateTime to) const {
  auto [lower, upper] = Window(from, to);
  return OpenQuery(
      "SELECT m.id AS personId,m.*,me.telephone,me.mobile,c.*,mc.activeSubbranchId "
      "FROM CarInfo c "
      "LEFT JOIN MemberInfo m ON m.id=c.memberId "
      "LEFT JOIN MemberExInfo me ON me.id=m.id "
      "LEFT JOIN MemberCard mc ON mc.memberId=m.id "
      "WHERE c.maintainDate between :p0 and :p1",
      {lower, upper});
}

}  // namespace ab
