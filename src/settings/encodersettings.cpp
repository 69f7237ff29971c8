#include "settings/encodersettings.h"

#include "common/audio/audiofile.h"

namespace tunevale {

namespace {

constexpr int kStartMp3Bitrate = 96;

} // namespace

EncoderSettings::EncoderSettings()
{
    (void)Formats.mp3.setBitrate(kStartMp3Bitrate);
}

void EncoderSettings::SetOggDefaults()
{
    Formats.ogg = OggFormat();
}

void EncoderSettings::SetWavDefaults()
{
    Formats.wav = WavFormat();
}

Status EncoderSettings::applyTo(AudioFile& writer) const
{
    return writer.configure(Formats);
}

QString EncoderSettings::OutputFormatText() const
{
    return editedWriterDescription(outputFormat(OutputKind::Mp3).describe(Formats));
}

QString EncoderSettings::summary() const
{
    return outputFormat(TargetFormat).summarize(Formats);
}

} // namespace tunevale
