#include "app/formflash.h"

#include "widgets/artwork.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QVBoxLayout>

namespace tunevale {

namespace {

constexpr int kStartupIntervalMs = 4500;
constexpr int kAboutIntervalMs = 10000;
constexpr QSize kWindowSize(480, 300);

QLabel* whiteLabel(const QString& objectName, const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(objectName);
    label->setFont(windowFont());
    // A widget's own sheet wins over the application skin, which may colour labels dark.
    label->setStyleSheet(QStringLiteral("color: white; background: transparent;"));
    // Clicks on the labels must reach the window, which closes on any click.
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    return label;
}

} // namespace

FormFlash::FormFlash(Mode mode, QWidget* owner)
    : QWidget(owner, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
    , m_mode(mode)
{
    setObjectName(QStringLiteral("FormFlash"));
    setWindowTitle(QStringLiteral(" Tunevale"));
    setFixedSize(kWindowSize);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(28, 0, 28, 12);
    layout->setSpacing(2);
    layout->addStretch(1);
    layout->addWidget(whiteLabel(QStringLiteral("LabelVer"), tr("Version 4.0"), this));
    layout->addWidget(whiteLabel(QStringLiteral("LabelCopyright"),
                                 tr("Copyright (C) 2026 The Tunevale developers\n"
                                    "Free software under the GNU GPL, version 3 or later"),
                                 this));

    QScreen* screen = owner != nullptr ? owner->screen() : this->screen();
    if (screen != nullptr)
        move(screen->availableGeometry().center() - rect().center());

    // Parented so findChild() reaches the timer as it reaches the labels.
    m_timer.setParent(this);
    m_timer.setSingleShot(true);
    m_timer.setInterval(mode == Mode::About ? kAboutIntervalMs : kStartupIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &QWidget::close);
}

void FormFlash::showAbout(QWidget* owner)
{
    // On the heap with delete-on-close: an owner that goes away takes the box with it.
    QPointer<FormFlash> about = new FormFlash(Mode::About, owner);
    about->setAttribute(Qt::WA_DeleteOnClose);
    about->setWindowModality(Qt::ApplicationModal);
    QEventLoop loop;
    connect(about, &FormFlash::finished, &loop, &QEventLoop::quit);
    connect(about, &QObject::destroyed, &loop, &QEventLoop::quit);
    about->show();
    if (about != nullptr && about->isVisible())
        loop.exec(QEventLoop::DialogExec);
}

void FormFlash::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // The time on screen counts from when the window appears, not from when it was built.
    if (!m_finished && !m_timer.isActive())
        m_timer.start();
}

void FormFlash::paintEvent(QPaintEvent* event)
{
    (void)event;
    const qreal ratio = devicePixelRatioF();
    const QSize pixels = (QSizeF(size()) * ratio).toSize();
    if (m_artwork.size() != pixels) {
        m_artwork = splashArtwork(pixels);
        m_artwork.setDevicePixelRatio(ratio);
    }
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_artwork);
}

void FormFlash::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
    close();
}

void FormFlash::keyPressEvent(QKeyEvent* event)
{
    // The keys that close a message close it too, for those who do not use a mouse.
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        event->accept();
        close();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

void FormFlash::closeEvent(QCloseEvent* event)
{
    event->accept();
    m_timer.stop();
    if (m_finished)
        return;
    m_finished = true;
    Q_EMIT finished();
}

} // namespace tunevale
