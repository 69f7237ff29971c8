#include "app/formatcommands.h"
#include "app/formflash.h"
#include "support/qtprinters.h"
#include "widgets/artwork.h"
#include "widgets/formwait.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPointer>
#include <QRegularExpression>
#include <QScreen>
#include <QSet>
#include <QTest>
#include <QUrl>
#include <QWindow>

#include <gtest/gtest.h>

#include <array>
#include <utility>

namespace tunevale {
namespace {

QTimer* closeTimer(FormFlash& form)
{
    return form.findChild<QTimer*>();
}

QString expectedLabelFamily()
{
    return QFontDatabase::families().contains(QStringLiteral("Tahoma"))
               ? QStringLiteral("Tahoma")
               : QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
}

// A click as the window system delivers it: to the window, which hands it to the widget under
// the mouse (or to the window itself when that widget lets mouse events through).
void clickWindowAt(QWidget& window, const QPoint& position)
{
    QWindow* handle = window.windowHandle();
    ASSERT_NE(handle, nullptr);
    const QPointF local(position);
    const QPointF global(window.mapToGlobal(position));
    QMouseEvent press(QEvent::MouseButtonPress, local, local, global, Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(handle, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, local, local, global, Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(handle, &release);
}

// Counts a signal's emissions for as long as it lives.
class EmitCounter {
public:
    template <typename Sender, typename Signal> EmitCounter(Sender* sender, Signal signal)
    {
        m_connection = QObject::connect(sender, signal, [this] { ++m_count; });
    }
    ~EmitCounter() { QObject::disconnect(m_connection); }
    EmitCounter(const EmitCounter&) = delete;
    EmitCounter& operator=(const EmitCounter&) = delete;
    int count() const { return m_count; }

private:
    QMetaObject::Connection m_connection;
    int m_count = 0;
};

bool hasOpaquePixel(const QImage& image)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) > 200)
                return true;
    return false;
}

class FormFlashModes : public ::testing::TestWithParam<std::pair<FormFlash::Mode, int>> {};

TEST_P(FormFlashModes, ShowingStartsTheSingleShotCloseTimer)
{
    const auto [mode, intervalMs] = GetParam();
    FormFlash form(mode);
    EXPECT_EQ(form.mode(), mode);
    EXPECT_EQ(form.intervalMs(), intervalMs);

    QTimer* timer = closeTimer(form);
    ASSERT_NE(timer, nullptr);
    EXPECT_TRUE(timer->isSingleShot());
    form.show();
    EXPECT_TRUE(timer->isActive());
    EXPECT_EQ(timer->interval(), intervalMs);
}

TEST_P(FormFlashModes, TimeoutClosesAndEmitsFinishedOnce)
{
    FormFlash form(GetParam().first);
    EmitCounter finished(&form, &FormFlash::finished);
    form.show();
    QTimer* timer = closeTimer(form);
    ASSERT_NE(timer, nullptr);
    ASSERT_TRUE(QMetaObject::invokeMethod(timer, "timeout"));
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(finished.count(), 1);
    EXPECT_FALSE(timer->isActive());

    // A late click or close must not announce the end a second time.
    form.close();
    EXPECT_EQ(finished.count(), 1);
}

INSTANTIATE_TEST_SUITE_P(FormFlash, FormFlashModes,
                         ::testing::Values(std::pair{FormFlash::Mode::Startup, 4500},
                                           std::pair{FormFlash::Mode::About, 10000}),
                         [](const auto& info) {
                             return info.param.first == FormFlash::Mode::Startup
                                        ? std::string("Startup")
                                        : std::string("About");
                         });

class FormFlashClicks : public ::testing::TestWithParam<const char*> {};

TEST_P(FormFlashClicks, ClickAnywhereClosesAndEmitsFinishedOnce)
{
    FormFlash form(FormFlash::Mode::Startup);
    EmitCounter finished(&form, &FormFlash::finished);
    form.show();
    QCoreApplication::processEvents();

    QPoint position = form.rect().center();
    if (QString target = QString::fromUtf8(GetParam()); target != QStringLiteral("centre")) {
        auto* label = form.findChild<QLabel*>(target);
        ASSERT_NE(label, nullptr);
        position = label->geometry().center();
    }
    clickWindowAt(form, position);

    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(finished.count(), 1);
    QTimer* timer = closeTimer(form);
    ASSERT_NE(timer, nullptr);
    EXPECT_FALSE(timer->isActive()) << "the timer would fire into a closed window";
}

INSTANTIATE_TEST_SUITE_P(FormFlash, FormFlashClicks,
                         ::testing::Values("centre", "LabelVer", "LabelCopyright"));

// The keyboard closes the box as a click does; another key leaves it up.
TEST(FormFlash, EscapeOrEnterClosesAndOtherKeysDoNot)
{
    for (const Qt::Key key : {Qt::Key_Escape, Qt::Key_Return}) {
        FormFlash form(FormFlash::Mode::About);
        EmitCounter finished(&form, &FormFlash::finished);
        form.show();
        QTest::keyClick(&form, Qt::Key_A);
        EXPECT_TRUE(form.isVisible());
        QTest::keyClick(&form, key);
        EXPECT_FALSE(form.isVisible()) << key;
        EXPECT_EQ(finished.count(), 1);
    }
}

TEST(FormFlash, IsAFramelessTopmostSplashWithoutIcon)
{
    FormFlash form(FormFlash::Mode::Startup);
    const Qt::WindowFlags flags = form.windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(flags.testFlag(Qt::FramelessWindowHint));
    EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::SplashScreen);
    EXPECT_FALSE(form.testAttribute(Qt::WA_SetWindowIcon));
    EXPECT_NEAR(form.width(), 480, 40);
    EXPECT_NEAR(form.height(), 300, 40);
}

