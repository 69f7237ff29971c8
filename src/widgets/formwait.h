#pragma once

#include <QDialog>

namespace tunevale {

// " Please wait..." while many files are read. The user cannot close it; its owner does.
class FormWait final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FormWait)

public:
    explicit FormWait(QWidget* owner);

    // Shows the window and lets it paint before the caller starts its work.
    void showAndPaint();
    // Closes the window from the program (the user's close requests are refused).
    void finish();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool m_closingByProgram = false;
};

} // namespace tunevale
