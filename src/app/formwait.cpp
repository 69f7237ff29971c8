#include "app/formwait.h"

#include <QCloseEvent>
#include <QKeyEvent>

namespace tunevale {
FormWait::FormWait(QWidget* owner) : QDialog(owner) {}
void FormWait::showAndPaint() { show(); }
void FormWait::finish() { m_closingByProgram = true; close(); }
void FormWait::closeEvent(QCloseEvent* event) { if (!m_closingByProgram) event->ignore(); else event->accept(); }
void FormWait::keyPressEvent(QKeyEvent* event) { QDialog::keyPressEvent(event); }
} // namespace tunevale