TEST(FormFlash, LabelsShowVersionAndCopyrightInWhite)
{
    FormFlash form(FormFlash::Mode::About);
    form.ensurePolished();
    const std::array<std::pair<QString, QString>, 2> expected{{
        {QStringLiteral("LabelVer"), QStringLiteral("Version 4.0")},
        {QStringLiteral("LabelCopyright"),
         QStringLiteral("Copyright (C) 2026 The Tunevale developers\n"
                        "Free software under the GNU GPL, version 3 or later")},
    }};
    for (const auto& [name, text] : expected) {
        auto* label = form.findChild<QLabel*>(name);
        ASSERT_NE(label, nullptr) << name.toStdString();
        label->ensurePolished();
        EXPECT_EQ(label->text(), text);
        EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(Qt::white))
            << name.toStdString();
        EXPECT_EQ(label->font().family(), expectedLabelFamily());
        EXPECT_EQ(label->font().pointSize(), 9);
    }
}

TEST(FormFlash, LabelsStayWhiteUnderADarkSkin)
{
    const QString previous = qApp->styleSheet();
    qApp->setStyleSheet(QStringLiteral("QLabel { color: #202020; }"));
    {
        FormFlash form(FormFlash::Mode::Startup);
        auto* label = form.findChild<QLabel*>(QStringLiteral("LabelVer"));
        ASSERT_NE(label, nullptr);
        label->ensurePolished();
        EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(Qt::white));
    }
    qApp->setStyleSheet(previous);
}

TEST(FormFlash, IsCentredOnTheScreen)
{
    FormFlash form(FormFlash::Mode::Startup);
    QScreen* screen = form.screen();
    ASSERT_NE(screen, nullptr);
    const QPoint offset = form.geometry().center() - screen->availableGeometry().center();
    EXPECT_LE(offset.manhattanLength(), 2);
}

