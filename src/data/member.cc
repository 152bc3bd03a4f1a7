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
