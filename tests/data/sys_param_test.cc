#include "config/sys_param.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "config/config_file.h"
#include "config/connection_registry.h"
#include "data_fixture.h"
#include "platform/db/connection.h"
#include "platform/text.h"
#include "support/temp_dir.h"

namespace ab {
namespace {

class SysParamTest : public testing::DataTest {
 protected:
  // A row of SysParam; a null `value` stores NULL.
  void Put(const std::string& name, int32_t sys_id, const char* value) {
    db_.admin().Execute("INSERT INTO SysParam (PName, SysId, PValue) VALUES (:p0, :p1, :p2)",
                        {name, sys_id, value ? db::Value(value) : db::Value(db::Null{})});
  }
};

TEST_F(SysParamTest, MissingRowGivesEveryGetterItsDefault) {
  Put("smsBirthday", 1, "5");  // same name, other sub-key

  EXPECT_EQ(GetParamString("smsBirthday", "dflt", 0), "dflt");
  EXPECT_EQ(GetParamString("nothing", "", 0), "");
  EXPECT_EQ(GetParamInt("smsBirthday", -7, 0), -7);
  EXPECT_TRUE(GetParamBool("nothing", true, 0));
  EXPECT_FALSE(GetParamBool("nothing", false, 0));
}

TEST_F(SysParamTest, NullOrEmptyValueReadsAsEmptyTextAndGivesNumbersTheirDefault) {
  Put("null_value", 0, nullptr);
  Put("empty_value", 0, "");

  for (const char* name : {"null_value", "empty_value"}) {
    EXPECT_EQ(GetParamString(name, "dflt", 0), "") << name;
    EXPECT_EQ(GetParamInt(name, 42, 0), 42) << name;
    EXPECT_TRUE(GetParamBool(name, true, 0)) << name;
    EXPECT_FALSE(GetParamBool(name, false, 0)) << name;
  }
}

TEST_F(SysParamTest, GetParamIntConvertsWholeNumbersCompletelyOrGivesTheDefault) {
  const struct {
    const char* stored;
    std::optional<int32_t> expected;  // nullopt: the default
  } cases[] = {
      {"12", 12},
      {" 12", 12},
      {"-3", -3},
      {"+8", 8},
      {"$1F", 31},
      {"0x1F", 31},
      {"X10", 16},
      {"2147483647", 2147483647},
      {"12 ", std::nullopt},
      {"12a", std::nullopt},
      {"abc", std::nullopt},
      {"1.5", std::nullopt},
      {"2147483648", std::nullopt},
      {"-", std::nullopt},
  };
  int i = 0;
  for (const auto& c : cases) Put("int" + std::to_string(i++), 0, c.stored);

  i = 0;
  for (const auto& c : cases) {
    EXPECT_EQ(GetParamInt("int" + std::to_string(i++), -99, 0), c.expected.value_or(-99))
        << "stored \"" << c.stored << "\"";
  }
}

TEST_F(SysParamTest, GetParamBoolReadsNumbersAndTrueFalseInAnyCase) {
  const struct {
    const char* stored;
    std::optional<bool> expected;  // nullopt: the default
  } cases[] = {
      {"1", true},      {"0", false},          {"0.0", false},       {"-2", true},
      {"2.5", true},    {"TRUE", true},        {"true", true},       {"False", false},
      {"fAlSe", false}, {"yes", std::nullopt}, {"no", std::nullopt}, {"T", std::nullopt},
  };
  int i = 0;
  for (const auto& c : cases) Put("bool" + std::to_string(i++), 0, c.stored);

  i = 0;
  for (const auto& c : cases) {
    std::string name = "bool" + std::to_string(i++);
    for (bool default_value : {false, true}) {
      EXPECT_EQ(GetParamBool(name, default_value, 0), c.expected.value_or(default_value))
          << "stored \"" << c.stored << "\", default " << default_value;
    }
  }
}

TEST_F(SysParamTest, FirstOfTwoRowsWithTheSameKeyWins) {
  Put("timer_schedule_time", 0, "09:00:00");
  Put("timer_schedule_time", 0, "23:00:00");

  EXPECT_EQ(GetParamString("timer_schedule_time", "11:00:00", 0), "09:00:00");
}

TEST_F(SysParamTest, SubKeysZeroAndOneAreIndependentParameters) {
  Put("smsParam", 0, "account");
  Put("smsParam", 1, "secret");

  EXPECT_EQ(GetParamString("smsParam", "", 0), "account");
  EXPECT_EQ(GetParamString("smsParam", "", 1), "secret");
  EXPECT_EQ(GetParamString("smsParam", "none", 2), "none");
}

TEST_F(SysParamTest, TextsComeBackAsStoredGbkBytes) {
  std::string tmpl = gbk("尊敬的[MEMBER] [SEX]您好！[COMPANY]及全体员工祝您生日快乐！");
  Put("msg_template_birthday", 0, tmpl.c_str());
  Put("it's", 0, "quoted");

  EXPECT_EQ(GetParamString("msg_template_birthday", "", 0), tmpl);
  EXPECT_EQ(GetParamString("it's", "", 0), "quoted");
}

TEST_F(SysParamTest, FailingQueryRaisesTheDatabaseError) {
  db_.Exec("DROP TABLE SysParam");

  EXPECT_THROW((void)GetParamString("smsParam", "", 0), db::DbError);
  EXPECT_THROW((void)GetParamInt("smsBirthday", 0, 1), db::DbError);
  EXPECT_THROW((void)GetParamBool("smsBirthday", false, 0), db::DbError);
}

TEST(SysParamWithoutConnectionTest, RaisesNoConnectionError) {
  testing::TempDir home;
  home.Write("Config.xml",
             "<?xml version=\"1.0\" encoding=\"GB2312\"?>\n<SysConfig><Database><Server>127.0.0.1"
             "</Server><Port>1</Port><UserName>root</UserName><Password></Password>"
             "<Database>none</Database></Database></SysConfig>");
  ConnectionRegistry::Instance().ReleaseAllConnections();
  TConfigFile::GetInstance().Reset(home.File("Config.xml"));

  try {
    (void)GetParamString("smsParam", "", 0);
    ADD_FAILURE() << "no error without a connection";
  } catch (const db::DbError& e) {
    EXPECT_EQ(e.kind(), db::ErrorKind::kNoConnection) << e.what();
  }
  ConnectionRegistry::Instance().ReleaseAllConnections();
  TConfigFile::GetInstance().Reset();
}

}  // namespace
}  // namespace ab
