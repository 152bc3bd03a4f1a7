#include "data/commodity.h"

#include "platform/db/connection.h"

namespace ab {
namespace {

std::unique_ptr<CommMemberPrice> ReadMemberPrice(const db::Query& query) {
  auto price = std::make_unique<CommMemberPrice>();
  price->id = query.AsInteger("id");
  price->commodityId = query.AsInteger("commodityId");
  price->packageId = query.AsInteger("packageId");
  price->cardTypeId = query.AsInteger("cardTypeId");
  price->price = query.AsFloat("price");
  price->rebate = query.AsInteger("rebate");
  price->integral = query.AsInteger("integral");
  price->mayBuy = query.AsBoolean("mayBuy");
  return price;
}

std::unique_ptr<CommMemberPrice> FindMemberPrice(const BaseDao& dao, const char* sql,
                                                 int32_t owner_id, int32_t card_type_id) {
  auto query = dao.OpenQuery(sql, {owner_id, card_type_id});
  if (query->Eof()) return nullptr;
  return ReadMemberPrice(*query);
}

}  // namespace

CommodityDao& CommodityDao::Instance() {
  static CommodityDao instance;
  return instance;
}

std::unique_ptr<Commodity> CommodityDao::GetCommodity(int32_t id) const {
  auto query = OpenQuery("select * from Commodity where id=:p0", {id});
  if (query->Eof()) return nullptr;
  auto commodity = std::make_unique<Commodity>();
  commodity->id = query->AsInteger("id");
  commodity->serial = query->AsString("serial");
  commodity->name = query->AsString("name");
  commodity->categoryId = query->AsInteger("categoryId");
  commodity->shortcut = query->AsString("shortcut");
  commodity->unit = query->AsString("unit");
  commodity->brand = query->AsString("brand");
  commodity->model = query->AsString("model");
  commodity->specification = query->AsString("specification");
  commodity->manufacture = query->AsString("manufacture");
  commodity->price = query->AsFloat("price");
  commodity->storage = query->AsFloat("storage");
  commodity->integral = query->AsInteger("integral");
  commodity->memberMinlevel = query->AsInteger("memberMinlevel");
  commodity->minStorage = query->AsFloat("minStorage");
  commodity->maxStorage = query->AsFloat("maxStorage");
  commodity->image = query->AsBlob("image");
  commodity->description = query->AsString("description");
  commodity->state = query->AsInteger("state");
  commodity->custCol1 = query->AsString("custCol1");
  commodity->custCol2 = query->AsString("custCol2");
  commodity->custCol3 = query->AsString("custCol3");
  commodity->custCol4 = query->AsString("custCol4");
  commodity->custCol5 = query->AsString("custCol5");
  commodity->isIntegral = query->AsBoolean("isIntegral");
  commodity->barcode = query->AsString("barcode");
  commodity->color = query->AsString("color");
  return commodity;
}

CommodityTypeDao& CommodityTypeDao::Instance() {
  static CommodityTypeDao instance;
  return instance;
}

std::unique_ptr<CommodityType> CommodityTypeDao::GetCommodityType(int32_t id) const {
  // The marker is named :p1, but parameters bind by position: it takes the id.
  auto query = OpenQuery("SELECT * FROM CommCategory WHERE id=:p1", {id});
  if (query->Eof()) return nullptr;
  auto type = std::make_unique<CommodityType>();
  type->id = query->AsInteger("id");
  type->name = query->AsString("name");
  type->parentId = query->AsInteger("parentId");
  type->type = query->AsInteger("type");
  type->prefix = query->AsString("prefix");
  type->description = query->AsString("description");
  type->state = query->AsInteger("state");
  return type;
}

MemberPriceDao& MemberPriceDao::Instance() {
  static MemberPriceDao instance;
  return instance;
}

std::unique_ptr<CommMemberPrice> MemberPriceDao::GetCommodityPrice(int32_t commodity_id,
                                                                   int32_t card_type_id) const {
  return FindMemberPrice(*this,
                         "SELECT * FROM CommMemberPrice WHERE commodityId=:p0 AND cardTypeId=:p1",
                         commodity_id, card_type_id);
}

std::unique_ptr<CommMemberPrice> MemberPriceDao::GetPackagePrice(int32_t package_id,
                                                                 int32_t card_type_id) const {
  return FindMemberPrice(*this,
                         "SELECT * FROM CommMemberPrice WHERE packageId=:p0 AND cardTypeId=:p1",
                         package_id, card_type_id);
}

CommodityService& CommodityService::Instance() {
  static CommodityService instance;
  return instance;
}

CommodityDao* CommodityService::GetDao() { return &CommodityDao::Instance(); }

std::unique_ptr<Commodity> CommodityService::GetCommodity(int32_t id) {
  return GetDao()->GetCommodity(id);
}

std::unique_ptr<CommMemberPrice> CommodityService::GetMemberPrice(int32_t commodity_id,
                                                                  int32_t card_type_id) {
  return MemberPriceDao::Instance().GetCommodityPrice(commodity_id, card_type_id);
}

CommodityTypeService& CommodityTypeService::Instance() {
  static CommodityTypeService instance;
  return instance;
}

CommodityTypeDao* CommodityTypeService::GetDao() { return &CommodityTypeDao::Instance(); }

std::unique_ptr<CommodityType> CommodityTypeService::GetCommodityType(int32_t id) {
  return GetDao()->GetCommodityType(id);
}

}  // namespace ab
