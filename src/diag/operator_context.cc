#include "diag/operator_context.h"

namespace ab {

TUserInfo currentUser;
Subbranch currentSubbranch;
Workstation currentWorkstation;
std::string companyName;
bool contactNumberEncoding = false;
int32_t checksumPrefix = 0;
int32_t presentBalanceMode = 1;

}  // namespace ab
