#include "common/codecs/lameencoder.h"

#include "common/io/outputfile.h"

#include <QDir>

namespace tunevale {

namespace {

// Writes the bytes an encoding step produced, or says why the step failed.
Status writeEncoded(OutputStream& file, const std::vector<unsigned char>& bytes,
                    const Status& encoded)
{
    if (!encoded)
        return Status::error(
            QStringLiteral("Cannot encode MP3 audio for %1: %2")
                .arg(QDir::toNativeSeparators(file.shownPath()), encoded.message()));
    const auto size = static_cast<qint64>(bytes.size());
    if (size > 0 && !file.write(reinterpret_cast<const char*>(bytes.data()), size))
        return file.failure();
    return {};
}

} // namespace

LameEncoder::LameEncoder(const Mp3Encoder& settings)
    : m_settings(settings)
{}

LameEncoder::~LameEncoder() = default;

PcmFormat LameEncoder::inputFormat() const
{
    return {m_settings.sampleRate(), m_settings.channels()};
}

Status LameEncoder::validate(const Mp3Encoder& settings)
{
    return settings.checkBitrateForRate();
}

QString LameEncoder::describe(const Mp3Encoder& settings)
{
    return LameStream::describe(settings);
}

Status LameEncoder::open(UniqueFd file, const QString& outputPath)
{
    m_lame.reset();
    (void)m_file.close({});
    auto lame = std::make_unique<LameStream>();
    if (Status status = lame->open(m_settings); !status)
        return Status::error(QStringLiteral("Cannot create %1: %2")
                                 .arg(QDir::toNativeSeparators(outputPath), status.message()));
    if (Status status = m_file.open(std::move(file), outputPath); !status)
        return status;
    m_lame = std::move(lame);
    return {};
}

Status LameEncoder::encode(std::span<const qint16> samples)
{
    if (!m_lame)
        return Status::error(QStringLiteral("Cannot encode MP3 audio: no MP3 file is open"));
    m_encoded.clear();
    const Status encoded = m_lame->encode(samples, m_encoded);
    return writeEncoded(m_file, m_encoded, encoded);
}

Status LameEncoder::finish()
{
    if (!m_lame)
        return Status::error(QStringLiteral("Cannot finish MP3 output: no MP3 file is open"));
    const std::unique_ptr<LameStream> lame = std::move(m_lame);

    m_encoded.clear();
    const Status flushed = lame->flush(m_encoded);
    Status status = writeEncoded(m_file, m_encoded, flushed);
    if (status && m_settings.writeVbrHeader()) {
        // LAME put a placeholder frame first (nothing precedes it: its own tag writing is
        // off); the final header with frame count and gapless trim goes over it.
        if (Status tagged = lame->lameTagFrame(m_encoded); !tagged) {
            status = Status::error(
                QStringLiteral("Cannot write the VBR header of %1: %2")
                    .arg(QDir::toNativeSeparators(m_file.shownPath()), tagged.message()));
        } else if (!m_encoded.empty()) {
            if (!m_file.seek(0))
                status = m_file.failure();
            else
                status = writeEncoded(m_file, m_encoded, {});
        }
    }
    return m_file.close(status);
}

} // namespace tunevale
