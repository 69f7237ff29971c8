#include "support/fixtures.h"
#include "support/qtprinters.h"
#include "support/signals.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>

#include <sys/resource.h>

using namespace tunevale::test;

namespace {

struct CliRun {
    int exitCode = -1; // -1 when the process did not end by itself
    QString out;
};

// A tunevale-cli convert process; limitBytes caps the size of any file it writes, as
// `ulimit -f` does, with SIGXFSZ ignored so writes fail instead.
class ConvertProcess {
public:
    explicit ConvertProcess(const QStringList& arguments, qint64 limitBytes = 0)
    {
        if (limitBytes > 0) {
            m_process.setChildProcessModifier([limitBytes] {
                std::signal(SIGXFSZ, SIG_IGN);
                const rlimit limit{rlim_t(limitBytes), rlim_t(limitBytes)};
                setrlimit(RLIMIT_FSIZE, &limit);
            });
        }
        m_process.start(QStringLiteral(TUNEVALE_CLI_PATH),
                        QStringList{QStringLiteral("convert")} + arguments);
    }
    ~ConvertProcess()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }

    // Waits until the standard output holds text.
    bool waitFor(const QString& text)
    {
        while (!m_out.contains(text)) {
            if (!m_process.waitForReadyRead(60000))
                return false;
            m_out += QString::fromUtf8(m_process.readAllStandardOutput());
        }
        return true;
    }
    void signal(int number) { ::kill(pid_t(m_process.processId()), number); }
    CliRun finish()
    {
        CliRun run;
        if (!m_process.waitForFinished(300000))
            return run;
        m_out += QString::fromUtf8(m_process.readAllStandardOutput());
        run.exitCode = m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
        run.out = m_out;
        return run;
    }

private:
    QProcess m_process;
    QString m_out;
};

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

QStringList convertTo(const char* format, const QString& folder)
{
    return {QStringLiteral("--to"), QLatin1String(format), QStringLiteral("--out"), folder};
}

class OutputSafety : public ::testing::Test {
protected:
    QString makeNoise(const QString& name, double seconds, const QString& comment = {})
    {
        const QString path = m_dir.file(name);
        const QString plain = m_dir.file(QStringLiteral("plain-") + name);
        EXPECT_TRUE(
            writePcmWav(comment.isEmpty() ? path : plain, noise(44100, 2, seconds), 44100, 2));
        if (!comment.isEmpty()) {
            EXPECT_TRUE(runFfmpeg({QStringLiteral("-i"), plain, QStringLiteral("-metadata"),
                                   QStringLiteral("comment=") + comment, QStringLiteral("-c:a"),
                                   QStringLiteral("copy"), path}));
        }
        return path;
    }
    QString makeFolder(const QString& name)
    {
        EXPECT_TRUE(QDir(m_dir.path()).mkpath(name));
        return m_dir.file(name);
    }
    TempDir m_dir;
};

class EveryFormat : public OutputSafety, public ::testing::WithParamInterface<const char*> {};

// A full disk (here a file size limit) fails the row in the system's words, still prints
// the log with two jobs, and leaves no output and no temporary file behind.
TEST_P(EveryFormat, AFullDiskIsAnErrorAndLeavesNothing)
{
    const QString longer = makeNoise(QStringLiteral("long.wav"), 20);
    const QString shorter = makeNoise(QStringLiteral("short.wav"), 8);
    const QString out = makeFolder(QStringLiteral("out"));
    ConvertProcess process(convertTo(GetParam(), out) + QStringList{QStringLiteral("--jobs"),
                                                                    QStringLiteral("2"), longer,
                                                                    shorter},
                           64 * 1024);
    const CliRun run = process.finish();
    EXPECT_EQ(run.exitCode, 1) << run.out.toStdString();
    EXPECT_TRUE(run.out.contains(
        QStringLiteral(": Error - long.%1 Cannot write ").arg(QLatin1String(GetParam()))))
        << run.out.toStdString();
    EXPECT_TRUE(run.out.contains(QStringLiteral(": File too large\n"))) << run.out.toStdString();
    EXPECT_TRUE(run.out.endsWith(QStringLiteral("Processed 2 files.\n")));
    EXPECT_EQ(entries(out), QStringList()) << run.out.toStdString();
}

