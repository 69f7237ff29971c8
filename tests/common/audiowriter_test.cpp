#include "common/audio/audiofile.h"
#include "common/audio/audioinformation.h"
#include "common/audio/streamlength.h"
#include "common/codecs/wavencoder.h"
#include "convert/transcoder.h"

#include "support/fixtures.h"
#include "support/qtprinters.h"
#include "support/signals.h"

#include <QFile>
#include <QtEndian>

#include <gtest/gtest.h>

using namespace tunevale;
using namespace tunevale::test;

namespace {

quint32 le32(const QByteArray& bytes, int offset)
{
    return qFromLittleEndian<quint32>(bytes.constData() + offset);
}

quint16 le16(const QByteArray& bytes, int offset)
{
    return qFromLittleEndian<quint16>(bytes.constData() + offset);
}

} // namespace

TEST(AudioWriter, ConvertsAnyInputLayoutToTheOutputFormat)
{
    TempDir dir;
    AudioFile writer;
    ASSERT_TRUE(writer.setWavFormat(22050, 2, 16));
    const QString path = dir.file(QStringLiteral("resampled.wav"));
    ASSERT_TRUE(writer.create(path));
    ASSERT_TRUE(writer.setInputFormat(48000, 1));
    const auto input = sine(1000, 48000, 1, 2.0);
    // Odd block sizes make sure nothing is lost between blocks.
    for (size_t offset = 0; offset < input.size(); offset += 4801) {
        const size_t count = std::min<size_t>(4801, input.size() - offset);
        ASSERT_TRUE(writer.write(std::span(input).subspan(offset, count)));
    }
    ASSERT_TRUE(writer.close());

    const Decoded decoded = decodeFile(path);
    ASSERT_TRUE(decoded.ok);
    EXPECT_EQ(decoded.format, (PcmFormat{22050, 2}));
    EXPECT_NEAR(decoded.frames(), 44100, 2);
    EXPECT_NEAR(dominantFrequency(decoded.samples, 22050, 2, 0), 1000.0, 2.0);
    EXPECT_NEAR(dominantFrequency(decoded.samples, 22050, 2, 1), 1000.0, 2.0);
}

TEST(AudioWriter, WavHeaderStatesTheChosenFormatExactly)
{
    TempDir dir;
    AudioFile writer;
    ASSERT_TRUE(writer.setWavFormat(11025, 1, 8));
    const QString path = dir.file(QStringLiteral("small.wav"));
    ASSERT_TRUE(writer.create(path));
    ASSERT_TRUE(writer.setInputFormat(11025, 1));
    const std::vector<qint16> samples{0, 32767, -32768, 256, -256};
    ASSERT_TRUE(writer.write(samples));
    ASSERT_TRUE(writer.close());

    const QByteArray bytes = fileBytes(path);
    ASSERT_GE(bytes.size(), 49);
    EXPECT_EQ(bytes.left(4), "RIFF");
    EXPECT_EQ(bytes.mid(8, 8), "WAVEfmt ");
    EXPECT_EQ(le16(bytes, 20), 1); // PCM
    EXPECT_EQ(le16(bytes, 22), 1);
    EXPECT_EQ(le32(bytes, 24), 11025u);
    EXPECT_EQ(le32(bytes, 28), 11025u);
    EXPECT_EQ(le16(bytes, 32), 1);
    EXPECT_EQ(le16(bytes, 34), 8);
    EXPECT_EQ(bytes.mid(36, 4), "data");
    EXPECT_EQ(le32(bytes, 40), 5u);
    EXPECT_EQ(le32(bytes, 4), static_cast<quint32>(bytes.size() - 8));
    const QByteArray expected("\x80\xff\x00\x81\x7f", 5);
    EXPECT_EQ(bytes.mid(44, 5), expected);
}

TEST(AudioWriter, DescriptionFollowsTheFormatConfiguredLast)
{
    AudioFile writer;
    ASSERT_TRUE(writer.setWavFormat(22050, 1, 8));
    EXPECT_EQ(writer.settingsDescription(), u"WAV 22050 Hz; Mono; 8 bit");
    ASSERT_TRUE(writer.selectWmaProfile(35));
    const QString wma35 = writer.settingsDescription();
    ASSERT_TRUE(writer.selectWmaProfile(10));
    EXPECT_NE(writer.settingsDescription(), wma35);
    ASSERT_TRUE(writer.setMp3Format(22050, 64, 1));
    EXPECT_TRUE(writer.settingsDescription().contains(u"22050"))
        << writer.settingsDescription().toStdString();
    ASSERT_TRUE(writer.setOggFormat(44100, 2, 128, 0, 0, -1));
    EXPECT_TRUE(writer.settingsDescription().contains(u"128"))
        << writer.settingsDescription().toStdString();
}