TEST(FormFlash, ShowAboutIsModalAndReturnsWhenClickedAndFreesItself)
{
    QWidget owner;
    owner.show();
    QPointer<FormFlash> seen;
    bool wasModal = false;
    FormFlash::Mode seenMode = FormFlash::Mode::Startup;
    QTimer::singleShot(0, &owner, [&] {
        seen = owner.findChild<FormFlash*>();
        if (seen == nullptr)
            return;
        wasModal = seen->isVisible() && seen->windowModality() != Qt::NonModal;
        seenMode = seen->mode();
        clickWindowAt(*seen, seen->rect().center());
    });
    // Guard: a failed click must not leave the loop running for ten seconds or forever.
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, &owner, [&] {
        if (auto* about = owner.findChild<FormFlash*>())
            about->close();
    });
    guard.start(5000);

    FormFlash::showAbout(&owner);
    EXPECT_TRUE(guard.isActive()) << "the click did not close the about box";
    guard.stop();
    EXPECT_TRUE(wasModal);
    EXPECT_EQ(seenMode, FormFlash::Mode::About);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(seen.isNull()) << "the about box was not freed";
}

TEST(FormWait, CaptionTextAndIcon)
{
    QWidget owner;
    FormWait wait(&owner);
    EXPECT_EQ(wait.windowTitle(), QStringLiteral(" Please wait..."));
    EXPECT_FALSE(wait.isModal());
    EXPECT_EQ(wait.parentWidget(), &owner);
    EXPECT_TRUE(wait.testAttribute(Qt::WA_SetWindowIcon));
    EXPECT_FALSE(wait.windowIcon().isNull());
    auto* label = wait.findChild<QLabel*>(QStringLiteral("Label1"));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), QStringLiteral("Reading files, please wait..."));
    EXPECT_EQ(label->font().family(), expectedLabelFamily());
    EXPECT_EQ(label->font().pointSize(), 9);
    EXPECT_FALSE(wait.windowFlags().testFlag(Qt::WindowCloseButtonHint));
}

class FormWaitUserClose : public ::testing::TestWithParam<const char*> {};

TEST_P(FormWaitUserClose, IsRefusedUntilTheProgramFinishes)
{
    QWidget owner;
    owner.show();
    FormWait wait(&owner);
    wait.showAndPaint();
    ASSERT_TRUE(wait.isVisible());

    if (QString::fromUtf8(GetParam()) == QStringLiteral("Escape")) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QCoreApplication::sendEvent(&wait, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_Escape, Qt::NoModifier);
        QCoreApplication::sendEvent(&wait, &release);
    } else
        EXPECT_FALSE(wait.close());
    QCoreApplication::processEvents();
    EXPECT_TRUE(wait.isVisible());

    wait.finish();
    EXPECT_FALSE(wait.isVisible());

    // The next read shows the same window again and it still refuses the user.
    wait.showAndPaint();
    EXPECT_TRUE(wait.isVisible());
    EXPECT_FALSE(wait.close());
    EXPECT_TRUE(wait.isVisible());
    wait.finish();
    EXPECT_FALSE(wait.isVisible());
}

INSTANTIATE_TEST_SUITE_P(FormWait, FormWaitUserClose, ::testing::Values("CloseBox", "Escape"));

class ArtworkIconSizes : public ::testing::TestWithParam<int> {};

TEST_P(ArtworkIconSizes, ApplicationIconHasADrawnPixmapOfTheSize)
{
    const int size = GetParam();
    const QIcon icon = applicationIcon();
    ASSERT_FALSE(icon.isNull());
    EXPECT_TRUE(icon.availableSizes().contains(QSize(size, size)));
    const QPixmap pixmap = icon.pixmap(QSize(size, size));
    ASSERT_FALSE(pixmap.isNull());
    EXPECT_EQ(pixmap.size(), QSize(size, size));
    const QImage image = pixmap.toImage();
    EXPECT_GT(qAlpha(image.pixel(size / 2, size / 2)), 200);
    // Rounded corners: the very corner stays see-through.
    EXPECT_LT(qAlpha(image.pixel(0, 0)), 60);
}

INSTANTIATE_TEST_SUITE_P(Artwork, ArtworkIconSizes,
                         ::testing::Values(16, 24, 32, 48, 64, 128, 256));

