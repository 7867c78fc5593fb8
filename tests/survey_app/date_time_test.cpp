#include <gtest/gtest.h>

#include <cstdlib>

#include "util/date_time.h"

using namespace corvane;

namespace {
std::int64_t ymd(int y, unsigned m, unsigned d) { return days_from_civil(y, m, d); }
}  // namespace

TEST(DateTime, DayNumbersCountFromThe30thOfDecember1899) {
  EXPECT_EQ(ymd(1899, 12, 30), 0);
  EXPECT_EQ(ymd(1900, 1, 1), 2);
  EXPECT_EQ(ymd(1996, 5, 12), 35197);
  EXPECT_EQ(ymd(2000, 3, 1), 36586);
  std::int64_t y;
  unsigned m, d;
  civil_from_days(35197, y, m, d);
  EXPECT_EQ(y, 1996);
  EXPECT_EQ(m, 5u);
  EXPECT_EQ(d, 12u);
}

TEST(DateTime, DateOrdersAndSeparators) {
  EXPECT_EQ(parse_date("12/05/96", DateOrder::mdy), ymd(1996, 12, 5));
  EXPECT_EQ(parse_date("12/05/96", DateOrder::dmy), ymd(1996, 5, 12));
  EXPECT_EQ(parse_date("96/05/12", DateOrder::ymd), ymd(1996, 5, 12));
  EXPECT_EQ(parse_date("1996-05-12", DateOrder::ymd), ymd(1996, 5, 12));
  EXPECT_EQ(parse_date("12.5.1996", DateOrder::dmy), ymd(1996, 5, 12));
  EXPECT_EQ(parse_date(" 5/12/96 ", DateOrder::mdy), ymd(1996, 5, 12));
  EXPECT_EQ(parse_date("01/01/29", DateOrder::mdy), ymd(2029, 1, 1));
  EXPECT_EQ(parse_date("01/01/30", DateOrder::mdy), ymd(1930, 1, 1));
  EXPECT_EQ(parse_date("01/01/00", DateOrder::mdy), ymd(2000, 1, 1));
}

TEST(DateTime, OnlyRealCalendarDates) {
  EXPECT_TRUE(parse_date("02/29/96", DateOrder::mdy));
  EXPECT_TRUE(parse_date("02/29/2000", DateOrder::mdy));
  for (const char* bad :
       {"02/29/97", "02/29/1900", "13/01/96", "00/10/96", "04/31/96", "12/32/96", "12/05/996", "12/05/19960", "12/05",
        "12/05/96/1", "12/05-96", "12 05 96", "a2/05/96", "", "/ /", "123/05/96", "12/05/96 10:00"})
    EXPECT_FALSE(parse_date(bad, DateOrder::mdy)) << bad;
  EXPECT_FALSE(parse_date("31/12/96", DateOrder::mdy));
  EXPECT_TRUE(parse_date("31/12/96", DateOrder::dmy));
}

TEST(DateTime, Times) {
  EXPECT_EQ(parse_time("14:03:07"), 14 * 3600 + 3 * 60 + 7);
  EXPECT_EQ(parse_time("9:05"), 9 * 3600 + 5 * 60);
  EXPECT_EQ(parse_time(" 00:00:00 "), 0);
  EXPECT_EQ(parse_time("23:59:59"), 86399);
  for (const char* bad : {"24:00:00", "12:60:00", "12:00:60", "12:5", "12", "12:00:", "1:2:3", "123:00", "12:00:00:00",
                          "12.00.00", "", "-1:00", "12:00am"})
    EXPECT_FALSE(parse_time(bad)) << bad;
}

TEST(DateTime, EqualClockTimesGiveIdenticalDayNumbers) {
  const std::int64_t day = ymd(1996, 5, 12) * seconds_per_day;
  // Reached by steps of 30 seconds from 10:00:00, and read from a text.
  std::int64_t t = day + 10 * 3600;
  for (int i = 0; i < 7; ++i) t += 30;
  const double stepped = day_number(t);
  const double read = day_number(day + *parse_time("10:03:30"));
  EXPECT_EQ(stepped, read);
  EXPECT_EQ(format_ymd_hms(read), "1996/05/12 10:03:30");
  EXPECT_EQ(format_mdy(read), "05/12/1996");
  EXPECT_EQ(format_hms(day_number(day + 86399)), "23:59:59");
  EXPECT_EQ(format_ymd_hms(0.0), "1899/12/30 00:00:00");
}

TEST(DateTime, RegionalOrder) {
  const char* saved = std::getenv("LC_ALL");
  const std::string keep = saved ? saved : "";
  setenv("LC_ALL", "C", 1);
  EXPECT_EQ(system_date_order(), DateOrder::mdy);
  setenv("LC_ALL", "xx_NOWHERE.UTF-8", 1);  // not installed: falls back
  EXPECT_EQ(system_date_order(), DateOrder::mdy);
  if (saved)
    setenv("LC_ALL", keep.c_str(), 1);
  else
    unsetenv("LC_ALL");
  EXPECT_EQ(parse_date_order("dmy"), DateOrder::dmy);
  EXPECT_EQ(parse_date_order("ymd"), DateOrder::ymd);
  EXPECT_EQ(parse_date_order("auto"), DateOrder::automatic);
  EXPECT_FALSE(parse_date_order("DMY"));
}
