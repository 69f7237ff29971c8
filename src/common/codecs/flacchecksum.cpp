#include "common/codecs/flacchecksum.h"

#include "common/blockthread.h"

#include <QSysInfo>

namespace tunevale {

FlacChecksum::FlacChecksum(int bits, bool ownThread)
    : m_bits(bits)
{
    if (ownThread)
        m_thread = std::make_unique<BlockThread<unsigned char>>(
            [this](std::span<const unsigned char> bytes) {
                m_md5.addData(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
                return Status();
            });
}

FlacChecksum::~FlacChecksum() = default;

void FlacChecksum::add(std::span<const qint16> samples)
{
    if constexpr (QSysInfo::ByteOrder == QSysInfo::LittleEndian) {
        // The samples as given are the checksum's bytes already.
        const auto* bytes = reinterpret_cast<const unsigned char*>(samples.data());
        addBytes({bytes, samples.size_bytes()});
    } else {
        m_packed.clear();
        appendBytes(samples, m_packed);
        addBytes(m_packed);
    }
}

void FlacChecksum::add(std::span<const qint32> samples)
{
    m_packed.clear();
    appendBytes(samples, m_bits, m_packed);
    addBytes(m_packed);
}

void FlacChecksum::addBytes(std::span<const unsigned char> bytes)
{
    if (m_thread)
        m_thread->add(bytes);
    else
        m_md5.addData(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
}

QByteArray FlacChecksum::result()
{
    if (m_thread)
        (void)m_thread->finish();
    return m_md5.result();
}

void FlacChecksum::appendBytes(std::span<const qint32> samples, int bits,
                               std::vector<unsigned char>& out)
{
    const size_t at = out.size();
    out.resize(at + samples.size() * size_t(bits / 8));
    unsigned char* next = out.data() + at;
    if (bits == 16) {
        for (const qint32 sample : samples) {
            *next++ = static_cast<unsigned char>(sample);
            *next++ = static_cast<unsigned char>(sample >> 8);
        }
    } else {
        for (const qint32 sample : samples) {
            *next++ = static_cast<unsigned char>(sample);
            *next++ = static_cast<unsigned char>(sample >> 8);
            *next++ = static_cast<unsigned char>(sample >> 16);
        }
    }
}

void FlacChecksum::appendBytes(std::span<const qint16> samples, std::vector<unsigned char>& out)
{
    if constexpr (QSysInfo::ByteOrder == QSysInfo::LittleEndian) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(samples.data());
        out.insert(out.end(), bytes, bytes + samples.size_bytes());
    } else {
        const std::vector<qint32> wide(samples.begin(), samples.end());
        appendBytes(wide, 16, out);
    }
}

} // namespace tunevale
