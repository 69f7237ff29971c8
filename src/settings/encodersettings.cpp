#include "settings/encodersettings.h"

#include "common/audio/audiofile.h"
#include "filelist/rowtexts.h"

#include <QLocale>

namespace tunevale {

namespace {

constexpr int kStartMp3Bitrate = 96;
// Quality mode still hands the writer a nominal bitrate, without bounds.
constexpr int kQualityModeBitrate = 128;
constexpr int kNoQuality = -1;

// "0.0#": one or two decimals.
QString oneOrTwoDecimals(double value)
{
    QString text = QLocale().toString(value, 'f', 2);
    if (text.endsWith(u'0'))
        text.chop(1);
    return text;
}

} // namespace

EncoderSettings::EncoderSettings()
{
    (void)Mp3.setBitrate(kStartMp3Bitrate);
    SetOggDefaults();
    SetWavDefaults();
}

void EncoderSettings::SetOggDefaults()
{
    OggFrequencyText = oggFrequencyCaption(44100);
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

OggFormat EncoderSettings::oggFormat() const
{
    OggFormat format;
    // The caption's digits; a caption without any gives 0, and the writer decides.
    QString digits = OggFrequencyText;
    digits.removeIf([](QChar character) { return !character.isDigit(); });
    format.sampleRate = digits.toInt();
    format.channels = OggChannelText == u"Mono" ? 1 : 2;
    if (OggQualityEnabled) {
        format.bitrate = kQualityModeBitrate;
        format.quality = OggQuality;
    } else {
        format.bitrate = OggBitrate;
        format.quality = kNoQuality;
        if (OggVbrEnabled) {
            format.minBitrate = OggMinBitrate;
            format.maxBitrate = OggMaxBitrate;
        }
    }
    return format;
}

OutputSettings EncoderSettings::outputSettings() const
{
    OutputSettings settings;
    settings.mp3 = Mp3;
    settings.ogg = oggFormat();
    settings.wmaProfile = WmaProfileIndex;
    settings.wav = {WavSampleRate, WavChannels, WavBitsPerSample};
    return settings;
}

Status EncoderSettings::applyTo(AudioFile& writer) const
{
    if (Status status = Mp3.checkBitrateForRate(); !status)
        return status;
    writer.attachMp3Encoder(Mp3);
    const OggFormat ogg = oggFormat();
    if (Status status = writer.setOggFormat(ogg.sampleRate, ogg.channels, ogg.bitrate,
                                            ogg.minBitrate, ogg.maxBitrate, ogg.quality);
        !status)
        return status;
    if (Status status = writer.selectWmaProfile(WmaProfileIndex); !status)
        return status;
    return writer.setWavFormat(WavSampleRate, WavChannels, WavBitsPerSample);
}

QString EncoderSettings::OutputFormatText() const
{
    return editedWriterDescription(describeOutput(OutputKind::Mp3, outputSettings()));
}

QString EncoderSettings::summary() const
{
    switch (TargetFormat) {
    case OutputKind::Mp3:
        return OutputFormatText() + (Mp3.isVbr() ? QStringLiteral(" VBR") : QString());
    case OutputKind::Ogg: {
        QString caption = formatCaption(OutputKind::Ogg) + u' ' + OggFrequencyText +
                          QStringLiteral("; ") + OggChannelText + QStringLiteral("; ");
        if (OggQualityEnabled)
            return caption + QStringLiteral("Quality - ") + oneOrTwoDecimals(OggQuality / 100.0);
        if (OggVbrEnabled)
            return caption + QStringLiteral("%1-%2Kbps VBR").arg(OggMinBitrate).arg(OggMaxBitrate);
        return caption + QStringLiteral("%1 Kbps").arg(OggBitrate);
    }
    case OutputKind::Wav:
        return formatCaption(OutputKind::Wav) + u' ' + groupedNumber(WavSampleRate) +
               QStringLiteral(" Hz; ") +
               (WavChannels == 2 ? QStringLiteral("Stereo; ") : QStringLiteral("Mono; ")) +
               QString::number(WavBitsPerSample) + QStringLiteral(" bit");
    case OutputKind::Wma:
    case OutputKind::Flac:
    case OutputKind::Opus:
    case OutputKind::M4a:
        return describeOutput(TargetFormat, outputSettings());
    }
    return {};
}

QString EncoderSettings::oggFrequencyCaption(int hertz)
{
    return groupedNumber(hertz, QLocale(QLocale::English)) + QStringLiteral(" Hz");
}

QString EncoderSettings::editedWriterDescription(QString description)
{
    description.replace(QStringLiteral("kHz"), QStringLiteral("Hz"), Qt::CaseSensitive);
    if (description.endsWith(u"; "))
        description.chop(2);
    return description;
}

} // namespace tunevale
