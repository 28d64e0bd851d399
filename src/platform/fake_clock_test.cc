#include "platform/fake_clock.h"

#include <gtest/gtest.h>

#include "platform/native_backends.h"

namespace orvik {
namespace {

TEST(FakeClock, TimeMovesOnlyWhenSomebodySleeps) {
  FakeClock clock(1'000'000);
  EXPECT_EQ(clock.monotonicMs(), 0);
  clock.sleepMs(30000);
  EXPECT_EQ(clock.monotonicMs(), 30000);
  EXPECT_EQ(clock.calendarSeconds(), 1'000'030);
  clock.setCalendarSeconds(999'000);  // an operator sets the clock back
  EXPECT_EQ(clock.calendarSeconds(), 999'000);
  EXPECT_EQ(clock.monotonicMs(), 30000);
}

TEST(FakeClock, LocalTimeConversionMatchesKnownDatesBothWays) {
  FakeClock clock;
  struct Case {
    int64_t seconds;
    int year, month, day, hour, minute, second, weekday, yearDay;
  };
  const Case cases[] = {
      {0, 1970, 1, 1, 0, 0, 0, 4, 0},
      {951782400, 2000, 2, 29, 0, 0, 0, 2, 59},
      {1700000000, 2023, 11, 14, 22, 13, 20, 2, 317},
      {-1, 1969, 12, 31, 23, 59, 59, 3, 364},
  };
  for (const Case& c : cases) {
    LocalTime t;
    ASSERT_TRUE(clock.toLocalTime(c.seconds, &t));
    EXPECT_EQ((std::array<int, 8>{t.year, t.month, t.day, t.hour, t.minute, t.second, t.weekday,
                                  t.yearDay}),
              (std::array<int, 8>{c.year, c.month, c.day, c.hour, c.minute, c.second, c.weekday,
                                  c.yearDay}))
        << c.seconds;
    int64_t back = 0;
    ASSERT_TRUE(clock.fromLocalTime(t, &back));
    EXPECT_EQ(back, c.seconds);
  }
}

TEST(FakeClock, FromLocalTimeNormalisesLikeMktime) {
  FakeClock clock;
  clock.setUtcOffsetSeconds(3600);
  LocalTime t;
  t.year = 2023;
  t.month = 13;  // January of the next year
  t.day = 32;    // 1 February
  t.hour = 1;
  int64_t seconds = 0;
  ASSERT_TRUE(clock.fromLocalTime(t, &seconds));
  LocalTime back;
  clock.toLocalTime(seconds, &back);
  EXPECT_EQ(back.year, 2024);
  EXPECT_EQ(back.month, 2);
  EXPECT_EQ(back.day, 1);
  EXPECT_EQ(back.hour, 1);
}

TEST(NativeClock, LocalTimeRoundTripsAndMonotonicAdvances) {
  Clock& clock = nativeClock();
  const int64_t now = clock.calendarSeconds();
  LocalTime t;
  ASSERT_TRUE(clock.toLocalTime(now, &t));
  int64_t back = 0;
  ASSERT_TRUE(clock.fromLocalTime(t, &back));
  EXPECT_EQ(back, now);
  const int64_t before = clock.monotonicMs();
  clock.sleepMs(5);
  EXPECT_GE(clock.monotonicMs() - before, 5);
}

}  // namespace
}  // namespace orvik
