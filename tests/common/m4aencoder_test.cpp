#include "common/codecs/m4aencoder.h"

#include "support/fixtures.h"
#include "support/qtprinters.h"
#include "support/signals.h"

#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

namespace tunevale {
namespace {

using Samples = std::vector<qint16>;

constexpr int kAacFrame = 1024;

struct M4aCase {
    const char* name;
    M4aSettings settings;
    SourceFormat source;
};

// The iTunSMPB fields as mutagen reads them: priming, padding, sample count.
std::array<qint64, 3> gaplessFields(const QString& path)
{
    const QJsonObject tags =
        QJsonDocument::fromJson(
            test::toolOutput(QStringLiteral("/usr/bin/python3"),
                             {QStringLiteral(TUNEVALE_TAGTOOL), QStringLiteral("dump"), path})
                .toUtf8())
            .object();
    const QStringList fields = tags.value(u"itunsmpb").toString().split(u' ', Qt::SkipEmptyParts);
    if (fields.size() != 12)
        return {-1, -1, -1};
    return {fields[1].toLongLong(nullptr, 16), fields[2].toLongLong(nullptr, 16),
            fields[3].toLongLong(nullptr, 16)};
}

class M4aRoundTrip : public testing::TestWithParam<M4aCase> {};

// The edit list and the iTunSMPB tag both state the source's exact length; the decoder trims
// the priming they state; the file holds what the settings asked for.
TEST_P(M4aRoundTrip, StatesTheSourcesExactLength)
{
    const M4aCase& param = GetParam();
    M4aEncoder encoder(param.settings, param.source);
    const PcmFormat format = encoder.inputFormat();
    const double seconds = 3.0 + 17.0 / format.sampleRate;
    const Samples input = test::sine(1000.0, format.sampleRate, format.channels, seconds, 0.4);
    const qint64 frames = qint64(input.size()) / format.channels;
    const test::TempDir dir;
    const QString path = dir.file(QStringLiteral("out.m4a"));
    const Status status = test::encodeInBlocks(encoder, path, input);
    ASSERT_TRUE(status) << status.message().toStdString();

    auto stream = test::probeStream(path);
    EXPECT_EQ(stream[QStringLiteral("codec_name")], QStringLiteral("aac"));
    EXPECT_EQ(stream[QStringLiteral("sample_rate")].toInt(), format.sampleRate);
    EXPECT_EQ(stream[QStringLiteral("channels")].toInt(), format.channels);
    EXPECT_EQ(stream[QStringLiteral("duration_ts")].toLongLong(), frames);
    const double kbps = stream[QStringLiteral("bit_rate")].toDouble() / 1000.0;
    EXPECT_NEAR(kbps, param.settings.bitrate, param.settings.bitrate * 0.2);

    const auto [priming, padding, count] = gaplessFields(path);
    EXPECT_EQ(priming, kAacFrame);
    EXPECT_EQ(count, frames);
    EXPECT_EQ((priming + count + padding) % kAacFrame, 0);
    EXPECT_LT(padding, kAacFrame);
    // FFmpeg 5.1 trims the priming the edit list states, not the padding after the end.
    const QByteArray decoded = test::ffmpegDecode(path, "s16le");
    EXPECT_EQ(decoded.size() / 2 / format.channels, frames + padding);
    // Our reader stops where the edit list ends the audio.
    EXPECT_EQ(test::decodeFile(path).frames(), frames);
}

INSTANTIATE_TEST_SUITE_P(
    Settings, M4aRoundTrip,
    testing::Values(M4aCase{"FollowsAStereoSource", {}, {{44100, 2}, 16}},
                    M4aCase{"ChosenMono22050At64", {64, 22050, 1}, {{44100, 2}, 16}},
                    M4aCase{"Stereo48000At192", {192, 0, 0}, {{48000, 2}, 24}}),
    [](const testing::TestParamInfo<M4aCase>& info) { return info.param.name; });

TEST(M4aSettings, FollowsTheSourceWithARateAacHas)
{
    EXPECT_EQ(M4aSettings().resolvedFor({{44100, 1}, 16}), (M4aSettings{128, 44100, 1}));
    EXPECT_EQ(M4aSettings().resolvedFor({{37800, 6}, 16}), (M4aSettings{128, 44100, 2}));
    EXPECT_EQ(M4aSettings().resolvedFor({{192000, 1}, 24}), (M4aSettings{128, 96000, 1}));
    EXPECT_EQ((M4aSettings{96, 32000, 1}).resolvedFor({{48000, 2}, 16}),
              (M4aSettings{96, 32000, 1}));
}

TEST(M4aSettings, RefusesValuesOutOfRange)
{
    const std::pair<M4aSettings, const char*> cases[] = {
        {{15, 0, 0}, "AAC cannot encode at 15 kbit/s: use 16 to 512 kbit/s"},
        {{513, 0, 0}, "AAC cannot encode at 513 kbit/s: use 16 to 512 kbit/s"},
        {{128, 44000, 0},
         "AAC cannot store 44000 Hz: use 8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, "
         "48000, 64000, 88200 or 96000 Hz"},
        {{128, 0, 3}, "M4A output has 1 or 2 channels, not 3"},
    };
    const test::TempDir dir;
    for (const auto& [settings, message] : cases) {
        M4aEncoder encoder(settings, {});
        const QString path = dir.file(QStringLiteral("bad.m4a"));
        EXPECT_EQ(test::openEncoder(encoder, path).message(), QString::fromUtf8(message));
        EXPECT_FALSE(QFileInfo::exists(path));
    }
    EXPECT_TRUE(M4aSettings().validate());
}

} // namespace
} // namespace tunevale
