#include "common/audio/audiofile.h"
#include "convert/transcoder.h"
#include "settings/encodersettings.h"

#include "support/fixtures.h"
#include "support/qtprinters.h"
#include "support/signals.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

#include <unistd.h>

using namespace tunevale;
using namespace tunevale::test;

namespace {

class BadInput : public ::testing::Test {
protected:
    BadInput() { EXPECT_TRUE(EncoderSettings().applyTo(m_writer)); }

    Status convert(const QString& source, const QString& output)
    {
        Transcoder transcoder(m_reader, m_writer);
        return transcoder.transcodeFile(source, output);
    }

    QString writeBytes(const QString& name, const QByteArray& bytes)
    {
        const QString path = m_dir.file(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }

    // A real file of the given type, cut to a fraction of its length.
    QString truncated(const char* extension, const QStringList& codec, double fraction)
    {
        const QString full = m_dir.file(QStringLiteral("full.") + QLatin1String(extension));
        EXPECT_TRUE(makeWithFfmpeg(full, sine(440, 44100, 2, 4.0), 44100, 2, codec));
        QFile file(full);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        return writeBytes(QStringLiteral("cut.") + QLatin1String(extension),
                          bytes.left(static_cast<qsizetype>(bytes.size() * fraction)));
    }

    TempDir m_dir;
    AudioFile m_reader;
    AudioFile m_writer;
};

TEST_F(BadInput, UnreadableSourcesFailWithTheirPathAndCreateNothing)
{
    const QString text = writeBytes(QStringLiteral("words.mp3"), "not audio at all\n");
    const QString empty = writeBytes(QStringLiteral("empty.ogg"), {});
    const QString brokenWav = writeBytes(QStringLiteral("broken.wav"),
                                         QByteArray("RIFF\x10\0\0\0WAVEfmt \xff\xff\xff\xff", 20));
    const QString missing = m_dir.file(QStringLiteral("missing.wma"));
    for (const QString& source : {text, empty, brokenWav, missing}) {
        const QString output = m_dir.file(QStringLiteral("out.wav"));
        const Status status = convert(source, output);
        ASSERT_FALSE(status) << source.toStdString();
        EXPECT_TRUE(status.message().contains(source)) << status.message().toStdString();
        EXPECT_FALSE(QFile::exists(output));
    }
}

TEST_F(BadInput, SourceWithoutReadPermissionFails)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root reads every file";
    const QString path = m_dir.file(QStringLiteral("locked.wav"));
    ASSERT_TRUE(writePcmWav(path, sine(440, 8000, 1, 0.5), 8000, 1));
    QFile::setPermissions(path, QFileDevice::WriteOwner);
    EXPECT_FALSE(convert(path, m_dir.file(QStringLiteral("out.wav"))));
}

TEST_F(BadInput, TruncatedFilesConvertWhatIsThere)
{
    const std::pair<const char*, QStringList> types[] = {
        {"mp3", {QStringLiteral("-c:a"), QStringLiteral("libmp3lame")}},
        {"ogg", {QStringLiteral("-c:a"), QStringLiteral("libvorbis")}},
        {"wma", {QStringLiteral("-c:a"), QStringLiteral("wmav2")}},
        {"wav", {}},
    };
    for (const auto& [extension, codec] : types) {
        const QString source = truncated(extension, codec, 0.5);
        const QString output = m_dir.file(QStringLiteral("cut-out-") + QLatin1String(extension) +
                                          QStringLiteral(".wav"));
        const Status status = convert(source, output);
        ASSERT_TRUE(status) << extension << ": " << status.message().toStdString();
        const Decoded decoded = decodeFile(output);
        ASSERT_TRUE(decoded.ok) << extension;
        // How much survives depends on the codec's layout (OGG keeps about a second).
        EXPECT_GT(decoded.frames(), 44100 / 2) << extension;
        EXPECT_LT(decoded.frames(), 3 * 44100) << extension;
    }
}

TEST_F(BadInput, PathsWithSpacesAndNonAsciiLetters)
{
    const QString folder = m_dir.file(QStringLiteral("Música del año"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString source = folder + QStringLiteral("/Ünïcødé sóng 雨.wav");
    ASSERT_TRUE(writePcmWav(source, sine(440, 44100, 2, 1.0), 44100, 2));
    for (const char* extension : {"mp3", "wma", "ogg", "wav"}) {
        const QString output =
            folder + QStringLiteral("/Ünïcødé sóng 雨 out.") + QLatin1String(extension);
        const Status status = convert(source, output);
        ASSERT_TRUE(status) << extension << ": " << status.message().toStdString();
        EXPECT_TRUE(decodeFile(output).ok) << extension;
    }
}

TEST_F(BadInput, OutputsThatCannotBeWrittenFailAndLeaveNothing)
{
    const QString source = m_dir.file(QStringLiteral("tone.wav"));
    ASSERT_TRUE(writePcmWav(source, sine(440, 44100, 2, 2.0), 44100, 2));
    for (const char* extension : {"mp3", "wma", "ogg", "wav"}) {
        const QString inMissingFolder =
            m_dir.file(QStringLiteral("no/such/folder/out.")) + QLatin1String(extension);
        Status status = convert(source, inMissingFolder);
        ASSERT_FALSE(status) << extension;
        EXPECT_TRUE(status.message().contains(inMissingFolder)) << status.message().toStdString();

        const QString underAFile = source + QStringLiteral("/out.") + QLatin1String(extension);
        EXPECT_FALSE(convert(source, underAFile)) << extension;
    }
    EXPECT_TRUE(decodeFile(source).ok); // the source is untouched
}

TEST_F(BadInput, ALinkAtTheOutputNameIsNeverWrittenThrough)
{
    if (!QFile::exists(QStringLiteral("/dev/full")))
        GTEST_SKIP() << "no /dev/full here";
    const QString source = m_dir.file(QStringLiteral("tone.wav"));
    ASSERT_TRUE(writePcmWav(source, sine(440, 44100, 2, 2.0), 44100, 2));
    for (const char* extension : {"mp3", "wma", "ogg", "wav"}) {
        const QString link = m_dir.file(QStringLiteral("x.")) + QLatin1String(extension);
        ASSERT_TRUE(QFile::link(QStringLiteral("/dev/full"), link));
        const Status status = convert(source, link);
        ASSERT_TRUE(status) << extension << ": " << status.message().toStdString();
        EXPECT_EQ(QFileInfo(link).symLinkTarget(), QStringLiteral("/dev/full")) << extension;
        EXPECT_TRUE(decodeFile(m_dir.file(QStringLiteral("New_x.")) + QLatin1String(extension)).ok)
            << extension;
    }
}

TEST_F(BadInput, ManyChannelsAndHighRatesAreConverted)
{
    const QString source = m_dir.file(QStringLiteral("surround.wav"));
    ASSERT_TRUE(makeWithFfmpeg(source, sine(1000, 96000, 6, 2.0), 96000, 6));
    for (const char* extension : {"mp3", "wma", "ogg", "wav"}) {
        const QString output = m_dir.file(QStringLiteral("stereo.")) + QLatin1String(extension);
        const Status status = convert(source, output);
        ASSERT_TRUE(status) << extension << ": " << status.message().toStdString();
        const Decoded decoded = decodeFile(output);
        ASSERT_TRUE(decoded.ok);
        EXPECT_EQ(decoded.format, (PcmFormat{44100, 2})) << extension;
        EXPECT_NEAR(decoded.frames(), 2 * 44100, 3000) << extension;
        EXPECT_NEAR(dominantFrequency(decoded.samples, 44100, 2), 1000.0, 5.0) << extension;
    }
}

// Damaged sources that open and state a length but decode to nothing fail in every format
// with that reason, instead of leaving an output without audio.
TEST_F(BadInput, SourcesThatDecodeToNothingAreErrors)
{
    const QString wavPack = m_dir.file(QStringLiteral("good.wv"));
    ASSERT_TRUE(
        makeWithFfmpeg(wavPack, sine(440, 44100, 2, 3.0), 44100, 2, args({"-c:a", "wavpack"})));
    // Every block keeps its header and loses its contents.
    QByteArray blocks = fileBytes(wavPack);
    for (qsizetype at = blocks.indexOf("wvpk"); at >= 0; at = blocks.indexOf("wvpk", at + 4)) {
        for (qsizetype i = at + 32; i < std::min(at + 1024, blocks.size()); ++i)
            blocks[i] = char(0xA5 ^ i);
    }
    const QString badWavPack = writeBytes(QStringLiteral("bad.wv"), blocks);
    // An M4A whose header promises 3 s and whose media data was cut off.
    const QString m4a = m_dir.file(QStringLiteral("full.m4a"));
    ASSERT_TRUE(makeWithFfmpeg(m4a, sine(440, 44100, 2, 3.0), 44100, 2,
                               args({"-c:a", "aac", "-movflags", "+faststart"})));
    const QByteArray mp4 = fileBytes(m4a);
    const QString cutM4a = writeBytes(QStringLiteral("cut.m4a"), mp4.left(mp4.indexOf("mdat") + 8));

    for (const QString& source : {badWavPack, cutM4a}) {
        for (const char* extension : {"mp3", "wma", "ogg", "wav"}) {
            const QString output = m_dir.file(QStringLiteral("out.")) + QLatin1String(extension);
            const Status status = convert(source, output);
            EXPECT_EQ(status.message(),
                      QStringLiteral("The source holds no audio that can be decoded"))
                << source.toStdString() << " to " << extension;
            EXPECT_FALSE(QFile::exists(output));
        }
    }
}

// A stream written to a pipe states no length in its header; what decodes is converted.
TEST_F(BadInput, ASourceThatStatesNoLengthConvertsWhatDecodes)
{
    const QString wav = m_dir.file(QStringLiteral("tone.wav"));
    ASSERT_TRUE(writePcmWav(wav, sine(440, 44100, 2, 2.5), 44100, 2));
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"), args({"-nostdin", "-v", "error", "-i"})
                                               << wav
                                               << args({"-c:a", "wavpack", "-f", "wv", "-"}));
    ASSERT_TRUE(ffmpeg.waitForFinished(60000));
    const QString source = writeBytes(QStringLiteral("piped.wv"), ffmpeg.readAllStandardOutput());
    for (const char* extension : {"mp3", "wav"}) {
        const QString output = m_dir.file(QStringLiteral("piped.")) + QLatin1String(extension);
        const Status status = convert(source, output);
        ASSERT_TRUE(status) << extension << ": " << status.message().toStdString();
        EXPECT_NEAR(decodeFile(output).frames(), qint64(2.5 * 44100), 1) << extension;
    }
}

} // namespace
