#include "player/visualisation.h"

#include "player/spectrumanalyser.h"

#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygonF>
#include <QRadialGradient>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <vector>

namespace tunevale {

namespace {

enum Style { kAnalog = 0, kLinear, kNormal, kFire, kGlass, kKryptonite };

constexpr int kBands = SpectrumAnalyser::kBandCount;

// Analog meters: 0 VU sits this far below a full-scale sine, and the needle is a damped
// spring stepped once per drawn frame (about 30 per second), overshooting a little as real
// VU needles do.
constexpr float kVuReferenceDb = -10.0f;
constexpr float kVuTopDb = 3.0f;
constexpr float kNeedleStep = 1.0f / 30.0f;
constexpr float kNeedleOmega = 12.5f;
constexpr float kNeedleDamping = 0.72f;
constexpr float kNeedleStop = 1.05f;
constexpr float kOverloadDb = -0.5f;
constexpr int kOverloadHoldFrames = 20;

// Fire: a coarse heat field that rises, spreads and cools, scaled up smoothly when painted.
// Small on purpose: it costs almost nothing per frame.
constexpr int kFireColumnsPerBand = 5;
constexpr int kFireColumns = kBands * kFireColumnsPerBand;
constexpr int kFireRows = 60;
constexpr int kFireStepsPerFrame = 7;
constexpr quint32 kFireSeed = 0x9e3779b9u;

// Oscilloscope: about 25 ms of sound across the width.
constexpr double kScopeSeconds = 0.025;

float vuPosition(float rmsDb)
{
    if (rmsDb <= SpectrumAnalyser::kSilenceDb)
        return 0.0f;
    // The scale is linear in voltage with +3 VU at the right end.
    return std::min(kNeedleStop, std::pow(10.0f, (rmsDb - kVuReferenceDb - kVuTopDb) / 20.0f));
}

QColor mix(const QColor& a, const QColor& b, double t)
{
    return QColor::fromRgbF(static_cast<float>(a.redF() + (b.redF() - a.redF()) * t),
                            static_cast<float>(a.greenF() + (b.greenF() - a.greenF()) * t),
                            static_cast<float>(a.blueF() + (b.blueF() - a.blueF()) * t),
                            static_cast<float>(a.alphaF() + (b.alphaF() - a.alphaF()) * t));
}

// Where bar `band` of `count` sits inside `area`, leaving a gap that scales with the pitch.
struct BarLayout {
    double left;
    double pitch;
    double width;
    BarLayout(const QRectF& area, int count)
        : left(area.left())
        , pitch(area.width() / count)
        , width(std::max(1.0, pitch - std::max(1.0, pitch * 0.24)))
    {}
    double x(int band) const { return left + band * pitch + (pitch - width) / 2.0; }
};

} // namespace

struct Visualisation::State {
    SpectrumAnalyser analyser;

    std::array<float, 2> needle{};
    std::array<float, 2> needleSpeed{};
    std::array<int, 2> overload{};

    std::vector<float> heat;
    std::vector<float> fireSource;
    std::vector<float> fireCooling;
    std::vector<float> fireGust;
    quint32 random = kFireSeed;
    QImage fireImage{kFireColumns, kFireRows, QImage::Format_ARGB32_Premultiplied};
    std::array<QRgb, 256> firePalette{};

    std::array<std::vector<float>, 2> ghost;
    QPolygonF line;

    QPixmap background;
    QPixmap foreground;
    int cachedStyle = -1;
    QSize cachedSize;
    qreal cachedRatio = 0.0;

    State();
    void reset();
    void step();
    void stepNeedles();
    void stepFire();
    quint32 nextRandom();

    void renderCache(int style, const QSize& size, qreal ratio);
    void paintBackground(QPainter& painter, int style, const QRectF& area) const;
    void paintForeground(QPainter& painter, int style, const QRectF& area) const;

    void paintAnalog(QPainter& painter, const QRectF& area) const;
    void paintLinear(QPainter& painter, const QRectF& area);
    void paintNormal(QPainter& painter, const QRectF& area) const;
    void paintFire(QPainter& painter, const QRectF& area);
    void paintGlass(QPainter& painter, const QRectF& area) const;
    void paintKryptonite(QPainter& painter, const QRectF& area) const;
    void traceWave(std::span<const float> wave, int start, int span, const QRectF& lane);
};

namespace {

// The two meter faces of the analog style and the geometry of their scales.
struct MeterFace {
    QRectF face;
    QPointF pivot;
    double radius;
    double sweep; // radians either side of upright

