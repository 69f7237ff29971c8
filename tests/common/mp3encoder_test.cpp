#include "common/codecs/lameencoder.h"
#include "common/codecs/lamestream.h"
#include "common/codecs/mp3encoder.h"
#include "support/qtprinters.h"

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

namespace tunevale {
namespace {

// An encoder with every value away from the defaults and from what presets choose.
Mp3Encoder unusualEncoder()
{
    Mp3Encoder encoder;
    EXPECT_TRUE(encoder.setSampleRate(11025));
    EXPECT_TRUE(encoder.setQuality(9));
    EXPECT_TRUE(encoder.setBitrate(320));
    EXPECT_TRUE(encoder.setMaxVbrBitrate(40));
    EXPECT_TRUE(encoder.setVbrQuality(9));
    EXPECT_TRUE(encoder.setVbrMethod(Mp3Encoder::kVbrOld));
    EXPECT_TRUE(encoder.setAbrBitrate(300));
    EXPECT_TRUE(encoder.setChannels(2));
    EXPECT_TRUE(encoder.setChannelMode(Mp3Encoder::kModeDualChannels));
    encoder.setWriteVbrHeader(false);
    encoder.setStrictMinimum(true);
    return encoder;
}

struct SetterCase {
    const char* name;
    Status (Mp3Encoder::*set)(int);
    int (Mp3Encoder::*get)() const;
    std::vector<int> valid;
    std::vector<int> invalid;
};

void PrintTo(const SetterCase& row, std::ostream* out)
{
    *out << row.name;
}

class Mp3EncoderSetters : public ::testing::TestWithParam<SetterCase> {};

TEST_P(Mp3EncoderSetters, AcceptTheRangeAndKeepTheOldValueOnRejection)
{
    const SetterCase& row = GetParam();
    Mp3Encoder encoder = unusualEncoder();
    for (const int value : row.valid) {
        const Status status = (encoder.*row.set)(value);
        EXPECT_TRUE(status) << value << ": " << status.message().toStdString();
        EXPECT_EQ((encoder.*row.get)(), value);
    }
    const Mp3Encoder before = encoder;
    for (const int value : row.invalid) {
        const Status status = (encoder.*row.set)(value);
        ASSERT_FALSE(status) << value;
        EXPECT_TRUE(status.message().contains(QString::number(value)))
            << status.message().toStdString();
        EXPECT_TRUE(encoder == before) << value;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Mp3EncoderProperties, Mp3EncoderSetters,
    ::testing::Values(
        SetterCase{"SampleRate",
                   &Mp3Encoder::setSampleRate,
                   &Mp3Encoder::sampleRate,
                   {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000},
                   {0, -44100, 7999, 44101, 64000, 96000}},
        SetterCase{"Quality", &Mp3Encoder::setQuality, &Mp3Encoder::quality, {0, 4, 9}, {-1, 10}},
        SetterCase{"Bitrate",
                   &Mp3Encoder::setBitrate,
                   &Mp3Encoder::bitrate,
                   {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 192, 224, 256, 320},
                   {0, -128, 7, 100, 127, 321, 384}},
        SetterCase{"MaxVbrBitrate",
                   &Mp3Encoder::setMaxVbrBitrate,
                   &Mp3Encoder::maxVbrBitrate,
                   {320, 8, 144, 256},
                   {0, -320, 9, 250, 448}},
        SetterCase{"VbrQuality",
                   &Mp3Encoder::setVbrQuality,
                   &Mp3Encoder::vbrQuality,
                   {0, 5, 9},
                   {-1, 10, 100}},
        SetterCase{"VbrMethod",
                   &Mp3Encoder::setVbrMethod,
                   &Mp3Encoder::vbrMethod,
                   {-1, 0, 1, 2, 3, 4},
                   {-2, 5}},
        SetterCase{"AbrBitrate",
                   &Mp3Encoder::setAbrBitrate,
                   &Mp3Encoder::abrBitrate,
                   {8, 9, 100, 319, 320},
                   {0, 7, 321, -64}},
        SetterCase{"Channels", &Mp3Encoder::setChannels, &Mp3Encoder::channels, {1, 2}, {0, 3, -1}},
        SetterCase{"ChannelMode",
                   &Mp3Encoder::setChannelMode,
                   &Mp3Encoder::channelMode,
                   {1, 2, 3, 4},
                   {0, 5, -1}}),
    [](const auto& info) { return std::string(info.param.name); });

// The check refuses exactly the bitrates LAME would change at each rate, and no other.
TEST(Mp3EncoderBitrateCheck, RefusesWhatTheEncoderWouldChange)
{
    for (const int rate : {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000}) {
        Mp3Encoder encoder;
        ASSERT_TRUE(encoder.setSampleRate(rate));
        for (const int kbps :
             {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 192, 224, 256, 320}) {
            ASSERT_TRUE(encoder.setVbrMethod(Mp3Encoder::kVbrNone));
            ASSERT_TRUE(encoder.setBitrate(kbps));
            const bool written =
                LameStream::describe(encoder).contains(QStringLiteral("; %1 Kbps;").arg(kbps));
            EXPECT_EQ(bool(encoder.checkBitrateForRate()), written) << rate << " Hz CBR " << kbps;

            ASSERT_TRUE(encoder.setVbrMethod(Mp3Encoder::kVbrAbr));
            const int target = kbps < 320 ? kbps + 1 : kbps; // ABR targets need not be listed
            ASSERT_TRUE(encoder.setAbrBitrate(target));
            const bool targeted =
                LameStream::describe(encoder).contains(QStringLiteral("ABR %1 Kbps").arg(target));
            EXPECT_EQ(bool(encoder.checkBitrateForRate()), targeted)
                << rate << " Hz ABR " << target;
        }
    }
    Mp3Encoder refused;
    ASSERT_TRUE(refused.setSampleRate(8000));
    ASSERT_TRUE(refused.setBitrate(320));
    ASSERT_FALSE(refused.checkBitrateForRate());
    // VBR bounds are limits, not a stream's bitrate: the encoder keeps within them.
    ASSERT_TRUE(refused.setVbrMethod(Mp3Encoder::kVbrNew));
    EXPECT_TRUE(refused.checkBitrateForRate());
}

TEST(Mp3EncoderPresets, HoldOnlyValuesTheSettersAccept)
{
    for (int preset = Mp3Encoder::Phone; preset <= Mp3Encoder::R3Mix; ++preset) {
        SCOPED_TRACE(preset);
        Mp3Encoder applied = unusualEncoder();
        ASSERT_TRUE(applied.applyPreset(preset));
        Mp3Encoder rebuilt;
        EXPECT_TRUE(rebuilt.setSampleRate(applied.sampleRate()));
        EXPECT_TRUE(rebuilt.setQuality(applied.quality()));
        EXPECT_TRUE(rebuilt.setBitrate(applied.bitrate()));
        EXPECT_TRUE(rebuilt.setMaxVbrBitrate(applied.maxVbrBitrate()));
        EXPECT_TRUE(rebuilt.setVbrQuality(applied.vbrQuality()));
        EXPECT_TRUE(rebuilt.setVbrMethod(applied.vbrMethod()));
        EXPECT_TRUE(rebuilt.setAbrBitrate(applied.abrBitrate()));
        EXPECT_TRUE(rebuilt.setChannels(applied.channels()));
        EXPECT_TRUE(rebuilt.setChannelMode(applied.channelMode()));
        rebuilt.setWriteVbrHeader(applied.writeVbrHeader());
        rebuilt.setStrictMinimum(applied.strictMinimum());
        EXPECT_TRUE(rebuilt == applied);
        // Every preset is a VBR/ABR setting and gapless.
        EXPECT_TRUE(applied.isVbr());
        EXPECT_TRUE(applied.writeVbrHeader());
        EXPECT_FALSE(applied.strictMinimum());
    }
}

// A preset fixes everything that shapes the encoding, so what came before it does not show
// in what LAME is asked to do.
TEST(Mp3EncoderPresets, EncodeTheSameWhateverCameBefore)
{
    for (int preset = Mp3Encoder::Phone; preset <= Mp3Encoder::R3Mix; ++preset) {
        Mp3Encoder fresh;
        ASSERT_TRUE(fresh.applyPreset(preset));
        const QString expected = LameEncoder::describe(fresh);
        std::vector<Mp3Encoder> starts{unusualEncoder()};
        for (int earlier = Mp3Encoder::Phone; earlier <= Mp3Encoder::R3Mix; ++earlier) {
            starts.emplace_back();
            ASSERT_TRUE(starts.back().applyPreset(earlier));
        }
        for (Mp3Encoder& start : starts) {
            ASSERT_TRUE(start.applyPreset(preset));
            EXPECT_EQ(LameEncoder::describe(start), expected) << "preset " << preset;
            EXPECT_EQ(start.sampleRate(), fresh.sampleRate());
            EXPECT_EQ(start.quality(), fresh.quality());
            EXPECT_EQ(start.writeVbrHeader(), fresh.writeVbrHeader());
            EXPECT_EQ(start.strictMinimum(), fresh.strictMinimum());
        }
    }
}

TEST(Mp3EncoderPresets, StudioAfterPhoneEqualsStudioAlone)
{
    Mp3Encoder both;
    ASSERT_TRUE(both.applyPreset(Mp3Encoder::Phone));
    const Mp3Encoder phone = both;
    ASSERT_TRUE(both.applyPreset(Mp3Encoder::Studio));
    Mp3Encoder studio;
    ASSERT_TRUE(studio.applyPreset(Mp3Encoder::Studio));
    EXPECT_TRUE(both == studio);
    EXPECT_FALSE(phone == studio);
}

TEST(Mp3EncoderPresets, UnknownNumbersAreRejectedAndChangeNothing)
{
    Mp3Encoder encoder = unusualEncoder();
    const Mp3Encoder before = encoder;
    for (const int preset : {0, 12, -1, 1000}) {
        const Status status = encoder.applyPreset(preset);
        ASSERT_FALSE(status) << preset;
        EXPECT_TRUE(status.message().contains(QString::number(preset)));
        EXPECT_TRUE(encoder == before) << preset;
    }
}

} // namespace
} // namespace tunevale
