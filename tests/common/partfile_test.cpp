#include "common/audio/audiofile.h"
#include "common/audio/audioinformation.h"
#include "common/safefile.h"
#include "convert/batchrun.h"
#include "convert/partfile.h"
#include "convert/transcoder.h"
#include "settings/encodersettings.h"
#include "support/fixtures.h"
#include "support/qtprinters.h"
#include "support/signals.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <functional>

using namespace tunevale;
using namespace tunevale::test;

namespace {

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

// Runs a test's action once per block, or asks to stop after a number of blocks.
class BlockHook : public BatchObserver {
public:
    std::function<void(int block)> onBlock;
    int stopAfter = 0;

    void yield() override
    {
        ++m_blocks;
        if (onBlock)
            onBlock(m_blocks);
    }
    bool stopRequested() const override { return stopAfter > 0 && m_blocks >= stopAfter; }
    void logLine(const QString& line) override { lines << line; }
    QStringList lines;

private:
    int m_blocks = 0;
};

class OutputCommit : public ::testing::Test {
protected:
    OutputCommit() { (void)EncoderSettings().applyTo(m_writer); }

    QString makeWav(const QString& name, double seconds)
    {
        const QString path = m_dir.file(name);
        EXPECT_TRUE(writePcmWav(path, sine(440, 44100, 2, seconds), 44100, 2));
        return path;
    }
    RowResult convert(const QString& source, const QString& output, BlockHook& hook)
    {
        return BatchRun(m_reader, m_writer, m_information)
            .convertRow(source, output, OutputKind::Mp3, true, hook);
    }

