#include "filelist/rowtexts.h"

#include "common/audio/audioinformation.h"
#include "filelist/rowprefetch.h"
#include "support/fixtures.h"
#include "support/qtprinters.h"
#include "support/signals.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <gtest/gtest.h>

#include <chrono>
#include <future>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace tunevale;
using namespace tunevale::test;

TEST(RowTexts, OtherAudioTypesGoByTheirExtension)
{
    for (const char* name : {"a.flac", "b.OPUS", "c.oga", "d.m4a", "e.aac", "f.aif", "g.aiff",
                             "h.aifc", "i.webm", "j.mka", "k.caf", "l.wv", "m.APE", "n.dsf"})
        EXPECT_TRUE(IsSupportedFile(QString::fromLatin1(name))) << name;
}

TEST(RowTexts, SupportedFilesGoByTheLastThreeCharacters)
{
    EXPECT_TRUE(IsSupportedFile(QStringLiteral("/music/a.MP3")));
    EXPECT_TRUE(IsSupportedFile(QStringLiteral("/music/axmp3")));
    EXPECT_TRUE(IsSupportedFile(QStringLiteral("b.Ogg")));
    EXPECT_TRUE(IsSupportedFile(QStringLiteral("c.wav")));
    EXPECT_TRUE(IsSupportedFile(QStringLiteral("d.wma")));
    EXPECT_FALSE(IsSupportedFile(QStringLiteral("a.mp3 ")));
    EXPECT_FALSE(IsSupportedFile(QStringLiteral("a.flac.txt")));
    EXPECT_FALSE(IsSupportedFile(QStringLiteral("flac")));
    EXPECT_FALSE(IsSupportedFile(QStringLiteral("")));
    EXPECT_FALSE(IsSupportedFile(QStringLiteral("3")));
}

TEST(RowTexts, SizesAreRoundedKilobytesWithGrouping)
{
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    EXPECT_EQ(fileSizeText(1536, english), u"2 KB");
    EXPECT_EQ(fileSizeText(1535, english), u"1 KB");
    EXPECT_EQ(fileSizeText(0, english), u"0 KB");
    EXPECT_EQ(fileSizeText(1048576, english), u"1,024 KB");
    EXPECT_EQ(fileSizeText(1048576, QLocale::c()), u"1,024 KB");
    EXPECT_EQ(fileSizeText(1048576, QLocale(QLocale::German, QLocale::Germany)), u"1.024 KB");
}

TEST(RowTexts, FormatDescriptionLosesCommasAndOneTrailingSemicolon)
{
    EXPECT_EQ(cleanedFormatDescription(QStringLiteral("MP3; 44,100 Hz; 1,411 Kbps;")),
              u"MP3; 44100 Hz; 1411 Kbps");
    EXPECT_EQ(cleanedFormatDescription(QStringLiteral("WAV;;")), u"WAV;");
    EXPECT_EQ(cleanedFormatDescription(QStringLiteral("Vorbis")), u"Vorbis");
}

TEST(RowTexts, ModifiedTimeUsesTheLocaleSeparators)
{
    const QDateTime time(QDate(2026, 3, 4), QTime(7, 8, 9));
    EXPECT_EQ(modifiedTimeText(time, QLocale(QLocale::English, QLocale::UnitedStates)),
              u"2026/03/04 07:08:09");
    EXPECT_EQ(modifiedTimeText(time, QLocale(QLocale::German, QLocale::Germany)),
              u"2026.03.04 07:08:09");
}

TEST(RowTexts, RowOfARealFileAndNoRowForOthers)
{
    TempDir dir;
    const QString wav = dir.file(QStringLiteral("Tone ä.wav"));
    ASSERT_TRUE(writePcmWav(wav, sine(440, 44100, 2, 61.0, 0.3), 44100, 2));
    AudioInformation info;
    const auto row = buildFileRow(wav, info, QLocale(QLocale::English, QLocale::UnitedStates));
    ASSERT_TRUE(row.has_value());
    EXPECT_EQ(row->path, wav);
    EXPECT_EQ(row->type, u"WAV");
    EXPECT_EQ(row->size, u"10,508 KB"); // 44 + 61 s * 176,400 bytes
    EXPECT_FALSE(row->format.isEmpty());
    EXPECT_FALSE(row->format.contains(u','));
    EXPECT_EQ(row->length, u"00:01:01");
    EXPECT_EQ(row->modified.size(), 19);

    const QString text = dir.file(QStringLiteral("notes.mp3"));
    QFile file(text);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("just some words, no audio\n");
    file.close();
    EXPECT_EQ(probeFile(text, info).skipReason, u"not audio");
    EXPECT_EQ(probeFile(dir.file(QStringLiteral("gone.mp3")), info).skipReason, u"unreadable");
    EXPECT_TRUE(probeFile(wav, info).skipReason.isEmpty());
}

