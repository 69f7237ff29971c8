#include "support/fixtures.h"
#include "support/qtprinters.h"
#include "support/signals.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>

using namespace tunevale::test;

namespace {

struct CliRun {
    int exitCode = -1;
    QString out;
    QString err;
};

CliRun runCli(const QStringList& arguments)
{
    QProcess process;
    process.start(QStringLiteral(TUNEVALE_CLI_PATH), arguments);
    CliRun run;
    if (!process.waitForFinished(120000))
        return run;
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

class Cli : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_source = m_dir.file(QStringLiteral("Tone à.wav"));
        ASSERT_TRUE(writePcmWav(m_source, sine(1000, 44100, 2, 2.0), 44100, 2));
    }

    TempDir m_dir;
    QString m_source;
};

TEST_F(Cli, HelpForEveryCommand)
{
    for (const QStringList& arguments :
         {QStringList{QStringLiteral("--help")},
          QStringList{QStringLiteral("info"), QStringLiteral("--help")},
          QStringList{QStringLiteral("transcode"), QStringLiteral("--help")}}) {
        const CliRun run = runCli(arguments);
        EXPECT_EQ(run.exitCode, 0) << arguments.join(u' ').toStdString();
        EXPECT_TRUE(run.out.startsWith(u"Usage: tunevale-cli")) << run.out.toStdString();
    }
    EXPECT_EQ(runCli({}).exitCode, 2);
    EXPECT_EQ(runCli({QStringLiteral("dance")}).exitCode, 2);
    const CliRun version = runCli({QStringLiteral("--version")});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out,
              QStringLiteral("tunevale-cli %1\n").arg(QStringLiteral(TUNEVALE_VERSION)));
    EXPECT_EQ(runCli({QStringLiteral("transcode"), m_source}).exitCode, 2);
}

// An unknown option is named on one line with a pointer to help, not the whole help.
TEST_F(Cli, UnknownOptionsGetOneLineAndAPointer)
{
    for (const auto& [arguments, pointer] :
         {std::pair{QStringList{QStringLiteral("--loud")}, QStringLiteral("tunevale-cli --help")},
          std::pair{QStringList{QStringLiteral("info"), QStringLiteral("--loud"), m_source},
                    QStringLiteral("tunevale-cli info --help")},
          std::pair{QStringList{QStringLiteral("convert"), QStringLiteral("--loud"), m_source},
                    QStringLiteral("tunevale-cli convert --help")}}) {
        const CliRun run = runCli(arguments);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_TRUE(run.out.isEmpty());
        const QStringList lines = run.err.split(u'\n', Qt::SkipEmptyParts);
        ASSERT_EQ(lines.size(), 2) << run.err.toStdString();
        EXPECT_TRUE(lines[0].contains(u"loud")) << run.err.toStdString();
        EXPECT_TRUE(lines[1].contains(pointer)) << run.err.toStdString();
    }
}

TEST_F(Cli, InfoDescribesFilesAndFailsForOthers)
{
    const QString missing = m_dir.file(QStringLiteral("missing.mp3"));
    const CliRun run = runCli({QStringLiteral("info"), m_source, missing});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.out.contains(m_source));
    EXPECT_TRUE(run.out.contains(QStringLiteral("Type:         WAV")));
    EXPECT_TRUE(run.out.contains(QStringLiteral("Length:       00:00:02")));
    EXPECT_TRUE(run.out.contains(QStringLiteral("File Size:    345 KB"))) << run.out.toStdString();
    EXPECT_TRUE(run.err.contains(missing)) << run.err.toStdString();

    EXPECT_EQ(runCli({QStringLiteral("info"), m_source}).exitCode, 0);
    // A file with none of the richer tags shows none of their lines.
    EXPECT_FALSE(run.out.contains(QStringLiteral("Album Artist:"))) << run.out.toStdString();
}

