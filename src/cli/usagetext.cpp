#include "cli/usagetext.h"

#include "common/codecs/outputformat.h"

namespace tunevale {

namespace {

constexpr int kHelpColumn = 29;

} // namespace

QString listedWithOr(const QStringList& items)
{
    return listedPieces(items).join(u' ');
}

QStringList listedPieces(const QStringList& items)
{
    QStringList pieces;
    for (qsizetype index = 0; index < items.size(); ++index) {
        const qsizetype left = items.size() - 1 - index;
        if (left == 0)
            pieces << items[index];
        else if (left == 1)
            pieces << items[index] << QStringLiteral("or");
        else
            pieces << items[index] + u',';
    }
    return pieces;
}

QString wrappedText(const QStringList& pieces, int width)
{
    QString wrapped;
    QString line;
    for (const QString& piece : pieces) {
        if (!line.isEmpty() && line.size() + 1 + piece.size() > width) {
            wrapped += line + u'\n';
            line.clear();
        }
        line += (line.isEmpty() ? QString() : QStringLiteral(" ")) + piece;
    }
    return line.isEmpty() ? wrapped : wrapped + line + u'\n';
}

QStringList words(const QString& text)
{
    return text.split(u' ', Qt::SkipEmptyParts);
}

QString optionLine(const QString& option, const QString& help)
{
    const QString indent(kHelpColumn, u' ');
    QString lines = help;
    lines.replace(u'\n', u'\n' + indent);
    return (QStringLiteral("  ") + option).leftJustified(kHelpColumn - 1) + u' ' + lines + u'\n';
}

QStringList transcodeFormats()
{
    QStringList formats;
    for (const OutputFormat& format : outputFormats())
        formats << u'.' + format.extension.toString() + QStringLiteral(" (") +
                       format.startSettings.toString() + u')';
    return formats;
}

QString splittingFormatsText()
{
    QStringList captions;
    for (const OutputFormat& format : outputFormats()) {
        if (format.splitting != Splitting::None)
            captions << format.caption.toString();
    }
    return listedWithOr(captions);
}

} // namespace tunevale
