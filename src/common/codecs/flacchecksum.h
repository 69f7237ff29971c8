#pragma once

#include <QByteArray>
#include <QCryptographicHash>
#include <QtGlobal>

#include <memory>
#include <span>
#include <vector>

#include <FLAC/stream_encoder.h>

// Exported by libFLAC since 1.1.3, though its header sits with the library's protected part.
// Turning its checksum off leaves the stream information's checksum to FlacChecksum.
extern "C" FLAC_API FLAC__bool FLAC__stream_encoder_set_do_md5(FLAC__StreamEncoder* encoder,
                                                               FLAC__bool value);

namespace tunevale {

template <typename T> class BlockThread;

// The checksum a FLAC stream's information block carries: MD5 over every sample in order, each
// in the stream's whole bytes, little-endian. Kept by the writer rather than by libFLAC, so
// that 16-bit samples are hashed as they come, without repacking, and the hashing can take a
// spare core.
class FlacChecksum {
public:
    // Where the checksum sits in a FLAC file: after "fLaC", the stream information block's
    // header and 18 bytes of it.
    static constexpr qint64 kOffsetInFile = 4 + 4 + 18;

    // bits: the stream's depth, 16 or 24. With ownThread the hashing runs on a thread of its
    // own.
    FlacChecksum(int bits, bool ownThread);
    ~FlacChecksum();
    FlacChecksum(const FlacChecksum&) = delete;
    FlacChecksum& operator=(const FlacChecksum&) = delete;

    // Samples of a 16-bit stream.
    void add(std::span<const qint16> samples);
    // Samples at the stream's depth, as libFLAC takes them.
    void add(std::span<const qint32> samples);
    // The digest of everything added; once, at the end.
    QByteArray result();

    // Appends samples at a stream's depth of bits to out as the checksum covers them.
    static void appendBytes(std::span<const qint32> samples, int bits,
                            std::vector<unsigned char>& out);
    // The same for the samples of a 16-bit stream.
    static void appendBytes(std::span<const qint16> samples, std::vector<unsigned char>& out);

private:
    void addBytes(std::span<const unsigned char> bytes);

    int m_bits;
    QCryptographicHash m_md5{QCryptographicHash::Md5};
    std::vector<unsigned char> m_packed;
    std::unique_ptr<BlockThread<unsigned char>> m_thread;
};

} // namespace tunevale
