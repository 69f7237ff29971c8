#include "common/audio/encoder.h"

#include "common/audio/lameencoder.h"
#include "common/audio/vorbisencoder.h"
#include "common/audio/wavencoder.h"
#include "common/audio/wmaencoder.h"

#include <QFileInfo>

namespace tunevale {

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
                                            ".ogg or .wav")
                                 .arg(extension.toLower()));
    kind = *named;
    return {};
}

std::unique_ptr<Encoder> createEncoder(OutputKind kind, const OutputSettings& settings)
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
    }
    return {};
}

} // namespace tunevale
