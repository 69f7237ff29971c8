#include "common/codecs/encoder.h"

#include <QDir>

namespace tunevale {

Status Encoder::encodeWide(std::span<const qint32> samples)
{
    (void)samples;
    return Status::error(QStringLiteral("This output takes 16-bit samples only"));
}

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

} // namespace tunevale
