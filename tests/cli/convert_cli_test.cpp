#include "common/audio/audioinformation.h"
#include "support/fixtures.h"
#include "support/qtprinters.h"
#include "support/signals.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QtEndian>

#include <gtest/gtest.h>

using namespace tunevale;
using namespace tunevale::test;

namespace {

struct CliRun {
    int exitCode = -1;
    QStringList lines; // standard output
    QString err;
};

CliRun runConvert(const QStringList& arguments)
{
    QProcess process;
    process.start(QStringLiteral(TUNEVALE_CLI_PATH),
                  QStringList{QStringLiteral("convert")} + arguments);
    CliRun run;
    if (!process.waitForFinished(300000))
        return run;
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.lines = QString::fromUtf8(process.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

// Log lines without their timestamps (which hold no ": "), with folder written as "<out>".
QStringList untimed(const QStringList& lines, const QString& folder)
{
    QStringList texts;
    for (const QString& line : lines) {
        const qsizetype start = line.indexOf(QStringLiteral(": "));
        QString text = start < 0 ? line : line.mid(start);
        texts << text.replace(folder, QStringLiteral("<out>"));
    }
    return texts;
}

class ConvertCli : public ::testing::Test {
protected:
    QString makeWav(const QString& name, double seconds, double frequency = 440)
    {
        const QString path = m_dir.file(name);
        EXPECT_TRUE(writePcmWav(path, sine(frequency, 44100, 2, seconds), 44100, 2));
        return path;
    }

    QString makeFolder(const QString& name)
    {
        EXPECT_TRUE(QDir(m_dir.path()).mkpath(name));
        return m_dir.file(name);
    }

    TempDir m_dir;
};

TEST_F(ConvertCli, ParallelJobsLogAndWriteExactlyAsOneJob)
{
    QStringList sources;
    for (int index = 0; index < 5; ++index) {
        sources << makeWav(QStringLiteral("tone%1.wav").arg(index), 0.5 + 0.7 * (4 - index),
                           300 + 100 * index);
    }
    // Two sources with one stem, and a failing row in the middle.
    sources.insert(2, m_dir.file(QStringLiteral("missing.wav")));
    ASSERT_TRUE(makeWithFfmpeg(m_dir.file(QStringLiteral("tone0.ogg")), sine(500, 22050, 1, 0.5),
                               22050, 1, {QStringLiteral("-c:a"), QStringLiteral("libvorbis")}));
    sources << m_dir.file(QStringLiteral("tone0.ogg"));

    const QString serialFolder = makeFolder(QStringLiteral("serial"));
    const QString parallelFolder = makeFolder(QStringLiteral("parallel"));
    const CliRun serial = runConvert(QStringList{QStringLiteral("--to"), QStringLiteral("mp3"),
                                                 QStringLiteral("--out"), serialFolder,
                                                 QStringLiteral("--jobs"), QStringLiteral("1")} +
                                     sources);
    const CliRun parallel = runConvert(QStringList{QStringLiteral("--to"), QStringLiteral("mp3"),
                                                   QStringLiteral("--out"), parallelFolder,
                                                   QStringLiteral("--jobs"), QStringLiteral("3")} +
                                       sources);
    EXPECT_EQ(serial.exitCode, 1) << serial.err.toStdString();
    EXPECT_EQ(parallel.exitCode, 1) << parallel.err.toStdString();
    const QStringList serialText = untimed(serial.lines, serialFolder);
    EXPECT_EQ(serialText, untimed(parallel.lines, parallelFolder));

    ASSERT_EQ(serialText.size(), 3 * 7 + 1);
    EXPECT_EQ(serialText.last(), QStringLiteral("Processed 7 files."));
    for (int row = 0; row < 7; ++row)
        EXPECT_EQ(serialText[3 * row], QStringLiteral(": Reading - ") + sources[row]);
    EXPECT_TRUE(serialText[8].startsWith(QStringLiteral(": Error - missing.mp3 ")));
    EXPECT_EQ(serialText[20], QStringLiteral(": Saved - <out>/New_tone0.mp3"));

    const QStringList outputs = QDir(serialFolder).entryList(QDir::Files, QDir::Name);
    EXPECT_EQ(outputs.size(), 6);
    EXPECT_EQ(QDir(parallelFolder).entryList(QDir::Files, QDir::Name), outputs);
    for (const QString& name : outputs) {
        const QByteArray bytes = fileBytes(serialFolder + u'/' + name);
        EXPECT_GT(bytes.size(), 1000) << name.toStdString();
        EXPECT_EQ(bytes, fileBytes(parallelFolder + u'/' + name)) << name.toStdString();
    }
}

TEST_F(ConvertCli, WavOptionsMakeThatHeader)
{
    const QString source = makeWav(QStringLiteral("in.wav"), 1.0);
    const CliRun run =
        runConvert({QStringLiteral("--to"), QStringLiteral("WAV"), QStringLiteral("--wav-rate"),
                    QStringLiteral("11025"), QStringLiteral("--wav-channels"), QStringLiteral("1"),
                    QStringLiteral("--wav-bits"), QStringLiteral("8"), source});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.lines.last(), QStringLiteral("Processed 1 file."));
    const QByteArray bytes = fileBytes(m_dir.file(QStringLiteral("New_in.wav")));
    ASSERT_GE(bytes.size(), 44);
    const auto word = [&bytes](int offset) {
        return qFromLittleEndian<quint16>(bytes.constData() + offset);
    };
    const auto dword = [&bytes](int offset) {
        return qFromLittleEndian<quint32>(bytes.constData() + offset);
    };
    EXPECT_EQ(bytes.mid(12, 4), QByteArray("fmt "));
    EXPECT_EQ(word(20), 1);       // PCM
    EXPECT_EQ(word(22), 1);       // channels
    EXPECT_EQ(dword(24), 11025u); // rate
    EXPECT_EQ(dword(28), 11025u); // bytes per second
    EXPECT_EQ(word(32), 1);       // block align
    EXPECT_EQ(word(34), 8);       // bits
    const Decoded decoded = decodeFile(m_dir.file(QStringLiteral("New_in.wav")));
    ASSERT_TRUE(decoded.ok);
    EXPECT_NEAR(decoded.frames(), 11025, 50);
}

TEST_F(ConvertCli, EncoderOptionsReachTheFiles)
{
    const QString source = m_dir.file(QStringLiteral("noise.wav"));
    ASSERT_TRUE(writePcmWav(source, noise(44100, 2, 4.0), 44100, 2));
    const auto convertInto = [&](const QString& folder, const QStringList& options) {
        const CliRun run = runConvert(
            QStringList{QStringLiteral("--no-tags"), QStringLiteral("--out"), makeFolder(folder)} +
            options + QStringList{source});
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        return m_dir.file(folder);
    };
    const QString mp3 = convertInto(QStringLiteral("mp3"),
                                    {QStringLiteral("--to"), QStringLiteral("mp3"),
                                     QStringLiteral("--mp3-bitrate"), QStringLiteral("192")}) +
                        QStringLiteral("/noise.mp3");
    AudioInformation information;
    ASSERT_TRUE(information.open(mp3));
    EXPECT_TRUE(information.formatDescription().contains(QStringLiteral("192 Kbps")))
        << information.formatDescription().toStdString();

    const QString high =
        convertInto(QStringLiteral("q6"), {QStringLiteral("--to"), QStringLiteral("ogg"),
                                           QStringLiteral("--ogg-quality"), QStringLiteral("6")});
    const QString low =
        convertInto(QStringLiteral("q2"), {QStringLiteral("--to"), QStringLiteral("ogg"),
                                           QStringLiteral("--ogg-quality"), QStringLiteral("2")});
    const qint64 highSize = QFileInfo(high + QStringLiteral("/noise.ogg")).size();
    const qint64 lowSize = QFileInfo(low + QStringLiteral("/noise.ogg")).size();
    EXPECT_GT(lowSize, 0);
    EXPECT_GT(highSize, lowSize * 3 / 2);

    const QString mono =
        convertInto(QStringLiteral("wma"), {QStringLiteral("--to"), QStringLiteral("wma"),
                                            QStringLiteral("--wma-profile"), QStringLiteral("17")});
    const Decoded decoded = decodeFile(mono + QStringLiteral("/noise.wma"));
    ASSERT_TRUE(decoded.ok);
    EXPECT_EQ(decoded.format.channels, 1); // profile 17 is 44100 Hz mono

    const QString lean = convertInto(QStringLiteral("opus32"),
                                     {QStringLiteral("--to"), QStringLiteral("opus"),
                                      QStringLiteral("--opus-bitrate"), QStringLiteral("32"),
                                      QStringLiteral("--opus-mode"), QStringLiteral("cbr")});
    const QString rich = convertInto(QStringLiteral("opus160"),
                                     {QStringLiteral("--to"), QStringLiteral("opus"),
                                      QStringLiteral("--opus-bitrate"), QStringLiteral("160"),
                                      QStringLiteral("--opus-mode"), QStringLiteral("cbr")});
    const qint64 leanSize = QFileInfo(lean + QStringLiteral("/noise.opus")).size();
    EXPECT_GT(leanSize, 0);
    EXPECT_GT(QFileInfo(rich + QStringLiteral("/noise.opus")).size(), leanSize * 3);

    const QString m4a =
        convertInto(QStringLiteral("m4a"), {QStringLiteral("--to"), QStringLiteral("m4a"),
                                            QStringLiteral("--m4a-channels"), QStringLiteral("1")});
    const Decoded aac = decodeFile(m4a + QStringLiteral("/noise.m4a"));
    ASSERT_TRUE(aac.ok);
    EXPECT_EQ(aac.format.channels, 1);
}

TEST_F(ConvertCli, BadOptionsAreUsageErrorsBeforeAnyWork)
{
    const QString source = makeWav(QStringLiteral("in.wav"), 0.3);
    const QString to = QStringLiteral("--to");
    const QString mp3 = QStringLiteral("mp3");
    const std::vector<std::pair<QStringList, const char*>> cases = {
        {{source}, "--to"},
        {{to, QStringLiteral("aiff"), source}, "aiff"},
        {{to, mp3}, "FILE"},
        {{to, mp3, QStringLiteral("--jobs"), QStringLiteral("0"), source}, "--jobs"},
        {{to, mp3, QStringLiteral("--mp3-bitrate"), QStringLiteral("fast"), source}, "fast"},
        {{to, mp3, QStringLiteral("--mp3-bitrate"), QStringLiteral("100"), source}, "100"},
        {{to, mp3, QStringLiteral("--mp3-vbr"), QStringLiteral("wild"), source}, "wild"},
        {{to, mp3, QStringLiteral("--mp3-rate"), QStringLiteral("22050"),
          QStringLiteral("--mp3-bitrate"), QStringLiteral("320"), source},
         "320 Kbps is not possible at 22050 Hz"},
        {{to, mp3, QStringLiteral("--mp3-preset"), QStringLiteral("disco"), source}, "disco"},
        {{to, mp3, QStringLiteral("--mp3-vbr-quality"), QStringLiteral("10"), source}, "10"},
        {{to, QStringLiteral("ogg"), QStringLiteral("--ogg-quality"), QStringLiteral("11"), source},
         "11"},
        {{to, QStringLiteral("ogg"), QStringLiteral("--ogg-bitrate"), QStringLiteral("900"),
          source},
         "900"},
        {{to, QStringLiteral("ogg"), QStringLiteral("--ogg-min"), QStringLiteral("320"),
          QStringLiteral("--ogg-max"), QStringLiteral("8"), source},
         "minimum bitrate 320"},
        {{to, QStringLiteral("ogg"), QStringLiteral("--ogg-min"), QStringLiteral("32"),
          QStringLiteral("--ogg-max"), QStringLiteral("96"), source},
         "bitrate 128 Kbps is above the maximum 96"},
        {{to, QStringLiteral("wma"), QStringLiteral("--wma-profile"), QStringLiteral("48"), source},
         "48"},
        {{to, QStringLiteral("wav"), QStringLiteral("--wav-bits"), QStringLiteral("12"), source},
         "12"},
        {{to, QStringLiteral("wav"), QStringLiteral("--wav-channels"), QStringLiteral("3"), source},
         "3"},
        {{to, QStringLiteral("flac"), QStringLiteral("--flac-level"), QStringLiteral("9"), source},
         "9"},
        {{to, QStringLiteral("opus"), QStringLiteral("--opus-bitrate"), QStringLiteral("5"),
          source},
         "5"},
        {{to, QStringLiteral("opus"), QStringLiteral("--opus-mode"), QStringLiteral("abr"), source},
         "abr"},
        {{to, QStringLiteral("m4a"), QStringLiteral("--m4a-bitrate"), QStringLiteral("600"),
          source},
         "600"},
        {{to, mp3, QStringLiteral("--out"), m_dir.file(QStringLiteral("nowhere")), source},
         "nowhere"},
        {{to, mp3, QStringLiteral("--colour"), source}, "colour"},
    };
    for (const auto& [arguments, mention] : cases) {
        const CliRun run = runConvert(arguments);
        EXPECT_EQ(run.exitCode, 2) << arguments.join(u' ').toStdString();
        EXPECT_TRUE(run.err.contains(QLatin1String(mention))) << run.err.toStdString();
        EXPECT_TRUE(run.lines.isEmpty()) << run.lines.join(u'\n').toStdString();
    }
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("in.wav")});

    const CliRun help = runConvert({QStringLiteral("--help")});
    EXPECT_EQ(help.exitCode, 0);
    ASSERT_FALSE(help.lines.isEmpty());
    EXPECT_TRUE(help.lines.first().startsWith(QStringLiteral("Usage: tunevale-cli convert")));
}

} // namespace
