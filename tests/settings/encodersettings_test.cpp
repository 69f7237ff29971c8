#include "settings/encodersettings.h"

#include "common/audio/audiofile.h"

#include "support/qtprinters.h"

#include <QLocale>

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

using namespace tunevale;

TEST(EncoderSettings, StartsFromTheSameDefaultsEveryTime)
{
    EncoderSettings first;
    first.OggBitrate = 320;
    first.WavChannels = 1;
    first.WmaProfileIndex = 35;

    const EncoderSettings settings;
    EXPECT_EQ(settings.TargetFormat, OutputKind::Mp3);
    EXPECT_FALSE(settings.UseOutputFolder);
    EXPECT_TRUE(settings.CopyTags);
    EXPECT_EQ(settings.Mp3.bitrate(), 96);
    EXPECT_EQ(settings.Mp3.sampleRate(), 44100);
    EXPECT_EQ(settings.Mp3.channels(), 2);
    EXPECT_EQ(settings.OggFrequencyText, u"44,100 Hz");
    EXPECT_EQ(settings.OggChannelText, u"Stereo");
    EXPECT_EQ(settings.OggBitrate, 128);
    EXPECT_EQ(settings.OggMinBitrate, 128);
    EXPECT_EQ(settings.OggMaxBitrate, 128);
    EXPECT_EQ(settings.OggQuality, 300);
    EXPECT_FALSE(settings.OggVbrEnabled);
    EXPECT_FALSE(settings.OggQualityEnabled);
    EXPECT_EQ(settings.WavSampleRate, 44100);
    EXPECT_EQ(settings.WavChannels, 2);
    EXPECT_EQ(settings.WavBitsPerSample, 16);
    EXPECT_EQ(settings.WmaProfileIndex, 14);
}

TEST(EncoderSettings, DefaultRoutinesRestoreTheirFieldsOnly)
{
    EncoderSettings settings;
    settings.OggFrequencyText = QStringLiteral("22,050 Hz");
    settings.OggQualityEnabled = true;
    settings.WavSampleRate = 8000;
    settings.SetOggDefaults();
    EXPECT_EQ(settings.OggFrequencyText, u"44,100 Hz");
    EXPECT_FALSE(settings.OggQualityEnabled);
    EXPECT_EQ(settings.WavSampleRate, 8000);
    settings.SetWavDefaults();
    EXPECT_EQ(settings.WavSampleRate, 44100);
}

TEST(EncoderSettings, WriterDescriptionIsEditedForDisplay)
{
    const auto edit = &EncoderSettings::editedWriterDescription;
    EXPECT_EQ(edit(QStringLiteral("MP3 44.1 kHz; 96 Kbps; 22 kHz; ")),
              u"MP3 44.1 Hz; 96 Kbps; 22 Hz");
    EXPECT_EQ(edit(QStringLiteral("44 KHZ and khz")), u"44 KHZ and khz");
    EXPECT_EQ(edit(QStringLiteral("Stereo")), u"Stereo");
    EXPECT_EQ(edit(QStringLiteral("Stereo; ; ")), u"Stereo; ");
    EXPECT_EQ(edit(QStringLiteral("; ")), u"");
    EXPECT_EQ(edit(QStringLiteral("Stereo;")), u"Stereo;");
}

TEST(EncoderSettings, Mp3TextIsTheStartupWritersDescriptionEdited)
{
    AudioFile writer;
    ASSERT_TRUE(writer.setMp3Format(44100, 96, 2));
    EXPECT_EQ(writer.settingsDescription(),
              QStringLiteral("MP3 44100 Hz; 96 Kbps; Joint Stereo; "));
    EXPECT_EQ(EncoderSettings().OutputFormatText(),
              QStringLiteral("MP3 44100 Hz; 96 Kbps; Joint Stereo"));
}

