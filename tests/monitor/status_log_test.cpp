#include "monitor/status_log.h"

#include <gtest/gtest.h>

#include "support/fake_clock.h"
#include "support/fake_monitor_ui.h"

namespace marl {
namespace {

using test::FakeClock;
using test::FakeMonitorUi;

TEST(FormatNow, LongAndShortForms) {
    struct Case {
        int year, month, day, hour, minute, second;
        const char* long_form;
        const char* short_form;
    };
    const Case cases[] = {
        {2024, 3, 5, 7, 8, 9, "2024-03-05 07:08:09", "03-05 07:08"},
        {2023, 12, 31, 23, 59, 59, "2023-12-31 23:59:59", "12-31 23:59"},
        {2025, 1, 1, 0, 0, 0, "2025-01-01 00:00:00", "01-01 00:00"},
        {2024, 2, 29, 12, 30, 5, "2024-02-29 12:30:05", "02-29 12:30"},
    };
    for (const Case& c : cases) {
        const FakeClock clock(c.year, c.month, c.day, c.hour, c.minute, c.second);
        EXPECT_EQ(FormatNow(clock, true), c.long_form);
        EXPECT_EQ(FormatNow(clock, false), c.short_form);
    }
}

TEST(FormatNow, SystemClockGivesTheFixedShapes) {
    const SystemClock clock;
    const Text long_form = FormatNow(clock, true);
    const Text short_form = FormatNow(clock, false);
    ASSERT_EQ(long_form.size(), 19u);
    ASSERT_EQ(short_form.size(), 11u);
    EXPECT_EQ(long_form[4], '-');
    EXPECT_EQ(long_form[10], ' ');
    EXPECT_EQ(long_form[13], ':');
    // Short form is the long one without the year and the seconds (unless a minute turned between).
    EXPECT_EQ(short_form[2], '-');
    EXPECT_EQ(short_form[5], ' ');
}

TEST(ShortTimeOf, TheLongFormWithoutYearAndSecondsElseNothing) {
    struct Case {
        const char* stored;
        const char* shown;
    };
    const Case cases[] = {
        {"2024-03-05 07:08:09", "03-05 07:08"},
        {"2023-12-31 23:59:59", "12-31 23:59"},
        {"", ""},  // recorded before times were kept
        {"2024-03-05 07:08", ""},
        {"2024-03-05T07:08:09", ""},
        {"2024-03-05 07:08:09 ", ""},
        {"abcd-ef-gh ij:kl:mn", ""},
        {"2024/03/05 07:08:09", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(ShortTimeOf(c.stored), c.shown) << c.stored;
}

TEST(StatusLog, LinesCarryStampMessageAndCrLfInOrder) {
    FakeMonitorUi ui;
    const FakeClock clock(2024, 3, 5, 7, 8, 9);
    StatusLog(ui, clock, Gbk("源码获取完成"));
    StatusLog(ui, clock, Text());
    StatusLog(ui, clock,
              "Sql Err\xA3\xBA"
              "INSERT 'x'");

    const auto lines = ui.StatusLines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "[ 2024-03-05 07:08:09 ] " + Gbk("源码获取完成") + "\r\n");
    EXPECT_EQ(lines[1], "[ 2024-03-05 07:08:09 ] \r\n");
    EXPECT_EQ(lines[2],
              "[ 2024-03-05 07:08:09 ] Sql Err\xA3\xBA"
              "INSERT 'x'\r\n");
}

}  // namespace
}  // namespace marl
