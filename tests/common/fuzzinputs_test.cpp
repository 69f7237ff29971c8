#include "common/audio/audioreader.h"
#include "fuzz/drivers.h"
#include "support/fixtures.h"
#include "support/qtprinters.h"

#include <QDir>

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace tunevale;

namespace {

QString input(const char* name)
{
    return QStringLiteral(TUNEVALE_FUZZ_INPUTS "/") + QString::fromLatin1(name);
}

// Under the sanitizer build a memory fault in any of these fails the test.
TEST(FuzzInputs, EveryFoundInputIsReadAndDescribed)
{
    const QStringList names = QDir(QStringLiteral(TUNEVALE_FUZZ_INPUTS)).entryList(QDir::Files);
    ASSERT_FALSE(names.isEmpty());
    for (const QString& name : names) {
        SCOPED_TRACE(name.toStdString());
        fuzz::exerciseReader(QStringLiteral(TUNEVALE_FUZZ_INPUTS "/") + name);
        fuzz::exerciseInformation(QStringLiteral(TUNEVALE_FUZZ_INPUTS "/") + name);
    }
}

TEST(FuzzInputs, SeekInAFileClaimingYearsOfAudioEndsAtItsEnd)
{
    AudioReader reader;
    ASSERT_TRUE(reader.open(input("reader-seek-endless-claimed-length.wma")));
    ASSERT_GT(reader.totalFrames(), qint64{1} << 40); // the damaged header's claim
    const qint64 decoded =
        test::decodeFile(input("reader-seek-endless-claimed-length.wma")).frames();
    qint64 reached = -1;
    ASSERT_TRUE(reader.seek(reader.totalFrames() / 2, reached));
    EXPECT_EQ(reached, decoded);
}

TEST(FuzzInputs, TagClaimingGigabytesIsNotAllocated)
{
    // In a child of its own, whose peak memory no other test has raised.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        fuzz::exerciseInformation(input("information-info-tag-claims-gigabytes.wav"));
        fuzz::exerciseReader(input("information-info-tag-claims-gigabytes.wav"));
        ::_exit(0);
    }
    int status = -1;
    rusage usage{};
    ASSERT_EQ(::wait4(child, &status, 0, &usage), child);
    EXPECT_EQ(status, 0);
    EXPECT_LT(usage.ru_maxrss, 512 * 1024) << "kilobytes";
}

} // namespace
