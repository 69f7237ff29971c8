#include "common/audio/audioinformation.h"

#include "support/fixtures.h"
#include "support/qtprinters.h"
#include "support/signals.h"

#include <QFile>

#include <gtest/gtest.h>

#include <unistd.h>

#include <ostream>

namespace tunevale {
static void PrintTo(const AudioTags& tags, std::ostream* out)
{
    *out << "{title \"" << tags.title.toStdString() << "\", artist \"" << tags.artist.toStdString()
         << "\", album \"" << tags.album.toStdString() << "\", genre " << tags.genre << ", year "
         << tags.year << ", track " << tags.track << ", comment \"" << tags.comment.toStdString()
         << "\"}";
}
} // namespace tunevale

using namespace tunevale;
using namespace tunevale::test;

namespace {

constexpr double kSeconds = 2.0;

struct FormatCase {
    const char* name;
    const char* extension;
    QStringList codecArguments;
    int sampleRate;
    int channels;
    const char* codec;
    int kbps; // 0 when the encoder picks its own (Vorbis)
};

void PrintTo(const FormatCase& format, std::ostream* out)
{
    *out << format.name;
}

bool writeAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size() && file.flush();
}

// Whether text is stored in bytes as 8-bit or as UTF-16 (ASF keeps its names in UTF-16).
bool containsText(const QByteArray& bytes, const QString& text)
{
    const QByteArray utf16(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    return bytes.contains(text.toUtf8()) || bytes.contains(utf16);
}

// The payload of the first RIFF sub-chunk with this id anywhere in the file.
QByteArray riffChunk(const QByteArray& bytes, const char* id)
{
    const qsizetype at = bytes.indexOf(id);
    if (at < 0 || at + 8 > bytes.size())
        return {};
    const auto* size = reinterpret_cast<const uchar*>(bytes.constData() + at + 4);
    const quint32 length = size[0] | size[1] << 8 | size[2] << 16 | quint32(size[3]) << 24;
    return bytes.mid(at + 8, length);
}

AudioTags fullTags()
{
    AudioTags tags;
    tags.title = QStringLiteral(u"Ärger – ☃");
    tags.artist = QStringLiteral(u"Zoë Artist");
    tags.album = QStringLiteral("Album Name");
    tags.genre = 17;
    tags.year = 1999;
    tags.track = 7;
    tags.comment = QStringLiteral(u"Comment ü");
    return tags;
}

const FormatCase kFormats[] = {
    {"Mp3", "mp3", args({"-c:a", "libmp3lame", "-b:a", "128k"}), 44100, 2,
     "MP3 (MPEG audio layer 3)", 128},
    {"Ogg", "ogg", args({"-c:a", "libvorbis"}), 22050, 1, "Vorbis", 0},
    {"Wma", "wma", args({"-c:a", "wmav2", "-b:a", "64k"}), 32000, 2, "Windows Media Audio 2", 64},
    {"Wav", "wav", {}, 8000, 1, "PCM signed 16-bit little-endian", 128},
};

class AudioInformationFormats : public ::testing::TestWithParam<FormatCase> {
protected:
    QString makeSource(const QString& name = QStringLiteral("source"),
                       const QStringList& extra = {})
    {
        const FormatCase& format = GetParam();
        const QString path = m_dir.file(name + u'.' + QString::fromLatin1(format.extension));
        const auto samples = sine(440.0, format.sampleRate, format.channels, kSeconds);
        EXPECT_TRUE(makeWithFfmpeg(path, samples, format.sampleRate, format.channels,
                                   format.codecArguments + extra));
        return path;
    }

    TempDir m_dir;
};

TEST_P(AudioInformationFormats, DescribesFormatAndDuration)
{
    const FormatCase& format = GetParam();
    const QString path = makeSource();
    AudioInformation info;
    ASSERT_TRUE(info.open(path)) << info.open(path).message().toStdString();

    const QStringList parts = info.formatDescription().split(QStringLiteral("; "));
    ASSERT_EQ(parts.size(), 4) << info.formatDescription().toStdString();
    EXPECT_EQ(parts[0], QString::fromLatin1(format.codec));
    EXPECT_EQ(parts[1], QStringLiteral("%1 Hz").arg(format.sampleRate));
    if (format.kbps > 0)
        EXPECT_EQ(parts[2], QStringLiteral("%1 Kbps").arg(format.kbps));
    else
        EXPECT_TRUE(parts[2].endsWith(QStringLiteral(" Kbps"))) << parts[2].toStdString();
    EXPECT_EQ(parts[3], format.channels == 1 ? QStringLiteral("Mono") : QStringLiteral("Stereo"));
    EXPECT_FALSE(info.formatDescription().contains(QStringLiteral("kHz")));
    EXPECT_FALSE(info.formatDescription().contains(u','));
    EXPECT_NEAR(double(info.durationMs()), kSeconds * 1000.0, 60.0);
    EXPECT_EQ(info.tags(), AudioTags());
}

TEST_P(AudioInformationFormats, WrittenTagsReadBackAndAudioSurvives)
{
    const QString path = makeSource();
    const Decoded before = decodeFile(path);
    ASSERT_TRUE(before.ok);

    AudioInformation writer;
    writer.setTags(fullTags());
    const Status written = writer.writeTags(path);
    ASSERT_TRUE(written) << written.message().toStdString();

    AudioInformation reader;
    ASSERT_TRUE(reader.open(path));
    EXPECT_EQ(reader.tags(), fullTags());
    EXPECT_NEAR(double(reader.durationMs()), kSeconds * 1000.0, 60.0);

    const Decoded after = decodeFile(path);
    ASSERT_TRUE(after.ok);
    EXPECT_EQ(after.format.sampleRate, before.format.sampleRate);
    EXPECT_EQ(after.format.channels, before.format.channels);
    EXPECT_EQ(after.frames(), before.frames());
}

TEST_P(AudioInformationFormats, EmptyValuesRemoveTags)
{
    const QString path = makeSource();
    AudioInformation writer;
    writer.setTags(fullTags());
    ASSERT_TRUE(writer.writeTags(path));
    writer.setTags(AudioTags());
    ASSERT_TRUE(writer.writeTags(path));

    AudioInformation reader;
    ASSERT_TRUE(reader.open(path));
    EXPECT_EQ(reader.tags(), AudioTags());
    // Removed, not left behind as empty or zero fields.
    const QByteArray bytes = fileBytes(path);
    for (const char* leftover : {"Album Name", "1999", "WM/AlbumTitle", "WM/Genre", "WM/Year",
                                 "WM/TrackNumber", "TRACKNUMBER", "GENRE"}) {
        EXPECT_FALSE(containsText(bytes, QString::fromLatin1(leftover))) << leftover;
    }
}

TEST_P(AudioInformationFormats, ReadsTagsWrittenByAnotherProgram)
{
    const bool wma = QString::fromLatin1(GetParam().extension) == QStringLiteral("wma");
    // The tool's ASF muxer stores "date" under its own name rather than WM/Year.
    const QString year = wma ? QStringLiteral("WM/Year=1987") : QStringLiteral("date=1987");
    const QString path =
        makeSource(QStringLiteral("tagged"),
                   args({"-metadata", "title=Ärger", "-metadata", "artist=Someone", "-metadata",
                         "album=Elsewhere", "-metadata", "genre=Jazz", "-metadata", "track=3",
                         "-metadata", "comment=Made by the tool", "-metadata"}) +
                       QStringList{year});
    AudioInformation info;
    ASSERT_TRUE(info.open(path));
    EXPECT_EQ(info.title(), QStringLiteral(u"Ärger"));
    EXPECT_EQ(info.artist(), QStringLiteral("Someone"));
    EXPECT_EQ(info.genre(), 8); // Jazz
    EXPECT_EQ(info.year(), 1987);
    // The tool's RIFF INFO holds no album or track.
    if (QString::fromLatin1(GetParam().extension) != QStringLiteral("wav")) {
        EXPECT_EQ(info.album(), QStringLiteral("Elsewhere"));
        EXPECT_EQ(info.track(), 3);
    }
}

TEST_P(AudioInformationFormats, SurvivesTruncation)
{
    const QString path = makeSource();
    const QByteArray whole = fileBytes(path);
    for (const qsizetype length : {qsizetype(64), whole.size() / 3, whole.size() * 2 / 3}) {
        SCOPED_TRACE(length);
        const QString cut =
            m_dir.file(QStringLiteral("cut.") + QString::fromLatin1(GetParam().extension));
        ASSERT_TRUE(writeAll(cut, whole.left(length)));
        AudioInformation info;
        const Status opened = info.open(cut);
        if (opened) {
            EXPECT_FALSE(info.formatDescription().isEmpty());
            EXPECT_GE(info.durationMs(), 0);
        } else {
            EXPECT_FALSE(opened.message().isEmpty());
            EXPECT_TRUE(info.formatDescription().isEmpty());
        }
        AudioInformation writer;
        writer.setTags(fullTags());
        const Status written = writer.writeTags(cut);
        if (!written) {
            EXPECT_TRUE(written.message().contains(cut)) << written.message().toStdString();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AudioInformation, AudioInformationFormats, ::testing::ValuesIn(kFormats),
                         [](const auto& info) { return std::string(info.param.name); });

class AudioInformationFiles : public ::testing::Test {
protected:
    TempDir m_dir;
};

TEST_F(AudioInformationFiles, Mp3LosesItsId3v1Copy)
{
    const QString path = m_dir.file(QStringLiteral("old.mp3"));
    const auto samples = sine(440.0, 44100, 2, 1.0);
    ASSERT_TRUE(makeWithFfmpeg(
        path, samples, 44100, 2,
        args({"-c:a", "libmp3lame", "-write_id3v1", "1", "-metadata", "title=Old title"})));
    ASSERT_TRUE(fileBytes(path).right(128).startsWith("TAG"));

    AudioInformation info;
    info.setTags(fullTags());
    ASSERT_TRUE(info.writeTags(path));
    const QByteArray bytes = fileBytes(path);
    EXPECT_FALSE(bytes.right(128).startsWith("TAG"));
    EXPECT_FALSE(bytes.contains("Old title"));
}

// INFO texts are UTF-8, as FFmpeg's and TagLib's readers take them.
TEST_F(AudioInformationFiles, WavCarriesUtf8InfoChunk)
{
    const QString path = m_dir.file(QStringLiteral("info.wav"));
    const auto samples = sine(440.0, 44100, 2, 1.0);
    ASSERT_TRUE(writePcmWav(path, samples, 44100, 2));

    AudioTags tags = fullTags();
    tags.title = QStringLiteral(u"Café Ärger");
    AudioInformation info;
    info.setTags(tags);
    ASSERT_TRUE(info.writeTags(path));

    const QByteArray bytes = fileBytes(path);
    EXPECT_TRUE(bytes.contains("LIST") && bytes.contains("INFO"));
    EXPECT_TRUE(bytes.contains("id3 ") || bytes.contains("ID3 "));
    EXPECT_EQ(riffChunk(bytes, "INAM").left(12), tags.title.toUtf8());
    EXPECT_EQ(riffChunk(bytes, "IGNR").left(4), QByteArray("Rock"));
    EXPECT_EQ(riffChunk(bytes, "ICRD").left(4), QByteArray("1999"));
}

TEST_F(AudioInformationFiles, MisnamedWavIsTaggedByContent)
{
    const QString path = m_dir.file(QStringLiteral("really-a-wav.mp3"));
    const auto samples = sine(440.0, 22050, 1, 1.0);
    ASSERT_TRUE(writePcmWav(path, samples, 22050, 1));

    AudioInformation writer;
    writer.setTags(fullTags());
    ASSERT_TRUE(writer.writeTags(path));
    EXPECT_TRUE(fileBytes(path).startsWith("RIFF"));
    AudioInformation reader;
    ASSERT_TRUE(reader.open(path));
    EXPECT_TRUE(reader.formatDescription().startsWith(QStringLiteral("PCM")));
    EXPECT_EQ(reader.tags(), fullTags());
}

TEST_F(AudioInformationFiles, DescribesManyChannels)
{
    const QString path = m_dir.file(QStringLiteral("six.wav"));
    ASSERT_TRUE(writePcmWav(path, silence(48000, 6, 0.5), 48000, 6));
    AudioInformation info;
    ASSERT_TRUE(info.open(path));
    EXPECT_TRUE(info.formatDescription().endsWith(QStringLiteral("; 6 channels")))
        << info.formatDescription().toStdString();
    EXPECT_NEAR(double(info.durationMs()), 500.0, 1.0);
}

struct GenreText {
    const char* text;
    int index;
};

class AudioInformationGenres : public ::testing::TestWithParam<GenreText> {};

TEST_P(AudioInformationGenres, MapsGenreTextToIndex)
{
    TempDir dir;
    const QString path = dir.file(QStringLiteral("genre.ogg"));
    const auto samples = sine(440.0, 22050, 1, 0.5);
    ASSERT_TRUE(makeWithFfmpeg(
        path, samples, 22050, 1,
        args({"-c:a", "libvorbis", "-metadata"}) +
            QStringList{QStringLiteral("genre=") + QString::fromUtf8(GetParam().text)}));
    AudioInformation info;
    ASSERT_TRUE(info.open(path));
    EXPECT_EQ(info.genre(), GetParam().index);
}

INSTANTIATE_TEST_SUITE_P(AudioInformation, AudioInformationGenres,
                         ::testing::Values(GenreText{"Rock", 17}, GenreText{"17", 17},
                                           GenreText{"(17)", 17}, GenreText{"rock", 17},
                                           GenreText{"Blues", 0}, GenreText{"191", 191},
                                           GenreText{"192", -1}, GenreText{"Nonsense", -1}));

TEST(AudioInformationValues, RejectsOutOfRangeAndKeepsValue)
{
    AudioInformation info;
    ASSERT_TRUE(info.setGenre(17));
    ASSERT_TRUE(info.setYear(1999));
    ASSERT_TRUE(info.setTrack(7));
    for (const int genre : {-2, 192}) {
        const Status status = info.setGenre(genre);
        EXPECT_FALSE(status);
        EXPECT_FALSE(status.message().isEmpty());
    }
    EXPECT_FALSE(info.setYear(-1));
    EXPECT_FALSE(info.setTrack(-1));
    EXPECT_FALSE(info.setTrack(32768));
    EXPECT_EQ(info.genre(), 17);
    EXPECT_EQ(info.year(), 1999);
    EXPECT_EQ(info.track(), 7);

    EXPECT_TRUE(info.setGenre(-1));
    EXPECT_TRUE(info.setGenre(191));
    EXPECT_TRUE(info.setYear(0));
    EXPECT_TRUE(info.setTrack(32767));
    EXPECT_EQ(info.genre(), 191);
    EXPECT_EQ(info.track(), 32767);
}

TEST(AudioInformationValues, WriteRejectsUncheckedValues)
{
    TempDir dir;
    const QString path = dir.file(QStringLiteral("plain.wav"));
    ASSERT_TRUE(writePcmWav(path, silence(8000, 1, 0.2), 8000, 1));
    const QByteArray original = fileBytes(path);
    AudioTags tags;
    tags.track = 40000;
    AudioInformation info;
    info.setTags(tags);
    EXPECT_FALSE(info.writeTags(path));
    EXPECT_EQ(fileBytes(path), original);
}

class AudioInformationBadInput : public ::testing::Test {
protected:
    // A good tagged file opened first, so a failed open must clear what it held.
    AudioInformation openedInfo()
    {
        const QString good = m_dir.file(QStringLiteral("good.wav"));
        EXPECT_TRUE(writePcmWav(good, silence(8000, 1, 0.5), 8000, 1));
        AudioInformation info;
        info.setTags(fullTags());
        EXPECT_TRUE(info.writeTags(good));
        EXPECT_TRUE(info.open(good));
        EXPECT_EQ(info.tags(), fullTags());
        return info;
    }

    void expectFailure(AudioInformation& info, const QString& path)
    {
        const Status status = info.open(path);
        EXPECT_FALSE(status);
        EXPECT_TRUE(status.message().contains(path)) << status.message().toStdString();
        EXPECT_TRUE(info.formatDescription().isEmpty());
        EXPECT_EQ(info.durationMs(), 0);
        EXPECT_EQ(info.tags(), AudioTags());
    }

    TempDir m_dir;
};

TEST_F(AudioInformationBadInput, MissingEmptyAndTextFilesFailCleanly)
{
    const QString empty = m_dir.file(QStringLiteral("empty.mp3"));
    const QString text = m_dir.file(QStringLiteral("text.mp3"));
    ASSERT_TRUE(writeAll(empty, {}));
    ASSERT_TRUE(writeAll(text, QByteArray("This is not audio at all.\n").repeated(200)));

    for (const QString& path : {m_dir.file(QStringLiteral("missing.mp3")), empty, text}) {
        SCOPED_TRACE(path.toStdString());
        AudioInformation info = openedInfo();
        expectFailure(info, path);
    }
}

TEST_F(AudioInformationBadInput, BrokenWavHeaderFailsCleanly)
{
    const QString path = m_dir.file(QStringLiteral("broken.wav"));
    ASSERT_TRUE(writePcmWav(path, silence(8000, 1, 0.5), 8000, 1));
    QByteArray bytes = fileBytes(path);
    bytes.replace(12, 24, QByteArray(24, '\xFF')); // the whole "fmt " chunk
    ASSERT_TRUE(writeAll(path, bytes));
    AudioInformation info = openedInfo();
    expectFailure(info, path);

    QByteArray zeroed = fileBytes(m_dir.file(QStringLiteral("good.wav")));
    zeroed.replace(22, 6, QByteArray(6, '\0')); // zero channels and rate
    ASSERT_TRUE(writeAll(path, zeroed));
    const Status status = info.open(path);
    if (status)
        EXPECT_FALSE(info.formatDescription().isEmpty());
    else
        EXPECT_TRUE(info.formatDescription().isEmpty());
}

TEST_F(AudioInformationBadInput, UnreadableFileFails)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root reads any file";
    const QString path = m_dir.file(QStringLiteral("locked.wav"));
    ASSERT_TRUE(writePcmWav(path, silence(8000, 1, 0.5), 8000, 1));
    ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::Permissions()));
    AudioInformation info = openedInfo();
    expectFailure(info, path);
    info.setTags(fullTags());
    EXPECT_FALSE(info.writeTags(path));
}

TEST_F(AudioInformationBadInput, WritingIntoNonAudioFails)
{
    AudioInformation info;
    info.setTags(fullTags());
    const QString missing = m_dir.file(QStringLiteral("missing.ogg"));
    const Status status = info.writeTags(missing);
    EXPECT_FALSE(status);
    EXPECT_TRUE(status.message().contains(missing)) << status.message().toStdString();
    EXPECT_FALSE(QFile::exists(missing));

    const QString text = m_dir.file(QStringLiteral("text.mp3"));
    const QByteArray content = QByteArray("Plain words, no sound.\n").repeated(100);
    ASSERT_TRUE(writeAll(text, content));
    EXPECT_FALSE(info.writeTags(text));
    EXPECT_EQ(fileBytes(text), content);
}

} // namespace
