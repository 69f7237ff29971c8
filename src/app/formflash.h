#pragma once

#include <QPixmap>
#include <QTimer>
#include <QWidget>

namespace tunevale {

// The splash window: product artwork, "Version 4.0" and the copyright line. At start-up it
// stays on top for 4.5 s or until clicked and then emits finished(); as the about box it
// stays for 10 s or until clicked.
class FormFlash final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FormFlash)

public:
    enum class Mode { Startup, About };

    explicit FormFlash(Mode mode, QWidget* owner = nullptr);

    Mode mode() const { return m_mode; }
    int intervalMs() const { return m_timer.interval(); }

    // Shows the about box modally over owner and returns when it closes.
    static void showAbout(QWidget* owner);

Q_SIGNALS:
    // The window closed (timer or click).
    void finished();

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    Mode m_mode;
    QTimer m_timer;
    bool m_finished = false;
    QPixmap m_artwork; // cached at the window's device pixel size
};

} // namespace tunevale