// Every command's icon, the format badges of the window's table included, is drawn at the
// sizes toolbars and menus use and looks unlike every other one.
TEST(Artwork, CommandIconsAreDrawnAndDistinctAtToolbarAndMenuSizes)
{
    QList<QIcon> icons;
    for (const CommandIcon which :
         {CommandIcon::AddFiles, CommandIcon::AddFolder, CommandIcon::Remove, CommandIcon::Play})
        icons.append(commandIcon(which));
    for (const FormatCommand& command : formatCommands())
        icons.append(formatIcon(formatCaption(command.kind), command.badge));
    for (const int size : {16, 24}) {
        QList<QImage> images;
        for (const QIcon& icon : icons) {
            ASSERT_FALSE(icon.isNull());
            EXPECT_TRUE(icon.availableSizes().contains(QSize(size, size)));
            const QImage image = icon.pixmap(QSize(size, size)).toImage();
            ASSERT_EQ(image.size(), QSize(size, size));
            EXPECT_TRUE(hasOpaquePixel(image)) << "icon " << images.size();
            for (qsizetype other = 0; other < images.size(); ++other)
                EXPECT_NE(image, images[other]) << "icons " << other << " and " << images.size()
                                                << " look the same at " << size;
            images.append(image);
        }
    }
}

TEST(Artwork, SplashArtworkHasTheAskedSizeAndIsOpaque)
{
    for (const QSize size : {QSize(480, 300), QSize(960, 600), QSize(240, 150)}) {
        const QPixmap pixmap = splashArtwork(size);
        ASSERT_FALSE(pixmap.isNull());
        EXPECT_EQ(pixmap.size(), size);
        const QImage image = pixmap.toImage();
        // The labels are drawn over it without a background of their own.
        for (const QPoint corner : {QPoint(0, 0), QPoint(size.width() - 1, size.height() - 1)})
            EXPECT_EQ(image.pixelColor(corner).alpha(), 255);
    }
    EXPECT_TRUE(splashArtwork(QSize()).isNull());
}

QDir helpFolder()
{
    return QDir(QFileInfo(QString::fromUtf8(__FILE__))
                    .dir()
                    .filePath(QStringLiteral("../../src/app/resources/help")));
}

QString readText(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

TEST(Artwork, HelpPagesExistAndTheirLinksResolve)
{
    const QDir folder = helpFolder();
    const QStringList required{
        QStringLiteral("index.html"),           QStringLiteral("getting-started.html"),
        QStringLiteral("file-list.html"),       QStringLiteral("converting.html"),
        QStringLiteral("format-settings.html"), QStringLiteral("player.html"),
        QStringLiteral("command-line.html")};
    for (const QString& page : required)
        EXPECT_TRUE(folder.exists(page)) << page.toStdString();

    const QRegularExpression linkPattern(QStringLiteral(R"re((?:href|src)\s*=\s*"([^"]*)")re"));
    const QRegularExpression scriptPattern(QStringLiteral("<script"),
                                           QRegularExpression::CaseInsensitiveOption);
    QSet<QString> linkedPages;
    const QStringList pages = folder.entryList({QStringLiteral("*.html")}, QDir::Files);
    ASSERT_FALSE(pages.isEmpty());
    for (const QString& page : pages) {
        const QString text = readText(folder.filePath(page));
        ASSERT_FALSE(text.isEmpty()) << page.toStdString();
        EXPECT_FALSE(text.contains(scriptPattern)) << page.toStdString();
        for (const QRegularExpressionMatch& match : linkPattern.globalMatch(text)) {
            const QUrl url(match.captured(1));
            const std::string where = page.toStdString() + " -> " + match.captured(1).toStdString();
            // Help opens offline: nothing may point outside the folder.
            EXPECT_TRUE(url.isRelative()) << where;
            const QString target = url.path().isEmpty() ? page : url.path();
            ASSERT_TRUE(folder.exists(target)) << where;
            linkedPages.insert(target);
            if (url.hasFragment()) {
                const QString anchor = QStringLiteral("id=\"%1\"").arg(url.fragment());
                EXPECT_TRUE(readText(folder.filePath(target)).contains(anchor)) << where;
            }
        }
    }
    for (const QString& page : pages) {
        if (page != QStringLiteral("index.html")) {
            EXPECT_TRUE(linkedPages.contains(page)) << page.toStdString() << " is never linked";
        }
    }
}

} // namespace
} // namespace tunevale