    TempDir m_dir;
    AudioFile m_reader;
    AudioFile m_writer;
    AudioInformation m_information;
};

// A file or a link put at the output's name after it was chosen, before or while the output
// is written, is left as it is; the output takes the next "New_" name.
TEST_F(OutputCommit, ANameTakenAfterNamingIsNeverWrittenOver)
{
    const QString source = makeWav(QStringLiteral("song.wav"), 3);
    const QString output = m_dir.file(QStringLiteral("song.mp3"));
    const QString victim = m_dir.file(QStringLiteral("victim.txt"));
    ASSERT_TRUE(writeFileBytes(victim, "victim"));

    ASSERT_TRUE(QFile::link(victim, output));
    BlockHook before;
    const RowResult linked = convert(source, output, before);
    EXPECT_TRUE(linked.saved);
    EXPECT_EQ(linked.output, m_dir.file(QStringLiteral("New_song.mp3")));
    EXPECT_EQ(fileBytes(victim), QByteArray("victim"));
    ASSERT_TRUE(QFile::remove(output));
    ASSERT_TRUE(QFile::remove(linked.output));

    BlockHook during;
    during.onBlock = [&](int block) {
        if (block == 2) {
            ASSERT_TRUE(writeFileBytes(output, "theirs"));
        }
    };
    const RowResult raced = convert(source, output, during);
    EXPECT_TRUE(raced.saved);
    EXPECT_EQ(raced.output, m_dir.file(QStringLiteral("New_song.mp3")));
    EXPECT_EQ(fileBytes(output), QByteArray("theirs"));
    EXPECT_EQ(decodeFile(raced.output).frames(), 3 * 44100);
    EXPECT_TRUE(during.lines.last().endsWith(QStringLiteral(": Saved - ") + raced.output));
}

// With numbering, a name taken while the output was written gives the next number.
TEST_F(OutputCommit, NumberingCountsUpFromTheWantedName)
{
    const QString source = makeWav(QStringLiteral("song.wav"), 1);
    const QString output = m_dir.file(QStringLiteral("song.mp3"));
    for (const QString& taken : {output, m_dir.file(QStringLiteral("song (2).mp3"))})
        ASSERT_TRUE(writeFileBytes(taken, "theirs"));
    BlockHook hook;
    const RowResult saved =
        BatchRun(m_reader, m_writer, m_information)
            .convertRow(source, output, OutputKind::Mp3, true, hook, IfExists::Number);
    EXPECT_TRUE(saved.saved);
    EXPECT_EQ(saved.output, m_dir.file(QStringLiteral("song (3).mp3")));
}

// A source cut short while it is read fails with both lengths; a stopped file is kept.
TEST_F(OutputCommit, TheOutputMustBeAsLongAsTheSourceUnlessStopped)
{
    const QString source = makeWav(QStringLiteral("song.wav"), 6);
    const QString output = m_dir.file(QStringLiteral("song.mp3"));
    BlockHook truncating;
    truncating.onBlock = [&](int block) {
        if (block == 2) { // the first yield comes before the source is opened
            ASSERT_TRUE(QFile::resize(source, 44 + 2 * 4 * 44100));
        }
    };
    const RowResult cut = convert(source, output, truncating);
    EXPECT_FALSE(cut.saved);
    EXPECT_TRUE(truncating.lines.last().contains(QStringLiteral("of the source's 6.000 s")))
        << truncating.lines.last().toStdString();
    EXPECT_EQ(entries(m_dir.path()), QStringList{QStringLiteral("song.wav")});

    const QString whole = makeWav(QStringLiteral("whole.wav"), 6);
    BlockHook stopping;
    stopping.stopAfter = 3; // two blocks: the first yield comes before the source is opened
    const RowResult stopped = convert(whole, m_dir.file(QStringLiteral("whole.mp3")), stopping);
    EXPECT_TRUE(stopped.saved);
    EXPECT_NEAR(double(decodeFile(stopped.output).frames()), 2.0 * 44100, 0.05 * 44100);
}

// The machine's part of the names of the part files this process writes.
QString hostInPartFileNames(const TempDir& dir)
{
    PartFile part;
    EXPECT_TRUE(part.create(dir.file(QStringLiteral("probe.mp3"))));
    static const QRegularExpression name(
        QStringLiteral("/\\.tunevale-(.+)-%1-[0-9a-f]{16}\\.part$").arg(currentProcessId()));
    return name.match(part.path()).captured(1);
}

// Only a part file of this machine whose process is gone and that nobody locks is a leftover.
TEST(PartFileLeftovers, OnlyProvenLeftoversAreRemoved)
{
    TempDir dir;
    const QString host = hostInPartFileNames(dir);
    ASSERT_FALSE(host.isEmpty());
    const QString gone = QStringLiteral(".tunevale-%1-999999999-0123456789abcdef.part").arg(host);
    const QString goneButLocked =
        QStringLiteral(".tunevale-%1-999999999-fedcba9876543210.part").arg(host);
    const QString alive =
        QStringLiteral(".tunevale-%1-%2-0123456789abcdef.part").arg(host).arg(currentProcessId());
    const QString otherHost = QStringLiteral(".tunevale-elsewhere-999999999-0123456789abcdef.part");
    const QString lookalike = QStringLiteral("song-999999999.part");
    for (const QString& name : {gone, goneButLocked, alive, otherHost, lookalike})
        ASSERT_TRUE(writeFileBytes(dir.file(name), "x"));
    const PathCheck held(dir.file(goneButLocked));
    ASSERT_TRUE(tryLockFile(held.fd().get()));

    EXPECT_EQ(PartFile::removeLeftovers(dir.path()), 1);
    QStringList expected{goneButLocked, alive, otherHost, lookalike};
    expected.sort();
    EXPECT_EQ(entries(dir.path()), expected);

    // A part file in use is never another run's leftover, and is gone once dropped.
    {
        PartFile part;
        ASSERT_TRUE(part.create(dir.file(QStringLiteral("song.mp3"))));
        EXPECT_EQ(PartFile::removeLeftovers(dir.path()), 0);
        EXPECT_TRUE(QFile::exists(part.path()));
    }
    EXPECT_EQ(entries(dir.path()), expected);
}

// Every host name gives a tag that the sweep's pattern reads back.
TEST(PartFileLeftovers, HostTagsAreShortWordsWhateverTheHostName)
{
    EXPECT_EQ(PartFile::hostTagFor(QStringLiteral("studio-pc.local")),
              QStringLiteral("studio_pc_local"));
    EXPECT_EQ(PartFile::hostTagFor(QStringLiteral("büro")), QStringLiteral("b_ro"));
    EXPECT_EQ(PartFile::hostTagFor(QString()), QStringLiteral("host"));
    EXPECT_EQ(PartFile::hostTagFor(QString(40, u'a')), QString(32, u'a'));
}

} // namespace
