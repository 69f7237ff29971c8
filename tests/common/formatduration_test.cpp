#include "common/formatduration.h"
#include "support/qtprinters.h"

#include <gtest/gtest.h>

using tunevale::FormatDuration;

TEST(FormatDuration, NothingPositiveIsZero)
{
    EXPECT_EQ(FormatDuration(0), u"00:00:00");
    EXPECT_EQ(FormatDuration(-5), u"00:00:00");
    EXPECT_EQ(FormatDuration(0.4), u"00:00:00");
}

TEST(FormatDuration, RoundsToTheNearestSecondAndCarries)
{
    EXPECT_EQ(FormatDuration(5), u"00:00:05");
    EXPECT_EQ(FormatDuration(59), u"00:00:59");
    EXPECT_EQ(FormatDuration(59.7), u"00:01:00");
    EXPECT_EQ(FormatDuration(61), u"00:01:01");
    EXPECT_EQ(FormatDuration(119), u"00:01:59");
    EXPECT_EQ(FormatDuration(239.7), u"00:04:00");
    EXPECT_EQ(FormatDuration(3600), u"01:00:00");
    EXPECT_EQ(FormatDuration(3661.2), u"01:01:01");
}

TEST(FormatDuration, LongDurationsWidenTheHourField)
{
    EXPECT_EQ(FormatDuration(100 * 3600), u"100:00:00");
    EXPECT_EQ(FormatDuration(1000 * 3600 + 59), u"1000:00:59");
}
