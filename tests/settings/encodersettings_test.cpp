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
    first.Formats.ogg.bitrate = 320;
    first.Formats.wav.channels = 1;
    first.Formats.wmaProfile = 35;

    const EncoderSettings settings;
    EXPECT_EQ(settings.TargetFormat, OutputKind::Mp3);
    EXPECT_FALSE(settings.UseOutputFolder);
    EXPECT_TRUE(settings.CopyTags);
    EXPECT_EQ(settings.Formats.mp3.bitrate(), 96);
    EXPECT_EQ(settings.Formats.mp3.sampleRate(), 44100);
    EXPECT_EQ(settings.Formats.mp3.channels(), 2);
    const OggFormat& ogg = settings.Formats.ogg;
    EXPECT_EQ(ogg.sampleRate, 44100);
    EXPECT_EQ(ogg.channels, 2);
    EXPECT_EQ(ogg.bitrate, 128);
    EXPECT_EQ(ogg.minBitrate, 128);
    EXPECT_EQ(ogg.maxBitrate, 128);
    EXPECT_EQ(ogg.quality, 300);
    EXPECT_FALSE(ogg.managed);
    EXPECT_FALSE(ogg.qualityMode);
    EXPECT_EQ(settings.Formats.wav.sampleRate, 44100);
    EXPECT_EQ(settings.Formats.wav.channels, 2);
    EXPECT_EQ(settings.Formats.wav.bitsPerSample, 16);
    EXPECT_EQ(settings.Formats.wmaProfile, 14);
}

TEST(EncoderSettings, DefaultRoutinesRestoreTheirFieldsOnly)
{
    EncoderSettings settings;
    settings.Formats.ogg.sampleRate = 22050;
    settings.Formats.ogg.qualityMode = true;
    settings.Formats.wav.sampleRate = 8000;
    settings.SetOggDefaults();
    EXPECT_EQ(settings.Formats.ogg.sampleRate, 44100);
    EXPECT_FALSE(settings.Formats.ogg.qualityMode);
    EXPECT_EQ(settings.Formats.wav.sampleRate, 8000);
    settings.SetWavDefaults();
    EXPECT_EQ(settings.Formats.wav.sampleRate, 44100);
}

TEST(EncoderSettings, WriterDescriptionIsEditedForDisplay)
{
    const auto edit = &editedWriterDescription;
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
    settings.Formats.ogg.managed = true;
    settings.Formats.ogg.minBitrate = 96;
    settings.Formats.ogg.maxBitrate = 160;
    EXPECT_EQ(settings.summary(), u"OGG 44,100 Hz; Stereo; 96-160Kbps VBR");
    settings.Formats.ogg.qualityMode = true;
    settings.Formats.ogg.quality = 425;
    EXPECT_EQ(settings.summary(), u"OGG 44,100 Hz; Stereo; Quality - 4.25");
    settings.Formats.ogg.quality = 300;
    EXPECT_EQ(settings.summary(), u"OGG 44,100 Hz; Stereo; Quality - 3.0");

    settings.TargetFormat = OutputKind::Wav;
    EXPECT_EQ(settings.summary(), u"WAV 44,100 Hz; Stereo; 16 bit");
    settings.Formats.wav.sampleRate = 22050;
    settings.Formats.wav.channels = 1;
    settings.Formats.wav.bitsPerSample = 8;
    EXPECT_EQ(settings.summary(), u"WAV 22,050 Hz; Mono; 8 bit");

    settings.TargetFormat = OutputKind::Mp3;
    EXPECT_EQ(settings.summary(), settings.OutputFormatText());
    ASSERT_TRUE(settings.Formats.mp3.setVbrMethod(Mp3Encoder::kVbrNew));
    EXPECT_EQ(settings.summary(), settings.OutputFormatText() + QStringLiteral(" VBR"));

    settings.TargetFormat = OutputKind::Wma;
    settings.Formats.wmaProfile = 35;
    EXPECT_EQ(settings.summary(), describeWmaProfile(35));
    QLocale::setDefault(QLocale::system());
}

// The writer is given the mode the OGG settings choose, the others' bitrates left out, and a
// setting one format refuses is refused whole.
TEST(EncoderSettings, OggModesReachTheWriter)
{
    EncoderSettings settings;
    OggFormat& ogg = settings.Formats.ogg;
    ogg.sampleRate = 22050;
    ogg.channels = 1;
    ogg.bitrate = 64;
    ogg.minBitrate = 48;
    ogg.maxBitrate = 96;
    AudioFile writer;
    const auto written = [&] {
        EXPECT_TRUE(settings.applyTo(writer));
        return outputFormat(OutputKind::Ogg).describe(writer.outputSettings());
    };
    EXPECT_EQ(written(), u"OGG Vorbis 22050 Hz; Mono; 64 Kbps");
    ogg.managed = true;
    EXPECT_EQ(written(), u"OGG Vorbis 22050 Hz; Mono; 64 Kbps (VBR 48-96 Kbps)");
    ogg.qualityMode = true;
    ogg.quality = 700;
    EXPECT_EQ(written(), u"OGG Vorbis 22050 Hz; Mono; Quality 7");
    EXPECT_EQ(writer.outputSettings(), settings.Formats);

    const EncoderSettings accepted = settings;
    ogg.qualityMode = false;
    ogg.managed = false;
    ogg.sampleRate = 16000;
    ogg.channels = 2;
    ogg.bitrate = 320; // more than the encoder can spend at this rate
    settings.Formats.wav.channels = 1;
    EXPECT_FALSE(settings.applyTo(writer));
    EXPECT_EQ(writer.outputSettings(), accepted.Formats);
}

// Parameterised tests name their format in words, not as the enum's bytes.
TEST(EncoderSettings, FormatsPrintByName)
{
    EXPECT_EQ(::testing::PrintToString(OutputKind::Wma), "WMA");
    EXPECT_EQ(::testing::PrintToString(std::vector{OutputKind::Mp3, OutputKind::Ogg}),
              "{ MP3, OGG }");
}
