#pragma once
// The commodity catalogue as the expense rules read it: commodities (Commodity), commodity
// categories (CommCategory) and the member prices of commodities and packages per card type
// (CommMemberPrice). Read only.
//
// Each data-access object and service exists once per process, created on first request and kept
// until exit, without state of its own. Statements run on the calling thread's connection;
// database errors reach the caller. Records returned belong to the caller.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "data/base_dao.h"
#include "data/base_service.h"

namespace ab {

// One row of CommMemberPrice: the price of a commodity (commodityId set) or of a package
// (packageId set) for one card type.
struct CommMemberPrice {
  int32_t id = 0;
  int32_t commodityId = 0;
  int32_t packageId = 0;
  int32_t cardTypeId = 0;
  double price = 0;
  int32_t rebate = 100;  // percent
  int32_t integral = -1;
  bool mayBuy = true;
  std::string reserved = "0";  // no column
};

using CommMemberPriceList = std::vector<std::unique_ptr<CommMemberPrice>>;

// One row of Commodity.
struct Commodity {
  int32_t id = 0;
  std::string serial;
  std::string name;
  int32_t categoryId = 0;  // row of CommCategory
  std::string shortcut;
  std::string unit;
  std::string brand;
  std::string model;
  std::string specification;
  std::string manufacture;
  double price = 0;  // list price
  double storage = 0;
  int32_t integral = 0;  // per unit sold
  int32_t memberMinlevel = 0;
  double minStorage = 0;
  double maxStorage = 0;
  std::optional<std::string> image;  // the picture's bytes; nullopt when the column is NULL
  std::string description;
  int32_t state = 0;
  std::string custCol1;
  std::string custCol2;
  std::string custCol3;
  std::string custCol4;
  std::string custCol5;
  bool isIntegral = false;
  std::string barcode;
  std::string color;
  std::optional<CommMemberPriceList> memberPrices;  // nothing here fills it
};

// One row of CommCategory. The expense rules treat type 3 apart.
struct CommodityType {
  int32_t id = 0;
  std::string name;
  int32_t parentId = 0;
  int32_t type = 0;
  std::string prefix;
  std::string description;
  int32_t state = 0;
};

class CommodityDao : public BaseDao {
 public:
  static CommodityDao& Instance();
  CommodityDao(const CommodityDao&) = delete;
  CommodityDao& operator=(const CommodityDao&) = delete;

  // Null when there is no row.
  [[nodiscard]] std::unique_ptr<Commodity> GetCommodity(int32_t id) const;

 private:
  CommodityDao() = default;
};

class CommodityTypeDao : public BaseDao {
 public:
  static CommodityTypeDao& Instance();
  CommodityTypeDao(const CommodityTypeDao&) = delete;
  CommodityTypeDao& operator=(const CommodityTypeDao&) = delete;

  // Null when there is no row.
  [[nodiscard]] std::unique_ptr<CommodityType> GetCommodityType(int32_t id) const;

 private:
  CommodityTypeDao() = default;
};

class MemberPriceDao : public BaseDao {
 public:
  static MemberPriceDao& Instance();
  MemberPriceDao(const MemberPriceDao&) = delete;
  MemberPriceDao& operator=(const MemberPriceDao&) = delete;

  // The first price row of the commodity for the card type; null when there is none.
  [[nodiscard]] std::unique_ptr<CommMemberPrice> GetCommodityPrice(int32_t commodity_id,
                                                                   int32_t card_type_id) const;
  // The first price row of the package for the card type; null when there is none.
  [[nodiscard]] std::unique_ptr<CommMemberPrice> GetPackagePrice(int32_t package_id,
                                                                 int32_t card_type_id) const;

 private:
  MemberPriceDao() = default;
};

class CommodityService : public BaseService {
 public:
  static CommodityService& Instance();
  CommodityService(const CommodityService&) = delete;
  CommodityService& operator=(const CommodityService&) = delete;

  CommodityDao* GetDao() override;

  // CommodityDao::GetCommodity.
  [[nodiscard]] std::unique_ptr<Commodity> GetCommodity(int32_t id);
  // MemberPriceDao::GetCommodityPrice.
  [[nodiscard]] std::unique_ptr<CommMemberPrice> GetMemberPrice(int32_t commodity_id,
                                                                int32_t card_type_id);

 private:
  CommodityService() = default;
};

class CommodityTypeService : public BaseService {
 public:
  static CommodityTypeService& Instance();
  CommodityTypeService(const CommodityTypeService&) = delete;
  CommodityTypeService& operator=(const CommodityTypeService&) = delete;

  CommodityTypeDao* GetDao() override;

  // CommodityTypeDao::GetCommodityType.
  [[nodiscard]] std::unique_ptr<CommodityType> GetCommodityType(int32_t id);

 private:
  CommodityTypeService() = default;
};

}  // namespace ab
