#include "common/audio/wavencoder.h"

#include "common/audio/outputfile.h"

#include <QtEndian>

#include <cstring>
#include <limits>

namespace tunevale {

namespace {

constexpr quint32 kHeaderBytes = 44;

QString channelText(int channels)
{
    return channels == 1 ? QStringLiteral("Mono") : QStringLiteral("Stereo");
}

} // namespace

WavEncoder::WavEncoder(const WavFormat& format)
    : m_format(format)
{}

PcmFormat WavEncoder::inputFormat() const
{
    return {m_format.sampleRate, m_format.channels};
}

Status WavEncoder::validate(const WavFormat& format)
{
    if (format.sampleRate < 1000 || format.sampleRate > 384000 ||
        (format.channels != 1 && format.channels != 2) ||
        (format.bitsPerSample != 8 && format.bitsPerSample != 16))
        return Status::error(QStringLiteral("Unsupported WAV format: %1").arg(describe(format)));
    return {};
}

QString WavEncoder::describe(const WavFormat& format)
{
    return QStringLiteral("WAV %1 Hz; %2; %3 bit")
        .arg(format.sampleRate)
        .arg(channelText(format.channels))
        .arg(format.bitsPerSample);
}

Status WavEncoder::open(UniqueFd file, const QString& outputPath)
{
    if (m_format.sampleRate <= 0 || (m_format.channels != 1 && m_format.channels != 2) ||
        (m_format.bitsPerSample != 8 && m_format.bitsPerSample != 16))
        return Status::error(QStringLiteral("Unsupported WAV format: %1").arg(describe(m_format)));
    if (Status status = m_file.open(std::move(file), outputPath); !status)
        return status;
    m_dataBytes = 0;
    return writeHeader(0);
}

QByteArray WavEncoder::header(const WavFormat& format, quint32 dataBytes)
{
    const int bytesPerSample = format.bitsPerSample / 8;
    const quint16 blockAlign = static_cast<quint16>(format.channels * bytesPerSample);
    QByteArray header(kHeaderBytes, '\0');
    char* bytes = header.data();
    const auto put32 = [bytes](int offset, quint32 value) {
        qToLittleEndian(value, bytes + offset);
    };
    const auto put16 = [bytes](int offset, quint16 value) {
        qToLittleEndian(value, bytes + offset);
    };
    std::memcpy(bytes, "RIFF", 4);
    put32(4, kHeaderBytes - 8 + dataBytes + (dataBytes & 1)); // with the pad byte
    std::memcpy(bytes + 8, "WAVEfmt ", 8);
    put32(16, 16);
    put16(20, 1); // PCM
    put16(22, static_cast<quint16>(format.channels));
    put32(24, static_cast<quint32>(format.sampleRate));
    put32(28, static_cast<quint32>(format.sampleRate) * blockAlign);
    put16(32, blockAlign);
    put16(34, static_cast<quint16>(format.bitsPerSample));
    std::memcpy(bytes + 36, "data", 4);
    put32(40, dataBytes);
    return header;
}

void WavEncoder::pack(std::span<const qint16> samples, int bitsPerSample, QByteArray& out)
{
    if (bitsPerSample == 8) {
        // 8-bit WAV is unsigned with its midpoint at 128.
        out.resize(static_cast<qsizetype>(samples.size()));
        for (size_t i = 0; i < samples.size(); ++i)
            out[static_cast<qsizetype>(i)] = static_cast<char>((samples[i] >> 8) + 128);
    } else {
        out.resize(static_cast<qsizetype>(samples.size() * sizeof(qint16)));
        qToLittleEndian<qint16>(samples.data(), static_cast<qsizetype>(samples.size()), out.data());
    }
}

Status WavEncoder::writeHeader(quint32 dataBytes)
{
    if (!m_file.write(header(m_format, dataBytes)))
        return m_file.failure();
    return {};
}

Status WavEncoder::encode(std::span<const qint16> samples)
{
    if (!m_file.isOpen())
        return Status::error(QStringLiteral("No WAV file is open for writing"));
    pack(samples, m_format.bitsPerSample, m_buffer);
    if (!m_file.write(m_buffer))
        return m_file.failure();
    m_dataBytes += static_cast<quint64>(m_buffer.size());
    return {};
}

Status WavEncoder::finish()
{
    if (!m_file.isOpen())
        return Status::error(QStringLiteral("No WAV file is open for writing"));
    // RIFF sizes are 32-bit: a longer file keeps the largest size it can state.
    const quint64 limit = std::numeric_limits<quint32>::max() - kHeaderBytes;
    const auto dataBytes = static_cast<quint32>(std::min(m_dataBytes, limit));
    Status status;
    if (m_format.bitsPerSample == 8 && (m_dataBytes % 2) != 0 && !m_file.write("\0", 1))
        status = m_file.failure(); // RIFF chunks are padded to even sizes
    if (status && !m_file.seek(0))
        status = m_file.failure();
    if (status)
        status = writeHeader(dataBytes);
    return m_file.close(status);
}

} // namespace tunevale
