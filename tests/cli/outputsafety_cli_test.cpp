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
#include <cstring>
#include <functional>

#include <sys/resource.h>

using namespace tunevale::test;

namespace {

struct CliRun {
    int exitCode = -1; // -1 when the process did not end by itself
    QString out;
    QString err;
};

// A tunevale-cli process; childSetUp runs in the child just before the program starts.
class CliProcess {
public:
    explicit CliProcess(const QStringList& arguments,
                        const std::function<void()>& childSetUp = nullptr)
    {
        if (childSetUp)
            m_process.setChildProcessModifier(childSetUp);
        m_process.start(QStringLiteral(TUNEVALE_CLI_PATH), arguments);
    }
    ~CliProcess()
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
        run.err = QString::fromUtf8(m_process.readAllStandardError());
        return run;
    }

private:
    QProcess m_process;
    QString m_out;
};

// A tunevale-cli convert process; limitBytes caps the size of any file it writes, as
// `ulimit -f` does, with SIGXFSZ ignored so writes fail instead.
class ConvertProcess : public CliProcess {
public:
    explicit ConvertProcess(const QStringList& arguments, qint64 limitBytes = 0)
        : CliProcess(QStringList{QStringLiteral("convert")} + arguments,
                     limitBytes > 0 ? std::function<void()>([limitBytes] {
                         std::signal(SIGXFSZ, SIG_IGN);
                         const rlimit limit{rlim_t(limitBytes), rlim_t(limitBytes)};
                         setrlimit(RLIMIT_FSIZE, &limit);
                     })
                                    : nullptr)
    {}
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

// Tags that do not fit any more cut the file short, also in their last bytes, which the tag
// library does not report: that is a failure, not a saved file.
TEST_P(EveryFormat, ATagWriteThatCutsTheFileIsAnError)
{
    const QString source = makeNoise(QStringLiteral("tagged.wav"), 4, QString(6000, u'c'));
    const QString out = makeFolder(QStringLiteral("out"));
    ASSERT_EQ(ConvertProcess(convertTo(GetParam(), out) + QStringList{source}).finish().exitCode,
              0);
    const QString output = out + QStringLiteral("/tagged.") + QLatin1String(GetParam());
    const qint64 finishedBytes = QFileInfo(output).size();
    ASSERT_TRUE(QFile::remove(output));

    for (const qint64 missing : {4096, 512, 1}) {
        const CliRun run = ConvertProcess(convertTo(GetParam(), out) + QStringList{source},
                                          finishedBytes - missing)
                               .finish();
        EXPECT_EQ(run.exitCode, 1) << missing << run.out.toStdString();
        EXPECT_TRUE(run.out.contains(QStringLiteral(": Error - tagged.%1 Cannot write tags to %2: "
                                                    "File too large\n")
                                         .arg(QLatin1String(GetParam()), output)))
            << missing << run.out.toStdString();
        EXPECT_EQ(entries(out), QStringList());
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, EveryFormat,
                         ::testing::Values("mp3", "wma", "ogg", "wav", "flac", "opus", "m4a"));

struct SignalCase {
    int number;
    int exitCode;
    const char* format;
    friend void PrintTo(const SignalCase& value, std::ostream* out)
    {
        *out << "SIG" << sigabbrev_np(value.number);
    }
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

// Signals that whoever started the run ignored (nohup, a shell's background) stay ignored: the
// batch goes on to its end.
TEST_F(OutputSafety, SignalsIgnoredAtStartStayIgnored)
{
    const QString source = makeNoise(QStringLiteral("long.wav"), 60);
    const QString out = makeFolder(QStringLiteral("out"));
    CliProcess process(QStringList{QStringLiteral("convert")} + convertTo("mp3", out) +
                           QStringList{QStringLiteral("--jobs"), QStringLiteral("1"), source},
                       [] {
                           std::signal(SIGHUP, SIG_IGN);
                           std::signal(SIGINT, SIG_IGN);
                       });
    ASSERT_TRUE(process.waitFor(QStringLiteral(": Converting - ")));
    process.signal(SIGHUP);
    process.signal(SIGINT);
    const CliRun run = process.finish();
    EXPECT_EQ(run.exitCode, 0) << run.out.toStdString();
    EXPECT_EQ(entries(out), QStringList{QStringLiteral("long.mp3")});
}

struct TranscodeSignalCase {
    int number;
    int exitCode;
    const char* jobs; // 1 streams the file, 2 splits it
    friend void PrintTo(const TranscodeSignalCase& value, std::ostream* out)
    {
        *out << "SIG" << sigabbrev_np(value.number) << ", --jobs " << value.jobs;
    }
};

class InterruptedTranscode : public OutputSafety,
                             public ::testing::WithParamInterface<TranscodeSignalCase> {};

// transcode too removes its unfinished output and exits with the signal's status.
TEST_P(InterruptedTranscode, RemovesTheUnfinishedOutput)
{
    const QString source = makeNoise(QStringLiteral("long.wav"), 120);
    const QString out = makeFolder(QStringLiteral("out"));
    CliProcess process({QStringLiteral("transcode"), QStringLiteral("--jobs"),
                        QLatin1String(GetParam().jobs), source, out + QStringLiteral("/long.mp3")});
    for (int waited = 0; entries(out).isEmpty() && waited < 60000; waited += 10)
        QThread::msleep(10);
    ASSERT_FALSE(entries(out).isEmpty()) << "the transcode never began writing";
    QThread::msleep(100 + QRandomGenerator::global()->bounded(400));
    process.signal(GetParam().number);
    const CliRun run = process.finish();
    EXPECT_EQ(run.exitCode, GetParam().exitCode) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(QStringLiteral("Interrupted"))) << run.err.toStdString();
    EXPECT_EQ(entries(out), QStringList());
}

INSTANTIATE_TEST_SUITE_P(Signals, InterruptedTranscode,
                         ::testing::Values(TranscodeSignalCase{SIGTERM, 143, "1"},
                                           TranscodeSignalCase{SIGHUP, 129, "2"},
                                           TranscodeSignalCase{SIGINT, 130, "1"}));

// A kill leaves only a hidden temporary file; a rerun that skips what exists removes that
// leftover and ends with every output whole. Both runs take one job: with more, a file that
// does not split starts its temporary file twice, and the second start would sweep too.
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
    const QStringList left = entries(out);
    ASSERT_EQ(left.size(), 1) << "the rerun has no leftover to sweep";
    EXPECT_TRUE(left[0].startsWith(QStringLiteral(".tunevale-")) &&
                left[0].endsWith(QStringLiteral(".part")))
        << left[0].toStdString();

    const CliRun rerun =
        ConvertProcess(convertTo("ogg", out) +
                       QStringList{QStringLiteral("--if-exists"), QStringLiteral("skip"),
                                   QStringLiteral("--jobs"), QStringLiteral("1"), source})
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