namespace {

// Sets the nominal bitrate of an Ogg Vorbis file as other encoders write it. FFmpeg's first
// page holds the 30-byte identification header alone; its checksum is mended.
bool setVorbisNominalBitrate(const QString& path, quint32 bitrate)
{
    QByteArray bytes = fileBytes(path);
    if (bytes.mid(26, 9) != QByteArray("\x01\x1e\x01vorbis", 9))
        return false;
    qToLittleEndian(bitrate, bytes.data() + 28 + 20); // after version, channels, rate, maximum
    qToLittleEndian(quint32(0), bytes.data() + 22);
    quint32 crc = 0; // Ogg's CRC-32: polynomial 0x04C11DB7, unreflected
    for (const char byte : bytes.first(58)) {
        crc ^= quint32(quint8(byte)) << 24;
        for (int bit = 0; bit < 8; ++bit)
            crc = crc & 0x80000000u ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
    }
    qToLittleEndian(crc, bytes.data() + 22);
    return writeFileBytes(path, bytes);
}

} // namespace

// A pipe named like audio gives no row, at once: a probe that waits for a writer is let go
// after a while, and fails the test.
TEST(RowTexts, NoRowForAPipe)
{
    TempDir dir;
    const QString pipe = dir.file(QStringLiteral("pipe.wav"));
    ASSERT_EQ(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    auto row = std::async(std::launch::async, [&pipe] {
        AudioInformation info;
        return buildFileRow(pipe, info);
    });
    const bool prompt = row.wait_for(std::chrono::seconds(3)) == std::future_status::ready;
    if (!prompt)
        ::close(::open(QFile::encodeName(pipe).constData(), O_WRONLY | O_NONBLOCK));
    EXPECT_TRUE(prompt);
    EXPECT_FALSE(row.get().has_value());
}

// A Vorbis header that states no nominal bitrate (-2) shows what the file averages.
TEST(RowTexts, UnstatedVorbisBitrateShowsTheFileAverage)
{
    TempDir dir;
    const QString ogg = dir.file(QStringLiteral("no nominal.ogg"));
    ASSERT_TRUE(makeWithFfmpeg(ogg, sine(440, 44100, 2, 3.0, 0.3), 44100, 2,
                               args({"-c:a", "libvorbis", "-q:a", "3"})));
    ASSERT_TRUE(setVorbisNominalBitrate(ogg, 0xFFFFFFFEu));
    AudioInformation info;
    const auto row = buildFileRow(ogg, info);
    ASSERT_TRUE(row.has_value());
    const QStringList fields = row->format.split(QStringLiteral("; "));
    ASSERT_EQ(fields.size(), 4) << row->format.toStdString();
    ASSERT_TRUE(fields[2].endsWith(u" Kbps")) << row->format.toStdString();
    const double shownKbps = fields[2].chopped(5).toDouble();
    const double averageKbps = double(QFileInfo(ogg).size()) * 8.0 / 3.0 / 1000.0;
    EXPECT_NEAR(shownKbps, averageKbps, averageKbps * 0.1) << row->format.toStdString();
}

TEST(RowPrefetch, RowsComeInPathOrderWhateverThreadProbedThem)
{
    TempDir dir;
    QStringList paths;
    QStringList expected; // the path of each row, empty where no row is due
    for (int file = 0; file < 40; ++file) {
        const QString path = dir.file(QStringLiteral("%1.wav").arg(file));
        if (file % 7 == 3) {
            QDir().mkpath(path); // a folder named like audio
            expected.append(QString());
        } else if (file % 7 == 5) {
            expected.append(QString()); // vanished before it was probed
        } else {
            // Lengths differ so that probes finish out of order.
            ASSERT_TRUE(
                writePcmWav(path, sine(300 + file, 8000, 1, 0.1 * (40 - file), 0.3), 8000, 1));
            expected.append(path);
        }
        paths.append(path);
    }
    RowPrefetch rows(paths, 3);
    for (const QString& path : expected) {
        const ProbedFile probed = rows.next();
        EXPECT_EQ(probed.row ? probed.row->path : QString(), path);
        EXPECT_EQ(probed.skipReason.isEmpty(), !path.isEmpty());
    }
}

// The window waits for a slow probe in steps, serving its events in between.
TEST(RowPrefetch, WaitingForTheNextRowEndsAfterTheTimeout)
{
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    RowPrefetch rows({QStringLiteral("slow.wav")}, 1, [released](const QString& path, auto&) {
        released.wait();
        return ProbedFile{FileRow{path, {}, {}, {}, {}, {}, {}}, {}};
    });
    EXPECT_FALSE(rows.waitForNext(std::chrono::milliseconds(50)));
    release.set_value();
    EXPECT_TRUE(rows.waitForNext(std::chrono::seconds(10)));
    const std::optional<FileRow> row = rows.next().row;
    EXPECT_EQ(row ? row->path : QString(), u"slow.wav");
    EXPECT_FALSE(rows.waitForNext(std::chrono::milliseconds(1))); // nothing is left
}

// The window closed during a drop: the workers end mid-list (a hang or a sanitizer report fails).
TEST(RowPrefetch, LeavingEarlyEndsTheWorkers)
{
    TempDir dir;
    const QString wav = dir.file(QStringLiteral("a.wav"));
    ASSERT_TRUE(writePcmWav(wav, sine(440, 8000, 1, 0.5, 0.3), 8000, 1));
    QStringList many;
    for (int copy = 0; copy < 5000; ++copy)
        many.append(wav);
    {
        RowPrefetch rows(many, 2);
        ASSERT_TRUE(rows.next().row.has_value());
    }
}
