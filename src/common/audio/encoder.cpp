#include "common/audio/encoder.h"

#include "common/audio/flacencoder.h"
#include "common/audio/lameencoder.h"
#include "common/audio/m4aencoder.h"
#include "common/audio/oggopusencoder.h"
#include "common/audio/vorbisencoder.h"
#include "common/audio/wavencoder.h"
#include "common/audio/wmaencoder.h"

#include <QDir>
#include <QFileInfo>

namespace tunevale {

Status checkWholeFrames(const char* codec, const QString& outputPath, size_t sampleCount,
                        int channels)
{
    if (channels > 0 && sampleCount % size_t(channels) == 0)
        return {};
    return Status::error(
        QStringLiteral("Cannot encode %1 audio for %2: %3 samples are not whole frames of %4 "
                       "channels")
            .arg(QLatin1String(codec), QDir::toNativeSeparators(outputPath))
            .arg(sampleCount)
            .arg(channels));
}

QString formatCaption(OutputKind kind)
{
    switch (kind) {
    case OutputKind::Mp3:
        return QStringLiteral("MP3");
    case OutputKind::Wma:
        return QStringLiteral("WMA");
    case OutputKind::Ogg:
        return QStringLiteral("OGG");
    case OutputKind::Wav:
        return QStringLiteral("WAV");
    case OutputKind::Flac:
        return QStringLiteral("FLAC");
    case OutputKind::Opus:
        return QStringLiteral("Opus");
    case OutputKind::M4a:
        return QStringLiteral("M4A");
    }
    return {};
}

std::optional<OutputKind> outputKindNamed(const QString& name)
{
    for (OutputKind kind : kOutputKinds) {
        if (name.compare(formatCaption(kind), Qt::CaseInsensitive) == 0)
            return kind;
    }
    return std::nullopt;
}

Status outputKindForPath(const QString& path, OutputKind& kind)
{
    const QString extension = QFileInfo(path).suffix();
    const std::optional<OutputKind> named = outputKindNamed(extension);
    if (!named)
        return Status::error(QStringLiteral("Unsupported output type \"%1\": use .mp3, .wma, "
                                            ".ogg, .wav, .flac, .opus or .m4a")
                                 .arg(extension.toLower()));
    kind = *named;
    return {};
}

std::unique_ptr<Encoder> createEncoder(OutputKind kind, const OutputSettings& settings,
                                       const SourceFormat& source)
{
    switch (kind) {
    case OutputKind::Mp3:
        return std::make_unique<LameEncoder>(settings.mp3);
    case OutputKind::Wma:
        return std::make_unique<WmaEncoder>(settings.wmaProfile);
    case OutputKind::Ogg:
        return std::make_unique<VorbisEncoder>(settings.ogg);
    case OutputKind::Wav:
        return std::make_unique<WavEncoder>(settings.wav);
    case OutputKind::Flac:
        return std::make_unique<FlacEncoder>(settings.flac, source);
    case OutputKind::Opus:
        return std::make_unique<OggOpusEncoder>(settings.opus, source);
    case OutputKind::M4a:
        return std::make_unique<M4aEncoder>(settings.m4a, source);
    }
    return nullptr;
}

QString describeOutput(OutputKind kind, const OutputSettings& settings)
{
    switch (kind) {
    case OutputKind::Mp3:
        return LameEncoder::describe(settings.mp3);
    case OutputKind::Wma:
        return describeWmaProfile(settings.wmaProfile);
    case OutputKind::Ogg:
        return VorbisEncoder::describe(settings.ogg);
    case OutputKind::Wav:
        return WavEncoder::describe(settings.wav);
    case OutputKind::Flac:
        return settings.flac.describe();
    case OutputKind::Opus:
        return settings.opus.describe();
    case OutputKind::M4a:
        return settings.m4a.describe();
    }
    return {};
}

} // namespace tunevale