TEST_F(Cli, InfoShowsTheRicherTagsPresent)
{
    const QString cover = m_dir.file(QStringLiteral("cover.png"));
    ASSERT_TRUE(runFfmpeg(args({"-f", "lavfi", "-i", "color=red:s=8x8", "-frames:v", "1"}) +
                          QStringList{cover}));
    const QString tagged = m_dir.file(QStringLiteral("tagged.flac"));
    ASSERT_TRUE(runFfmpeg(
        QStringList{QStringLiteral("-i"), m_source, QStringLiteral("-i"), cover} +
        args({"-map",
              "0",
              "-map",
              "1",
              "-c:v",
              "copy",
              "-disposition:v",
              "attached_pic",
              "-metadata",
              "album_artist=Various Ö",
              "-metadata",
              "date=2001-05-06",
              "-metadata",
              "genre=Synthwave",
              "-metadata",
              "track=3/12",
              "-metadata",
              "disc=1/2",
              "-metadata",
              "lyrics=The first line of a song that goes on and on and on, longer than a line\n"
              "and a second"}) +
        QStringList{tagged}));
    const CliRun run = runCli({QStringLiteral("info"), tagged});
    EXPECT_EQ(run.exitCode, 0);
    const QStringList lines = run.out.split(u'\n');
    for (const QString& expected :
         {QStringLiteral("  Year:         2001"), QStringLiteral("  Track:        3/12"),
          QStringLiteral("  Album Artist: Various Ö"), QStringLiteral("  Date:         2001-05-06"),
          QStringLiteral("  Genre Name:   Synthwave"), QStringLiteral("  Disc:         1/2"),
          QStringLiteral(
              "  Lyrics:       The first line of a song that goes on and on and on, longer…"),
          QStringLiteral("  Cover:        image/png, %1 bytes").arg(QFileInfo(cover).size())})
        EXPECT_TRUE(lines.contains(expected)) << expected.toStdString() << '\n'
                                              << run.out.toStdString();
    EXPECT_FALSE(run.out.contains(QStringLiteral("Composer:")));
}

// Tags cannot drive the terminal or forge lines: their control characters are escaped.
TEST_F(Cli, InfoEscapesControlCharactersInTags)
{
    const QString tagged = m_dir.file(QStringLiteral("hostile.mp3"));
    ASSERT_TRUE(runFfmpeg(QStringList{QStringLiteral("-i"), m_source} +
                          args({"-metadata", "title=Evil\x1b]0;owned\x07", "-metadata",
                                "comment=x\nLength:       99:99:99"}) +
                          QStringList{tagged}));
    const CliRun run = runCli({QStringLiteral("info"), tagged});
    EXPECT_EQ(run.exitCode, 0);
    const QStringList lines = run.out.split(u'\n');
    EXPECT_TRUE(lines.contains(QStringLiteral("  Title:        Evil\\x1b]0;owned\\x07")))
        << run.out.toStdString();
    EXPECT_TRUE(lines.contains(QStringLiteral("  Comment:      x\\nLength:       99:99:99")))
        << run.out.toStdString();
    EXPECT_EQ(lines.filter(QRegularExpression(QStringLiteral("^\\s*Length:"))).size(), 1);
}

TEST_F(Cli, TranscodeWritesEachFormatAndNeverOverwrites)
{
    for (const char* extension : {"mp3", "wma", "ogg", "wav"}) {
        const QString output = m_dir.file(QStringLiteral("out.")) + QLatin1String(extension);
        CliRun run = runCli({QStringLiteral("transcode"), m_source, output});
        ASSERT_EQ(run.exitCode, 0) << extension << run.err.toStdString();
        const Decoded decoded = decodeFile(output);
        ASSERT_TRUE(decoded.ok) << extension;
        EXPECT_EQ(decoded.format.sampleRate, 44100);
        EXPECT_EQ(decoded.format.channels, 2);

        const qint64 size = QFileInfo(output).size();
        run = runCli({QStringLiteral("transcode"), m_source, output});
        EXPECT_EQ(run.exitCode, 1) << extension;
        EXPECT_TRUE(run.err.contains(QStringLiteral("already exists")));
        EXPECT_EQ(QFileInfo(output).size(), size);
    }
    // Not even the source itself.
    const qint64 sourceSize = QFileInfo(m_source).size();
    EXPECT_EQ(runCli({QStringLiteral("transcode"), m_source, m_source}).exitCode, 1);
    EXPECT_EQ(QFileInfo(m_source).size(), sourceSize);
}

// One long file on several threads comes out whole; a job count below one is refused.
TEST_F(Cli, TranscodeJobsSplitALongFile)
{
    const QString source = m_dir.file(QStringLiteral("source.wav"));
    ASSERT_TRUE(writePcmWav(source, noise(44100, 2, 9.5), 44100, 2));
    const auto transcode = [&](const char* jobs, const QString& output) {
        return runCli({QStringLiteral("transcode"), QStringLiteral("--jobs"), QLatin1String(jobs),
                       source, output});
    };
    for (const char* extension : {"mp3", "wav"}) {
        const QString one = m_dir.file(QStringLiteral("one.")) + QLatin1String(extension);
        const QString three = m_dir.file(QStringLiteral("three.")) + QLatin1String(extension);
        ASSERT_EQ(transcode("1", one).exitCode, 0);
        const CliRun run = transcode("3", three);
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
        EXPECT_EQ(decodeFile(three).frames(), 44100 * 19 / 2) << extension;
        QFile first(one);
        QFile second(three);
        ASSERT_TRUE(first.open(QIODevice::ReadOnly) && second.open(QIODevice::ReadOnly));
        // WAV segments make the same file; MP3 seams leave their mark in the bytes.
        EXPECT_EQ(first.readAll() == second.readAll(), QLatin1String(extension) == u"wav");
    }
    const QString output = m_dir.file(QStringLiteral("none.mp3"));
    const CliRun run = transcode("0", output);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.err.contains(QStringLiteral("--jobs"))) << run.err.toStdString();
    EXPECT_FALSE(QFile::exists(output));
}

