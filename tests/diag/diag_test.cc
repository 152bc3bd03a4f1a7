#include <gtest/gtest.h>

#include "diag/operator_context.h"
#include "diag/tarn_exception.h"
#include "diag/tarnlog.h"

namespace ab {
namespace {

TEST(TarnlogTest, OneLogPerName) {
  MLog* a = GetLog("PackageService");
  EXPECT_EQ(GetLog("PackageService"), a);
  EXPECT_NE(GetLog("CardTypeService"), a);
  EXPECT_NE(GetLog("packageservice"), a) << "names compare case-sensitively";
  EXPECT_NE(GetLog(""), nullptr);
}

TEST(TarnExceptionTest, IsCaughtAsThePlatformException) {
  try {
    throw TarnException("\xBC\xD3\xD4\xD8xml\xB9\xE6\xD4\xF2\xCA\xA7\xB0\xDC", 0);
  } catch (const Exception& e) {
    EXPECT_EQ(e.message(), "\xBC\xD3\xD4\xD8xml\xB9\xE6\xD4\xF2\xCA\xA7\xB0\xDC");
    EXPECT_STREQ(e.what(), e.message().c_str());
    return;
  }
  FAIL() << "not caught as ab::Exception";
}

TEST(OperatorContextTest, InitialValuesStampEveryWrittenRow) {
  EXPECT_EQ(currentUser.id, -2);
  EXPECT_EQ(currentSubbranch.id, -1);
  EXPECT_EQ(currentWorkstation.id, -1);
  EXPECT_EQ(companyName, "");
  EXPECT_FALSE(contactNumberEncoding);
  EXPECT_EQ(checksumPrefix, 0);
  EXPECT_EQ(presentBalanceMode, 1);
}

}  // namespace
}  // namespace ab
