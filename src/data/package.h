#pragma once
// Packages (PackageComm): bundles of commodities and gifts sold at one price, with their lines
// (PackageDetail); their member prices are rows of CommMemberPrice. Read only.
//
// The data-access object and the service exist once per process, created on first request and
// kept until exit, without state of their own besides the service's log. Statements run on the
// calling thread's connection. Records returned belong to the caller.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "data/base_dao.h"
#include "data/base_service.h"
#include "data/commodity.h"
#include "platform/datetime.h"

namespace ab {

class MLog;

// One line of a package: a commodity (commodityId) or a gift (giftId).
struct PackageDetail {
  int32_t id = 0;
  int32_t packageId = 0;
  int32_t commodityId = 0;
  int32_t giftId = 0;
  double packagePrice = 0;
  int32_t number = 0;  // the stored number truncated toward zero
  bool present = false;
  std::string description = "0";
};

using PackageDetailList = std::vector<std::unique_ptr<PackageDetail>>;

// One row of PackageComm. A new record has "0" in its texts.
struct PackageComm {
  int32_t id = 0;
  std::string serial = "0";
  std::string name = "0";
  int32_t categoryId = 0;
  std::string shortcut = "0";
  std::string unit = "0";
  double price = 0;
  std::string barcode = "0";
  bool isIntegral = false;
  int32_t integral = 0;  // per package sold
  int32_t memberMinlevel = 0;
  int32_t storage = 0;
  DateTime startDatetime = 0;
  DateTime endDatetime = 0;
  DateTime deadline = 0;
  int32_t validity = 0;
  std::optional<std::string> image;  // not read here
  std::string description = "0";
  int32_t state = 0;
  std::optional<PackageDetailList> details;         // filled by GetPackage
  std::optional<CommMemberPriceList> memberPrices;  // not read here
};

// Database errors reach the caller.
class PackageDao : public BaseDao {
 public:
  static PackageDao& Instance();
  PackageDao(const PackageDao&) = delete;
  PackageDao& operator=(const PackageDao&) = delete;

  // The package with its details (an empty list when it has none); null when there is no row.
  [[nodiscard]] std::unique_ptr<PackageComm> GetPackage(int32_t id) const;
  // The package's lines in the order the server returns them.
  [[nodiscard]] PackageDetailList GetDetails(int32_t package_id) const;

 private:
  PackageDao() = default;
};

class PackageService : public BaseService {
 public:
  static PackageService& Instance();
  PackageService(const PackageService&) = delete;
  PackageService& operator=(const PackageService&) = delete;

  PackageDao* GetDao() override;

  // PackageDao::GetPackage; a failure goes to the log "PackageService" and yields null.
  [[nodiscard]] std::unique_ptr<PackageComm> GetPackage(int32_t id);
  // MemberPriceDao::GetPackagePrice; database errors reach the caller.
  [[nodiscard]] std::unique_ptr<CommMemberPrice> GetMemberPrice(int32_t package_id,
                                                                int32_t card_type_id);

 private:
  PackageService();

  MLog* log_;
};

}  // namespace ab
