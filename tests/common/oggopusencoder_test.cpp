#include "common/codecs/oggopusencoder.h"

#include "support/fixtures.h"
#include "support/qtprinters.h"
#include "support/signals.h"

#include <QFileInfo>
#include <QSet>
#include <QtEndian>

#include <gtest/gtest.h>

#include <cmath>

namespace tunevale {
namespace {

using Samples = std::vector<qint16>;

struct OpusCase {
    const char* name;
    OpusSettings settings;
    SourceFormat source;
};

class OpusRoundTrip : public testing::TestWithParam<OpusCase> {};

// Any source rate goes in as it is; decoders trim the output to the source's length at
// 48 kHz, hear the tone, and the bitrate is the one asked for.
TEST_P(OpusRoundTrip, DecodesToTheSourcesLength)
{
    const OpusCase& param = GetParam();
    OggOpusEncoder encoder(param.settings, param.source);
    const PcmFormat format = encoder.inputFormat();
    ASSERT_EQ(format.sampleRate, param.source.pcm.sampleRate);
    const double seconds = 3.0 + 17.0 / format.sampleRate;
    Samples input = test::sine(1000.0, format.sampleRate, format.channels, seconds, 0.3);
    const Samples hiss = test::noise(format.sampleRate, format.channels, seconds, 9);
    for (size_t i = 0; i < input.size(); ++i)
        input[i] = qint16(input[i] + hiss[i] / 8);
    const test::TempDir dir;
    const QString path = dir.file(QStringLiteral("out.opus"));
    const Status status = test::encodeInBlocks(encoder, path, input);
    ASSERT_TRUE(status) << status.message().toStdString();

    bool read = false;
    const QString info = test::toolOutput(QStringLiteral("opusinfo"), QStringList{path}, &read);
    EXPECT_TRUE(read) << info.toStdString();
    EXPECT_TRUE(info.contains(QStringLiteral("Pre-skip: 312"))) << info.toStdString();
    EXPECT_TRUE(info.contains(QStringLiteral("Playback gain: 0 dB"))) << info.toStdString();
    EXPECT_EQ(test::probeStream(path)[QStringLiteral("channels")].toInt(), format.channels);

    const QByteArray decoded = test::ffmpegDecode(path, "s16le");
    const qint64 sourceFrames = qint64(input.size()) / format.channels;
    // Exact at 48 kHz; from other rates within the resampler's rounding.
    const double expected = double(sourceFrames) * 48000 / format.sampleRate;
    const double slack = expected == std::floor(expected) ? 0.0 : 1.0;
    EXPECT_NEAR(double(decoded.size() / 2 / format.channels), expected, slack);
    Samples samples(size_t(decoded.size() / 2));
    qFromLittleEndian<qint16>(decoded.constData(), qsizetype(samples.size()), samples.data());
    EXPECT_NEAR(test::dominantFrequency(samples, 48000, format.channels), 1000.0, 10.0);

    const double kbps = QFileInfo(path).size() * 8.0 / seconds / 1000.0;
    const bool cbr = param.settings.rateControl == OpusRateControl::Cbr;
    EXPECT_NEAR(kbps, param.settings.bitrate, param.settings.bitrate * (cbr ? 0.1 : 0.35));
}

INSTANTIATE_TEST_SUITE_P(
    Settings, OpusRoundTrip,
    testing::Values(OpusCase{"VbrStereoAt44100", {}, {{44100, 2}, 16}},
                    OpusCase{"ConstrainedSpeechMono",
                             {64, OpusRateControl::ConstrainedVbr, 10, OpusTuning::Speech, 0},
                             {{48000, 1}, 16}},
                    OpusCase{"HardCbrMusicFastest",
                             {96, OpusRateControl::Cbr, 0, OpusTuning::Music, 0},
                             {{48000, 2}, 24}},
                    OpusCase{"ChosenMonoFrom22050",
                             {32, OpusRateControl::Vbr, 5, OpusTuning::Auto, 1},
                             {{22050, 2}, 16}}),
    [](const testing::TestParamInfo<OpusCase>& info) { return info.param.name; });

TEST(OggOpusEncoder, HardCbrPacketsAreAllOneSize)
{
    OggOpusEncoder encoder({96, OpusRateControl::Cbr, 10, OpusTuning::Auto, 0}, {});
    const PcmFormat format = encoder.inputFormat();
    const test::TempDir dir;
    const QString path = dir.file(QStringLiteral("cbr.opus"));
    ASSERT_TRUE(test::encodeInBlocks(encoder, path,
                                     test::noise(format.sampleRate, format.channels, 2.0, 4)));
    const QString sizes = test::toolOutput(
        QStringLiteral("ffprobe"),
        test::args({"-v", "error", "-show_entries", "packet=size", "-of", "csv=p=0"}) +
            QStringList{path});
    QSet<QString> distinct; // side data on the first and last packet follows a comma
    for (const QString& packet : sizes.split(u'\n', Qt::SkipEmptyParts))
        distinct.insert(packet.section(u',', 0, 0));
    EXPECT_EQ(distinct.size(), 1) << sizes.toStdString();
}

// libopusenc cannot end a stream that never got a sample; the file must still open.
TEST(OggOpusEncoder, EmptySourceMakesAFileThatOpens)
{
    const test::TempDir dir;
    const QString path = dir.file(QStringLiteral("empty.opus"));
    OggOpusEncoder encoder({}, {{48000, 1}, 16});
    ASSERT_TRUE(test::openEncoder(encoder, path));
    ASSERT_TRUE(encoder.finish());
    EXPECT_EQ(test::probeStream(path)[QStringLiteral("codec_name")], QStringLiteral("opus"));
}

TEST(OpusSettings, RefusesValuesOutOfRange)
{
    const std::pair<OpusSettings, const char*> cases[] = {
        {{5, OpusRateControl::Vbr, 10, OpusTuning::Auto, 0},
         "Opus cannot encode at 5 kbit/s: use 6 to 510 kbit/s"},
        {{511, OpusRateControl::Vbr, 10, OpusTuning::Auto, 0},
         "Opus cannot encode at 511 kbit/s: use 6 to 510 kbit/s"},
        {{128, OpusRateControl::Vbr, 11, OpusTuning::Auto, 0},
         "Opus complexity 11 is out of range: use 0 to 10"},
        {{128, OpusRateControl::Vbr, 10, OpusTuning::Auto, 3},
         "Opus output has 1 or 2 channels, not 3"},
    };
    const test::TempDir dir;
    for (const auto& [settings, message] : cases) {
        OggOpusEncoder encoder(settings, {});
        const QString path = dir.file(QStringLiteral("bad.opus"));
        EXPECT_EQ(test::openEncoder(encoder, path).message(), QString::fromUtf8(message));
        EXPECT_FALSE(QFileInfo::exists(path));
    }
    EXPECT_TRUE(OpusSettings().validate());
    EXPECT_TRUE((OpusSettings{6, OpusRateControl::Cbr, 0, OpusTuning::Speech, 1}).validate());
}

} // namespace
} // namespace tunevale
