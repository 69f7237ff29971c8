#pragma once

#include <QByteArrayView>
#include <QtEndian>

namespace tunevale {

// Reads little-endian numbers and byte runs from a buffer of untrusted bytes, never past its
// end. A read that does not fit fails, gives zero or nothing, and fails every later read too,
// so a parser checks ok() once after a group of reads.
class ByteCursor {
public:
    explicit ByteCursor(QByteArrayView bytes)
        : m_bytes(bytes)
    {}

    bool ok() const { return m_ok; }
    qsizetype remaining() const { return m_ok ? m_bytes.size() - m_position : 0; }

    QByteArrayView take(quint64 count)
    {
        if (!m_ok || count > quint64(remaining())) {
            m_ok = false;
            return {};
        }
        const QByteArrayView run = m_bytes.sliced(m_position, qsizetype(count));
        m_position += qsizetype(count);
        return run;
    }
    void skip(quint64 count) { take(count); }

    quint16 u16() { return number<quint16>(); }
    quint32 u32() { return number<quint32>(); }
    quint64 u64() { return number<quint64>(); }

private:
    template <typename Number> Number number()
    {
        const QByteArrayView run = take(sizeof(Number));
        return m_ok ? qFromLittleEndian<Number>(run.data()) : Number(0);
    }

    QByteArrayView m_bytes;
    qsizetype m_position = 0;
    bool m_ok = true;
};

} // namespace tunevale
