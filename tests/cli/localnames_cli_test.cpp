#include "support/fixtures.h"
#include "support/qtprinters.h"
#include "support/signals.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>
#include <cstdio>

using namespace tunevale::test;

namespace {

struct ShellRun {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// Runs the tool through the shell, so arguments reach it as the bytes printf makes of
// "arguments" (QProcess would re-encode them as UTF-8).
ShellRun runCliInShell(const QString& folder, const QByteArray& arguments)
{
    QProcess process;
    process.setWorkingDirectory(folder);
    process.start(QStringLiteral("/bin/sh"),
                  {QStringLiteral("-c"), QStringLiteral("\"$0\" ") + QString::fromLatin1(arguments),
                   QStringLiteral(TUNEVALE_CLI_PATH)});
    ShellRun run;
    if (!process.waitForFinished(120000))
        return run;
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

// The entry names of a folder as the system stores them.
QList<QByteArray> entryBytes(const QString& folder)
{
    QList<QByteArray> names;
    DIR* dir = ::opendir(QFile::encodeName(folder).constData());
    while (const dirent* entry = dir ? ::readdir(dir) : nullptr) {
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..")
            names.append(name);
    }
    if (dir)
        ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

class CliLocalNames : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(
            writePcmWav(m_dir.file(QStringLiteral("tone.wav")), sine(440, 8000, 1, 1.0), 8000, 1));
        ASSERT_TRUE(QDir(m_dir.path()).mkdir(QStringLiteral("out")));
    }
    // QTemporaryDir cannot see names that are not UTF-8.
    void TearDown() override
    {
        for (const QString& folder : {m_dir.path(), m_dir.file(QStringLiteral("out"))}) {
            for (const QByteArray& name : entryBytes(folder))
                ::unlink((QFile::encodeName(folder) + '/' + name).constData());
        }
    }
    bool renameToneToLatin1()
    {
        const QByteArray folder = QFile::encodeName(m_dir.path());
        return std::rename((folder + "/tone.wav").constData(),
                           (folder + "/caf\xe9.wav").constData()) == 0;
    }
    ShellRun run(const QByteArray& arguments) { return runCliInShell(m_dir.path(), arguments); }

    TempDir m_dir;
};

TEST_F(CliLocalNames, Latin1NamesAreDescribedAndConverted)
{
    ASSERT_TRUE(renameToneToLatin1());
    ShellRun info = run("info \"$(printf 'caf\\351.wav')\"");
    EXPECT_EQ(info.exitCode, 0) << info.err.constData();
    EXPECT_TRUE(info.out.contains("00:00:01"));

    ShellRun transcode = run("transcode \"$(printf 'caf\\351.wav')\" out/plain.ogg");
    EXPECT_EQ(transcode.exitCode, 0) << transcode.err.constData();
    EXPECT_EQ(decodeFile(m_dir.file(QStringLiteral("out/plain.ogg"))).format.sampleRate, 44100);

    ShellRun convert = run("convert --to mp3 --jobs 1 \"$(printf 'caf\\351.wav')\"");
    EXPECT_EQ(convert.exitCode, 0) << convert.out.constData() << convert.err.constData();
    EXPECT_TRUE(convert.out.contains(": Saved - caf\xe9.mp3\n")) << convert.out.constData();
    // Named by their own bytes, so that a printed name finds its file.
    EXPECT_TRUE(info.out.startsWith("caf\xe9.wav\n")) << info.out.constData();
    EXPECT_TRUE(convert.out.contains(": Reading - caf\xe9.wav\n")) << convert.out.constData();
}

// A name cannot forge a line of the log: its control characters are escaped.
TEST_F(CliLocalNames, ControlCharactersInNamesAreEscapedInTheLog)
{
    const QByteArray folder = QFile::encodeName(m_dir.path());
    ASSERT_EQ(std::rename((folder + "/tone.wav").constData(),
                          (folder + "/two\nlines\x1b[2J.wav").constData()),
              0);
    const ShellRun convert =
        run("convert --to ogg --out out \"$(printf 'two\\nlines\\033[2J.wav')\"");
    EXPECT_EQ(convert.exitCode, 0) << convert.out.constData();
    EXPECT_TRUE(convert.out.contains(": Saved - out/two\\nlines\\x1b[2J.ogg\n"))
        << convert.out.constData();
    EXPECT_FALSE(convert.out.contains('\x1b'));
    EXPECT_EQ(entryBytes(m_dir.file(QStringLiteral("out"))),
              QList<QByteArray>{"two\nlines\x1b[2J.ogg"});
}

// Outputs are created by their bytes: a Latin-1 source gives a Latin-1 output, never the
// UTF-8 replacement ("caf\xef\xbf\xbd.mp3").
TEST_F(CliLocalNames, OutputsKeepTheSourcesBytes)
{
    ASSERT_TRUE(renameToneToLatin1());
    ShellRun convert = run("convert --to wav --out out \"$(printf 'caf\\351.wav')\"");
    EXPECT_EQ(convert.exitCode, 0) << convert.out.constData();
    EXPECT_EQ(entryBytes(m_dir.file(QStringLiteral("out"))), QList<QByteArray>{"caf\xe9.wav"});
}

TEST_F(CliLocalNames, NamesWithColonsConvert)
{
    for (const char* name : {"Track1:Intro", "http:127.0.0.1:9.x", "concat:a|b", "pipe:0"}) {
        SCOPED_TRACE(name);
        const QString source = m_dir.file(QString::fromLatin1(name) + QStringLiteral(".wav"));
        ASSERT_TRUE(QFile::copy(m_dir.file(QStringLiteral("tone.wav")), source));
        for (const char* format : {"mp3", "wma"}) {
            const ShellRun convert = run(QByteArray("convert --to ") + format + " --out out '" +
                                         name + ".wav' </dev/null");
            EXPECT_EQ(convert.exitCode, 0) << convert.out.constData();
            const QString output =
                m_dir.file(QStringLiteral("out/%1.%2")
                               .arg(QString::fromLatin1(name), QString::fromLatin1(format)));
            EXPECT_GT(decodeFile(output).frames(), 0) << output.toStdString();
        }
    }
}

} // namespace
