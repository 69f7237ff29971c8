#include "app/formflash.h"

#include <QCloseEvent>
#include <QEventLoop>

namespace tunevale {
FormFlash::FormFlash(Mode mode, QWidget* owner) : QWidget(owner), m_mode(mode)
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(mode == Mode::About ? 10000 : 4500);
    connect(&m_timer, &QTimer::timeout, this, &QWidget::close);
    m_timer.start();
}
void FormFlash::showAbout(QWidget* owner) { (void)owner; }
void FormFlash::paintEvent(QPaintEvent*) {}
void FormFlash::mouseReleaseEvent(QMouseEvent*) { close(); }
void FormFlash::closeEvent(QCloseEvent* event) { event->accept(); Q_EMIT finished(); }
} // namespace tunevale
