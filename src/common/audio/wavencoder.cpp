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

Status WavEncoder::writeHeader(quint32 dataBytes)
{
    const int bytesPerSample = m_format.bitsPerSample / 8;
    const quint16 blockAlign = static_cast<quint16>(m_format.channels * bytesPerSample);
    char header[kHeaderBytes];
    const auto put32 = [&header](int offset, quint32 value) {
        qToLittleEndian(value, header + offset);
    };
    const auto put16 = [&header](int offset, quint16 value) {
        qToLittleEndian(value, header + offset);
    };
    std::memcpy(header, "RIFF", 4);
    put32(4, kHeaderBytes - 8 + dataBytes + (dataBytes & 1)); // with the pad byte
    std::memcpy(header + 8, "WAVEfmt ", 8);
    put32(16, 16);
    put16(20, 1); // PCM
    put16(22, static_cast<quint16>(m_format.channels));
    put32(24, static_cast<quint32>(m_format.sampleRate));
    put32(28, static_cast<quint32>(m_format.sampleRate) * blockAlign);
    put16(32, blockAlign);
    put16(34, static_cast<quint16>(m_format.bitsPerSample));
    std::memcpy(header + 36, "data", 4);
    put32(40, dataBytes);
    if (!m_file.write(header, kHeaderBytes))
        return m_file.failure();
    return {};
}

Status WavEncoder::encode(std::span<const qint16> samples)
{
    if (!m_file.isOpen())
        return Status::error(QStringLiteral("No WAV file is open for writing"));
    if (m_format.bitsPerSample == 8) {
        // 8-bit WAV is unsigned with its midpoint at 128.
        m_buffer.resize(static_cast<qsizetype>(samples.size()));
        for (size_t i = 0; i < samples.size(); ++i)
            m_buffer[static_cast<qsizetype>(i)] = static_cast<char>((samples[i] >> 8) + 128);
    } else {
        m_buffer.resize(static_cast<qsizetype>(samples.size() * sizeof(qint16)));
        qToLittleEndian<qint16>(samples.data(), static_cast<qsizetype>(samples.size()),
                                m_buffer.data());
    }
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
