#include "data/package.h"

#include "diag/tarnlog.h"
#include "platform/db/connection.h"
#include "platform/error.h"

namespace ab {

PackageDao& PackageDao::Instance() {
  static PackageDao instance;
  return instance;
}

std::unique_ptr<PackageComm> PackageDao::GetPackage(int32_t id) const {
  // The marker is named :p1, but parameters bind by position: it takes the id.
  auto query = OpenQuery("SELECT * FROM PackageComm WHERE id=:p1", {id});
  if (query->Eof()) return nullptr;
  auto package = std::make_unique<PackageComm>();
  package->id = query->AsInteger("id");
  package->serial = query->AsString("serial");
  package->name = query->AsString("name");
  package->categoryId = query->AsInteger("categoryId");
  package->shortcut = query->AsString("shortcut");
  package->unit = query->AsString("unit");
  package->price = query->AsFloat("price");
  package->barcode = query->AsString("barcode");
  package->isIntegral = query->AsBoolean("isIntegral");
  package->integral = query->AsInteger("integral");
  package->memberMinlevel = query->AsInteger("memberMinlevel");
  package->storage = query->AsInteger("storage");
  package->startDatetime = query->AsDateTime("startDatetime");
  package->endDatetime = query->AsDateTime("endDatetime");
  package->deadline = query->AsDateTime("deadline");
  package->validity = query->AsInteger("validity");
  package->description = query->AsString("description");
  package->state = query->AsInteger("state");
  query.reset();
  package->details = GetDetails(id);
  return package;
}

PackageDetailList PackageDao::GetDetails(int32_t package_id) const {
  PackageDetailList details;
  auto query = OpenQuery("SELECT * FROM PackageDetail WHERE packageId=:p0", {package_id});
  for (; !query->Eof(); query->Next()) {
    auto detail = std::make_unique<PackageDetail>();
    detail->id = query->AsInteger("id");
    detail->packageId = query->AsInteger("packageId");
    detail->commodityId = query->AsInteger("commodityId");
    detail->giftId = query->AsInteger("giftId");
    detail->packagePrice = query->AsFloat("packagePrice");
    detail->number = static_cast<int32_t>(query->AsFloat("number"));
    detail->present = query->AsBoolean("present");
    detail->description = query->AsString("description");
    details.push_back(std::move(detail));
  }
  return details;
}

PackageService::PackageService() : log_(GetLog("PackageService")) {}

PackageService& PackageService::Instance() {
  static PackageService instance;
  return instance;
}

PackageDao* PackageService::GetDao() { return &PackageDao::Instance(); }

std::unique_ptr<PackageComm> PackageService::GetPackage(int32_t id) {
  try {
    return GetDao()->GetPackage(id);
  } catch (const Exception& e) {
    log_->Error("GetPackage(" + std::to_string(id) + ")", e);
    return nullptr;
  }
}

std::unique_ptr<CommMemberPrice> PackageService::GetMemberPrice(int32_t package_id,
                                                                int32_t card_type_id) {
  return MemberPriceDao::Instance().GetPackagePrice(package_id, card_type_id);
}

}  // namespace ab
