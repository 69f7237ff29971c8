#include "common/tags/asftexts.h"
#include "common/tags/vorbiscomments.h"
#include "support/fixtures.h"
#include "support/qtprinters.h"
#include "support/signals.h"

#include <QFile>
#include <QProcess>
#include <QtEndian>

#include <taglib/tbytevectorstream.h>

#include <gtest/gtest.h>

#include <set>
#include <vector>

using namespace tunevale;
using namespace tunevale::test;

namespace {

template <typename Number> QByteArray little(Number number)
{
    QByteArray bytes(sizeof(Number), Qt::Uninitialized);
    qToLittleEndian(number, bytes.data());
    return bytes;
}

QByteArray withNul(const char* before, const char* after)
{
    return QByteArray(before) + '\0' + QByteArray(after);
}

QString textWithNul(const char* before, const char* after)
{
    return QString::fromUtf8(withNul(before, after));
}

// The first count bytes in a heap block of exactly that size, so that a read past the end
// shows under the sanitizers.
std::vector<char> firstBytes(const QByteArray& bytes, qsizetype count)
{
    return {bytes.begin(), bytes.begin() + count};
}

QByteArrayView viewOf(const std::vector<char>& bytes)
{
    return {bytes.data(), qsizetype(bytes.size())};
}

TagLib::ByteVectorStream streamOf(const QByteArray& bytes)
{
    return TagLib::ByteVectorStream(TagLib::ByteVector(bytes.constData(), unsigned(bytes.size())));
}

QByteArray vorbisField(const QByteArray& text)
{
    return little(quint32(text.size())) + text;
}

QByteArray vorbisBlock()
{
    return vorbisField("vendor") + little(quint32(4)) + vorbisField(withNul("TITLE=a", "b")) +
           vorbisField("title=second") + vorbisField("no separator") +
           vorbisField(withNul("artist=x", "y"));
}

TEST(VorbisComments, KeepWholeValuesAndRejectEveryTruncation)
{
    const auto comments = parseVorbisComments(vorbisBlock());
    ASSERT_TRUE(comments.has_value());
    EXPECT_EQ(comments->size(), 2u);
    EXPECT_EQ(comments->at(QStringLiteral("TITLE")), textWithNul("a", "b"));
    EXPECT_EQ(comments->at(QStringLiteral("ARTIST")), textWithNul("x", "y"));

    const QByteArray block = vorbisBlock();
    for (qsizetype size = 0; size < block.size(); ++size)
        EXPECT_FALSE(parseVorbisComments(viewOf(firstBytes(block, size)))) << size;
    const QByteArray endlessCount = vorbisField("v") + little(quint32(0xFFFFFFFF));
    EXPECT_FALSE(parseVorbisComments(endlessCount));
    EXPECT_FALSE(parseVorbisComments(vorbisField("v") + little(quint32(1)) +
                                     little(quint32(0xFFFFFFF0)) + "TITLE=a"));
}

// A FLAC metadata block header: last-block flag and type, then a 24-bit big-endian length.
QByteArray flacBlockHeader(char flagAndType, quint32 length)
{
    QByteArray header(4, flagAndType);
    for (int index = 1; index < 4; ++index)
        header[index] = char(length >> (8 * (3 - index)));
    return header;
}

QByteArray flacFile(quint32 claimedCommentLength)
{
    return "fLaC" + flacBlockHeader(0, 34) + QByteArray(34, '\0') +
           flacBlockHeader(char(0x84), claimedCommentLength) + vorbisBlock();
}

TEST(FlacComments, FindTheCommentBlockAndRefuseLengthsPastTheEnd)
{
    const QByteArray file = flacFile(quint32(vorbisBlock().size()));
    auto whole = streamOf(file);
    const auto comments = readFlacComments(whole);
    ASSERT_TRUE(comments.has_value());
    EXPECT_EQ(comments->at(QStringLiteral("TITLE")), textWithNul("a", "b"));

    for (qsizetype size = 0; size < file.size(); ++size) {
        auto cut = streamOf(file.left(size));
        EXPECT_FALSE(readFlacComments(cut)) << size;
    }
    auto claimsMore = streamOf(flacFile(0xFFFFFF));
    EXPECT_FALSE(readFlacComments(claimsMore));
}

// A FLAC file with an ID3v2 tag in front, as mutagen writes it: the comments come after the
// tag, and a tag size that runs past the end finds nothing.
TEST(FlacComments, AreFoundAfterAnId3TagInFront)
{
    TempDir dir;
    const QString path = dir.file(QStringLiteral("id3.flac"));
    ASSERT_TRUE(makeWithFfmpeg(path, silence(8000, 1, 0.5), 8000, 1, args({"-c:a", "flac"})));
    QProcess mutagen;
    mutagen.start(QStringLiteral("/usr/bin/python3"),
                  {QStringLiteral("-c"),
                   QStringLiteral("import sys\n"
                                  "from mutagen import flac, id3\n"
                                  "native = flac.FLAC(sys.argv[1])\n"
                                  "native['TITLE'] = ['a\\0b']\n"
                                  "native.save()\n"
                                  "tag = id3.ID3()\n"
                                  "tag.add(id3.TIT2(encoding=3, text='in front'))\n"
                                  "tag.save(sys.argv[1])\n"),
                   path});
    ASSERT_TRUE(mutagen.waitForFinished(60000) && mutagen.exitCode() == 0);
    QByteArray file = fileBytes(path);
    ASSERT_TRUE(file.startsWith("ID3"));
    ASSERT_GT(file.indexOf("fLaC"), 127); // a size that takes more than one of its 7-bit bytes

    auto tagged = streamOf(file);
    const auto comments = readFlacComments(tagged);
    ASSERT_TRUE(comments.has_value());
    EXPECT_EQ(comments->at(QStringLiteral("TITLE")), textWithNul("a", "b"));

    file.replace(6, 4, "\x7F\x7F\x7F\x7F");
    auto pastTheEnd = streamOf(file);
    EXPECT_FALSE(readFlacComments(pastTheEnd));
}

TEST(OggComments, CutOrDamagedCommentPacketGivesNothing)
{
    TempDir dir;
    const QString path = dir.file(QStringLiteral("long.ogg"));
    const std::vector<qint16> silence(8000);
    ASSERT_TRUE(makeWithFfmpeg(path, silence, 8000, 1,
                               {QStringLiteral("-c:a"), QStringLiteral("libvorbis"),
                                QStringLiteral("-metadata"),
                                QStringLiteral("LYRICS=") + QString(3000, u'c')}));
    QFile ogg(path);
    ASSERT_TRUE(ogg.open(QIODevice::ReadOnly));
    const QByteArray file = ogg.readAll();
    auto whole = streamOf(file);
    const auto comments = readOggComments(whole);
    ASSERT_TRUE(comments.has_value());
    EXPECT_EQ(comments->at(QStringLiteral("LYRICS")), QString(3000, u'c'));

    const qsizetype packet = file.indexOf("\x03vorbis");
    ASSERT_GT(packet, 0);
    auto cut = streamOf(file.left(packet + 1000));
    EXPECT_FALSE(readOggComments(cut));
    QByteArray damaged = file;
    damaged[packet + 1000] = char(damaged[packet + 1000] ^ 0x55); // the page checksum fails
    auto garbled = streamOf(damaged);
    EXPECT_FALSE(readOggComments(garbled));
}

QByteArray utf16(const QString& text)
{
    QByteArray bytes;
    for (const QChar character : text + QChar(u'\0'))
        bytes += little(character.unicode());
    return bytes;
}

QByteArray asfObject(const char* guid, const QByteArray& body)
{
    return QByteArray(guid, 16) + little(quint64(24 + body.size())) + body;
}

constexpr char kHeaderGuid[] = "\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C";

// An ASF header with texts in each object that holds them; boundaries gets the offsets where
// one of its objects ends.
QByteArray asfHeader(std::set<qsizetype>& boundaries)
{
    const QByteArray title = utf16(textWithNul("T", "x"));
    const QByteArray author = utf16(QStringLiteral("A"));
    const QByteArray description = utf16(textWithNul("D", "y"));
    const QByteArray attribute = utf16(QStringLiteral("WM/AlbumTitle"));
    const QByteArray number = utf16(QStringLiteral("WM/TrackNumber"));
    const QByteArray lyrics = utf16(QStringLiteral("WM/Lyrics"));
    const QByteArray objects[] = {
        asfObject("\x33\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C",
                  little(quint16(title.size())) + little(quint16(author.size())) +
                      little(quint16(0)) + little(quint16(description.size())) +
                      little(quint16(0)) + title + author + description),
        asfObject("\x40\xA4\xD0\xD2\x07\xE3\xD2\x11\x97\xF0\x00\xA0\xC9\x5E\xA8\x50",
                  little(quint16(2)) + little(quint16(number.size())) + number +
                      little(quint16(3)) + little(quint16(4)) + little(quint32(7)) +
                      little(quint16(attribute.size())) + attribute + little(quint16(0)) +
                      little(quint16(utf16(textWithNul("al", "bum")).size())) +
                      utf16(textWithNul("al", "bum"))),
        asfObject("\xB5\x03\xBF\x5F\x2E\xA9\xCF\x11\x8E\xE3\x00\xC0\x0C\x20\x53\x65",
                  QByteArray(18, '\0') + little(quint32(24 + 2 + 12 + lyrics.size() + 6)) +
                      asfObject("\x94\x1C\x23\x44\x98\x94\xD1\x49\xA1\x41\x1D\x13\x4E\x45\x70\x54",
                                little(quint16(1)) + little(quint32(0)) +
                                    little(quint16(lyrics.size())) + little(quint16(0)) +
                                    little(quint32(6)) + lyrics + QByteArray("l\0a\0\0\0", 6))),
    };
    QByteArray body = little(quint32(3)) + QByteArray(2, '\0');
    boundaries.insert(24 + body.size());
    for (const QByteArray& object : objects) {
        body += object;
        boundaries.insert(24 + body.size());
    }
    return QByteArray(kHeaderGuid, 16) + little(quint64(24 + body.size())) + body;
}

TEST(AsfTexts, KeepWholeTextsAndRejectObjectsPastTheEnd)
{
    std::set<qsizetype> boundaries;
    const QByteArray header = asfHeader(boundaries);
    const auto texts = parseAsfHeader(header);
    ASSERT_TRUE(texts.has_value());
    EXPECT_EQ(texts->title, textWithNul("T", "x") + QChar(u'\0'));
    EXPECT_EQ(texts->description, textWithNul("D", "y") + QChar(u'\0'));
    EXPECT_EQ(texts->attributes.at(QStringLiteral("WM/AlbumTitle")),
              textWithNul("al", "bum") + QChar(u'\0'));
    EXPECT_EQ(texts->attributes.at(QStringLiteral("WM/Lyrics")), textWithNul("la", ""));
    EXPECT_EQ(texts->attributes.count(QStringLiteral("WM/TrackNumber")), 0u) << "a number";

    // Cut anywhere, with the header's own size saying so: whole objects or nothing.
    for (qsizetype size = 0; size < header.size(); ++size) {
        QByteArray cut = header.left(size);
        if (size >= 24)
            cut.replace(16, 8, little(quint64(size)));
        EXPECT_EQ(parseAsfHeader(viewOf(firstBytes(cut, size))).has_value(),
                  boundaries.count(size) == 1)
            << size;
    }
    QByteArray tooSmall = header;
    tooSmall.replace(30 + 16, 8, little(quint64(23)));
    EXPECT_FALSE(parseAsfHeader(tooSmall));
    QByteArray endless = header;
    endless.replace(30 + 16, 8, little(quint64(-1)));
    EXPECT_FALSE(parseAsfHeader(endless));
    QByteArray claimsMore = header;
    claimsMore.replace(16, 8, little(quint64(header.size() + 1)));
    auto stream = streamOf(claimsMore);
    EXPECT_FALSE(readAsfTexts(stream));
}

} // namespace
