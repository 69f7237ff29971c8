#include "common/audio/audioreader.h"
#include "fuzz/drivers.h"
#include "support/fixtures.h"

#include <QDir>

#include <gtest/gtest.h>

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

} // namespace
