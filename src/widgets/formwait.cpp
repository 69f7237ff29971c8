#include "widgets/formwait.h"

#include "widgets/artwork.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>

namespace tunevale {

namespace {} // namespace

FormWait::FormWait(QWidget* owner)
    // No close button: the window goes away when the reading is done, not before.
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("FormWait"));
    setWindowTitle(tr(" Please wait..."));
    setWindowIcon(applicationIcon());
    setModal(false);

    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("ImageWait"));
    picture->setPixmap(applicationIcon().pixmap(32, 32));
    picture->setFixedSize(32, 32);

    auto* label = new QLabel(tr("Reading files, please wait..."), this);
    label->setObjectName(QStringLiteral("Label1"));
    label->setFont(windowFont());

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(20, 18, 28, 18);
    layout->setSpacing(14);
    layout->addWidget(picture);
    layout->addWidget(label, 1);
    setFixedSize(sizeHint().expandedTo(QSize(300, 0)));
}

void FormWait::showAndPaint()
{
    m_closingByProgram = false;
    show();
    raise();
    // One turn of the loop so the window is painted before the caller blocks it with work;
    // user input waits, or a click could start another command in the middle of reading.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void FormWait::finish()
{
    m_closingByProgram = true;
    close();
    m_closingByProgram = false;
}

void FormWait::closeEvent(QCloseEvent* event)
{
    if (!m_closingByProgram) {
        event->ignore();
        return;
    }
    event->accept();
}

void FormWait::keyPressEvent(QKeyEvent* event)
{
    // Esc would reject the dialog; the user may not close this one.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace tunevale