TEST(AudioWriter, RejectedSettingsKeepThePreviousOnes)
{
    AudioFile writer;
    ASSERT_TRUE(writer.setWavFormat(8000, 1, 16));
    EXPECT_FALSE(writer.setWavFormat(44100, 3, 16));
    EXPECT_FALSE(writer.setWavFormat(44100, 2, 24));
    EXPECT_FALSE(writer.setWavFormat(0, 2, 16));
    EXPECT_EQ(writer.settingsDescription(), u"WAV 8000 Hz; Mono; 16 bit");

    EXPECT_FALSE(writer.selectWmaProfile(0));
    EXPECT_FALSE(writer.selectWmaProfile(48));
    EXPECT_FALSE(writer.setOggFormat(8000, 2, 320, 0, 0, -1));
    EXPECT_FALSE(writer.setOggFormat(44100, 2, 128, 0, 0, 1001));
    EXPECT_FALSE(writer.setMp3Format(44100, 100, 2));
    EXPECT_EQ(writer.mp3Encoder().bitrate(), Mp3Encoder().bitrate());
    EXPECT_EQ(writer.settingsDescription(), u"WAV 8000 Hz; Mono; 16 bit");
}

TEST(AudioWriter, RefusesUnknownTypesAndWritesWithoutAFile)
{
    TempDir dir;
    AudioFile writer;
    const QString aiff = dir.file(QStringLiteral("out.aiff"));
    const Status status = writer.create(aiff);
    ASSERT_FALSE(status);
    EXPECT_TRUE(status.message().contains(u"aiff"));
    EXPECT_FALSE(QFile::exists(aiff));
    const std::vector<qint16> samples(100);
    EXPECT_FALSE(writer.write(samples));
    EXPECT_FALSE(writer.setInputFormat(44100, 2));
    EXPECT_TRUE(writer.close()); // nothing open: nothing to do
}

// Past 4 GiB of audio RIFF's 32-bit sizes overflow: a file laid out for it turns into RF64,
// which readers measure by its ds64 chunk (checked on a sparse file of 5 GiB).
TEST(WavLayouts, RiffTurnsIntoRf64PastFourGibibytes)
{
    const WavFormat format{44100, 2, 16};
    const quint64 large = quint64(5) << 30;
    const QByteArray header = WavEncoder::header(format, large, WavLayout::Rf64Capable);
    ASSERT_EQ(header.size(), WavEncoder::headerBytes(WavLayout::Rf64Capable));
    EXPECT_EQ(header.left(16), QByteArray("RF64\xFF\xFF\xFF\xFFWAVEds64", 16));
    EXPECT_EQ(qFromLittleEndian<quint64>(header.constData() + 20), header.size() - 8 + large);

    TempDir dir;
    const QString path = dir.file(QStringLiteral("long.wav"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(header) == header.size() &&
                file.resize(header.size() + qint64(large)));
    file.close();
    StreamLength length;
    ASSERT_TRUE(measureStreamLength(path, length));
    EXPECT_NEAR(length.seconds, double(large) / (44100 * 4), 0.001);
    EXPECT_TRUE(isRf64Wave(path));
    EXPECT_TRUE(riffSizeFits(path));
    ASSERT_TRUE(file.resize(file.size() - 1000));
    EXPECT_FALSE(riffSizeFits(path));
}

// A source that states hours of audio gets a WAV laid out to pass 4 GiB; below that it is
// plain RIFF (with a JUNK chunk) that readers and the tag writer take as usual.
TEST(WavLayouts, LongSourcesGetRoomForRf64)
{
    TempDir dir;
    const QString plain = dir.file(QStringLiteral("plain.mp3"));
    ASSERT_TRUE(
        makeWithFfmpeg(plain, sine(440, 44100, 2, 1.0), 44100, 2, args({"-c:a", "libmp3lame"})));
    // The same second of audio whose header claims 600,000 frames: four and a half hours.
    QByteArray bytes = fileBytes(plain);
    const qsizetype info = bytes.indexOf("Info");
    ASSERT_GT(info, 0);
    qToBigEndian(quint32(600000), bytes.data() + info + 8);
    const QString hours = dir.file(QStringLiteral("hours.mp3"));
    ASSERT_TRUE(writeFileBytes(hours, bytes));

    for (const QString& source : {plain, hours}) {
        const QString output = source + QStringLiteral(".wav");
        AudioFile reader;
        AudioFile writer;
        ASSERT_TRUE(Transcoder(reader, writer).transcodeFile(source, output));
        EXPECT_EQ(fileBytes(output).mid(8, 8), source == hours ? "WAVEJUNK" : "WAVEfmt ");
        AudioInformation information;
        information.setTitle(QStringLiteral("Kept"));
        ASSERT_TRUE(information.writeTags(output));
        ASSERT_TRUE(information.open(output));
        EXPECT_EQ(information.title(), QStringLiteral("Kept"));
        EXPECT_NEAR(decodeFile(output).frames(), 44100, 1152);
    }
}
