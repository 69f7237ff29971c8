#include "widgets/artwork.h"

#include "common/codecs/outputformat.h"

#include <QCoreApplication>
#include <QFont>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QStringList>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace tunevale {

namespace {

constexpr std::array kApplicationIconSizes{16, 24, 32, 48, 64, 128, 256};
// 24 and 16 are what toolbars and menus ask for; 32 and 48 serve their HiDPI doubles.
constexpr std::array kCommandIconSizes{16, 24, 32, 48};

// The product's colours: a deep blue running into violet.
const QColor kBrandTop(0x2E, 0x8B, 0xF0);
const QColor kBrandBottom(0x5B, 0x3C, 0xD8);

QString sansFamily()
{
    return QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
}

QPixmap transparentPixmap(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

// Text as a path scaled to fit box, so tiny badges stay legible at any pixel size.
QPainterPath fittedText(const QString& text, const QRectF& box, int weight)
{
    QFont font(sansFamily());
    font.setPixelSize(100);
    font.setWeight(static_cast<QFont::Weight>(weight));
    QPainterPath path;
    path.addText(0, 0, font, text);
    const QRectF bounds = path.boundingRect();
    if (bounds.isEmpty())
        return path;
    const qreal scale = std::min(box.width() / bounds.width(), box.height() / bounds.height());
    QTransform transform;
    transform.translate(box.center().x(), box.center().y());
    transform.scale(scale, scale);
    transform.translate(-bounds.center().x(), -bounds.center().y());
    return transform.map(path);
}

// Heights of the waveform bars, 0..1, symmetric so the mark reads as one sound.
std::vector<qreal> waveBars(int size)
{
    if (size <= 24)
        return {0.38, 0.78, 1.0, 0.62};
    if (size <= 48)
        return {0.30, 0.62, 1.0, 0.74, 0.46};
    return {0.22, 0.48, 0.80, 1.0, 0.66, 0.86, 0.42, 0.26};
}

void drawApplicationIcon(QPainter& painter, int size)
{
    const qreal s = size;
    const qreal margin = size <= 16 ? 0.5 : s * 0.04;
    const QRectF tile(margin, margin, s - 2 * margin, s - 2 * margin);
    const qreal radius = tile.width() * 0.22;

    QLinearGradient background(tile.topLeft(), tile.bottomRight());
    background.setColorAt(0.0, kBrandTop);
    background.setColorAt(1.0, kBrandBottom);
    painter.setPen(Qt::NoPen);
    painter.setBrush(background);
    painter.drawRoundedRect(tile, radius, radius);

    if (size >= 32) {
        // A soft light from the top left gives the tile some depth.
        QRadialGradient glow(tile.left() + tile.width() * 0.3, tile.top() + tile.height() * 0.2,
                             tile.width() * 0.9);
        glow.setColorAt(0.0, QColor(255, 255, 255, 70));
        glow.setColorAt(1.0, QColor(255, 255, 255, 0));
        painter.setBrush(glow);
        painter.drawRoundedRect(tile, radius, radius);
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(QColor(255, 255, 255, 60), std::max(1.0, s / 64.0)));
        painter.drawRoundedRect(tile.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
    }

    // The waveform: rounded white bars centred on the tile.
    const std::vector<qreal> bars = waveBars(size);
    const qreal count = static_cast<qreal>(bars.size());
    const QRectF area = tile.adjusted(tile.width() * 0.2, tile.height() * 0.2, -tile.width() * 0.2,
                                      -tile.height() * 0.2);
    const qreal pitch = area.width() / count;
    const qreal barWidth = pitch * (size <= 24 ? 0.62 : 0.58);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    for (std::size_t i = 0; i < bars.size(); ++i) {
        const qreal height = std::max(barWidth, area.height() * bars[i]);
        const qreal x = area.left() + pitch * static_cast<qreal>(i) + (pitch - barWidth) / 2;
        const QRectF bar(x, area.center().y() - height / 2, barWidth, height);
        painter.drawRoundedRect(bar, barWidth / 2, barWidth / 2);
    }
}

// Icons are drawn on a 24-unit grid and scaled; pens are in grid units.
void drawPlusBadge(QPainter& painter, const QPointF& centre)
{
    painter.setPen(QPen(Qt::white, 1.2));
    painter.setBrush(QColor(0x2F, 0x9E, 0x44));
    painter.drawEllipse(centre, 5.6, 5.6);
    painter.setPen(QPen(Qt::white, 2.0, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(centre + QPointF(-2.7, 0), centre + QPointF(2.7, 0));
    painter.drawLine(centre + QPointF(0, -2.7), centre + QPointF(0, 2.7));
}

void drawDocument(QPainter& painter)
{
    QPainterPath page;
    page.moveTo(4.5, 2.5);
    page.lineTo(13.5, 2.5);
    page.lineTo(18.5, 7.5);
    page.lineTo(18.5, 21.5);
    page.lineTo(4.5, 21.5);
    page.closeSubpath();
    QLinearGradient fill(0, 2, 0, 22);
    fill.setColorAt(0, Qt::white);
    fill.setColorAt(1, QColor(0xE8, 0xEE, 0xF6));
    painter.setPen(QPen(QColor(0x5A, 0x6B, 0x82), 1.0, Qt::SolidLine, Qt::FlatCap, Qt::RoundJoin));
    painter.setBrush(fill);
    painter.drawPath(page);
    QPainterPath fold;
    fold.moveTo(13.5, 2.5);
    fold.lineTo(13.5, 7.5);
    fold.lineTo(18.5, 7.5);
    painter.setBrush(QColor(0xC9, 0xD4, 0xE3));
    painter.drawPath(fold);
    // A note on the page says "audio file".
    painter.setPen(Qt::NoPen);
    painter.setBrush(kBrandBottom);
    painter.drawEllipse(QPointF(8.6, 15.2), 1.9, 1.5);
    painter.drawRect(QRectF(9.6, 9.2, 1.1, 6.0));
    painter.drawRect(QRectF(9.6, 9.2, 3.4, 1.2));
}

void drawFolder(QPainter& painter)
{
    QPainterPath back;
    back.moveTo(1.5, 5.5);
    back.lineTo(8.5, 5.5);
    back.lineTo(10.5, 7.5);
    back.lineTo(20.5, 7.5);
    back.lineTo(20.5, 19.5);
    back.lineTo(1.5, 19.5);
    back.closeSubpath();
    const QPen outline(QColor(0xB0, 0x7A, 0x10), 1.0, Qt::SolidLine, Qt::FlatCap, Qt::RoundJoin);
    painter.setPen(outline);
    painter.setBrush(QColor(0xF2, 0xB8, 0x3C));
    painter.drawPath(back);
    QPainterPath front;
    front.moveTo(1.5, 19.5);
    front.lineTo(3.5, 10.5);
    front.lineTo(22.5, 10.5);
    front.lineTo(20.5, 19.5);
    front.closeSubpath();
    QLinearGradient fill(0, 10, 0, 20);
    fill.setColorAt(0, QColor(0xFF, 0xDE, 0x7A));
    fill.setColorAt(1, QColor(0xF6, 0xC4, 0x4E));
    painter.setBrush(fill);
    painter.drawPath(front);
}

void drawRemove(QPainter& painter)
{
    painter.setPen(QPen(QColor(0xB5, 0x1F, 0x1F), 1.0));
    QLinearGradient fill(0, 3, 0, 21);
    fill.setColorAt(0, QColor(0xF0, 0x55, 0x55));
    fill.setColorAt(1, QColor(0xD0, 0x2B, 0x2B));
    painter.setBrush(fill);
    painter.drawEllipse(QPointF(12, 12), 9.5, 9.5);
    painter.setPen(QPen(Qt::white, 2.6, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(8.2, 8.2), QPointF(15.8, 15.8));
    painter.drawLine(QPointF(15.8, 8.2), QPointF(8.2, 15.8));
}

void drawPlay(QPainter& painter)
{
    QPainterPath triangle;
    triangle.moveTo(6.0, 3.5);
    triangle.lineTo(20.5, 12.0);
    triangle.lineTo(6.0, 20.5);
    triangle.closeSubpath();
    QLinearGradient fill(0, 3, 0, 21);
    fill.setColorAt(0, QColor(0x3D, 0xBF, 0x5C));
    fill.setColorAt(1, QColor(0x23, 0x8B, 0x3C));
    painter.setPen(QPen(QColor(0x1C, 0x6E, 0x30), 1.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(fill);
    painter.drawPath(triangle);
}

// A coloured badge: the format's name where there is room, its mark where there is not.
void drawFormatBadge(QPainter& painter, const QString& caption, const FormatBadge& badge, int size)
{
    painter.scale(size / 24.0, size / 24.0);
    const QColor colour = QColor::fromRgb(badge.colour);
    const QRectF body(1.5, 3.5, 21, 17);
    QLinearGradient fill(0, body.top(), 0, body.bottom());
    fill.setColorAt(0, colour.lighter(125));
    fill.setColorAt(1, colour);
    painter.setPen(QPen(colour.darker(135), 1.0));
    painter.setBrush(fill);
    painter.drawRoundedRect(body, 3.5, 3.5);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    if (size >= 24) {
        painter.drawPath(fittedText(caption, body.adjusted(1.9, 4.0, -1.9, -4.0), QFont::Black));
        return;
    }
    if (badge.mark.isEmpty()) {
        QPainterPath wave;
        wave.moveTo(5.0, 12.0);
        wave.cubicTo(7.5, 4.5, 9.5, 4.5, 12.0, 12.0);
        wave.cubicTo(14.5, 19.5, 16.5, 19.5, 19.0, 12.0);
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(Qt::white, 2.6, Qt::SolidLine, Qt::RoundCap));
        painter.drawPath(wave);
        return;
    }
    painter.drawPath(
        fittedText(badge.mark.toString(), body.adjusted(6.0, 3.0, -6.0, -3.0), QFont::Black));
}

void drawCommandIcon(QPainter& painter, CommandIcon icon, int size)
{
    painter.scale(size / 24.0, size / 24.0);
    switch (icon) {
    case CommandIcon::AddFiles:
        drawDocument(painter);
        drawPlusBadge(painter, QPointF(17.5, 17.5));
        break;
    case CommandIcon::AddFolder:
        drawFolder(painter);
        drawPlusBadge(painter, QPointF(17.5, 17.5));
        break;
    case CommandIcon::Remove:
        drawRemove(painter);
        break;
    case CommandIcon::Play:
        drawPlay(painter);
        break;
    }
}

// A spectrum envelope that rises towards the middle like a valley seen from its floor.
qreal spectrumLevel(qreal t)
{
    const qreal envelope = 0.35 + 0.65 * std::sin(t * 3.14159265);
    const qreal ripple = 0.55 + 0.25 * std::sin(t * 23.0 + 0.7) + 0.2 * std::sin(t * 57.0 + 1.9);
    return std::clamp(envelope * ripple, 0.06, 1.0);
}

void drawSplash(QPainter& painter)
{
    constexpr qreal kWidth = 480;
    constexpr qreal kHeight = 300;
    constexpr qreal kFooterTop = 244;

    QLinearGradient sky(0, 0, kWidth, kHeight);
    sky.setColorAt(0.0, QColor(0x10, 0x2A, 0x55));
    sky.setColorAt(0.55, QColor(0x23, 0x2F, 0x7A));
    sky.setColorAt(1.0, QColor(0x4A, 0x2A, 0x86));
    painter.fillRect(QRectF(0, 0, kWidth, kHeight), sky);

    QRadialGradient glow(QPointF(kWidth * 0.78, kHeight * 0.25), kWidth * 0.55);
    glow.setColorAt(0.0, QColor(0x4F, 0xB3, 0xFF, 90));
    glow.setColorAt(1.0, QColor(0x4F, 0xB3, 0xFF, 0));
    painter.fillRect(QRectF(0, 0, kWidth, kHeight), glow);

    // Spectrum bars standing on the footer, fading upwards.
    constexpr int kBars = 48;
    constexpr qreal kLeft = 24;
    constexpr qreal kRight = kWidth - 24;
    constexpr qreal kFloor = kFooterTop - 10;
    constexpr qreal kMaxHeight = 96;
    const qreal pitch = (kRight - kLeft) / kBars;
    QLinearGradient barFill(0, kFloor - kMaxHeight, 0, kFloor);
    barFill.setColorAt(0.0, QColor(0xE0, 0x7B, 0xFF, 150));
    barFill.setColorAt(0.5, QColor(0x6C, 0xB8, 0xFF, 120));
    barFill.setColorAt(1.0, QColor(0x3A, 0xE0, 0xD0, 70));
    painter.setPen(Qt::NoPen);
    painter.setBrush(barFill);
    for (int i = 0; i < kBars; ++i) {
        const qreal t = (i + 0.5) / kBars;
        const qreal height = kMaxHeight * spectrumLevel(t);
        painter.drawRoundedRect(
            QRectF(kLeft + i * pitch + 1.2, kFloor - height, pitch - 2.4, height), 1.5, 1.5);
    }

    // A bright waveform line running across the bars.
    QPainterPath wave;
    constexpr int kSteps = 240;
    for (int i = 0; i <= kSteps; ++i) {
        const qreal t = static_cast<qreal>(i) / kSteps;
        const qreal x = kLeft + t * (kRight - kLeft);
        const qreal amplitude = 26 * std::sin(t * 3.14159265);
        const qreal y = kFloor - 52 + amplitude * std::sin(t * 31.0) * std::cos(t * 7.0);
        if (i == 0)
            wave.moveTo(x, y);
        else
            wave.lineTo(x, y);
    }
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(0x9F, 0xE8, 0xFF, 60), 6, Qt::SolidLine, Qt::RoundCap));
    painter.drawPath(wave);
    painter.setPen(QPen(QColor(0xE6, 0xF8, 0xFF, 220), 1.6, Qt::SolidLine, Qt::RoundCap));
    painter.drawPath(wave);

    // Product mark, name and tagline.
    const QRectF iconBox(28, 34, 64, 64);
    painter.save();
    painter.translate(iconBox.topLeft());
    drawApplicationIcon(painter, 64);
    painter.restore();

    QFont title(sansFamily());
    title.setPixelSize(44);
    title.setWeight(QFont::Bold);
    title.setLetterSpacing(QFont::PercentageSpacing, 98);
    painter.setFont(title);
    painter.setPen(Qt::white);
    painter.drawText(QPointF(108, 80), QStringLiteral("Tunevale"));

    QFont tagline(sansFamily());
    tagline.setPixelSize(16);
    tagline.setLetterSpacing(QFont::AbsoluteSpacing, 1.5);
    painter.setFont(tagline);
    painter.setPen(QColor(0xCF, 0xE2, 0xFF));
    painter.drawText(QPointF(111, 104),
                     QCoreApplication::translate("tunevale::Artwork", "Audio converter"));

    QFont formats(sansFamily());
    formats.setPixelSize(11);
    formats.setWeight(QFont::DemiBold);
    formats.setLetterSpacing(QFont::AbsoluteSpacing, 2.0);
    QStringList captions;
    for (const OutputFormat& format : outputFormats())
        captions << format.caption.toString();
    constexpr qreal kFormatsLeft = 112;
    QString line = captions.join(QStringLiteral("  \u00B7  "));
    // Set closer together when the list would run past the right edge.
    if (QFontMetricsF(formats).horizontalAdvance(line) > kWidth - kFormatsLeft - 16) {
        formats.setLetterSpacing(QFont::AbsoluteSpacing, 1.0);
        line = captions.join(QStringLiteral(" \u00B7 "));
    }
    painter.setFont(formats);
    painter.setPen(QColor(0x8F, 0xB4, 0xF0));
    painter.drawText(QPointF(kFormatsLeft, 124), line);

    // The footer band carries the version and copyright labels of the window.
    painter.fillRect(QRectF(0, kFooterTop, kWidth, kHeight - kFooterTop), QColor(0, 0, 0, 70));
    painter.fillRect(QRectF(0, kFooterTop, kWidth, 1), QColor(255, 255, 255, 40));
}

// An icon drawn at each size menus and toolbars ask for.
template <typename Draw> QIcon iconOfEverySize(Draw draw)
{
    QIcon result;
    for (const int size : kCommandIconSizes) {
        QPixmap pixmap = transparentPixmap(size);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        draw(painter, size);
        painter.end();
        result.addPixmap(pixmap);
    }
    return result;
}

} // namespace

QFont windowFont()
{
    const QString family = QStringLiteral("Tahoma");
    QFont font = QFontDatabase::families().contains(family)
                     ? QFont(family)
                     : QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPointSize(9);
    return font;
}

QIcon applicationIcon()
{
    QIcon icon;
    for (const int size : kApplicationIconSizes) {
        QPixmap pixmap = transparentPixmap(size);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        drawApplicationIcon(painter, size);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

QPixmap splashArtwork(const QSize& size)
{
    if (size.isEmpty())
        return {};
    QPixmap pixmap(size);
    pixmap.fill(Qt::black);
    QPainter painter(&pixmap);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    // Drawn on a 480x300 canvas; other sizes (HiDPI, a larger window) scale it.
    painter.scale(size.width() / 480.0, size.height() / 300.0);
    drawSplash(painter);
    return pixmap;
}

QIcon commandIcon(CommandIcon icon)
{
    return iconOfEverySize(
        [icon](QPainter& painter, int size) { drawCommandIcon(painter, icon, size); });
}

QIcon formatIcon(const QString& caption, const FormatBadge& badge)
{
    return iconOfEverySize(
        [&](QPainter& painter, int size) { drawFormatBadge(painter, caption, badge, size); });
}

} // namespace tunevale
