#pragma once
// Decoders for the members' personal data as the membership system's programs store it when the
// database keeps it encoded (ab::contactNumberEncoding, from the system parameter
// "enabled_m_encrypt"). Both read that flag on every call; with the flag off they return their
// input unchanged. Neither fails; both are safe on any byte string. Like the flag itself, call
// them from the user-interface thread.

#include <string>

namespace ab {

// MemberInfo.realName: the Base64 text (see Base64::Decode) decoded, up to but not including the
// first zero byte. The empty text and "0" (the absent-text marker) are returned unchanged.
// Stored names decode to at most 1023 bytes; a longer decoding is kept whole (still cut at its
// first zero byte), never truncated.
std::string DecodeName(const std::string& text);

// MemberExInfo.telephone, mobile and idCard: undoes the scrambling of the last six digits.
// Texts shorter than seven bytes, and "0", are returned unchanged. Otherwise the last seven bytes
// p0..p6 are read and each of p1..p6 that holds a decimal digit is replaced by a digit computed
// from the stored bytes of p0..p6; other bytes, p0 and everything before it stay as they are.
// The scrambling is defined for texts of at most 19 bytes; a longer text is treated the same way,
// by its last seven bytes.
// A replaced byte is '0' + (r % 10) with r % 10 truncating toward zero, so it lies below '0' when
// bytes far above '9' precede it and r turns negative.
std::string DecodeContactNumber(const std::string& text);

}  // namespace ab
