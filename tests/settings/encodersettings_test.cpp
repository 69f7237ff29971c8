#include "settings/encodersettings.h"

#include "common/audio/audiofile.h"

#include <gtest/gtest.h>

using namespace tunevale;

TEST(EncoderSettings, StartsFromTheSameDefaultsEveryTime)
{
    EncoderSettings first;
    first.OggBitrate = 320;
    first.WavChannels = 1;
    first.WmaProfileIndex = 35;

    const EncoderSettings settings;
    EXPECT_EQ(settings.TargetFormat, QString());
    EXPECT_TRUE(settings.CopyTags);
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

TEST(EncoderSettings, RefreshTakesTheStartupMp3Description)
{
    AudioFile writer;
    applyStartupWriterFormat(writer);
    EncoderSettings settings;
    settings.RefreshOutputFormatText(writer);

    EXPECT_FALSE(settings.OutputFormatText.isEmpty());
    EXPECT_FALSE(settings.OutputFormatText.endsWith(u"; "));
    EXPECT_FALSE(settings.OutputFormatText.contains(u"kHz"));
    EXPECT_TRUE(settings.OutputFormatText.contains(u"44100 Hz"))
        << settings.OutputFormatText.toStdString();
    EXPECT_TRUE(settings.OutputFormatText.contains(u"96"))
        << settings.OutputFormatText.toStdString();
    EXPECT_EQ(writer.mp3Encoder().bitrate(), 96);
    EXPECT_EQ(writer.mp3Encoder().channels(), 2);
}
