#include "settings/encodersettings.h"

#include "common/audio/audiofile.h"

namespace tunevale {

EncoderSettings::EncoderSettings()
{
    SetOggDefaults();
    SetWavDefaults();
}

void EncoderSettings::SetOggDefaults()
{
    OggFrequencyText = QStringLiteral("44,100 Hz");
    OggChannelText = QStringLiteral("Stereo");
    OggBitrate = 128;
    OggMinBitrate = 128;
    OggMaxBitrate = 128;
    OggQuality = 300;
    OggVbrEnabled = false;
    OggQualityEnabled = false;
}

void EncoderSettings::SetWavDefaults()
{
    WavSampleRate = 44100;
    WavChannels = 2;
    WavBitsPerSample = 16;
}

void EncoderSettings::RefreshOutputFormatText(const AudioFile& writer)
{
    const QString description = writer.settingsDescription();
    if (!description.isEmpty())
        OutputFormatText = editedWriterDescription(description);
}

void applyStartupWriterFormat(AudioFile& writer)
{
    (void)writer.selectWmaProfile(kDefaultWmaProfile);
    // Last, so that the writer's description speaks of MP3 as the program starts.
    (void)writer.setMp3Format(44100, 96, 2);
}

QString EncoderSettings::editedWriterDescription(QString description)
{
    description.replace(QStringLiteral("kHz"), QStringLiteral("Hz"), Qt::CaseSensitive);
    if (description.endsWith(u"; "))
        description.chop(2);
    return description;
}

} // namespace tunevale
