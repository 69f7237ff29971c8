#include "common/nativepath.h"

namespace tunevale {

namespace {

// Where undecodable bytes go: the low surrogates U+DC80..U+DCFF, which valid UTF-8 never holds.
constexpr char16_t kEscapeBase = 0xDC00;

bool isEscapedByte(char16_t unit)
{
    return unit >= kEscapeBase + 0x80 && unit <= kEscapeBase + 0xFF;
}

// The length of the valid UTF-8 sequence at text[0], or 0 when it is not one (overlong,
// surrogate, beyond U+10FFFF or cut short).
int validSequenceLength(const unsigned char* text, qsizetype available, char32_t& codePoint)
{
    const unsigned char lead = text[0];
    int length = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        codePoint = lead & 0x1F;
        minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        codePoint = lead & 0x0F;
        minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        codePoint = lead & 0x07;
        minimum = 0x10000;
    } else {
        return 0;
    }
    if (available < length)
        return 0;
    for (int i = 1; i < length; ++i) {
        if ((text[i] & 0xC0) != 0x80)
            return 0;
        codePoint = (codePoint << 6) | (text[i] & 0x3F);
    }
    if (codePoint < minimum || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
        return 0;
    return length;
}

void appendUtf8(QByteArray& out, char32_t codePoint)
{
    if (codePoint < 0x80) {
        out.append(char(codePoint));
    } else if (codePoint < 0x800) {
        out.append(char(0xC0 | (codePoint >> 6)));
        out.append(char(0x80 | (codePoint & 0x3F)));
    } else if (codePoint < 0x10000) {
        out.append(char(0xE0 | (codePoint >> 12)));
        out.append(char(0x80 | ((codePoint >> 6) & 0x3F)));
        out.append(char(0x80 | (codePoint & 0x3F)));
    } else {
        out.append(char(0xF0 | (codePoint >> 18)));
        out.append(char(0x80 | ((codePoint >> 12) & 0x3F)));
        out.append(char(0x80 | ((codePoint >> 6) & 0x3F)));
        out.append(char(0x80 | (codePoint & 0x3F)));
    }
}

} // namespace

QByteArray nativePath(const QString& path)
{
    QByteArray bytes;
    bytes.reserve(path.size() * 3);
    for (qsizetype i = 0; i < path.size(); ++i) {
        const char16_t unit = path[i].unicode();
        if (QChar::isHighSurrogate(unit) && i + 1 < path.size() &&
            QChar::isLowSurrogate(path[i + 1].unicode())) {
            appendUtf8(bytes, QChar::surrogateToUcs4(unit, path[i + 1].unicode()));
            ++i;
        } else if (isEscapedByte(unit)) {
            bytes.append(char(unit - kEscapeBase));
        } else if (QChar::isSurrogate(unit)) {
            appendUtf8(bytes, QChar::ReplacementCharacter);
        } else {
            appendUtf8(bytes, unit);
        }
    }
    return bytes;
}

QString pathFromNative(const QByteArray& bytes)
{
    QString path;
    path.reserve(bytes.size());
    const auto* text = reinterpret_cast<const unsigned char*>(bytes.constData());
    for (qsizetype i = 0; i < bytes.size();) {
        char32_t codePoint = 0;
        const int length = validSequenceLength(text + i, bytes.size() - i, codePoint);
        if (length == 0) {
            path.append(QChar(char16_t(kEscapeBase + text[i])));
            ++i;
            continue;
        }
        if (QChar::requiresSurrogates(codePoint)) {
            path.append(QChar(QChar::highSurrogate(codePoint)));
            path.append(QChar(QChar::lowSurrogate(codePoint)));
        } else {
            path.append(QChar(char16_t(codePoint)));
        }
        i += length;
    }
    return path;
}

QString pathFromLocalUrl(const QUrl& url)
{
    if (!url.host().isEmpty())
        return url.toLocalFile(); // a share's name: Qt's own form
    return pathFromNative(QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()));
}

QStringList argumentsFromNative(int argc, const char* const* argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(pathFromNative(QByteArray(argv[i])));
    return arguments;
}

} // namespace tunevale
