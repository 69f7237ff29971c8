#include "common/codecs/lameencoder.h"

#include "support/fixtures.h"
#include "support/qtprinters.h"
#include "support/signals.h"

#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <optional>
#include <ostream>
#include <set>

namespace tunevale {
namespace {

using test::openEncoder;

using test::decodeFile;
using test::fileBytes;
using test::TempDir;

constexpr qint64 kMp3FrameSamples = 1152;

// Two channels with different tones, so a swapped, mixed or dropped channel shows.
std::vector<qint16> twoTones(int sampleRate, double seconds)
{
    const std::vector<qint16> left = test::sine(1000.0, sampleRate, 1, seconds);
    const std::vector<qint16> right = test::sine(1500.0, sampleRate, 1, seconds, 0.3);
    std::vector<qint16> samples(left.size() * 2);
    for (size_t i = 0; i < left.size(); ++i) {
        samples[2 * i] = left[i];
        samples[2 * i + 1] = right[i];
    }
    return samples;
}

// Feeds samples in blocks of odd sizes, as a resampling writer does.
Status encodeFile(const Mp3Encoder& settings, const QString& path, std::span<const qint16> samples)
{
    LameEncoder encoder(settings);
    if (Status status = openEncoder(encoder, path); !status)
        return status;
    const auto frameSize = static_cast<size_t>(settings.channels());
    const size_t block = 3001 * frameSize;
    for (size_t offset = 0; offset < samples.size(); offset += block) {
        const size_t count = std::min(block, samples.size() - offset);
        if (Status status = encoder.encode(samples.subspan(offset, count)); !status)
            return status;
    }
    return encoder.finish();
}

// The MPEG audio frame headers of a file written with no tags around the audio.
struct FrameHeader {
    int bitrate = 0; // kbit/s
    int sampleRate = 0;
    int channelMode = 0; // 0 stereo, 1 joint stereo, 2 dual channel, 3 mono
    bool midSide = false;
    qsizetype offset = 0;
};

std::optional<FrameHeader> parseHeader(const QByteArray& data, qsizetype offset)
{
    static constexpr std::array<int, 15> kMpeg1Rates{0,   32,  40,  48,  56,  64,  80, 96,
                                                     112, 128, 160, 192, 224, 256, 320};
    static constexpr std::array<int, 15> kMpeg2Rates{0,  8,  16, 24,  32,  40,  48, 56,
                                                     64, 80, 96, 112, 128, 144, 160};
    static constexpr std::array<int, 3> kMpeg1SampleRates{44100, 48000, 32000};
    if (offset + 4 > data.size())
        return std::nullopt;
    const auto byte = [&](int i) {
        return static_cast<quint8>(data[offset + i]);
    };
    if (byte(0) != 0xFF || (byte(1) & 0xE0) != 0xE0 || (byte(1) & 0x06) != 0x02)
        return std::nullopt;                // not a layer III sync word
    const int version = (byte(1) >> 3) & 3; // 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5
    const int bitrateIndex = byte(2) >> 4;
    const int rateIndex = (byte(2) >> 2) & 3;
    if (version == 1 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3)
        return std::nullopt;
    FrameHeader header;
    header.offset = offset;
    header.bitrate = version == 3 ? kMpeg1Rates[bitrateIndex] : kMpeg2Rates[bitrateIndex];
    header.sampleRate = kMpeg1SampleRates[rateIndex] / (version == 3 ? 1 : version == 2 ? 2 : 4);
    header.channelMode = byte(3) >> 6;
    header.midSide = header.channelMode == 1 && (byte(3) & 0x20);
    return header;
}

int frameBytes(const FrameHeader& header, const QByteArray& data)
{
    const bool padding = static_cast<quint8>(data[header.offset + 2]) & 0x02;
    const int perKbit = header.sampleRate >= 32000 ? 144000 : 72000;
    return perKbit * header.bitrate / header.sampleRate + (padding ? 1 : 0);
}

// Every frame header from the start; empty if the file is not a plain run of frames.
std::vector<FrameHeader> frameHeaders(const QByteArray& data)
{
    std::vector<FrameHeader> headers;
    qsizetype offset = 0;
    while (offset < data.size()) {
        const std::optional<FrameHeader> header = parseHeader(data, offset);
        if (!header)
            return {};
        headers.push_back(*header);
        offset += frameBytes(*header, data);
    }
    return headers;
}

// The VBR/info tag of the first frame: "Xing" (VBR, ABR) or "Info" (CBR), else empty.
QByteArray vbrTagId(const QByteArray& data)
{
    const QByteArray firstFrame = data.left(48);
    for (const char* id : {"Xing", "Info"}) {
        if (firstFrame.contains(id))
            return id;
    }
    return {};
}

// The encoding method LAME records in its tag: 1 CBR, 2 ABR, 3 old VBR, 4 new VBR (MTRH).
int taggedVbrMethod(const QByteArray& data)
{
    const qsizetype lame = data.indexOf("LAME3.");
    if (lame < 0 || lame > 200 || lame + 9 >= data.size())
        return 0;
    return static_cast<quint8>(data[lame + 9]) & 0x0F;
}

double kbitPerSecond(qint64 bytes, qint64 frames, int sampleRate)
{
    return frames > 0 ? 8.0 * static_cast<double>(bytes) * sampleRate / frames / 1000.0 : 0.0;
}

Mp3Encoder makeSettings(int sampleRate, int channels, int vbrMethod, int channelMode)
{
    Mp3Encoder settings;
    EXPECT_TRUE(settings.setSampleRate(sampleRate));
    EXPECT_TRUE(settings.setChannels(channels));
    EXPECT_TRUE(settings.setVbrMethod(vbrMethod));
    EXPECT_TRUE(settings.setChannelMode(channelMode));
    return settings;
}

// --- One case per VBR method and per channel mode -------------------------------------

struct ModeCase {
    const char* name;
    int sampleRate;
    int channels;
    int vbrMethod;
    int channelMode;
    int taggedMethod; // what LAME's tag should record
    int headerMode;   // channel mode bits of the audio frames
};

void PrintTo(const ModeCase& row, std::ostream* out)
{
    *out << row.name;
}

class LameModes : public ::testing::TestWithParam<ModeCase> {};

TEST_P(LameModes, DecodesToTheInputWithTheRequestedMethodAndMode)
{
    const ModeCase& row = GetParam();
    const Mp3Encoder settings =
        makeSettings(row.sampleRate, row.channels, row.vbrMethod, row.channelMode);
    const std::vector<qint16> input = row.channels == 2
                                          ? twoTones(row.sampleRate, 2.0)
                                          : test::sine(1000.0, row.sampleRate, 1, 2.0);
    const qint64 inputFrames = qint64(input.size()) / row.channels;
    TempDir dir;
    const QString path = dir.file(QStringLiteral("out.mp3"));
    const Status status = encodeFile(settings, path, input);
    ASSERT_TRUE(status) << status.message().toStdString();

    const QByteArray bytes = fileBytes(path);
    EXPECT_EQ(vbrTagId(bytes), row.vbrMethod == Mp3Encoder::kVbrNone ? "Info" : "Xing");
    EXPECT_EQ(taggedVbrMethod(bytes), row.taggedMethod);
    const std::vector<FrameHeader> headers = frameHeaders(bytes);
    ASSERT_GT(headers.size(), 10u);
    std::set<int> modes;
    std::set<int> bitrates;
    for (size_t i = 1; i < headers.size(); ++i) {
        EXPECT_EQ(headers[i].sampleRate, row.sampleRate);
        modes.insert(headers[i].channelMode);
        bitrates.insert(headers[i].bitrate);
    }
    EXPECT_EQ(modes, std::set<int>{row.headerMode});
    if (row.vbrMethod == Mp3Encoder::kVbrNone) {
        EXPECT_EQ(bitrates, std::set<int>{settings.bitrate()});
    }

    const test::Decoded decoded = decodeFile(path);
    ASSERT_TRUE(decoded.ok);
    EXPECT_EQ(decoded.format.sampleRate, row.sampleRate);
    EXPECT_EQ(decoded.format.channels, row.channels);
    EXPECT_LE(std::abs(decoded.frames() - inputFrames), kMp3FrameSamples);
    EXPECT_NEAR(test::dominantFrequency(decoded.samples, row.sampleRate, row.channels, 0), 1000.0,
                10.0);
    if (row.channels == 2) {
        EXPECT_NEAR(test::dominantFrequency(decoded.samples, row.sampleRate, 2, 1), 1500.0, 15.0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    LameVbrMethods, LameModes,
    ::testing::Values(
        ModeCase{"Cbr", 44100, 2, Mp3Encoder::kVbrNone, Mp3Encoder::kModeStereo, 1, 0},
        ModeCase{"Default", 44100, 2, Mp3Encoder::kVbrDefault, Mp3Encoder::kModeStereo, 4, 0},
        ModeCase{"Old", 44100, 2, Mp3Encoder::kVbrOld, Mp3Encoder::kModeStereo, 3, 0},
        ModeCase{"New", 48000, 2, Mp3Encoder::kVbrNew, Mp3Encoder::kModeStereo, 4, 0},
        ModeCase{"Mtrh", 32000, 2, Mp3Encoder::kVbrMtrh, Mp3Encoder::kModeStereo, 4, 0},
        ModeCase{"Abr", 22050, 2, Mp3Encoder::kVbrAbr, Mp3Encoder::kModeStereo, 2, 0}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    LameChannelModes, LameModes,
    ::testing::Values(
        ModeCase{"Stereo", 44100, 2, Mp3Encoder::kVbrNone, Mp3Encoder::kModeStereo, 1, 0},
        ModeCase{"JointStereo", 44100, 2, Mp3Encoder::kVbrNone, Mp3Encoder::kModeJointStereo, 1, 1},
        ModeCase{"ForcedJointStereo", 24000, 2, Mp3Encoder::kVbrNone,
                 Mp3Encoder::kModeForcedJointStereo, 1, 1},
        ModeCase{"DualChannels", 44100, 2, Mp3Encoder::kVbrNone, Mp3Encoder::kModeDualChannels, 1,
                 2},
        ModeCase{"Mono", 16000, 1, Mp3Encoder::kVbrNone, Mp3Encoder::kModeStereo, 1, 3},
        ModeCase{"MonoVbr", 11025, 1, Mp3Encoder::kVbrDefault, Mp3Encoder::kModeJointStereo, 4, 3}),
    [](const auto& info) { return std::string(info.param.name); });

// Forced joint stereo codes every frame mid/side; plain joint stereo chooses per frame and
// keeps left/right when one channel is silent.
TEST(LameStereo, ForcedJointStereoUsesMidSideInEveryFrame)
{
    std::vector<qint16> input = test::noise(44100, 2, 2.0);
    for (size_t i = 1; i < input.size(); i += 2)
        input[i] = 0;
    TempDir dir;
    std::array<int, 2> midSideFrames{};
    std::array<int, 2> audioFrames{};
    for (const int mode : {Mp3Encoder::kModeJointStereo, Mp3Encoder::kModeForcedJointStereo}) {
        const QString path = dir.file(QStringLiteral("mode%1.mp3").arg(mode));
        ASSERT_TRUE(encodeFile(makeSettings(44100, 2, Mp3Encoder::kVbrNone, mode), path, input));
        const std::vector<FrameHeader> headers = frameHeaders(fileBytes(path));
        ASSERT_GT(headers.size(), 10u);
        const bool forced = mode == Mp3Encoder::kModeForcedJointStereo;
        for (size_t i = 1; i < headers.size(); ++i) {
            ++audioFrames[forced];
            midSideFrames[forced] += headers[i].midSide;
        }
    }
    EXPECT_EQ(midSideFrames[1], audioFrames[1]);
    EXPECT_LT(midSideFrames[0], audioFrames[0] / 2);
}

// --- The VBR/info header --------------------------------------------------------------

class LameHeader : public ::testing::TestWithParam<int> {};

TEST_P(LameHeader, IsWrittenOnlyWhenAskedAndMakesDecodingGapless)
{
    const int method = GetParam();
    const std::vector<qint16> input = test::sine(1000.0, 44100, 2, 1.5);
    const auto inputFrames = qint64(input.size() / 2);
    TempDir dir;
    for (const bool header : {true, false}) {
        Mp3Encoder settings = makeSettings(44100, 2, method, Mp3Encoder::kModeJointStereo);
        settings.setWriteVbrHeader(header);
        const QString path =
            dir.file(header ? QStringLiteral("with.mp3") : QStringLiteral("without.mp3"));
        ASSERT_TRUE(encodeFile(settings, path, input));
        const QByteArray bytes = fileBytes(path);
        EXPECT_EQ(vbrTagId(bytes).isEmpty(), !header);
        // No ID3 tag of LAME's own precedes the first frame.
        ASSERT_TRUE(parseHeader(bytes, 0).has_value());

        const test::Decoded decoded = decodeFile(path);
        ASSERT_TRUE(decoded.ok);
        if (header) {
            EXPECT_EQ(decoded.frames(), inputFrames);
        } else {
            EXPECT_GE(decoded.frames(), inputFrames + 1000); // encoder delay left in
        }
    }
}

INSTANTIATE_TEST_SUITE_P(LameMethods, LameHeader,
                         ::testing::Values(Mp3Encoder::kVbrNone, Mp3Encoder::kVbrDefault,
                                           Mp3Encoder::kVbrAbr));

// --- Bitrates ---------------------------------------------------------------------------

TEST(LameBitrate, AbrMonoHitsItsTargetWhateverTheCbrBitrate)
{
    // The CBR bitrate (here the default 128) must not raise the ABR target as a minimum.
    Mp3Encoder settings = makeSettings(22050, 1, Mp3Encoder::kVbrAbr, Mp3Encoder::kModeStereo);
    ASSERT_TRUE(settings.setAbrBitrate(64));
    const std::vector<qint16> input = test::noise(22050, 1, 6.0);
    TempDir dir;
    const QString path = dir.file(QStringLiteral("abr.mp3"));
    ASSERT_TRUE(encodeFile(settings, path, input));

    const test::Decoded decoded = decodeFile(path);
    ASSERT_TRUE(decoded.ok);
    EXPECT_EQ(decoded.format.sampleRate, 22050);
    EXPECT_EQ(decoded.format.channels, 1);
    EXPECT_NEAR(kbitPerSecond(QFile(path).size(), decoded.frames(), 22050), 64.0, 64.0 * 0.2);
    EXPECT_TRUE(LameEncoder::describe(settings).contains(QStringLiteral("ABR 64 Kbps")));
}

struct CbrCase {
    int sampleRate;
    int channels;
    int bitrate;
};

void PrintTo(const CbrCase& row, std::ostream* out)
{
    *out << row.sampleRate << " Hz, " << row.channels << " ch, " << row.bitrate << " Kbps";
}

class LameCbr : public ::testing::TestWithParam<CbrCase> {};

// What describe() states is what the file holds, also where LAME has to adjust a bitrate
// the MPEG version of the rate cannot carry.
TEST_P(LameCbr, DescriptionMatchesTheWrittenBitrateAndRate)
{
    const CbrCase& row = GetParam();
    Mp3Encoder settings = makeSettings(row.sampleRate, row.channels, Mp3Encoder::kVbrNone,
                                       Mp3Encoder::kModeJointStereo);
    ASSERT_TRUE(settings.setBitrate(row.bitrate));
    const QString description = LameEncoder::describe(settings);
    EXPECT_FALSE(description.contains(QStringLiteral("kHz"), Qt::CaseInsensitive));
    EXPECT_TRUE(description.startsWith(QStringLiteral("MP3 %1 Hz; ").arg(row.sampleRate)))
        << description.toStdString();
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("; (\\d+) Kbps; ")).match(description);
    ASSERT_TRUE(match.hasMatch()) << description.toStdString();
    const int described = match.captured(1).toInt();

    TempDir dir;
    const QString path = dir.file(QStringLiteral("cbr.mp3"));
    ASSERT_TRUE(encodeFile(settings, path, test::sine(440.0, row.sampleRate, row.channels, 1.0)));
    const std::vector<FrameHeader> headers = frameHeaders(fileBytes(path));
    ASSERT_GT(headers.size(), 5u);
    for (const FrameHeader& header : headers) {
        EXPECT_EQ(header.bitrate, described);
        EXPECT_EQ(header.sampleRate, row.sampleRate);
    }
}

INSTANTIATE_TEST_SUITE_P(LameRates, LameCbr,
                         ::testing::Values(CbrCase{44100, 2, 96}, CbrCase{48000, 2, 320},
                                           CbrCase{8000, 2, 320}, CbrCase{48000, 1, 8},
                                           CbrCase{12000, 1, 24}, CbrCase{24000, 2, 160}));

TEST(LameDescribe, NamesTheMethodRangeAndMode)
{
    Mp3Encoder vbr = makeSettings(44100, 2, Mp3Encoder::kVbrMtrh, Mp3Encoder::kModeStereo);
    ASSERT_TRUE(vbr.setBitrate(8)); // below what MPEG-1 allows: LAME uses 32
    EXPECT_EQ(LameEncoder::describe(vbr),
              QStringLiteral("MP3 44100 Hz; VBR quality 4 (32-320 Kbps); Stereo; "));

    Mp3Encoder mono = makeSettings(22050, 1, Mp3Encoder::kVbrAbr, Mp3Encoder::kModeDualChannels);
    ASSERT_TRUE(mono.setAbrBitrate(64));
    EXPECT_EQ(LameEncoder::describe(mono), QStringLiteral("MP3 22050 Hz; ABR 64 Kbps; Mono; "));

    const Mp3Encoder forced =
        makeSettings(32000, 2, Mp3Encoder::kVbrNone, Mp3Encoder::kModeForcedJointStereo);
    EXPECT_TRUE(LameEncoder::describe(forced).endsWith(QStringLiteral("; Forced Joint Stereo; ")));
    const Mp3Encoder dual =
        makeSettings(32000, 2, Mp3Encoder::kVbrNone, Mp3Encoder::kModeDualChannels);
    EXPECT_TRUE(LameEncoder::describe(dual).endsWith(QStringLiteral("; Dual Channels; ")));
}

// --- Every combination, contradictory ones included, encodes without crashing -----------

TEST(LameCombinations, EveryRateMethodAndBitrateRangeEncodes)
{
    struct Range {
        int bitrate;
        int maxVbr;
        int abr;
        bool strict;
    };
    // Minimum above maximum, target outside the range, extremes of the bitrate table.
    constexpr std::array kRanges{Range{320, 32, 128, true}, Range{256, 8, 320, false},
                                 Range{8, 320, 8, true}, Range{160, 160, 16, false}};
    TempDir dir;
    const QString path = dir.file(QStringLiteral("combination.mp3"));
    for (const int rate : {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000}) {
        for (const int channels : {1, 2}) {
            const std::vector<qint16> input = test::noise(rate, channels, 0.2);
            for (int method = Mp3Encoder::kVbrNone; method <= Mp3Encoder::kVbrAbr; ++method) {
                for (const Range& range : kRanges) {
                    Mp3Encoder settings =
                        makeSettings(rate, channels, method, Mp3Encoder::kModeJointStereo);
                    ASSERT_TRUE(settings.setBitrate(range.bitrate));
                    ASSERT_TRUE(settings.setMaxVbrBitrate(range.maxVbr));
                    ASSERT_TRUE(settings.setAbrBitrate(range.abr));
                    settings.setStrictMinimum(range.strict);
                    QFile::remove(path); // outputs are never written over
                    const Status status = encodeFile(settings, path, input);
                    ASSERT_TRUE(status) << status.message().toStdString() << " with "
                                        << LameEncoder::describe(settings).toStdString();
                    EXPECT_GT(QFile(path).size(), 0);
                }
            }
        }
    }
}

// --- Presets ----------------------------------------------------------------------------

// Kbit/s per channel of noise encoded with a preset, after checking the file decodes at
// the preset's rate and channel count with the input's exact length.
double presetKbitPerChannel(int preset, const TempDir& dir)
{
    Mp3Encoder settings;
    EXPECT_TRUE(settings.applyPreset(preset));
    const int rate = settings.sampleRate();
    const std::vector<qint16> input = test::noise(rate, settings.channels(), 3.0);
    const QString path = dir.file(QStringLiteral("preset%1.mp3").arg(preset));
    const Status status = encodeFile(settings, path, input);
    EXPECT_TRUE(status) << status.message().toStdString();
    const test::Decoded decoded = decodeFile(path);
    EXPECT_TRUE(decoded.ok);
    EXPECT_EQ(decoded.format.sampleRate, rate);
    EXPECT_EQ(decoded.format.channels, settings.channels());
    EXPECT_EQ(decoded.frames(), qint64(input.size()) / settings.channels());
    return kbitPerSecond(QFile(path).size(), decoded.frames(), rate) / settings.channels();
}

TEST(LamePresets, RiseInBitratePerChannelFromPhoneToStudio)
{
    TempDir dir;
    double previous = 0.0;
    std::array<double, Mp3Encoder::R3Mix + 1> perChannel{};
    for (int preset = Mp3Encoder::Phone; preset <= Mp3Encoder::R3Mix; ++preset) {
        SCOPED_TRACE(preset);
        perChannel[preset] = presetKbitPerChannel(preset, dir);
    }
    // Presets of one bitrate differ only by rate control; a later one is never clearly
    // cheaper. R3Mix is a quality-driven VBR preset: its rate follows the signal, but it
    // spends more than the broadcast presets.
    for (int preset = Mp3Encoder::Phone; preset <= Mp3Encoder::Studio; ++preset) {
        EXPECT_GE(perChannel[preset], previous * 0.9) << "preset " << preset;
        previous = std::max(previous, perChannel[preset]);
    }
    EXPECT_GT(perChannel[Mp3Encoder::R3Mix], perChannel[Mp3Encoder::Tape]);
    EXPECT_NEAR(perChannel[Mp3Encoder::Phone], 16.0, 16.0 * 0.2);
    EXPECT_NEAR(perChannel[Mp3Encoder::Studio], 128.0, 128.0 * 0.2);
}

// --- Failures ---------------------------------------------------------------------------

TEST(LameErrors, MissingFolderFailsAtOpen)
{
    TempDir dir;
    const QString path = dir.file(QStringLiteral("missing/out.mp3"));
    LameEncoder encoder{Mp3Encoder()};
    const Status status = openEncoder(encoder, path);
    ASSERT_FALSE(status);
    EXPECT_TRUE(status.message().startsWith(QStringLiteral("Cannot create ") + path))
        << status.message().toStdString();
    EXPECT_FALSE(encoder.encode(test::silence(44100, 2, 0.1)));
    EXPECT_FALSE(encoder.finish());
}

TEST(LameErrors, FullDiskIsReportedNotSuccess)
{
    if (!QFile::exists(QStringLiteral("/dev/full")))
        GTEST_SKIP() << "no /dev/full here";
    TempDir dir;
    const QString path = dir.file(QStringLiteral("x.mp3"));
    for (const double seconds : {0.05, 5.0}) {
        LameEncoder encoder{Mp3Encoder()};
        ASSERT_TRUE(encoder.open(test::openFullDevice(), path));
        Status status = encoder.encode(test::sine(1000.0, 44100, 2, seconds));
        if (status)
            status = encoder.finish();
        ASSERT_FALSE(status) << seconds << " s";
        EXPECT_TRUE(status.message().contains(path)) << status.message().toStdString();
    }
}

TEST(LameErrors, PartialFramesAndMisuseAreRefused)
{
    TempDir dir;
    LameEncoder encoder{Mp3Encoder()};
    EXPECT_FALSE(encoder.encode(test::silence(44100, 2, 0.01)));
    ASSERT_TRUE(openEncoder(encoder, dir.file(QStringLiteral("out.mp3"))));
    const std::vector<qint16> odd(7, 0);
    EXPECT_FALSE(encoder.encode(odd));
    EXPECT_TRUE(encoder.encode(test::silence(44100, 2, 0.01)));
    EXPECT_TRUE(encoder.finish());
    EXPECT_FALSE(encoder.finish());
    EXPECT_FALSE(encoder.encode(test::silence(44100, 2, 0.01)));
}

} // namespace
} // namespace tunevale
