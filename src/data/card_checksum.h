#pragma once
// The member card's checksum, shared with the membership system's counter programs, which check
// it: the CRC-32 of checksumPrefix, the six balances in general number format and the two history
// dates in the short date format, concatenated without separators. It therefore depends on the
// process-wide checksumPrefix and date formats; call it from the user-interface thread.

#include <cstdint>

namespace ab {

class MemberCard;

// The text is checksumPrefix, then money, rechargeMoney, integral, totalIntegral, present and
// presentTotal (FloatToStr), then lastExpenseDate and lastRechargeDate (DateToStr); the result is
// ChecksumOfCrc of its Crc32.
[[nodiscard]] int32_t CardChecksum(const MemberCard& card);

// The absolute value of `crc` read as a signed 32-bit number; 0x80000000, whose absolute value
// does not fit, stays the most negative value.
[[nodiscard]] int32_t ChecksumOfCrc(uint32_t crc);

}  // namespace ab
