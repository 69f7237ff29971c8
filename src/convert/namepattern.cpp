#include "convert/namepattern.h"

#include "common/audio/audioinformation.h"
#include "common/tags/richtags.h"
#include "convert/outputnaming.h"
#include "convert/safename.h"

#include <QRegularExpression>

namespace tunevale {

namespace {

const QRegularExpression& fieldExpression()
{
    static const QRegularExpression expression(QStringLiteral("\\{([^{}|]*)(?:\\|([^{}]*))?\\}"));
    return expression;
}

QString number(int value, int width = 0)
{
    return value > 0 ? QStringLiteral("%1").arg(value, width, 10, QChar(u'0')) : QString();
}

// The readable text for a field without a value.
QString fallbackOf(const QString& field)
{
    if (field == u"artist" || field == u"albumartist")
        return QStringLiteral("Unknown Artist");
    if (field == u"album")
        return QStringLiteral("Unknown Album");
    if (field == u"title")
        return QStringLiteral("Unknown Title");
    if (field == u"genre")
        return QStringLiteral("Unknown Genre");
    if (field == u"year")
        return QStringLiteral("Unknown Year");
    if (field == u"track")
        return QStringLiteral("00");
    if (field == u"disc")
        return QStringLiteral("1");
    return QStringLiteral("Unknown");
}

} // namespace

NameFields NameFields::of(const QString& source, const AudioTags& tags, const RichTags& rich)
{
    NameFields fields;
    fields.artist = tags.artist;
    fields.albumArtist = rich.albumArtist;
    fields.album = tags.album;
    fields.title = tags.title;
    fields.genre = rich.genre;
    const QString fileName = source.section(u'/', -1);
    fields.name = stemOf(fileName);
    fields.extension = fileName.mid(fields.name.size() + 1);
    fields.track = tags.track;
    fields.trackTotal = rich.trackTotal;
    fields.disc = rich.discNumber;
    fields.year = tags.year;
    return fields;
}

NamePattern::NamePattern(QString pattern)
    : m_pattern(std::move(pattern))
{}

QStringList NamePattern::fieldNames()
{
    return {QStringLiteral("artist"), QStringLiteral("albumartist"), QStringLiteral("album"),
            QStringLiteral("title"),  QStringLiteral("track"),       QStringLiteral("disc"),
            QStringLiteral("year"),   QStringLiteral("genre"),       QStringLiteral("name"),
            QStringLiteral("ext")};
}

QString NamePattern::problem() const
{
    if (m_pattern.trimmed().isEmpty())
        return QStringLiteral("the name pattern is empty");
    auto matches = fieldExpression().globalMatch(m_pattern);
    while (matches.hasNext()) {
        const QString field = matches.next().captured(1);
        if (!fieldNames().contains(field))
            return QStringLiteral("unknown field {%1} in the name pattern").arg(field);
    }
    return QString();
}

QString NamePattern::valueOf(const QString& field, const NameFields& fields) const
{
    if (field == u"artist")
        return fields.artist;
    if (field == u"albumartist")
        return fields.albumArtist.isEmpty() ? fields.artist : fields.albumArtist;
    if (field == u"album")
        return fields.album;
    if (field == u"title")
        return fields.title;
    if (field == u"genre")
        return fields.genre;
    if (field == u"name")
        return fields.name;
    if (field == u"ext")
        return fields.extension;
    if (field == u"track")
        return number(fields.track, std::max<int>(2, number(fields.trackTotal).size()));
    if (field == u"disc")
        return number(fields.disc);
    if (field == u"year")
        return number(fields.year);
    return QString();
}

QStringList NamePattern::expand(const NameFields& fields, bool portable, int extensionBytes) const
{
    // Fields are filled in before the pattern is split, with their separators made harmless,
    // so only the pattern's own "/" makes folders.
    QString filled;
    qsizetype from = 0;
    auto matches = fieldExpression().globalMatch(m_pattern);
    while (matches.hasNext()) {
        const QRegularExpressionMatch match = matches.next();
        filled += m_pattern.mid(from, match.capturedStart() - from).replace(u'\\', u'/');
        QString value = valueOf(match.captured(1), fields).trimmed();
        if (value.isEmpty())
            value = match.hasCaptured(2) ? match.captured(2) : fallbackOf(match.captured(1));
        filled += value.replace(u'/', u'_').replace(u'\\', u'_');
        from = match.capturedEnd();
    }
    filled += m_pattern.mid(from).replace(u'\\', u'/');

    QStringList components;
    for (const QString& piece : filled.split(u'/', Qt::SkipEmptyParts)) {
        if (piece.trimmed().isEmpty())
            continue;
        components << cutToBytes(safeComponent(piece, portable));
    }
    if (components.isEmpty())
        components << safeComponent(fields.name, portable);
    QString& last = components.last();
    last = cutToBytes(last, kComponentBytes - extensionBytes);
    // A cut can leave a trailing blank or dot that a portable name must not end in.
    last = safeComponent(last, portable);
    return components;
}

} // namespace tunevale
