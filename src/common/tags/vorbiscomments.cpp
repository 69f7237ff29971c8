#include "common/tags/vorbiscomments.h"

#include "common/tags/bytecursor.h"

#include <ogg/ogg.h>

#include <cstring>

namespace tunevale {

namespace {

// Comments with pictures inside run to megabytes; past this the values stay as TagLib read them.
constexpr qint64 kMaxOggBytes = qint64{64} << 20;
constexpr int kOggChunkBytes = 64 << 10;
// An Ogg FLAC stream announces its metadata blocks in header packets; the comments come first.
constexpr int kMaxFlacHeaderPackets = 16;
constexpr int kMaxFlacBlocks = 1024;
constexpr int kFlacCommentBlock = 4;

QByteArrayView viewOf(const TagLib::ByteVector& bytes)
{
    return {bytes.data(), qsizetype(bytes.size())};
}

// The header packets of the first logical stream of an Ogg file, framed by libogg.
class OggHeaderPackets {
public:
    explicit OggHeaderPackets(TagLib::IOStream& stream)
        : m_stream(stream)
    {
        ogg_sync_init(&m_sync);
        m_stream.seek(0);
    }
    ~OggHeaderPackets()
    {
        if (m_started)
            ogg_stream_clear(&m_logical);
        ogg_sync_clear(&m_sync);
    }
    OggHeaderPackets(const OggHeaderPackets&) = delete;
    OggHeaderPackets& operator=(const OggHeaderPackets&) = delete;

    // The next packet; nothing at the end of the file, at a gap in the stream or past the
    // byte limit.
    std::optional<QByteArray> next()
    {
        for (;;) {
            ogg_packet packet;
            const int result = m_started ? ogg_stream_packetout(&m_logical, &packet) : 0;
            if (result < 0)
                return std::nullopt;
            if (result == 1)
                return QByteArray(reinterpret_cast<const char*>(packet.packet),
                                  qsizetype(packet.bytes));
            ogg_page page;
            if (!nextPage(page))
                return std::nullopt;
            if (!m_started) {
                if (!ogg_page_bos(&page) || ogg_stream_init(&m_logical, ogg_page_serialno(&page)))
                    return std::nullopt;
                m_started = true;
            }
            // Pages of other logical streams are not ours; a broken one of ours ends the read.
            if (ogg_page_serialno(&page) == m_logical.serialno &&
                ogg_stream_pagein(&m_logical, &page) != 0)
                return std::nullopt;
        }
    }

private:
    bool nextPage(ogg_page& page)
    {
        // pageout skips bytes that are no page on its own (a negative result) and resyncs.
        while (ogg_sync_pageout(&m_sync, &page) != 1) {
            if (m_bytesRead >= kMaxOggBytes)
                return false;
            const TagLib::ByteVector chunk = m_stream.readBlock(kOggChunkBytes);
            if (chunk.isEmpty())
                return false;
            char* buffer = ogg_sync_buffer(&m_sync, long(chunk.size()));
            if (!buffer)
                return false;
            std::memcpy(buffer, chunk.data(), chunk.size());
            ogg_sync_wrote(&m_sync, long(chunk.size()));
            m_bytesRead += chunk.size();
        }
        return true;
    }

    TagLib::IOStream& m_stream;
    ogg_sync_state m_sync{};
    ogg_stream_state m_logical{};
    bool m_started = false;
    qint64 m_bytesRead = 0;
};

std::optional<VorbisComments> commentsAfter(const std::optional<QByteArray>& packet,
                                            QByteArrayView magic)
{
    if (!packet || !packet->startsWith(magic))
        return std::nullopt;
    return parseVorbisComments(QByteArrayView(*packet).sliced(magic.size()));
}

// An Ogg FLAC header packet is one metadata block: type, 24-bit length, body.
std::optional<VorbisComments> oggFlacComments(OggHeaderPackets& packets)
{
    for (int index = 0; index < kMaxFlacHeaderPackets; ++index) {
        const std::optional<QByteArray> packet = packets.next();
        if (!packet || packet->size() < 4)
            return std::nullopt;
        if ((quint8(packet->at(0)) & 0x7F) == kFlacCommentBlock)
            return parseVorbisComments(QByteArrayView(*packet).sliced(4));
        if (quint8(packet->at(0)) & 0x80)
            return std::nullopt;
    }
    return std::nullopt;
}

// Where a FLAC stream starts: after an ID3v2 tag that some programs put before it.
long flacStart(TagLib::IOStream& stream)
{
    stream.seek(0);
    const TagLib::ByteVector head = stream.readBlock(10);
    if (head.size() != 10 || !head.startsWith("ID3"))
        return 0;
    long size = 0;
    for (unsigned int index = 6; index < 10; ++index)
        size = (size << 7) | (head[index] & 0x7F);
    const bool footer = (head[5] & 0x10) != 0;
    return 10 + size + (footer ? 10 : 0);
}

} // namespace

std::optional<VorbisComments> parseVorbisComments(QByteArrayView block)
{
    ByteCursor cursor(block);
    cursor.skip(cursor.u32()); // the vendor
    const quint32 count = cursor.u32();
    VorbisComments comments;
    // Every field takes at least its length's four bytes, so a lying count ends at the end.
    for (quint32 index = 0; index < count && cursor.ok(); ++index) {
        const QByteArrayView field = cursor.take(cursor.u32());
        const qsizetype equals = field.indexOf('=');
        if (equals > 0) {
            comments.try_emplace(QString::fromLatin1(field.first(equals)).toUpper(),
                                 QString::fromUtf8(field.sliced(equals + 1)));
        }
    }
    if (!cursor.ok())
        return std::nullopt;
    return comments;
}

std::optional<VorbisComments> readOggComments(TagLib::IOStream& stream)
{
    OggHeaderPackets packets(stream);
    const std::optional<QByteArray> first = packets.next();
    if (!first)
        return std::nullopt;
    if (first->startsWith("\x01vorbis"))
        return commentsAfter(packets.next(), "\x03vorbis");
    if (first->startsWith("OpusHead"))
        return commentsAfter(packets.next(), "OpusTags");
    if (first->startsWith("\x7F"
                          "FLAC"))
        return oggFlacComments(packets);
    return std::nullopt;
}

std::optional<VorbisComments> readFlacComments(TagLib::IOStream& stream)
{
    stream.seek(flacStart(stream));
    if (stream.readBlock(4) != "fLaC")
        return std::nullopt;
    for (int index = 0; index < kMaxFlacBlocks; ++index) {
        const TagLib::ByteVector header = stream.readBlock(4);
        if (header.size() != 4)
            return std::nullopt;
        const unsigned int length = header.toUInt(1U, 3U, true);
        // Checked before reading: readBlock allocates what it is asked for.
        if (long(length) > stream.length() - stream.tell())
            return std::nullopt;
        if ((header[0] & 0x7F) == kFlacCommentBlock)
            return parseVorbisComments(viewOf(stream.readBlock(length)));
        if (header[0] & 0x80)
            return std::nullopt;
        stream.seek(long(length), TagLib::IOStream::Current);
    }
    return std::nullopt;
}

} // namespace tunevale
