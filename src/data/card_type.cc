#include "data/card_type.h"

#include "diag/tarnlog.h"
#include "platform/db/connection.h"
#include "platform/error.h"

namespace ab {
namespace {

std::unique_ptr<CardType> ReadCardType(const db::Query& query) {
  auto type = std::make_unique<CardType>();
  type->id = query.AsInteger("id");
  type->name = query.AsString("name");
  type->level = query.AsInteger("level");
  type->price = query.AsFloat("price");
  type->deposit = query.AsFloat("deposit");
  type->validity = query.AsInteger("validity");
  type->regulation = query.AsString("regulation");
  // Unlike the other pictures of the data layer, a NULL card image reads as an empty one.
  type->image = query.AsBlob("image").value_or(std::string());
  type->description = query.AsString("description");
  type->state = query.AsInteger("state");
  return type;
}

}  // namespace

CardTypeDao& CardTypeDao::Instance() {
  static CardTypeDao instance;
  return instance;
}

std::unique_ptr<CardType> CardTypeDao::getCardType(int32_t id) const {
  auto query = OpenQuery("SELECT * FROM CardType WHERE id=:p0", {id});
  if (query->Eof()) return nullptr;
  return ReadCardType(*query);
}

CardTypeList CardTypeDao::getAllCardTypes() const {
  CardTypeList list;
  auto query = OpenQuery("SELECT * FROM CardType ORDER BY level");
  for (; !query->Eof(); query->Next()) list.push_back(ReadCardType(*query));
  return list;
}

std::string CardTypeDao::getCardTypeRules(int32_t id) const {
  auto query = OpenQuery("SELECT regulation FROM CardType WHERE id=:p0", {id});
  if (query->Eof()) return "0";
  return query->AsString("regulation");
}

CardTypeService::CardTypeService() : log_(GetLog("CardTypeService")) {}

CardTypeService& CardTypeService::Instance() {
  static CardTypeService instance;
  return instance;
}

CardTypeDao* CardTypeService::GetDao() { return &CardTypeDao::Instance(); }

std::unique_ptr<CardType> CardTypeService::getCardType(int32_t id) {
  try {
    return GetDao()->getCardType(id);
  } catch (const Exception& e) {
    log_->Error("getCardType(" + std::to_string(id) + ")", e);
    return nullptr;
  }
}

std::optional<CardTypeList> CardTypeService::getAllCardTypes() {
  try {
    return GetDao()->getAllCardTypes();
  } catch (const Exception& e) {
    log_->Error("getAllCardTypes()", e);
    return std::nullopt;
  }
}

std::string CardTypeService::getCardTypeRules(int32_t id) {
  try {
    return GetDao()->getCardTypeRules(id);
  } catch (const Exception& e) {
    log_->Error("getCardTypeRules(" + std::to_string(id) + ")", e);
    return "0";
  }
}

}  // namespace ab
