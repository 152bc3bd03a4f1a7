#include "data/card_checksum.h"

#include <limits>
#include <string>

#include "codec/crc32.h"
#include "data/member_card.h"
#include "diag/operator_context.h"
#include "platform/datetime.h"
#include "platform/text.h"

namespace ab {

int32_t CardChecksum(const MemberCard& card) {
  std::string text = IntToStr(checksumPrefix);
  for (double amount : {card.money, card.rechargeMoney, static_cast<double>(card.integral),
                        static_cast<double>(card.totalIntegral), card.present, card.presentTotal}) {
    text += FloatToStr(amount);
  }
  text += DateToStr(card.lastExpenseDate);
  text += DateToStr(card.lastRechargeDate);
  return ChecksumOfCrc(Crc32(text.data(), text.size()));
}

int32_t ChecksumOfCrc(uint32_t crc) {
  auto value = static_cast<int32_t>(crc);
  if (value == std::numeric_limits<int32_t>::min()) return value;
  return value < 0 ? -value : value;
}

}  // namespace ab