TEST(EncoderSettings, SummaryDescribesEachTargetFormat)
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    EncoderSettings settings;
    settings.TargetFormat = OutputKind::Ogg;
    EXPECT_EQ(settings.summary(), u"OGG 44,100 Hz; Stereo; 128 Kbps");
    settings.OggVbrEnabled = true;
    settings.OggMinBitrate = 96;
    settings.OggMaxBitrate = 160;
    EXPECT_EQ(settings.summary(), u"OGG 44,100 Hz; Stereo; 96-160Kbps VBR");
    settings.OggQualityEnabled = true;
    settings.OggQuality = 425;
    EXPECT_EQ(settings.summary(), u"OGG 44,100 Hz; Stereo; Quality - 4.25");
    settings.OggQuality = 300;
    EXPECT_EQ(settings.summary(), u"OGG 44,100 Hz; Stereo; Quality - 3.0");

    settings.TargetFormat = OutputKind::Wav;
    EXPECT_EQ(settings.summary(), u"WAV 44,100 Hz; Stereo; 16 bit");
    settings.WavSampleRate = 22050;
    settings.WavChannels = 1;
    settings.WavBitsPerSample = 8;
    EXPECT_EQ(settings.summary(), u"WAV 22,050 Hz; Mono; 8 bit");

    settings.TargetFormat = OutputKind::Mp3;
    EXPECT_EQ(settings.summary(), settings.OutputFormatText());
    ASSERT_TRUE(settings.Mp3.setVbrMethod(Mp3Encoder::kVbrNew));
    EXPECT_EQ(settings.summary(), settings.OutputFormatText() + QStringLiteral(" VBR"));

    settings.TargetFormat = OutputKind::Wma;
    settings.WmaProfileIndex = 35;
    EXPECT_EQ(settings.summary(), describeWmaProfile(35));
    QLocale::setDefault(QLocale::system());
}

// The writer is given the mode the OGG fields choose, the others' bitrates left out.
TEST(EncoderSettings, OggModesReachTheWriter)
{
    EncoderSettings settings;
    settings.OggFrequencyText = QStringLiteral("22,050 Hz");
    settings.OggChannelText = QStringLiteral("Mono");
    settings.OggBitrate = 64;
    settings.OggMinBitrate = 48;
    settings.OggMaxBitrate = 96;
    const auto fields = [](const OggFormat& format) {
        return std::make_tuple(format.sampleRate, format.channels, format.bitrate,
                               format.minBitrate, format.maxBitrate, format.quality);
    };
    EXPECT_EQ(fields(settings.oggFormat()), std::make_tuple(22050, 1, 64, 0, 0, -1));
    settings.OggVbrEnabled = true;
    EXPECT_EQ(fields(settings.oggFormat()), std::make_tuple(22050, 1, 64, 48, 96, -1));
    settings.OggQualityEnabled = true;
    settings.OggQuality = 700;
    EXPECT_EQ(fields(settings.oggFormat()), std::make_tuple(22050, 1, 128, 0, 0, 700));

    AudioFile writer;
    ASSERT_TRUE(settings.applyTo(writer));
    EXPECT_EQ(fields(writer.outputSettings().ogg), std::make_tuple(22050, 1, 128, 0, 0, 700));
    EXPECT_EQ(describeOutput(OutputKind::Ogg, writer.outputSettings()),
              QStringLiteral("OGG Vorbis 22050 Hz; Mono; Quality 7"));
    settings.OggQualityEnabled = false;
    settings.OggVbrEnabled = false;
    settings.OggFrequencyText = QStringLiteral("16,000 Hz");
    settings.OggChannelText = QStringLiteral("Stereo");
    settings.OggBitrate = 320; // more than the encoder can spend at this rate
    EXPECT_FALSE(settings.applyTo(writer));
}

// Parameterised tests name their format in words, not as the enum's bytes.
TEST(EncoderSettings, FormatsPrintByName)
{
    EXPECT_EQ(::testing::PrintToString(OutputKind::Wma), "WMA");
    EXPECT_EQ(::testing::PrintToString(std::vector{OutputKind::Mp3, OutputKind::Ogg}),
              "{ MP3, OGG }");
}