class TagWriteCut : public OutputSafety, public ::testing::WithParamInterface<const char*> {};

// Tags that do not fit any more cut the file short: that is a failure, not a saved file.
TEST_P(TagWriteCut, IsAnError)
{
    const QString source = makeNoise(QStringLiteral("tagged.wav"), 4, QString(6000, u'c'));
    const QString out = makeFolder(QStringLiteral("out"));
    ASSERT_EQ(ConvertProcess(convertTo(GetParam(), out) +
                             QStringList{QStringLiteral("--no-tags"), source})
                  .finish()
                  .exitCode,
              0);
    const QString untagged = out + QStringLiteral("/tagged.") + QLatin1String(GetParam());
    const qint64 audioBytes = QFileInfo(untagged).size();
    ASSERT_TRUE(QFile::remove(untagged));

    const CliRun run =
        ConvertProcess(convertTo(GetParam(), out) + QStringList{source}, audioBytes + 1024)
            .finish();
    EXPECT_EQ(run.exitCode, 1) << run.out.toStdString();
    EXPECT_TRUE(run.out.contains(QStringLiteral(": Error - tagged.") + QLatin1String(GetParam())))
        << run.out.toStdString();
    EXPECT_EQ(entries(out), QStringList());
}

INSTANTIATE_TEST_SUITE_P(Formats, EveryFormat,
                         ::testing::Values("mp3", "wma", "ogg", "wav", "flac", "opus", "m4a"));
// A FLAC or M4A file cut short by its tags still passes the length check, and TagLib does
// not report the short write.
INSTANTIATE_TEST_SUITE_P(Formats, TagWriteCut,
                         ::testing::Values("mp3", "wma", "ogg", "wav", "opus"));

struct SignalCase {
    int number;
    int exitCode;
    const char* format;
};

class Interrupted : public OutputSafety, public ::testing::WithParamInterface<SignalCase> {};

// At a random point of a long conversion: the block in progress ends, the log so far is
// printed, the unfinished output is removed and the exit status names the signal.
TEST_P(Interrupted, EndsAfterTheBlockAndRemovesTheUnfinishedOutput)
{
    const QString source = makeNoise(QStringLiteral("long.wav"), 120);
    const QString out = makeFolder(QStringLiteral("out"));
    // One job, so each log line is printed as it happens.
    const QString format = QLatin1String(GetParam().format);
    ConvertProcess process(convertTo(GetParam().format, out) + QStringList{QStringLiteral("--jobs"),
                                                                           QStringLiteral("1"),
                                                                           source, source});
    ASSERT_TRUE(process.waitFor(QStringLiteral(": Converting - ")));
    QThread::msleep(100 + QRandomGenerator::global()->bounded(500));
    process.signal(GetParam().number);
    const CliRun run = process.finish();
    EXPECT_EQ(run.exitCode, GetParam().exitCode) << run.out.toStdString();
    EXPECT_TRUE(run.out.contains(QStringLiteral(": Error - long.%1 Interrupted").arg(format)))
        << run.out.toStdString();
    EXPECT_TRUE(run.out.endsWith(QStringLiteral(" file.\n")) ||
                run.out.endsWith(QStringLiteral(" files.\n")));
    EXPECT_EQ(entries(out), QStringList());
}

INSTANTIATE_TEST_SUITE_P(Signals, Interrupted,
                         ::testing::Values(SignalCase{SIGINT, 130, "mp3"},
                                           SignalCase{SIGTERM, 143, "opus"},
                                           SignalCase{SIGHUP, 129, "m4a"}));

