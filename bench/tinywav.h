#pragma once

#include <QByteArray>
#include <QDataStream>
#include <QIODevice>

// A 0.05 s silent 8 kHz mono WAV: the smallest file the folder benchmarks list as audio.
inline QByteArray tinyWav()
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    const quint32 dataBytes = 800;
    out.writeRawData("RIFF", 4);
    out << quint32(36 + dataBytes);
    out.writeRawData("WAVEfmt ", 8);
    out << quint32(16) << quint16(1) << quint16(1) << quint32(8000) << quint32(16000) << quint16(2)
        << quint16(16);
    out.writeRawData("data", 4);
    out << dataBytes;
    bytes.append(QByteArray(dataBytes, '\0'));
    return bytes;
}