    double angle(double position) const { return -sweep + 2.0 * sweep * position; }
    QPointF point(double position, double atRadius) const
    {
        const double a = angle(position);
        return {pivot.x() + atRadius * std::sin(a), pivot.y() - atRadius * std::cos(a)};
    }
};

std::array<MeterFace, 2> meterFaces(const QRectF& area)
{
    const double margin = std::max(4.0, area.height() * 0.06);
    const double width = (area.width() - 3.0 * margin) / 2.0;
    const double height = area.height() - 2.0 * margin;
    std::array<MeterFace, 2> faces;
    for (int i = 0; i < 2; ++i) {
        MeterFace& m = faces[static_cast<size_t>(i)];
        m.face =
            QRectF(area.left() + margin + i * (width + margin), area.top() + margin, width, height);
        m.pivot = QPointF(m.face.center().x(), m.face.bottom() + height * 0.32);
        m.radius = m.pivot.y() - (m.face.top() + height * 0.34);
        m.sweep = std::min(0.85, std::asin(std::min(1.0, width * 0.36 / m.radius)));
    }
    return faces;
}

} // namespace

Visualisation::State::State()
    : heat(static_cast<size_t>(kFireColumns * kFireRows), 0.0f)
    , fireSource(kFireColumns, 0.0f)
    , fireCooling(kFireColumns, 1.0f)
    , fireGust(kFireColumns, 1.0f)
{
    // Transparent through ember red, orange and yellow to a white-hot core.
    struct Stop {
        double at;
        QColor colour;
    };
    const std::array<Stop, 7> stops{{{0.0, QColor(0, 0, 0, 0)},
                                     {0.12, QColor(80, 6, 0, 70)},
                                     {0.28, QColor(180, 26, 0, 200)},
                                     {0.45, QColor(245, 96, 4, 255)},
                                     {0.62, QColor(255, 170, 30, 255)},
                                     {0.78, QColor(255, 228, 110, 255)},
                                     {0.95, QColor(255, 252, 230, 255)}}};
    for (size_t i = 0; i < firePalette.size(); ++i) {
        const double t = static_cast<double>(i) / 255.0;
        size_t s = 1;
        while (s + 1 < stops.size() && stops[s].at < t)
            ++s;
        const double local = (t - stops[s - 1].at) / (stops[s].at - stops[s - 1].at);
        firePalette[i] = qPremultiply(
            mix(stops[s - 1].colour, stops[s].colour, std::clamp(local, 0.0, 1.0)).rgba());
    }
    reset();
}

void Visualisation::State::reset()
{
    analyser.reset();
    needle.fill(0.0f);
    needleSpeed.fill(0.0f);
    overload.fill(0);
    std::fill(heat.begin(), heat.end(), 0.0f);
    random = kFireSeed;
    for (auto& wave : ghost)
        wave.assign(static_cast<size_t>(analyser.frames()), 0.0f);
}

quint32 Visualisation::State::nextRandom()
{
    random ^= random << 13;
    random ^= random >> 17;
    random ^= random << 5;
    return random;
}

void Visualisation::State::step()
{
    stepNeedles();
    stepFire();
}

void Visualisation::State::stepNeedles()
{
    for (size_t side = 0; side < 2; ++side) {
        const auto s = static_cast<int>(side);
        const float target = vuPosition(analyser.rmsDb(s));
        float& x = needle[side];
        float& v = needleSpeed[side];
        v += (kNeedleOmega * kNeedleOmega * (target - x) -
              2.0f * kNeedleDamping * kNeedleOmega * v) *
             kNeedleStep;
        x += v * kNeedleStep;
        if (x < 0.0f || x > kNeedleStop) {
            x = std::clamp(x, 0.0f, kNeedleStop);
            v = 0.0f;
        }
        if (analyser.peakDb(s) >= kOverloadDb)
            overload[side] = kOverloadHoldFrames;
        else if (overload[side] > 0)
            --overload[side];
    }
}

void Visualisation::State::stepFire()
{
    // Each column burns at the bottom and cools as the heat rises, by just enough that its
    // flames reach about as high as its band's level; random gusts of cooling and flickering
    // embers shape the tongues.
    const auto bands = analyser.bands();
    for (int x = 0; x < kFireColumns; ++x) {
        const double position = (x + 0.5) / kFireColumnsPerBand - 0.5;
        const int low = std::clamp(static_cast<int>(std::floor(position)), 0, kBands - 1);
        const int high = std::min(low + 1, kBands - 1);
        const double t = std::clamp(position - low, 0.0, 1.0);
        const double level =
            bands[static_cast<size_t>(low)] * (1.0 - t) + bands[static_cast<size_t>(high)] * t;
        fireSource[static_cast<size_t>(x)] = static_cast<float>(std::min(1.0, level * 4.0));
        fireCooling[static_cast<size_t>(x)] = static_cast<float>(0.42 / (level * kFireRows + 1.0));
    }
    for (int step = 0; step < kFireStepsPerFrame; ++step) {
        // Cooling varies by column more than by cell, which draws tongues rather than speckle.
        for (int x = 0; x < kFireColumns; ++x)
            fireGust[static_cast<size_t>(x)] =
                0.45f + 1.1f * static_cast<float>(nextRandom() & 1023) / 1023.0f;
        // The classic demo fire: each cell takes the mean of the cells below it, minus cooling.
        const auto at = [this](int x, int y) {
            return heat[static_cast<size_t>(std::min(y, kFireRows - 1) * kFireColumns +
                                            std::clamp(x, 0, kFireColumns - 1))];
        };
        for (int y = 0; y + 1 < kFireRows; ++y) {
            for (int x = 0; x < kFireColumns; ++x) {
                const float mean =
                    (at(x - 1, y + 1) + at(x, y + 1) + at(x + 1, y + 1) + at(x, y + 2)) * 0.25f;
                const float cooling =
                    fireCooling[static_cast<size_t>(x)] * fireGust[static_cast<size_t>(x)];
                heat[static_cast<size_t>(y * kFireColumns + x)] = std::max(0.0f, mean - cooling);
            }
        }
        // The embers at the bottom flicker.
        for (int x = 0; x < kFireColumns; ++x)
            heat[static_cast<size_t>((kFireRows - 1) * kFireColumns + x)] =
                fireSource[static_cast<size_t>(x)] *
                (0.55f + 0.45f * static_cast<float>(nextRandom() & 1023) / 1023.0f);
    }
}

Visualisation::Visualisation(QWidget* parent)
    : QWidget(parent)
    , m_state(std::make_unique<State>())
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAccessibleName(tr("Visualisation"));
    describeStyle();
}

