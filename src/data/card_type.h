#pragma once
// Card types (table CardType): the membership levels that member cards belong to. Each carries
// its regulation, the XML text of its rules; "0" there, like an empty text, means no rules.
//
// The data-access object and the service exist once per process, created on first request and
// kept until exit, without state of their own besides the service's log. Statements run on the
// calling thread's connection; no operation opens a transaction.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "data/base_dao.h"
#include "data/base_service.h"

namespace ab {

class MLog;

// One row of CardType. A new record has "0" in its texts (the data layer's absent text) and no
// image; a record read from a row always has an image, empty when the column is NULL.
struct CardType {
  int32_t id = 0;
  std::string name = "0";
  int32_t level = 0;  // lists come in ascending level
  double price = 0;
  double deposit = 0;
  int32_t validity = 0;
  std::string regulation = "0";
  std::optional<std::string> image;  // the picture's bytes
  std::string description = "0";
  int32_t state = 0;  // negative: may no longer be used
};

using CardTypeList = std::vector<std::unique_ptr<CardType>>;

// Database errors reach the caller.
class CardTypeDao : public BaseDao {
 public:
  static CardTypeDao& Instance();
  CardTypeDao(const CardTypeDao&) = delete;
  CardTypeDao& operator=(const CardTypeDao&) = delete;

  // Null when there is no row.
  [[nodiscard]] std::unique_ptr<CardType> getCardType(int32_t id) const;
  // Every row, whatever its state, in ascending level; empty when the table is.
  [[nodiscard]] CardTypeList getAllCardTypes() const;
  // The regulation text ("" for NULL); "0" when there is no row.
  [[nodiscard]] std::string getCardTypeRules(int32_t id) const;

 private:
  CardTypeDao() = default;
};

// The DAO's operations, with database errors handed to the log "CardTypeService" and turned into
// "no result"; errors that are not Exceptions pass through.
class CardTypeService : public BaseService {
 public:
  static CardTypeService& Instance();
  CardTypeService(const CardTypeService&) = delete;
  CardTypeService& operator=(const CardTypeService&) = delete;

  CardTypeDao* GetDao() override;

  // Null for a missing row and on failure.
  [[nodiscard]] std::unique_ptr<CardType> getCardType(int32_t id);
  // Nullopt on failure (an empty list is a valid answer).
  [[nodiscard]] std::optional<CardTypeList> getAllCardTypes();
  // "0" for a missing row and on failure.
  [[nodiscard]] std::string getCardTypeRules(int32_t id);

 private:
  CardTypeService();

  MLog* log_;
};

}  // namespace ab