// convert and transcode take --jobs alike: a whole number of one or more with blanks around
// it allowed; anything else is a usage error naming the value, before any output is made.
TEST_F(Cli, JobsTakeAWholeNumberOfOneOrMore)
{
    const QString out = m_dir.file(QStringLiteral("out"));
    ASSERT_TRUE(QDir().mkpath(out));
    const QString jobs = QStringLiteral("--jobs");
    const auto convert = [&](const QString& value) {
        return runCli({QStringLiteral("convert"), QStringLiteral("--to"), QStringLiteral("wav"),
                       QStringLiteral("--out"), out, jobs, value, m_source});
    };
    const auto transcode = [&](const QString& value) {
        return runCli({QStringLiteral("transcode"), jobs, value, m_source,
                       out + QStringLiteral("/single.wav")});
    };
    for (const char* refused : {"0", "-1", "abc", "2.5", "1e3", "99999999999", ""}) {
        const QString value = QString::fromLatin1(refused);
        for (const CliRun& run : {convert(value), transcode(value)}) {
            EXPECT_EQ(run.exitCode, 2) << refused;
            EXPECT_TRUE(run.err.contains(jobs) && run.err.contains(value)) << run.err.toStdString();
        }
    }
    EXPECT_TRUE(QDir(out).isEmpty());
    EXPECT_EQ(convert(QStringLiteral(" 3")).exitCode, 0);
    EXPECT_EQ(transcode(QStringLiteral("3 ")).exitCode, 0);
    EXPECT_EQ(QDir(out).entryList(QDir::Files).size(), 2);
}

TEST_F(Cli, TranscodeFailuresSayWhyAndLeaveNoOutput)
{
    const QString aiff = m_dir.file(QStringLiteral("out.aiff"));
    CliRun run = runCli({QStringLiteral("transcode"), m_source, aiff});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains(QStringLiteral("aiff"))) << run.err.toStdString();
    EXPECT_FALSE(QFile::exists(aiff));

    const QString text = m_dir.file(QStringLiteral("text.mp3"));
    QFile file(text);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("hello\n");
    file.close();
    const QString output = m_dir.file(QStringLiteral("from-text.wav"));
    run = runCli({QStringLiteral("transcode"), text, output});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains(text));
    EXPECT_FALSE(QFile::exists(output));
}

// A FIFO, a device or a pipe is refused at once with a reason by every command, never
// waited on or read for ever.
TEST_F(Cli, WhatIsNoRegularFileIsRefusedAtOnce)
{
    const QString fifo = m_dir.file(QStringLiteral("pipe.wav"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString zero = m_dir.file(QStringLiteral("zero.mp3"));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), zero));
    const QString out = m_dir.file(QStringLiteral("out.wav"));
    for (const QStringList& arguments :
         {QStringList{QStringLiteral("info"), fifo, zero},
          QStringList{QStringLiteral("convert"), QStringLiteral("--to"), QStringLiteral("wav"),
                      fifo, zero},
          QStringList{QStringLiteral("transcode"), fifo, out},
          QStringList{QStringLiteral("info"), QStringLiteral("/dev/stdin")}}) {
        SCOPED_TRACE(arguments.join(u' ').toStdString());
        QProcess process;
        process.start(QStringLiteral(TUNEVALE_CLI_PATH), arguments);
        // What a pipe on the standard input holds.
        process.write(fileBytes(m_source).left(60000));
        process.closeWriteChannel();
        ASSERT_TRUE(process.waitForFinished(20000));
        EXPECT_EQ(process.exitCode(), 1);
        const QString said = QString::fromUtf8(process.readAll() + process.readAllStandardError());
        const auto files =
            std::count_if(arguments.begin(), arguments.end(), [&](const QString& name) {
                return name == fifo || name == zero || name == u"/dev/stdin";
            });
        // convert's error lines are in its log and on standard error both.
        const qsizetype copies = arguments.first() == u"convert" ? 2 : 1;
        EXPECT_EQ(said.count(QStringLiteral(": not a regular file")), files * copies)
            << said.toStdString();
    }
}

} // namespace