void Visualisation::describeStyle()
{
    // What a sighted user sees, for those who cannot.
    switch (m_style) {
    case kAnalog:
        return setAccessibleDescription(
            tr("Two needle meters show the loudness of the left and right channels"));
    case kLinear:
        return setAccessibleDescription(tr("An oscilloscope traces the wave of each channel"));
    case kFire:
        return setAccessibleDescription(tr("Flames rise with the loudness of the sound"));
    case kGlass:
        return setAccessibleDescription(
            tr("Bars on a mirroring floor show the level of each frequency band"));
    case kKryptonite:
        return setAccessibleDescription(
            tr("Bars spreading from the middle show the level of each frequency band"));
    default:
        return setAccessibleDescription(tr("Bars show the level of each frequency band"));
    }
}

Visualisation::~Visualisation() = default;

void Visualisation::initialise(int sampleRate, int channels)
{
    m_state->analyser.initialise(sampleRate, channels);
    m_state->reset();
    // The scope's lanes follow the channel count.
    m_state->cachedStyle = -1;
    update();
}

int Visualisation::framesNeeded() const
{
    return m_state->analyser.frames();
}

void Visualisation::draw(const QVector<qint16>& samples)
{
    State& state = *m_state;
    if (samples.isEmpty()) {
        state.reset();
    } else {
        for (size_t side = 0; side < 2; ++side) {
            const auto wave = state.analyser.waveform(static_cast<int>(side));
            std::copy(wave.begin(), wave.end(), state.ghost[side].begin());
        }
        state.analyser.analyse(
            std::span<const qint16>(samples.constData(), static_cast<size_t>(samples.size())));
        state.step();
    }
    update();
}

void Visualisation::setStyle(int style)
{
    const int clamped = std::clamp(style, 0, kStyleCount - 1);
    if (clamped == m_style)
        return;
    m_style = clamped;
    describeStyle();
    update();
}

QVector<float> Visualisation::bandLevels() const
{
    const auto bands = m_state->analyser.bands();
    return QVector<float>(bands.begin(), bands.end());
}

double Visualisation::bandCentreFrequency(int band) const
{
    return m_state->analyser.bandCentreFrequency(band);
}

QSize Visualisation::sizeHint() const
{
    return {420, 140};
}

QSize Visualisation::minimumSizeHint() const
{
    return {240, 90};
}

void Visualisation::paintEvent(QPaintEvent*)
{
    State& state = *m_state;
    const qreal ratio = devicePixelRatioF();
    if (state.cachedStyle != m_style || state.cachedSize != size() || state.cachedRatio != ratio)
        state.renderCache(m_style, size(), ratio);

    QPainter painter(this);
    painter.drawPixmap(0, 0, state.background);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF area(rect());
    switch (m_style) {
    case kAnalog:
        state.paintAnalog(painter, area);
        break;
    case kLinear:
        state.paintLinear(painter, area);
        break;
    case kFire:
        state.paintFire(painter, area);
        break;
    case kGlass:
        state.paintGlass(painter, area);
        break;
    case kKryptonite:
        state.paintKryptonite(painter, area);
        break;
    default:
        state.paintNormal(painter, area);
        break;
    }
    if (!state.foreground.isNull())
        painter.drawPixmap(0, 0, state.foreground);
}

