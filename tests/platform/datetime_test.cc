#include "platform/datetime.h"

#include <gtest/gtest.h>

#include "platform/error.h"

namespace ab {
namespace {

// Keeps the process-wide formats of a test from leaking into the next one.
class DateTimeTest : public ::testing::Test {
 protected:
  void TearDown() override { SystemFormats() = FormatSettings(); }
};

TEST_F(DateTimeTest, DayNumbersCountFrom18991230) {
  EXPECT_EQ(EncodeDate(1899, 12, 30), 0);
  EXPECT_EQ(EncodeDate(1900, 1, 1), 2);
  EXPECT_EQ(EncodeDate(2024, 3, 15), 45366);
  EXPECT_EQ(EncodeDate(1899, 12, 29), -1);
  DateParts p = DecodeDateTime(45366.75);
  EXPECT_EQ(p.year, 2024);
  EXPECT_EQ(p.month, 3);
  EXPECT_EQ(p.day, 15);
  EXPECT_EQ(p.hour, 18);
  EXPECT_EQ(p.minute, 0);
}

TEST_F(DateTimeTest, EncodeRejectsImpossibleDates) {
  EXPECT_THROW(EncodeDate(2023, 2, 29), ConvertError);
  EXPECT_NO_THROW(EncodeDate(2024, 2, 29));
  EXPECT_THROW(EncodeTime(24, 0, 0), ConvertError);
}

TEST_F(DateTimeTest, FormatsWithTheSystemLetters) {
  DateTime t = EncodeDate(2024, 3, 5) + EncodeTime(9, 5, 7, 30);
  struct Case {
    const char* format;
    const char* text;
  } cases[] = {
      {"yyyy/m/d", "2024/3/5"},
      {"h:nn:ss", "9:05:07"},
      {"yyyy-mm-dd_hh-nn", "2024-03-05_09-05"},
      {"yyyy-MM-dd", "2024-03-05"},
      {"YYYYMMDD", "20240305"},
      {"yy.m.d", "24.3.5"},
      {"hh:mm", "09:05"},  // m right after an hour means minutes
      {"'at' h 'h'", "at 9 h"},
      {"zzz", "030"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FormatDateTime(c.format, t), c.text) << "format " << c.format;
  }
}

TEST_F(DateTimeTest, DateTimeTextShowsTheTimeOnlyWhenThereIsOne) {
  DateTime day = EncodeDate(2024, 3, 5);
  EXPECT_EQ(DateTimeToStr(day), "2024/3/5");
  EXPECT_EQ(DateTimeToStr(day + EncodeTime(14, 30, 0)), "2024/3/5 14:30:00");
  EXPECT_EQ(DateTimeToStr(0), "1899/12/30");
}

TEST_F(DateTimeTest, ParsesWhatItFormats) {
  for (DateTime t : {EncodeDate(2024, 3, 5), EncodeDate(2024, 12, 31) + EncodeTime(23, 59, 59),
                     EncodeDate(1999, 1, 1) + EncodeTime(0, 0, 1), 0.0}) {
    auto parsed = TryStrToDateTime(DateTimeToStr(t));
    ASSERT_TRUE(parsed) << DateTimeToStr(t);
    EXPECT_DOUBLE_EQ(*parsed, t) << DateTimeToStr(t);
  }
}

TEST_F(DateTimeTest, ParsingFollowsTheShortDateOrder) {
  SystemFormats().short_date_format = "dd.mm.yyyy";
  EXPECT_EQ(DateToStr(EncodeDate(2024, 3, 5)), "05.03.2024");
  auto parsed = TryStrToDateTime("05.03.2024 8:00");
  ASSERT_TRUE(parsed);
  EXPECT_DOUBLE_EQ(*parsed, EncodeDate(2024, 3, 5) + EncodeTime(8, 0, 0));
}

TEST_F(DateTimeTest, ParsingRejectsGarbage) {
  for (const char* text : {"", "abc", "2024/13/1", "2024/2/30", "2024/3/5 25:00", "2024/3/5x",
                           "12:61"}) {
    EXPECT_FALSE(TryStrToDateTime(text)) << text;
  }
  EXPECT_THROW(StrToDateTime("abc"), ConvertError);
  EXPECT_TRUE(TryStrToDateTime("2024-03-05")) << "dashes separate date fields too";
}

TEST_F(DateTimeTest, UnixSecondsRoundTrip) {
  DateTime t = EncodeDate(2024, 3, 15) + EncodeTime(10, 59, 0);
  EXPECT_NEAR(LocalDateTimeFromUnix(UnixFromLocalDateTime(t)), t, 1e-8);
}

}  // namespace
}  // namespace ab
