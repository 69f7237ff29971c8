#include "convert/runprogress.h"

#include <gtest/gtest.h>

using namespace tunevale;

// One 8-unit file and two 1-unit files: the big file dominates the estimate.
TEST(RunProgress, FileNumberAndRemainingTimeFollowTheBytesDone)
{
    RunProgress progress({800, 100, 100});
    EXPECT_EQ(progress.fileNumber(), 1);
    EXPECT_EQ(progress.fileCount(), 3);
    EXPECT_FALSE(progress.remainingMs(5000).has_value()); // no pace yet
    EXPECT_EQ(progress.text(5000), u"file 1 of 3, elapsed 00:00:05, remaining --:--:--");

    // Half of the first file: each file counts a third of the run's percentage.
    progress.setRunPercent(100.0 / 6);
    EXPECT_NEAR(progress.doneFraction(), 1.0 / 6, 1e-9); // half a file of average size
    progress.setRunPercent(100.0 / 3);
    progress.fileFinished();
    EXPECT_EQ(progress.fileNumber(), 2);
    EXPECT_NEAR(progress.doneFraction(), 0.8, 1e-9);
    ASSERT_TRUE(progress.remainingMs(8000).has_value());
    EXPECT_EQ(*progress.remainingMs(8000), 2000);
    EXPECT_EQ(progress.text(8000), u"file 2 of 3, elapsed 00:00:08, remaining 00:00:02");

    progress.setRunPercent(100);
    progress.fileFinished();
    progress.fileFinished();
    EXPECT_EQ(progress.fileNumber(), 3);
    EXPECT_EQ(*progress.remainingMs(9000), 0);
}

// Empty files still take their turn; a run of nothing has no estimate.
TEST(RunProgress, EmptyFilesAndEmptyRuns)
{
    RunProgress empties({0, 0});
    empties.fileFinished();
    EXPECT_NEAR(empties.doneFraction(), 0.5, 1e-9);
    RunProgress none({});
    EXPECT_EQ(none.fileNumber(), 0);
    EXPECT_FALSE(none.remainingMs(1000).has_value());
}