// The parts that do not move are drawn once per size and style.
void Visualisation::State::renderCache(int style, const QSize& size, qreal ratio)
{
    const QSize pixels = (QSizeF(size) * ratio).toSize().expandedTo(QSize(1, 1));
    const QRectF area(QPointF(0, 0), QSizeF(size));

    background = QPixmap(pixels);
    background.setDevicePixelRatio(ratio);
    background.fill(Qt::black);
    {
        QPainter painter(&background);
        painter.setRenderHint(QPainter::Antialiasing);
        paintBackground(painter, style, area);
    }

    foreground = QPixmap();
    if (style == kAnalog) {
        foreground = QPixmap(pixels);
        foreground.setDevicePixelRatio(ratio);
        foreground.fill(Qt::transparent);
        QPainter painter(&foreground);
        painter.setRenderHint(QPainter::Antialiasing);
        paintForeground(painter, style, area);
    }
    cachedStyle = style;
    cachedSize = size;
    cachedRatio = ratio;
}

void Visualisation::State::paintBackground(QPainter& painter, int style, const QRectF& area) const
{
    switch (style) {
    case kAnalog: {
        QLinearGradient panel(area.topLeft(), area.bottomLeft());
        panel.setColorAt(0.0, QColor(0x2b, 0x27, 0x23));
        panel.setColorAt(1.0, QColor(0x12, 0x10, 0x0e));
        painter.fillRect(area, panel);
        for (const MeterFace& m : meterFaces(area)) {
            const double h = m.face.height();
            const double corner = std::max(3.0, h * 0.05);
            // Backlit paper with a warm vignette.
            QLinearGradient paper(m.face.topLeft(), m.face.bottomLeft());
            paper.setColorAt(0.0, QColor(0xfc, 0xf0, 0xc8));
            paper.setColorAt(1.0, QColor(0xe6, 0xcc, 0x8a));
            painter.setPen(Qt::NoPen);
            painter.setBrush(paper);
            painter.drawRoundedRect(m.face, corner, corner);
            QRadialGradient vignette(m.face.center(), m.face.width() * 0.62);
            vignette.setColorAt(0.55, QColor(120, 70, 10, 0));
            vignette.setColorAt(1.0, QColor(120, 70, 10, 90));
            painter.setBrush(vignette);
            painter.drawRoundedRect(m.face, corner, corner);

            painter.save();
            painter.setClipRect(m.face);
            const double p0 = vuPosition(kVuReferenceDb);
            const double pTop = vuPosition(kVuReferenceDb + kVuTopDb);
            const double pLow = vuPosition(kVuReferenceDb - 20.0f);
            const QRectF arc(m.pivot.x() - m.radius, m.pivot.y() - m.radius, 2 * m.radius,
                             2 * m.radius);
            auto qtAngle = [&](double position) {
                return 90.0 - m.angle(position) * 180.0 / std::numbers::pi;
            };
            const QColor ink(0x2a, 0x22, 0x1a);
            const QColor red(0xc8, 0x1e, 0x14);
            painter.setBrush(Qt::NoBrush);
            painter.setPen(QPen(ink, std::max(1.0, h * 0.012), Qt::SolidLine, Qt::FlatCap));
            painter.drawArc(arc, qRound(qtAngle(pLow) * 16),
                            qRound((qtAngle(p0) - qtAngle(pLow)) * 16));
            const double redWidth = std::max(2.0, h * 0.04);
            const QRectF redArc =
                arc.adjusted(-redWidth / 2, -redWidth / 2, redWidth / 2, redWidth / 2);
            painter.setPen(QPen(red, redWidth, Qt::SolidLine, Qt::FlatCap));
            painter.drawArc(redArc, qRound(qtAngle(p0) * 16),
                            qRound((qtAngle(pTop) - qtAngle(p0)) * 16));

            QFont font = painter.font();
            font.setPixelSize(std::max(7, qRound(h * 0.095)));
            painter.setFont(font);
            const bool roomy = m.face.width() > 260.0;
            const std::array<int, 11> marks{-20, -10, -7, -5, -3, -2, -1, 0, 1, 2, 3};
            for (int mark : marks) {
                const double p = vuPosition(kVuReferenceDb + static_cast<float>(mark));
                const bool major = mark == -20 || mark == -10 || mark == -7 || mark == -5 ||
                                   mark == -3 || mark == 0 || mark == 3;
                const QColor colour = mark > 0 ? red : ink;
                const double tick = h * (major ? 0.09 : 0.06);
                painter.setPen(QPen(colour, std::max(1.0, h * 0.012)));
                painter.drawLine(m.point(p, m.radius), m.point(p, m.radius + tick));
                const bool cramped = m.face.width() < 150.0 && (mark == -7 || mark == -3);
                if ((!major && !roomy) || cramped)
                    continue;
                const QPointF at = m.point(p, m.radius + tick + font.pixelSize() * 0.75);
                const QString text =
                    mark > 0 ? QStringLiteral("+%1").arg(mark) : QString::number(std::abs(mark));
                painter.drawText(QRectF(at.x() - 20, at.y() - 10, 40, 20), Qt::AlignCenter, text);
            }
            // Fine ticks between -20 and -10 read as a real scale.
            painter.setPen(QPen(ink, std::max(0.8, h * 0.008)));
            for (int db = -19; db < -10; db += 1) {
                const double p = vuPosition(kVuReferenceDb + static_cast<float>(db));
                painter.drawLine(m.point(p, m.radius), m.point(p, m.radius + h * 0.035));
            }

            QFont big = font;
            big.setPixelSize(std::max(9, qRound(h * 0.17)));
            big.setBold(true);
            painter.setFont(big);
            painter.setPen(ink);
            painter.drawText(QRectF(m.face.left(), m.face.top() + h * 0.5, m.face.width(), h * 0.2),
                             Qt::AlignCenter, QStringLiteral("VU"));
            painter.restore();
        }
        break;
    }
    case kLinear: {
        QLinearGradient screen(area.topLeft(), area.bottomLeft());
        screen.setColorAt(0.0, QColor(0x05, 0x12, 0x16));
        screen.setColorAt(0.5, QColor(0x07, 0x1a, 0x1f));
        screen.setColorAt(1.0, QColor(0x03, 0x0b, 0x0e));
        painter.fillRect(area, screen);
        painter.setRenderHint(QPainter::Antialiasing, false);
        const QColor grid(70, 200, 220, 26);
        painter.setPen(QPen(grid, 1));
        for (int i = 1; i < 10; ++i) {
            const int x = qRound(area.left() + area.width() * i / 10.0);
            painter.drawLine(x, qRound(area.top()), x, qRound(area.bottom()));
        }
        const int lanes = analyser.sides();
        for (int lane = 0; lane < lanes; ++lane) {
            const double top = area.top() + area.height() * lane / lanes;
            const double h = area.height() / lanes;
            for (int i = 1; i < 4; ++i) {
                const int y = qRound(top + h * i / 4.0);
                painter.setPen(QPen(i == 2 ? QColor(70, 200, 220, 60) : grid, 1));
                painter.drawLine(qRound(area.left()), y, qRound(area.right()), y);
            }
            if (lane > 0) {
                painter.setPen(QPen(QColor(70, 200, 220, 90), 1));
                painter.drawLine(qRound(area.left()), qRound(top), qRound(area.right()),
                                 qRound(top));
            }
        }
        break;
    }
    case kFire: {
        QLinearGradient glow(area.topLeft(), area.bottomLeft());
        glow.setColorAt(0.0, QColor(0x05, 0x01, 0x00));
        glow.setColorAt(0.7, QColor(0x12, 0x04, 0x01));
        glow.setColorAt(1.0, QColor(0x38, 0x0c, 0x02));
        painter.fillRect(area, glow);
        break;
    }
    case kGlass: {
        QLinearGradient deep(area.topLeft(), area.bottomLeft());
        deep.setColorAt(0.0, QColor(0x10, 0x26, 0x4c));
        deep.setColorAt(0.74, QColor(0x06, 0x10, 0x26));
        deep.setColorAt(1.0, QColor(0x02, 0x06, 0x12));
        painter.fillRect(area, deep);
        QRadialGradient light(QPointF(area.center().x(), area.top()), area.width() * 0.6);
        light.setColorAt(0.0, QColor(90, 150, 255, 50));
        light.setColorAt(1.0, QColor(90, 150, 255, 0));
        painter.fillRect(area, light);
        const double floorY = area.top() + area.height() * 0.74;
        QLinearGradient line(area.topLeft(), area.topRight());
        line.setColorAt(0.0, QColor(150, 200, 255, 0));
        line.setColorAt(0.5, QColor(150, 200, 255, 110));
        line.setColorAt(1.0, QColor(150, 200, 255, 0));
        painter.fillRect(QRectF(area.left(), floorY, area.width(), 1.0), line);
        break;
    }
    case kKryptonite: {
        painter.fillRect(area, Qt::black);
        QRadialGradient aura(area.center(), area.width() * 0.55);
        aura.setColorAt(0.0, QColor(40, 255, 70, 30));
        aura.setColorAt(1.0, QColor(40, 255, 70, 0));
        painter.fillRect(area, aura);
        break;
    }
    default: {
        QLinearGradient panel(area.topLeft(), area.bottomLeft());
        panel.setColorAt(0.0, QColor(0x1e, 0x21, 0x27));
        panel.setColorAt(1.0, QColor(0x0a, 0x0b, 0x0e));
        painter.fillRect(area, panel);
        break;
    }
    }
}

