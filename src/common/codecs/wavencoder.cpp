#include "common/codecs/wavencoder.h"

#include "common/io/outputfile.h"

#include <QDir>
#include <QtEndian>

#include <cstring>
#include <limits>

namespace tunevale {

namespace {

constexpr int kClassicHeaderBytes = 44;
constexpr int kDs64Bytes = 28; // RIFF and data sizes, sample count, an empty table
constexpr int kRf64HeaderBytes = kClassicHeaderBytes + 8 + kDs64Bytes;
constexpr quint32 kSizeInDs64 = 0xFFFFFFFF;
// Half of what RIFF can state: the point from which a file keeps room for RF64.
constexpr double kRf64MarginBytes = double(1u << 31);

QString channelText(int channels)
{
    return channels == 1 ? QStringLiteral("Mono") : QStringLiteral("Stereo");
}

int blockAlign(const WavFormat& format)
{
    return format.channels * format.bitsPerSample / 8;
}

// RIFF chunks are padded to even sizes.
quint64 paddedSize(quint64 bytes)
{
    return bytes + (bytes & 1);
}

// The RIFF chunk's size (all of the file after its first 8 bytes) for dataBytes of audio.
quint64 riffSize(WavLayout layout, quint64 dataBytes)
{
    return quint64(WavEncoder::headerBytes(layout)) - 8 + paddedSize(dataBytes);
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

void WavEncoder::setExpectedSeconds(double seconds)
{
    m_layout = layoutFor(m_format, seconds);
}

QString WavEncoder::describe(const WavFormat& format)
{
    return QStringLiteral("WAV %1 Hz; %2; %3 bit")
        .arg(format.sampleRate)
        .arg(channelText(format.channels))
        .arg(format.bitsPerSample);
}

WavLayout WavEncoder::layoutFor(const WavFormat& format, double seconds)
{
    const double bytes = seconds * format.sampleRate * blockAlign(format);
    return bytes >= kRf64MarginBytes ? WavLayout::Rf64Capable : WavLayout::Classic;
}

int WavEncoder::headerBytes(WavLayout layout)
{
    return layout == WavLayout::Classic ? kClassicHeaderBytes : kRf64HeaderBytes;
}

bool WavEncoder::canHold(WavLayout layout, quint64 dataBytes)
{
    return layout == WavLayout::Rf64Capable ||
           riffSize(layout, dataBytes) <= std::numeric_limits<quint32>::max();
}

QByteArray WavEncoder::header(const WavFormat& format, quint64 dataBytes, WavLayout layout)
{
    const auto align = static_cast<quint16>(blockAlign(format));
    const bool rf64 = riffSize(layout, dataBytes) > std::numeric_limits<quint32>::max();
    QByteArray header(headerBytes(layout), '\0');
    char* bytes = header.data();
    const auto put16 = [bytes](int offset, quint16 value) {
        qToLittleEndian(value, bytes + offset);
    };
    const auto put32 = [bytes](int offset, quint32 value) {
        qToLittleEndian(value, bytes + offset);
    };
    const auto put64 = [bytes](int offset, quint64 value) {
        qToLittleEndian(value, bytes + offset);
    };
    std::memcpy(bytes, rf64 ? "RF64" : "RIFF", 4);
    put32(4, rf64 ? kSizeInDs64 : quint32(riffSize(layout, dataBytes)));
    std::memcpy(bytes + 8, "WAVE", 4);
    int at = 12;
    if (layout == WavLayout::Rf64Capable) {
        std::memcpy(bytes + at, rf64 ? "ds64" : "JUNK", 4);
        put32(at + 4, kDs64Bytes);
        if (rf64) {
            put64(at + 8, riffSize(layout, dataBytes));
            put64(at + 16, dataBytes);
            put64(at + 24, dataBytes / align); // sample frames
        }
        at += 8 + kDs64Bytes;
    }
    std::memcpy(bytes + at, "fmt ", 4);
    put32(at + 4, 16);
    put16(at + 8, 1); // PCM
    put16(at + 10, static_cast<quint16>(format.channels));
    put32(at + 12, static_cast<quint32>(format.sampleRate));
    put32(at + 16, static_cast<quint32>(format.sampleRate) * align);
    put16(at + 20, align);
    put16(at + 22, static_cast<quint16>(format.bitsPerSample));
    std::memcpy(bytes + at + 24, "data", 4);
    put32(at + 28, rf64 ? kSizeInDs64 : quint32(dataBytes));
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

Status WavEncoder::open(UniqueFd file, const QString& outputPath)
{
    if (m_format.sampleRate <= 0 || (m_format.channels != 1 && m_format.channels != 2) ||
        (m_format.bitsPerSample != 8 && m_format.bitsPerSample != 16))
        return Status::error(QStringLiteral("Unsupported WAV format: %1").arg(describe(m_format)));
    if (Status status = m_file.open(std::move(file), outputPath); !status)
        return status;
    m_dataBytes = 0;
    if (!m_file.write(header(m_format, 0, m_layout)))
        return m_file.failure();
    return {};
}

Status WavEncoder::encode(std::span<const qint16> samples)
{
    if (!m_file.isOpen())
        return Status::error(QStringLiteral("No WAV file is open for writing"));
    pack(samples, m_format.bitsPerSample, m_buffer);
    const quint64 dataBytes = m_dataBytes + static_cast<quint64>(m_buffer.size());
    if (!canHold(m_layout, dataBytes))
        return Status::error(
            QStringLiteral("Cannot write %1: its audio passes the 4 GiB a WAV file can hold")
                .arg(QDir::toNativeSeparators(m_file.shownPath())));
    if (!m_file.write(m_buffer))
        return m_file.failure();
    m_dataBytes = dataBytes;
    return {};
}

Status WavEncoder::finish()
{
    if (!m_file.isOpen())
        return Status::error(QStringLiteral("No WAV file is open for writing"));
    Status status;
    if ((m_dataBytes % 2) != 0 && !m_file.write("\0", 1))
        status = m_file.failure();
    if (status && !m_file.seek(0))
        status = m_file.failure();
    if (status && !m_file.write(header(m_format, m_dataBytes, m_layout)))
        status = m_file.failure();
    return m_file.close(status);
}

} // namespace tunevale
