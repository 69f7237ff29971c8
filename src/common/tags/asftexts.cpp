#include "common/tags/asftexts.h"

#include "common/tags/bytecursor.h"

#include <QStringDecoder>

namespace tunevale {

namespace {

// Pictures make headers of megabytes; past this the texts stay as TagLib read them.
constexpr quint64 kMaxHeaderBytes = quint64{64} << 20;
constexpr quint64 kObjectHeaderBytes = 24; // GUID and 64-bit size
constexpr quint16 kUnicodeType = 0;

// GUIDs as they are stored: the first three groups little-endian.
constexpr char kHeaderGuid[] = "\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C";
constexpr char kContentDescriptionGuid[] =
    "\x33\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C";
constexpr char kExtendedContentDescriptionGuid[] =
    "\x40\xA4\xD0\xD2\x07\xE3\xD2\x11\x97\xF0\x00\xA0\xC9\x5E\xA8\x50";
constexpr char kHeaderExtensionGuid[] =
    "\xB5\x03\xBF\x5F\x2E\xA9\xCF\x11\x8E\xE3\x00\xC0\x0C\x20\x53\x65";
constexpr char kMetadataGuid[] = "\xEA\xCB\xF8\xC5\xAF\x5B\x77\x48\x84\x67\xAA\x8C\x44\xFA\x4C\xCA";
constexpr char kMetadataLibraryGuid[] =
    "\x94\x1C\x23\x44\x98\x94\xD1\x49\xA1\x41\x1D\x13\x4E\x45\x70\x54";

bool isGuid(QByteArrayView bytes, const char (&guid)[17])
{
    return bytes == QByteArrayView(guid, 16);
}

QString utf16Text(QByteArrayView bytes)
{
    return QStringDecoder(QStringDecoder::Utf16LE, QStringDecoder::Flag::Stateless).decode(bytes);
}

// Names end in a NUL that is no part of them.
QString nameText(QByteArrayView bytes)
{
    QString name = utf16Text(bytes);
    while (name.endsWith(QChar(u'\0')))
        name.chop(1);
    return name;
}

void addAttribute(AsfTexts& texts, QByteArrayView name, quint16 type, QByteArrayView value)
{
    if (type == kUnicodeType)
        texts.attributes.try_emplace(nameText(name), utf16Text(value));
}

bool readContentDescription(ByteCursor& object, AsfTexts& texts)
{
    quint16 lengths[5];
    for (quint16& length : lengths)
        length = object.u16();
    texts.title = utf16Text(object.take(lengths[0]));
    texts.author = utf16Text(object.take(lengths[1]));
    object.skip(lengths[2]);
    texts.description = utf16Text(object.take(lengths[3]));
    object.skip(lengths[4]);
    return object.ok();
}

bool readExtendedContentDescription(ByteCursor& object, AsfTexts& texts)
{
    const quint16 count = object.u16();
    for (quint16 index = 0; index < count && object.ok(); ++index) {
        const QByteArrayView name = object.take(object.u16());
        const quint16 type = object.u16();
        const QByteArrayView value = object.take(object.u16());
        if (object.ok())
            addAttribute(texts, name, type, value);
    }
    return object.ok();
}

// The Metadata and Metadata Library objects share one record layout.
bool readMetadataRecords(ByteCursor& object, AsfTexts& texts)
{
    const quint16 count = object.u16();
    for (quint16 index = 0; index < count && object.ok(); ++index) {
        object.skip(4); // language index or reserved, stream number
        const quint16 nameLength = object.u16();
        const quint16 type = object.u16();
        const quint32 valueLength = object.u32();
        const QByteArrayView name = object.take(nameLength);
        const QByteArrayView value = object.take(valueLength);
        if (object.ok())
            addAttribute(texts, name, type, value);
    }
    return object.ok();
}

// A run of objects; the header extension holds a run of its own, one level deep.
bool readObjects(ByteCursor& objects, AsfTexts& texts, bool inExtension)
{
    while (objects.ok() && objects.remaining() > 0) {
        const QByteArrayView guid = objects.take(16);
        const quint64 size = objects.u64();
        if (!objects.ok() || size < kObjectHeaderBytes)
            return false;
        ByteCursor object(objects.take(size - kObjectHeaderBytes));
        if (!objects.ok())
            return false;
        bool read = true;
        if (isGuid(guid, kContentDescriptionGuid)) {
            read = readContentDescription(object, texts);
        } else if (isGuid(guid, kExtendedContentDescriptionGuid)) {
            read = readExtendedContentDescription(object, texts);
        } else if (isGuid(guid, kMetadataGuid) || isGuid(guid, kMetadataLibraryGuid)) {
            read = readMetadataRecords(object, texts);
        } else if (!inExtension && isGuid(guid, kHeaderExtensionGuid)) {
            object.skip(16 + 2); // reserved GUID and number
            ByteCursor extension(object.take(object.u32()));
            read = object.ok() && readObjects(extension, texts, true);
        }
        if (!read)
            return false;
    }
    return objects.ok();
}

} // namespace

std::optional<AsfTexts> parseAsfHeader(QByteArrayView header)
{
    ByteCursor cursor(header);
    const bool isHeader = isGuid(cursor.take(16), kHeaderGuid);
    const quint64 size = cursor.u64();
    cursor.skip(4 + 2); // object count (the sizes are what count), reserved
    if (!isHeader || !cursor.ok() || size != quint64(header.size()))
        return std::nullopt;
    AsfTexts texts;
    if (!readObjects(cursor, texts, false))
        return std::nullopt;
    return texts;
}

std::optional<AsfTexts> readAsfTexts(TagLib::IOStream& stream)
{
    stream.seek(0);
    const TagLib::ByteVector start = stream.readBlock(24);
    if (start.size() != 24)
        return std::nullopt;
    const quint64 size = qFromLittleEndian<quint64>(start.data() + 16);
    // Checked before reading: readBlock allocates what it is asked for.
    if (size > kMaxHeaderBytes || size > quint64(stream.length()))
        return std::nullopt;
    stream.seek(0);
    const TagLib::ByteVector header = stream.readBlock(static_cast<unsigned long>(size));
    return parseAsfHeader(QByteArrayView(header.data(), qsizetype(header.size())));
}

} // namespace tunevale
