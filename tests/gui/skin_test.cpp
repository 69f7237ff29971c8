#include "app/formmain.h"
#include "filelist/filelistview.h"

#include "support/fixtures.h"
#include "support/qtprinters.h"
#include "support/signals.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <map>

using namespace tunevale;
using namespace tunevale::test;

namespace {

QPalette darkPalette()
{
    QPalette dark(QColor(0x3C, 0x3F, 0x41), QColor(0x2B, 0x2B, 0x2B));
    dark.setColor(QPalette::WindowText, QColor(0xE8, 0xE8, 0xE8));
    dark.setColor(QPalette::Text, QColor(0xE8, 0xE8, 0xE8));
    dark.setColor(QPalette::ButtonText, QColor(0xE8, 0xE8, 0xE8));
    dark.setColor(QPalette::Base, QColor(0x1E, 0x1E, 0x1E));
    dark.setColor(QPalette::AlternateBase, QColor(0x2B, 0x2B, 0x2B));
    dark.setColor(QPalette::Highlight, QColor(0x3D, 0x7F, 0xD9));
    dark.setColor(QPalette::HighlightedText, Qt::white);
    dark.setColor(QPalette::Link, QColor(0x6C, 0xB4, 0xFF));
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        dark.setColor(QPalette::Disabled, role, QColor(0x78, 0x78, 0x78));
    return dark;
}

// The skin and a palette for one test; both are put back afterwards.
class Look {
public:
    explicit Look(const QPalette& palette)
        : m_palette(QApplication::palette())
        , m_styleSheet(qApp->styleSheet())
    {
        QApplication::setPalette(palette);
        QFile skin(QStringLiteral(TUNEVALE_SKIN_FILE));
        EXPECT_TRUE(skin.open(QIODevice::ReadOnly | QIODevice::Text));
        qApp->setStyleSheet(QString::fromUtf8(skin.readAll()));
    }
    ~Look()
    {
        qApp->setStyleSheet(m_styleSheet);
        QApplication::setPalette(m_palette);
    }
    Q_DISABLE_COPY_MOVE(Look)

private:
    QPalette m_palette;
    QString m_styleSheet;
};

// How far the strongest ink of a picture stands from its background, its most common colour:
// 0 (invisible) to 1 (black on white).
double inkContrast(const QImage& picture)
{
    std::map<QRgb, int> counts;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            ++counts[picture.pixel(x, y)];
    QRgb background = 0;
    int most = 0;
    for (const auto& [colour, count] : counts) {
        if (count > most) {
            most = count;
            background = colour;
        }
    }
    const double backgroundLightness = QColor(background).lightnessF();
    double contrast = 0;
    for (const auto& [colour, count] : counts)
        contrast = std::max(contrast, std::abs(QColor(colour).lightnessF() - backgroundLightness));
    return contrast;
}

void saveArtefact(QWidget& window, const QString& name)
{
    const QString folder = QStringLiteral(TUNEVALE_TEST_OUTPUT_DIR);
    ASSERT_TRUE(QDir().mkpath(folder));
    EXPECT_TRUE(window.grab().save(folder + u'/' + name));
}

struct Controls {
    Controls()
    {
        auto* layout = new QVBoxLayout(&dialog);
        caption = new QLabel(QStringLiteral("Minimum bitrate"), &dialog);
        disabledCaption = new QLabel(QStringLiteral("Minimum bitrate"), &dialog);
        disabledCaption->setEnabled(false);
        check = new QCheckBox(QStringLiteral("Write VBR header"), &dialog);
        combo = new QComboBox(&dialog);
        combo->addItem(QStringLiteral("44,100 Hz"));
        for (QWidget* control :
             {static_cast<QWidget*>(caption), static_cast<QWidget*>(disabledCaption),
              static_cast<QWidget*>(check), static_cast<QWidget*>(combo)})
            layout->addWidget(control);
        dialog.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    }

    // The combo box's value, without its arrow.
    QImage comboValue() const
    {
        const QImage whole = combo->grab().toImage();
        return whole.copy(4, 4, whole.width() / 2, whole.height() - 8);
    }

    QDialog dialog;
    QLabel* caption;
    QLabel* disabledCaption;
    QCheckBox* check;
    QComboBox* combo;
};

TEST(Skin, ControlsReadWellOnLightAndDarkPalettesAndDisabledOnesLookDisabled)
{
    for (const bool dark : {false, true}) {
        SCOPED_TRACE(dark ? "dark" : "light");
        const Look look(dark ? darkPalette() : QApplication::style()->standardPalette());
        Controls controls;
        const double caption = inkContrast(controls.caption->grab().toImage());
        EXPECT_GT(caption, 0.5);
        EXPECT_GT(inkContrast(controls.check->grab().toImage()), 0.5);
        EXPECT_GT(inkContrast(controls.comboValue()), 0.5);
        // Disabled captions are paler than enabled ones, yet still there.
        const double disabled = inkContrast(controls.disabledCaption->grab().toImage());
        EXPECT_LT(disabled, caption * 0.8);
        EXPECT_GT(disabled, 0.1);
    }
}

// Pictures of the main window with long names, in both themes, for people to look at.
TEST(Skin, MainWindowPictures)
{
    TempDir dir;
    const QString folder = dir.file(QStringLiteral("Music/A folder with a rather long name"));
    ASSERT_TRUE(QDir().mkpath(folder));
    QStringList paths;
    for (int i = 1; i <= 6; ++i) {
        paths.append(folder + QStringLiteral("/%1 - A song whose title goes on and on.wav")
                                  .arg(i, 2, 10, QChar(u'0')));
        ASSERT_TRUE(writePcmWav(paths.last(), sine(440, 8000, 1, 0.2), 8000, 1));
    }
    for (const bool dark : {false, true}) {
        const Look look(dark ? darkPalette() : QApplication::style()->standardPalette());
        FormMain window;
        for (const QString& path : paths)
            window.ListView1()->AddFileRow(path);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        QTest::qWait(250); // rows added while shown are laid out together
        saveArtefact(window, dark ? QStringLiteral("main-window-dark.png")
                                  : QStringLiteral("main-window-light.png"));
    }
}

} // namespace
