#pragma once
// The operator context: who works (TUserInfo), in which branch (Subbranch), at which workstation
// (Workstation), and a few process-wide values other subsystems read. Nothing in the service signs
// an operator in, so the initial values hold for the whole run: every card-log and integral row
// the service writes carries operator -2, branch -1 and workstation -1.
//
// These are plain process-wide objects, read and written directly on the user-interface thread.

#include <cstdint>
#include <string>
#include <vector>

namespace ab {

struct TUserInfo {
  std::vector<std::string> entries;
  int32_t id = -2;
  std::string text1, text2, text3;
  double date = 0;
  int64_t reserved;  // neither initialised nor read
};

struct Subbranch {
  int32_t id = -1;
  std::string text1, text2, text3;
  bool flag = false;
  std::string text4, text5;
  int32_t number1 = 0, number2 = 0;
};

struct Workstation {
  int32_t id = -1;
  std::string text1;
  int32_t number1 = 0;
  std::string text2;
  bool flag = false;
  std::string text3, text4;
  int32_t number2 = 0;
};

extern TUserInfo currentUser;
extern Subbranch currentSubbranch;
extern Workstation currentWorkstation;
// Replaces "[COMPANY]" in SMS texts; empty in this service.
extern std::string companyName;
// Set once at start-up from the system parameter "enabled_m_encrypt": stored member names are
// Base64 and contact numbers scrambled.
extern bool contactNumberEncoding;
// First item of the card checksum text.
extern int32_t checksumPrefix;
// Where money presents go: 1 the present balance, 2 the stored-value balance, else nowhere.
extern int32_t presentBalanceMode;

}  // namespace ab
