#include "support/fixtures.h"
#include "support/qtprinters.h"
#include "support/signals.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <gtest/gtest.h>

using namespace tunevale;
using namespace tunevale::test;

namespace {

struct CliResult {
    int exitCode = -1;
    QString out;
    QString err;
};

CliResult runCli(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    CliResult run;
    if (!process.waitForFinished(300000))
        return run;
    run.exitCode = process.exitCode();
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

CliResult convert(const QStringList& arguments)
{
    return runCli(QStringLiteral(TUNEVALE_CLI_PATH),
                  QStringList{QStringLiteral("convert")} + arguments);
}

// The sources named by the log's "Reading" lines, in order, relative to folder.
QStringList readOrder(const QString& log, const QString& folder)
{
    QStringList read;
    for (const QString& line : log.split(u'\n')) {
        const qsizetype at = line.indexOf(QStringLiteral(": Reading - "));
        if (at >= 0)
            read << line.mid(at + 12).remove(folder + u'/');
    }
    return read;
}

class LibraryCli : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* name : {"in/top.wav", "in/B/lena.wav", "in/A/a2.wav", "in/A/X/lena.wav"})
            makeWav(QString::fromLatin1(name), 0.3);
        ASSERT_TRUE(QDir(m_dir.path()).mkpath(QStringLiteral("out")));
    }
    void makeWav(const QString& name, double seconds)
    {
        const QString path = m_dir.file(name);
        ASSERT_TRUE(QDir().mkpath(QFileInfo(path).path()));
        ASSERT_TRUE(writePcmWav(path, sine(440, 44100, 2, seconds), 44100, 2));
    }
    QString in() const { return m_dir.file(QStringLiteral("in")); }
    QString out() const { return m_dir.file(QStringLiteral("out")); }

    TempDir m_dir;
};

TEST_F(LibraryCli, WalksFoldersInOrderKeepsTheTreeAndSkipsOnRerun)
{
    const QStringList tree{QStringLiteral("--to"),
                           QStringLiteral("mp3"),
                           QStringLiteral("-r"),
                           QStringLiteral("--keep-tree"),
                           QStringLiteral("--out"),
                           out(),
                           in()};
    const CliResult first =
        convert(tree + QStringList{QStringLiteral("--jobs"), QStringLiteral("2")});
    ASSERT_EQ(first.exitCode, 0) << first.err.toStdString();
    EXPECT_EQ(readOrder(first.out, in()),
              (QStringList{QStringLiteral("top.wav"), QStringLiteral("A/a2.wav"),
                           QStringLiteral("B/lena.wav"), QStringLiteral("A/X/lena.wav")}));
    for (const char* name : {"top.mp3", "A/a2.mp3", "B/lena.mp3", "A/X/lena.mp3"})
        EXPECT_TRUE(QFileInfo::exists(out() + u'/' + QString::fromLatin1(name))) << name;
    EXPECT_FALSE(first.out.contains(QStringLiteral("New_")));

    const CliResult again =
        convert(tree + QStringList{QStringLiteral("--if-exists"), QStringLiteral("skip")});
    EXPECT_EQ(again.out.count(QStringLiteral(": Skipped - ")), 4);
    EXPECT_FALSE(again.out.contains(QStringLiteral(": Saved - ")));

    // Without -r a folder gives its own files only; a taken name is numbered.
    const CliResult flat =
        convert({QStringLiteral("--to"), QStringLiteral("mp3"), QStringLiteral("--if-exists"),
                 QStringLiteral("number"), QStringLiteral("--out"), out(), in()});
    EXPECT_EQ(readOrder(flat.out, in()), QStringList{QStringLiteral("top.wav")});
    EXPECT_TRUE(QFileInfo::exists(out() + QStringLiteral("/top (2).mp3")));
}

TEST_F(LibraryCli, PlantedLinkFailsTheRowOnStandardErrorAndQuietPrintsOnlyErrors)
{
    ASSERT_TRUE(QDir(m_dir.path()).mkpath(QStringLiteral("outside")));
    ASSERT_TRUE(QFile::link(m_dir.file(QStringLiteral("outside")), out() + QStringLiteral("/A")));
    const CliResult run = convert({QStringLiteral("--to"), QStringLiteral("wav"),
                                   QStringLiteral("-r"), QStringLiteral("--keep-tree"),
                                   QStringLiteral("-q"), QStringLiteral("--out"), out(), in()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.out.isEmpty()) << run.out.toStdString();
    EXPECT_EQ(run.err.count(QStringLiteral(": Error - Cannot create folder ")), 2)
        << run.err.toStdString();
    EXPECT_TRUE(QDir(m_dir.file(QStringLiteral("outside"))).isEmpty());
    EXPECT_TRUE(QFileInfo::exists(out() + QStringLiteral("/B/lena.wav")));
}

TEST_F(LibraryCli, ProgressOnlyOnATerminal)
{
    makeWav(QStringLiteral("long/long.wav"), 60);
    const QStringList arguments{QStringLiteral("convert"),
                                QStringLiteral("--to"),
                                QStringLiteral("mp3"),
                                QStringLiteral("--jobs"),
                                QStringLiteral("1"),
                                QStringLiteral("--out"),
                                out(),
                                m_dir.file(QStringLiteral("long"))};
    const CliResult piped = runCli(QStringLiteral(TUNEVALE_CLI_PATH), arguments);
    ASSERT_EQ(piped.exitCode, 0);
    EXPECT_FALSE(piped.err.contains(QStringLiteral("speed="))) << piped.err.toStdString();
    EXPECT_FALSE(piped.err.contains(u'\r'));

    // script gives the program a terminal of its own.
    QStringList quoted;
    for (const QString& argument : arguments)
        quoted << u'\'' + argument + u'\'';
    const CliResult terminal = runCli(
        QStringLiteral("script"), {QStringLiteral("-qec"),
                                   QStringLiteral("'" TUNEVALE_CLI_PATH "' ") + quoted.join(u' ') +
                                       QStringLiteral(" --if-exists number"),
                                   QStringLiteral("/dev/null")});
    ASSERT_EQ(terminal.exitCode, 0) << terminal.out.toStdString();
    EXPECT_TRUE(terminal.out.contains(QStringLiteral("long.wav"))) << terminal.out.toStdString();
    EXPECT_TRUE(terminal.out.contains(QStringLiteral(" speed="))) << terminal.out.toStdString();
}

} // namespace