void Visualisation::State::paintForeground(QPainter& painter, int style, const QRectF& area) const
{
    if (style != kAnalog)
        return;
    for (const MeterFace& m : meterFaces(area)) {
        const double h = m.face.height();
        const double corner = std::max(3.0, h * 0.05);
        QPainterPath face;
        face.addRoundedRect(m.face, corner, corner);
        painter.save();
        painter.setClipPath(face);
        // The housing that hides the needle's pivot.
        const QRectF cover(m.face.left(), m.face.bottom() - h * 0.17, m.face.width(), h * 0.17);
        QLinearGradient housing(cover.topLeft(), cover.bottomLeft());
        housing.setColorAt(0.0, QColor(0x3a, 0x34, 0x2e));
        housing.setColorAt(0.12, QColor(0x26, 0x22, 0x1e));
        housing.setColorAt(1.0, QColor(0x12, 0x10, 0x0e));
        painter.fillRect(cover, housing);
        // Glass: a soft sheen over the upper half.
        QLinearGradient sheen(m.face.topLeft(), QPointF(m.face.left(), m.face.center().y()));
        sheen.setColorAt(0.0, QColor(255, 255, 255, 70));
        sheen.setColorAt(1.0, QColor(255, 255, 255, 0));
        painter.fillRect(QRectF(m.face.topLeft(), QSizeF(m.face.width(), h * 0.5)), sheen);
        painter.restore();
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(QColor(0, 0, 0, 200), 1.5));
        painter.drawRoundedRect(m.face, corner, corner);
        painter.setPen(QPen(QColor(255, 255, 255, 40), 1.0));
        painter.drawRoundedRect(m.face.adjusted(-1.5, -1.5, 1.5, 1.5), corner + 1, corner + 1);
    }
}