// A kill leaves only a hidden temporary file; a rerun that skips what exists removes that
// leftover and ends with every output whole.
TEST_F(OutputSafety, AKilledRunLeavesNoOutputNameAndARerunCompletesIt)
{
    const QString source = makeNoise(QStringLiteral("long.wav"), 60);
    const QString out = makeFolder(QStringLiteral("out"));
    {
        ConvertProcess process(convertTo("ogg", out) +
                               QStringList{QStringLiteral("--jobs"), QStringLiteral("1"), source});
        ASSERT_TRUE(process.waitFor(QStringLiteral(": Converting - ")));
        QThread::msleep(100 + QRandomGenerator::global()->bounded(500));
        process.signal(SIGKILL);
        process.finish();
    }
    for (const QString& name : entries(out))
        EXPECT_TRUE(name.startsWith(QStringLiteral(".tunevale-")) &&
                    name.endsWith(QStringLiteral(".part")))
            << name.toStdString();

    const CliRun rerun =
        ConvertProcess(convertTo("ogg", out) +
                       QStringList{QStringLiteral("--if-exists"), QStringLiteral("skip"), source})
            .finish();
    EXPECT_EQ(rerun.exitCode, 0) << rerun.out.toStdString();
    EXPECT_EQ(entries(out), QStringList{QStringLiteral("long.ogg")});
    EXPECT_NEAR(double(decodeFile(out + QStringLiteral("/long.ogg")).frames()), 60.0 * 44100,
                0.01 * 44100);
}

// Two identical runs into one folder never claim one output between them.
TEST_F(OutputSafety, TwoRunsIntoOneFolderWriteSeparateOutputs)
{
    QStringList sources;
    for (int index = 0; index < 3; ++index)
        sources << makeNoise(QStringLiteral("n%1.wav").arg(index), 3);
    const QString out = makeFolder(QStringLiteral("out"));
    const QStringList arguments = convertTo("wav", out) + sources;
    ConvertProcess first(arguments);
    ConvertProcess second(arguments);
    const CliRun one = first.finish();
    const CliRun two = second.finish();
    ASSERT_EQ(one.exitCode, 0) << one.out.toStdString();
    ASSERT_EQ(two.exitCode, 0) << two.out.toStdString();
    const auto saved = [](const QString& log) {
        QStringList paths;
        for (const QString& line : log.split(u'\n')) {
            if (const qsizetype at = line.indexOf(QStringLiteral(": Saved - ")); at >= 0)
                paths << line.mid(at + 10);
        }
        return paths;
    };
    const QStringList all = saved(one.out) + saved(two.out);
    ASSERT_EQ(all.size(), 6);
    EXPECT_EQ(QSet<QString>(all.begin(), all.end()).size(), 6);
    for (const QString& path : all)
        EXPECT_EQ(decodeFile(path).frames(), 3 * 44100) << path.toStdString();
    EXPECT_EQ(entries(out).size(), 6);
}

// With --if-exists skip a taken name is logged as skipped and left as it was.
TEST_F(OutputSafety, SkipLeavesATakenNameAlone)
{
    const QString first = makeNoise(QStringLiteral("a.wav"), 1);
    const QString second = makeNoise(QStringLiteral("b.wav"), 1);
    const QString out = makeFolder(QStringLiteral("out"));
    QFile taken(out + QStringLiteral("/a.mp3"));
    ASSERT_TRUE(taken.open(QIODevice::WriteOnly) && taken.write("mine") == 4);
    taken.close();
    const CliRun run =
        ConvertProcess(convertTo("mp3", out) + QStringList{QStringLiteral("--if-exists"),
                                                           QStringLiteral("skip"), first, second})
            .finish();
    EXPECT_EQ(run.exitCode, 0) << run.out.toStdString();
    EXPECT_TRUE(run.out.contains(QStringLiteral(": Skipped - %1/a.mp3 (exists)\n").arg(out)))
        << run.out.toStdString();
    EXPECT_TRUE(run.out.contains(QStringLiteral(": Saved - %1/b.mp3\n").arg(out)));
    ASSERT_TRUE(taken.open(QIODevice::ReadOnly));
    EXPECT_EQ(taken.readAll(), QByteArray("mine"));
}

} // namespace
