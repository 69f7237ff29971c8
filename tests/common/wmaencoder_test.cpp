#include "common/codecs/wmaencoder.h"
#include "common/codecs/wmaprofiles.h"

#include "support/fixtures.h"
#include "support/qtprinters.h"
#include "support/signals.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace tunevale {
namespace {

using test::openEncoder;

using test::decodeFile;
using test::fileBytes;
using test::TempDir;

// Feeds samples in uneven blocks, so encoder frames straddle the caller's blocks.
// An open file given is written instead of a new one at path.
Status encodeFile(WmaEncoder& encoder, const QString& path, std::span<const qint16> samples,
                  UniqueFd file = {})
{
    if (Status status =
            file.isValid() ? encoder.open(std::move(file), path) : openEncoder(encoder, path);
        !status)
        return status;
    const auto channels = static_cast<size_t>(encoder.inputFormat().channels);
    const size_t blockSizes[] = {1, 777, 4096, 5000, 12345};
    size_t offset = 0;
    for (size_t block = 0; offset < samples.size(); ++block) {
        const size_t count =
            std::min(blockSizes[block % std::size(blockSizes)] * channels, samples.size() - offset);
        if (Status status = encoder.encode(samples.subspan(offset, count)); !status)
            return status;
        offset += count;
    }
    return encoder.finish();
}

// Samples per channel in one WMA frame at a sample rate.
int wmaFrameLength(int sampleRate)
{
    return sampleRate >= 32000 ? 2048 : sampleRate >= 22050 ? 1024 : 512;
}

// The round trip keeps every sample; the last frame is filled up with silence.
void expectRoundTripLength(const test::Decoded& decoded, qint64 inputFrames, int sampleRate)
{
    EXPECT_GE(decoded.frames(), inputFrames);
    EXPECT_LT(decoded.frames(), inputFrames + wmaFrameLength(sampleRate));
}

double fileKbps(const QString& path, double seconds)
{
    return static_cast<double>(QFileInfo(path).size()) * 8.0 / seconds / 1000.0;
}

// Samples of a decoded stream from the given second on, away from the codec's start-up.
std::span<const qint16> tail(const test::Decoded& decoded, double fromSeconds)
{
    const auto skip = static_cast<size_t>(fromSeconds * decoded.format.sampleRate) *
                      static_cast<size_t>(decoded.format.channels);
    return std::span<const qint16>(decoded.samples).subspan(std::min(skip, decoded.samples.size()));
}

TEST(WmaProfiles, DialogShortcutsPickTheirSettings)
{
    const WmaProfile& normal = wmaProfile(10);
    EXPECT_EQ(normal.sampleRate, 44100);
    EXPECT_EQ(normal.channels, 2);
    EXPECT_EQ(normal.bitrate, 128000);

    const WmaProfile& good = wmaProfile(14);
    EXPECT_EQ(good.sampleRate, 44100);
    EXPECT_EQ(good.channels, 2);
    EXPECT_EQ(good.bitrate, 64000);

    const WmaProfile& poor = wmaProfile(35);
    EXPECT_LE(poor.sampleRate, 16000);
    EXPECT_EQ(poor.channels, 1);
    EXPECT_LE(poor.measuredKbps * 3, normal.measuredKbps);
}

TEST(WmaProfiles, RunFromBestToSmallest)
{
    for (int number = 2; number <= kWmaProfileCount; ++number) {
        SCOPED_TRACE(number);
        const WmaProfile& previous = wmaProfile(number - 1);
        const WmaProfile& current = wmaProfile(number);
        EXPECT_LE(current.sampleRate, previous.sampleRate);
        if (current.sampleRate == previous.sampleRate && current.channels == previous.channels) {
            EXPECT_LT(current.bitrate, previous.bitrate);
            EXPECT_LE(current.measuredKbps, previous.measuredKbps);
        }
    }
}

TEST(WmaProfiles, DescriptionsAreDistinctAndHonest)
{
    QSet<QString> seen;
    for (int number = 1; number <= kWmaProfileCount; ++number) {
        SCOPED_TRACE(number);
        const QString text = describeWmaProfile(number);
        const WmaProfile& profile = wmaProfile(number);
        EXPECT_FALSE(text.contains(u"kHz"));
        EXPECT_TRUE(text.contains(QStringLiteral("%1 Hz").arg(profile.sampleRate)));
        EXPECT_TRUE(text.contains(profile.channels == 1 ? u"Mono" : u"Stereo"));
        EXPECT_TRUE(text.contains(QStringLiteral("measured %1 Kbps").arg(profile.measuredKbps)));
        EXPECT_FALSE(seen.contains(text)) << text.toStdString();
        seen.insert(text);
    }
}

TEST(WmaProfiles, InvalidNumbersAreRejectedSafely)
{
    for (const int number : {0, -1, kWmaProfileCount + 1, 1000}) {
        SCOPED_TRACE(number);
        EXPECT_FALSE(isValidWmaProfile(number));
        EXPECT_TRUE(describeWmaProfile(number).isEmpty());
        EXPECT_EQ(&wmaProfile(number), &wmaProfile(kDefaultWmaProfile));
    }
    EXPECT_TRUE(isValidWmaProfile(1));
    EXPECT_TRUE(isValidWmaProfile(kWmaProfileCount));
}

class WmaProfileRoundTrip : public testing::TestWithParam<int> {};

// Every profile is accepted by the encoder, decodes back to its own format and keeps a tone,
// and writes about the bitrate its description claims.
TEST_P(WmaProfileRoundTrip, EncodesDecodesAndMatchesMeasuredBitrate)
{
    const int number = GetParam();
    const WmaProfile& profile = wmaProfile(number);
    TempDir dir;
    const QString path = dir.file(QStringLiteral("tone.wma"));
    // Half a frame over whole seconds, so a lost last frame shows in the length.
    const double seconds =
        4.0 + 0.5 * wmaFrameLength(profile.sampleRate) / double(profile.sampleRate);
    const std::vector<qint16> tone =
        test::sine(1000.0, profile.sampleRate, profile.channels, seconds);

    WmaEncoder encoder(number);
    EXPECT_EQ(encoder.inputFormat(), (PcmFormat{profile.sampleRate, profile.channels}));
    const Status status = encodeFile(encoder, path, tone);
    ASSERT_TRUE(status) << status.message().toStdString();

    const double kbps = fileKbps(path, seconds);
    EXPECT_NEAR(kbps, profile.measuredKbps, 0.25 * profile.measuredKbps);

    const test::Decoded decoded = decodeFile(path);
    ASSERT_TRUE(decoded.ok);
    EXPECT_EQ(decoded.format, (PcmFormat{profile.sampleRate, profile.channels}));
    expectRoundTripLength(decoded, qint64(tone.size()) / profile.channels, profile.sampleRate);
    EXPECT_NEAR(test::dominantFrequency(tail(decoded, 0.5), profile.sampleRate, profile.channels),
                1000.0, 20.0);
}

INSTANTIATE_TEST_SUITE_P(WmaEveryProfile, WmaProfileRoundTrip,
                         testing::Range(1, kWmaProfileCount + 1));

TEST(WmaEncoder, KeepsChannelsApartAndLevel)
{
    constexpr int kRate = 44100;
    constexpr double kSeconds = 2.0;
    const std::vector<qint16> left = test::sine(440.0, kRate, 1, kSeconds, 0.5);
    const std::vector<qint16> right = test::sine(1000.0, kRate, 1, kSeconds, 0.25);
    std::vector<qint16> stereo(left.size() * 2);
    for (size_t i = 0; i < left.size(); ++i) {
        stereo[2 * i] = left[i];
        stereo[2 * i + 1] = right[i];
    }
    TempDir dir;
    const QString path = dir.file(QStringLiteral("stereo.wma"));
    WmaEncoder encoder(10);
    ASSERT_TRUE(encodeFile(encoder, path, stereo));

    const test::Decoded decoded = decodeFile(path);
    ASSERT_TRUE(decoded.ok);
    ASSERT_EQ(decoded.format.channels, 2);
    const std::span<const qint16> steady = tail(decoded, 0.5);
    EXPECT_NEAR(test::dominantFrequency(steady, kRate, 2, 0), 440.0, 9.0);
    EXPECT_NEAR(test::dominantFrequency(steady, kRate, 2, 1), 1000.0, 20.0);

    std::vector<qint16> leftOut;
    std::vector<qint16> rightOut;
    for (size_t i = 0; i + 1 < steady.size(); i += 2) {
        leftOut.push_back(steady[i]);
        rightOut.push_back(steady[i + 1]);
    }
    // Sines of amplitude 0.5 and 0.25 have RMS levels of 0.354 and 0.177.
    EXPECT_NEAR(test::rmsLevel(leftOut), 0.354, 0.05);
    EXPECT_NEAR(test::rmsLevel(rightOut), 0.177, 0.03);
}

TEST(WmaEncoder, OutputDoesNotDependOnBlockSizes)
{
    const std::vector<qint16> music = test::noise(22050, 2, 1.5, 3);
    TempDir dir;
    const QString pieces = dir.file(QStringLiteral("pieces.wma"));
    const QString whole = dir.file(QStringLiteral("whole.wma"));

    WmaEncoder piecewise(25);
    ASSERT_TRUE(encodeFile(piecewise, pieces, music));
    WmaEncoder atOnce(25);
    ASSERT_TRUE(openEncoder(atOnce, whole));
    ASSERT_TRUE(atOnce.encode(music));
    ASSERT_TRUE(atOnce.finish());

    const QByteArray piecesBytes = fileBytes(pieces);
    EXPECT_GT(piecesBytes.size(), 0);
    EXPECT_EQ(piecesBytes, fileBytes(whole));
}

TEST(WmaEncoder, LowProfileWritesClearlySmallerFiles)
{
    TempDir dir;
    const QString normalPath = dir.file(QStringLiteral("normal.wma"));
    const QString poorPath = dir.file(QStringLiteral("poor.wma"));
    WmaEncoder normal(10);
    ASSERT_TRUE(encodeFile(normal, normalPath, test::noise(44100, 2, 3.0)));
    WmaEncoder poor(35);
    ASSERT_TRUE(encodeFile(poor, poorPath, test::noise(16000, 1, 3.0)));
    EXPECT_LT(QFileInfo(poorPath).size() * 3, QFileInfo(normalPath).size());
}

TEST(WmaEncoder, EmptyStreamStillMakesAFile)
{
    TempDir dir;
    const QString path = dir.file(QStringLiteral("empty.wma"));
    WmaEncoder encoder(14);
    ASSERT_TRUE(openEncoder(encoder, path));
    const Status status = encoder.finish();
    EXPECT_TRUE(status) << status.message().toStdString();
    EXPECT_GT(QFileInfo(path).size(), 0);
}

// Shorter than one frame, a source still comes back whole, from its first sample on.
TEST(WmaEncoder, SourceShorterThanOneFrameIsKept)
{
    TempDir dir;
    const QString path = dir.file(QStringLiteral("blip.wma"));
    const std::vector<qint16> tone = test::sine(1000.0, 44100, 2, 0.01);
    WmaEncoder encoder(10);
    ASSERT_TRUE(encodeFile(encoder, path, tone));
    const test::Decoded decoded = decodeFile(path);
    ASSERT_TRUE(decoded.ok);
    expectRoundTripLength(decoded, qint64(tone.size()) / 2, 44100);
    const auto start = std::span<const qint16>(decoded.samples)
                           .first(std::min(tone.size(), decoded.samples.size()));
    EXPECT_NEAR(test::rmsLevel(start), test::rmsLevel(tone), 0.25 * test::rmsLevel(tone));
}

TEST(WmaEncoder, MissingFolderFailsNamingThePath)
{
    TempDir dir;
    const QString path = dir.file(QStringLiteral("no such folder/out.wma"));
    WmaEncoder encoder(14);
    const Status status = openEncoder(encoder, path);
    ASSERT_FALSE(status);
    EXPECT_TRUE(status.message().contains(QDir::toNativeSeparators(path)))
        << status.message().toStdString();
    EXPECT_FALSE(QFileInfo::exists(path));
    // Nothing is open, so the other calls refuse instead of crashing.
    EXPECT_FALSE(encoder.encode(test::sine(1000.0, 44100, 2, 0.1)));
    EXPECT_FALSE(encoder.finish());
}

TEST(WmaEncoder, FullDiskIsAnError)
{
    if (!QFileInfo::exists(QStringLiteral("/dev/full")))
        GTEST_SKIP() << "no /dev/full on this system";
    // A short stream fits the write buffer and fails only when closing; a long one earlier.
    for (const double seconds : {0.5, 5.0}) {
        SCOPED_TRACE(seconds);
        TempDir dir;
        const QString path = dir.file(QStringLiteral("x.wma"));
        WmaEncoder encoder(10);
        const Status status =
            encodeFile(encoder, path, test::noise(44100, 2, seconds), test::openFullDevice());
        ASSERT_FALSE(status);
        EXPECT_TRUE(status.message().contains(QDir::toNativeSeparators(path)))
            << status.message().toStdString();
    }
}

TEST(WmaEncoder, RejectsPartialSampleFrames)
{
    TempDir dir;
    WmaEncoder encoder(10);
    ASSERT_TRUE(openEncoder(encoder, dir.file(QStringLiteral("odd.wma"))));
    const std::vector<qint16> samples(3);
    EXPECT_FALSE(encoder.encode(samples));
}

TEST(WmaEncoder, DestroyedMidStreamReleasesTheFile)
{
    TempDir dir;
    const QString path = dir.file(QStringLiteral("abandoned.wma"));
    {
        WmaEncoder encoder(10);
        ASSERT_TRUE(openEncoder(encoder, path));
        ASSERT_TRUE(encoder.encode(test::sine(1000.0, 44100, 2, 1.0)));
    }
    // The file is let go: once removed, a second run at the same path works as if nothing
    // had happened (outputs are never written over).
    ASSERT_TRUE(QFile::remove(path));
    WmaEncoder encoder(10);
    ASSERT_TRUE(encodeFile(encoder, path, test::sine(1000.0, 44100, 2, 1.0)));
    EXPECT_FALSE(encoder.finish());
    const test::Decoded decoded = decodeFile(path);
    ASSERT_TRUE(decoded.ok);
    expectRoundTripLength(decoded, 44100, 44100);
}

} // namespace
} // namespace tunevale