void Visualisation::State::paintAnalog(QPainter& painter, const QRectF& area) const
{
    const auto faces = meterFaces(area);
    for (size_t side = 0; side < 2; ++side) {
        const MeterFace& m = faces[side];
        const double h = m.face.height();
        painter.save();
        painter.setClipRect(m.face);

        // Overload lamp, top right.
        const double lampRadius = std::max(2.5, h * 0.045);
        const QPointF lamp(m.face.right() - lampRadius * 2.6, m.face.top() + lampRadius * 2.6);
        const bool lit = overload[side] > 0;
        QRadialGradient lampGlow(lamp, lampRadius * (lit ? 3.0 : 1.2));
        lampGlow.setColorAt(0.0, lit ? QColor(255, 90, 60) : QColor(110, 30, 20));
        lampGlow.setColorAt(0.35, lit ? QColor(230, 30, 20, 220) : QColor(90, 20, 15));
        lampGlow.setColorAt(1.0, QColor(200, 20, 10, 0));
        painter.setPen(Qt::NoPen);
        painter.setBrush(lampGlow);
        painter.drawEllipse(lamp, lampRadius * (lit ? 3.0 : 1.2), lampRadius * (lit ? 3.0 : 1.2));

        QFont font = painter.font();
        font.setPixelSize(std::max(7, qRound(h * 0.1)));
        font.setBold(true);
        painter.setFont(font);
        painter.setPen(QColor(0x2a, 0x22, 0x1a, 200));
        painter.drawText(
            QRectF(m.face.left() + h * 0.06, m.face.top() + h * 0.03, h * 0.3, h * 0.15),
            Qt::AlignLeft | Qt::AlignVCenter,
            side == 0 ? QStringLiteral("L") : QStringLiteral("R"));

        const double position = std::clamp(static_cast<double>(needle[side]), 0.0, 1.05);
        const QPointF tip = m.point(position, m.radius + h * 0.1);
        const double width = std::max(1.2, h * 0.014);
        painter.setPen(QPen(QColor(0, 0, 0, 45), width * 1.6, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(m.pivot + QPointF(h * 0.03, h * 0.02), tip + QPointF(h * 0.03, h * 0.02));
        painter.setPen(QPen(QColor(0x18, 0x14, 0x12), width, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(m.pivot, tip);
        painter.restore();
    }
}

void Visualisation::State::traceWave(std::span<const float> wave, int start, int span,
                                     const QRectF& lane)
{
    const int points = std::clamp(qRound(lane.width()), 2, span);
    line.resize(points);
    const double centre = lane.center().y();
    const double scale = lane.height() * 0.46;
    for (int i = 0; i < points; ++i) {
        const double at = start + static_cast<double>(i) * (span - 1) / (points - 1);
        const auto index = static_cast<size_t>(at);
        const double frac = at - static_cast<double>(index);
        const size_t next = std::min(index + 1, wave.size() - 1);
        const double value = wave[index] * (1.0 - frac) + wave[next] * frac;
        line[i] = QPointF(lane.left() + lane.width() * i / (points - 1),
                          centre - std::clamp(value, -1.0, 1.0) * scale);
    }
}

namespace {

// First rising zero crossing with a little hysteresis, so a steady tone stands still.
int triggerPoint(std::span<const float> wave, int span)
{
    const int last = static_cast<int>(wave.size()) - span;
    bool armed = false;
    for (int i = 0; i < last; ++i) {
        const float v = wave[static_cast<size_t>(i)];
        if (v < -0.01f)
            armed = true;
        else if (armed && v >= 0.0f)
            return i;
    }
    return std::max(0, last);
}

} // namespace

void Visualisation::State::paintLinear(QPainter& painter, const QRectF& area)
{
    const int frames = analyser.frames();
    const int span =
        std::clamp(static_cast<int>(analyser.sampleRate() * kScopeSeconds), 2, frames / 2);
    const int lanes = analyser.sides();
    const std::array<QColor, 2> colours{QColor(0x5c, 0xf0, 0xff), QColor(0xff, 0x72, 0xd2)};

    for (int pass = 0; pass < 2; ++pass) {
        const bool current = pass == 1;
        const auto reference = current ? analyser.waveform(0) : std::span<const float>(ghost[0]);
        const int start = triggerPoint(reference, span);
        for (int lane = 0; lane < lanes; ++lane) {
            const QRectF laneRect(area.left(), area.top() + area.height() * lane / lanes,
                                  area.width(), area.height() / lanes);
            const auto wave = current ? analyser.waveform(lane)
                                      : std::span<const float>(ghost[static_cast<size_t>(lane)]);
            traceWave(wave, start, span, laneRect);
            QColor colour = colours[static_cast<size_t>(lane)];
            if (!current) {
                // The previous frame lingers like phosphor.
                colour.setAlpha(50);
                painter.setPen(QPen(colour, 0));
                painter.drawPolyline(line);
                continue;
            }
            // Glow from hairlines shifted up and down: wide antialiased strokes of a jagged
            // line cost ten times as much to fill.
            constexpr std::array<std::pair<double, int>, 7> kGlow{
                {{-3.0, 18}, {3.0, 18}, {-2.0, 38}, {2.0, 38}, {-1.0, 90}, {1.0, 90}, {0.0, 255}}};
            for (const auto& [offset, alpha] : kGlow) {
                colour.setAlpha(alpha);
                painter.setPen(QPen(colour, 0));
                painter.setTransform(QTransform::fromTranslate(0.0, offset));
                painter.drawPolyline(line);
            }
            painter.resetTransform();
            painter.setPen(QPen(mix(colours[static_cast<size_t>(lane)], Qt::white, 0.6), 0));
            painter.drawPolyline(line);
        }
    }
}

void Visualisation::State::paintNormal(QPainter& painter, const QRectF& area) const
{
    const QRectF field = area.adjusted(4, 4, -4, -3);
    const BarLayout bars(field, kBands);
    const auto levels = analyser.bands();
    const auto peaks = analyser.peaks();

    QLinearGradient heat(field.bottomLeft(), field.topLeft());
    heat.setColorAt(0.0, QColor(0x18, 0xb8, 0x3a));
    heat.setColorAt(0.5, QColor(0x8c, 0xe0, 0x34));
    heat.setColorAt(0.7, QColor(0xf4, 0xe0, 0x36));
    heat.setColorAt(0.86, QColor(0xff, 0x8c, 0x28));
    heat.setColorAt(1.0, QColor(0xff, 0x30, 0x2c));

    painter.setRenderHint(QPainter::Antialiasing, false);
    // LED segments: whole cells only, so bars step like a hardware display.
    const double cell = std::max(3.0, field.height() / 30.0);
    const double lit = cell - std::max(1.0, cell * 0.28);
    const int cells = static_cast<int>(field.height() / cell);
    painter.setPen(Qt::NoPen);
    for (int band = 0; band < kBands; ++band) {
        const auto b = static_cast<size_t>(band);
        const int on = static_cast<int>(std::ceil(levels[b] * cells - 0.15));
        const double x = bars.x(band);
        // Unlit cells glow faintly so the shape of the display reads when quiet.
        for (int c = 0; c < cells; ++c) {
            const QRectF led(x, field.bottom() - (c + 1) * cell + (cell - lit), bars.width, lit);
            if (c < on)
                painter.fillRect(led, heat);
            else
                painter.fillRect(led, QColor(255, 255, 255, 9));
        }
        if (peaks[b] > 0.0f) {
            const double y = field.bottom() - peaks[b] * cells * cell;
            painter.fillRect(QRectF(x, y - 2.0, bars.width, 2.0), QColor(0xf0, 0xf4, 0xff, 230));
        }
    }
}

void Visualisation::State::paintFire(QPainter& painter, const QRectF& area)
{
    for (int y = 0; y < kFireRows; ++y) {
        auto* row = reinterpret_cast<QRgb*>(fireImage.scanLine(y));
        const float* source = heat.data() + static_cast<size_t>(y * kFireColumns);
        for (int x = 0; x < kFireColumns; ++x)
            row[x] = firePalette[static_cast<size_t>(std::clamp(source[x], 0.0f, 1.0f) * 255.0f)];
    }
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    // The flickering ember row stays below the edge.
    painter.drawImage(area, fireImage, QRectF(0, 0, kFireColumns, kFireRows - 1.5));
}

void Visualisation::State::paintGlass(QPainter& painter, const QRectF& area) const
{
    const QRectF field = area.adjusted(5, 5, -5, 0);
    const double floorY = area.top() + area.height() * 0.74;
    const double tallest = floorY - field.top();
    const double mirror = area.bottom() - floorY - 1.0;
    const BarLayout bars(field, kBands);
    const auto levels = analyser.bands();
    const auto peaks = analyser.peaks();
    const double corner = std::min(3.0, bars.width / 3.0);

    for (int band = 0; band < kBands; ++band) {
        const auto b = static_cast<size_t>(band);
        const double x = bars.x(band);
        const double h = levels[b] * tallest;
        if (h >= 0.5) {
            const QRectF bar(x, floorY - h, bars.width, h);
            // A glass rod: bright left edge, clear middle, tinted right edge.
            QLinearGradient body(bar.topLeft(), bar.topRight());
            body.setColorAt(0.0, QColor(190, 230, 255, 190));
            body.setColorAt(0.3, QColor(110, 170, 255, 110));
            body.setColorAt(0.7, QColor(70, 130, 240, 95));
            body.setColorAt(1.0, QColor(60, 110, 220, 170));
            painter.setPen(QPen(QColor(200, 235, 255, 150), 1.0));
            painter.setBrush(body);
            painter.drawRoundedRect(bar.adjusted(0.5, 0.5, -0.5, 0), corner, corner);
            painter.fillRect(QRectF(x + bars.width * 0.18, floorY - h + 1.5, bars.width * 0.16,
                                    std::max(0.0, h - 3.0)),
                             QColor(255, 255, 255, 70));

            const double r = std::min(mirror, h * 0.5);
            QLinearGradient fade(QPointF(x, floorY + 1), QPointF(x, floorY + 1 + r));
            fade.setColorAt(0.0, QColor(120, 180, 255, 100));
            fade.setColorAt(1.0, QColor(120, 180, 255, 0));
            painter.fillRect(QRectF(x, floorY + 1.5, bars.width, r), fade);
        }
        if (peaks[b] > 0.0f) {
            const double y = floorY - peaks[b] * tallest - 3.0;
            painter.fillRect(QRectF(x, y, bars.width, 1.5), QColor(225, 242, 255, 235));
            const double ry = floorY + 1.5 + std::min(mirror - 2.0, peaks[b] * tallest * 0.5 + 3.0);
            painter.fillRect(QRectF(x, ry, bars.width, 1.0), QColor(225, 242, 255, 40));
        }
    }
}

void Visualisation::State::paintKryptonite(QPainter& painter, const QRectF& area) const
{
    const QRectF field = area.adjusted(4, 4, -4, -4);
    const double centre = field.center().y();
    const double reach = field.height() / 2.0 - 2.0;
    const BarLayout bars(field, kBands);
    const auto levels = analyser.bands();
    const auto peaks = analyser.peaks();

    QLinearGradient core(field.topLeft(), field.bottomLeft());
    core.setColorAt(0.0, QColor(0xd8, 0xff, 0x8a));
    core.setColorAt(0.3, QColor(0x4c, 0xf0, 0x4a));
    core.setColorAt(0.5, QColor(0x0e, 0x8a, 0x26));
    core.setColorAt(0.7, QColor(0x4c, 0xf0, 0x4a));
    core.setColorAt(1.0, QColor(0xd8, 0xff, 0x8a));

    // Additive light: overlapping glows brighten instead of covering each other.
    painter.setCompositionMode(QPainter::CompositionMode_Plus);
    painter.setPen(Qt::NoPen);
    const double radius = bars.width / 2.0;
    for (int band = 0; band < kBands; ++band) {
        const auto b = static_cast<size_t>(band);
        const double half = levels[b] * reach;
        const double x = bars.x(band);
        if (half >= 0.5) {
            const QRectF bar(x, centre - half, bars.width, 2.0 * half);
            painter.setBrush(QColor(40, 255, 70, 22));
            painter.drawRoundedRect(bar.adjusted(-3, -3, 3, 3), radius + 3, radius + 3);
            painter.setBrush(QColor(40, 255, 70, 40));
            painter.drawRoundedRect(bar.adjusted(-1.2, -1.2, 1.2, 1.2), radius + 1, radius + 1);
            painter.setBrush(core);
            painter.drawRoundedRect(bar, radius, radius);
        }
        if (peaks[b] > 0.0f) {
            const double y = peaks[b] * reach + 3.0;
            const QColor spark(0xc8, 0xff, 0xa0, 220);
            painter.fillRect(QRectF(x, centre - y - 1.5, bars.width, 1.5), spark);
            painter.fillRect(QRectF(x, centre + y, bars.width, 1.5), spark);
        }
    }
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    QLinearGradient axis(field.topLeft(), field.topRight());
    axis.setColorAt(0.0, QColor(120, 255, 120, 0));
    axis.setColorAt(0.5, QColor(160, 255, 140, 200));
    axis.setColorAt(1.0, QColor(120, 255, 120, 0));
    painter.fillRect(QRectF(field.left(), centre - 0.5, field.width(), 1.0), axis);
}

} // namespace tunevale
