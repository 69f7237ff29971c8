#include "app/commandids.h"
#include "app/formmain.h"
#include "app/helppages.h"
#include "app/startupoptions.h"
#include "app/translations.h"
#include "filelist/addfiles.h"
#include "filelist/filelistview.h"
#include "filelist/listfeed.h"

#include "support/fixtures.h"
#include "support/signals.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTranslator>
#include <QUrl>

#include <gtest/gtest.h>

using namespace tunevale;
using namespace tunevale::test;

namespace {

TEST(StartupOptions, HelpAndVersionAnswerBeforeAnythingElse)
{
    QString text;
    QTextStream out(&text);
    EXPECT_EQ(
        answerInformationOptions(
            {QStringLiteral("tunevale"), QStringLiteral("a.mp3"), QStringLiteral("--help")}, out),
        0);
    out.flush();
    EXPECT_TRUE(text.startsWith(u"Usage: tunevale")) << text.toStdString();

    text.clear();
    EXPECT_EQ(answerInformationOptions({QStringLiteral("tunevale"), QStringLiteral("-v")}, out), 0);
    out.flush();
    EXPECT_EQ(text, QStringLiteral("tunevale %1\n").arg(QCoreApplication::applicationVersion()));

    // After "--" every argument is a file, even one named like an option.
    EXPECT_EQ(
        answerInformationOptions(
            {QStringLiteral("tunevale"), QStringLiteral("--"), QStringLiteral("--help")}, out),
        std::nullopt);
    EXPECT_EQ(answerInformationOptions({QStringLiteral("tunevale"), QStringLiteral("a.mp3")}, out),
              std::nullopt);
}

// --help answers before any window exists, yet in the window's language.
TEST(StartupOptions, HelpSpeaksTheLanguageTheWindowWould)
{
    const auto help = [](const QStringList& options) {
        QString text;
        QTextStream out(&text);
        answerInformationOptions(QStringList{QStringLiteral("tunevale")} + options, out);
        out.flush();
        return text;
    };
    const QString german =
        help({QStringLiteral("--lang"), QStringLiteral("de"), QStringLiteral("--help")});
    EXPECT_TRUE(german.startsWith(u"Aufruf: tunevale [OPTION] [DATEI...]\n"))
        << german.toStdString();
    EXPECT_TRUE(help({QStringLiteral("--lang=de_CH"), QStringLiteral("-h")})
                    .contains(u"--lang LOCALE  die Sprache"));
    EXPECT_TRUE(help({QStringLiteral("--lang"), QStringLiteral("en"), QStringLiteral("-h")})
                    .startsWith(u"Usage: tunevale"));
}

TEST(StartupOptions, AnUnknownOptionIsOneLineAndAPointerToHelp)
{
    QString text;
    QTextStream err(&text);
    QStringList files{QStringLiteral("stale")};
    EXPECT_EQ(readStartupFiles({QStringLiteral("tunevale"), QStringLiteral("--loud")}, files, err),
              2);
    err.flush();
    const QStringList lines = text.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2) << text.toStdString();
    EXPECT_TRUE(lines[0].contains(u"loud")) << text.toStdString();
    EXPECT_EQ(lines[1], u"Try 'tunevale --help' for more information.");
}

// What a file manager's "open with" does: the chosen files on the command line. Those the
// program cannot read are skipped as Add Files skips them; relative names are made whole.
TEST(StartupOptions, ListsTheReadableFilesAndSkipsTheRest)
{
    TempDir dir;
    const QString tone = dir.file(QStringLiteral("tone.wav"));
    ASSERT_TRUE(writePcmWav(tone, sine(440, 44100, 2, 0.5), 44100, 2));
    ASSERT_TRUE(writeFileBytes(dir.file(QStringLiteral("notes.txt")), "not audio"));
    ASSERT_TRUE(writeFileBytes(dir.file(QStringLiteral("fake.mp3")), QByteArray(4096, 'x')));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("album.ogg")));

    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    QString errors;
    QTextStream err(&errors);
    QStringList files;
    const auto status =
        readStartupFiles({QStringLiteral("tunevale"), QStringLiteral("notes.txt"),
                          QStringLiteral("tone.wav"), dir.file(QStringLiteral("fake.mp3")),
                          QStringLiteral("album.ogg"), dir.file(QStringLiteral("missing.wma"))},
                         files, err);
    QDir::setCurrent(previous);
    ASSERT_EQ(status, std::nullopt) << errors.toStdString();
    ASSERT_EQ(files.size(), 5);
    EXPECT_EQ(files[1], QFileInfo(tone).absoluteFilePath());

    FormMain window;
    addFilesWithWaitWindow(*window.ListView1(), &window, files);
    ASSERT_EQ(window.ListView1()->rowCount(), 1);
    EXPECT_TRUE(window.ListView1()->IsInList(QFileInfo(tone).absoluteFilePath()));
}

// Qt's own options and their values are neither files nor unknown options.
TEST(StartupOptions, QtsOwnOptionsAreLeftToQt)
{
    QString errors;
    QTextStream err(&errors);
    QStringList files;
    EXPECT_EQ(readStartupFiles({QStringLiteral("tunevale"), QStringLiteral("-style"),
                                QStringLiteral("Fusion"), QStringLiteral("--platform"),
                                QStringLiteral("offscreen"), QStringLiteral("-reverse"),
                                QStringLiteral("-stylesheet=my.qss"), QStringLiteral("/a.wav")},
                               files, err),
              std::nullopt)
        << errors.toStdString();
    EXPECT_EQ(files, QStringList{QStringLiteral("/a.wav")});
}

// Runs the program with no display to reach.
void runWithoutDisplay(QProcess& program, const QStringList& arguments)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(TUNEVALE_GUI_PATH), arguments);
    EXPECT_TRUE(program.waitForFinished(30000));
}

TEST(StartupOptions, TheProgramAnswersVersionWithoutADisplay)
{
    QProcess program;
    runWithoutDisplay(program, {QStringLiteral("--version")});
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_EQ(QString::fromUtf8(program.readAllStandardOutput()),
              QStringLiteral("tunevale %1\n").arg(QStringLiteral(TUNEVALE_VERSION)));
}

// A mistyped option is a usage error, not a crash for want of a display.
TEST(StartupOptions, TheProgramRefusesAnUnknownOptionWithoutADisplay)
{
    QProcess program;
    runWithoutDisplay(program, {QStringLiteral("-style"), QStringLiteral("Fusion"),
                                QStringLiteral("--loud"), QStringLiteral("a.wav")});
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 2);
    const QString errors = QString::fromUtf8(program.readAllStandardError());
    EXPECT_TRUE(errors.contains(u"loud")) << errors.toStdString();
    EXPECT_TRUE(errors.endsWith(u"Try 'tunevale --help' for more information.\n"))
        << errors.toStdString();
}

QString sourceHelpFolder()
{
    return QFileInfo(QString::fromUtf8(__FILE__))
        .dir()
        .filePath(QStringLiteral("../../src/app/resources/help"));
}

TEST(HelpPages, EveryPageIsCopiedOutAndOldCopiesAreReplaced)
{
    TempDir dir;
    const QString target = dir.file(QStringLiteral("cache/help"));
    ASSERT_TRUE(QDir().mkpath(target));
    ASSERT_TRUE(writeFileBytes(target + QStringLiteral("/index.html"), "an older version"));

    const QString index = extractHelpPages(target, QLocale(QLocale::English));
    EXPECT_EQ(index, target + QStringLiteral("/index.html"));
    const QStringList sourcePages = QDir(sourceHelpFolder()).entryList(QDir::Files);
    ASSERT_FALSE(sourcePages.isEmpty());
    EXPECT_EQ(QDir(target).entryList(QDir::Files), sourcePages);
    for (const QString& page : sourcePages) {
        EXPECT_EQ(fileBytes(target + u'/' + page), fileBytes(sourceHelpFolder() + u'/' + page))
            << page.toStdString();
    }
}

// The program is free software: no page may claim every right for its maker.
TEST(HelpPages, EveryPageStatesTheLicence)
{
    const QDir pages(sourceHelpFolder());
    const QStringList names = pages.entryList({QStringLiteral("*.html")}, QDir::Files);
    ASSERT_FALSE(names.isEmpty());
    for (const QString& name : names) {
        const QByteArray page = fileBytes(pages.filePath(name));
        EXPECT_TRUE(page.contains("Free software under the GNU GPL, version 3 or later"))
            << name.toStdString();
        EXPECT_FALSE(page.contains("All rights reserved")) << name.toStdString();
        EXPECT_TRUE(fileBytes(pages.filePath(QStringLiteral("de/") + name))
                        .contains("Freie Software unter der GNU GPL, Version 3 oder neuer"))
            << name.toStdString();
    }
}

// The targets of a page's links that stay inside the help, and the ids its sections carry.
QStringList localLinks(const QByteArray& page)
{
    static const QRegularExpression href(QStringLiteral(R"re(href="([^"]+)")re"));
    QStringList links;
    for (const auto& match : href.globalMatch(QString::fromUtf8(page))) {
        if (!match.captured(1).contains(u':'))
            links << match.captured(1);
    }
    return links;
}

QStringList sectionIds(const QByteArray& page)
{
    static const QRegularExpression id(QStringLiteral(R"re(\bid="([^"]+)")re"));
    QStringList ids;
    for (const auto& match : id.globalMatch(QString::fromUtf8(page)))
        ids << match.captured(1);
    return ids;
}

TEST(HelpPages, GermanIsOpenedInGermanAndItsLinksStayInGermanPages)
{
    TempDir dir;
    const QString target = dir.file(QStringLiteral("help"));
    const QString index = extractHelpPages(target, QLocale(QLocale::German, QLocale::Austria));
    ASSERT_EQ(index, target + QStringLiteral("/de/index.html"));

    const QDir german(target + QStringLiteral("/de"));
    const QStringList pages = german.entryList({QStringLiteral("*.html")}, QDir::Files);
    EXPECT_EQ(pages, QDir(target).entryList({QStringLiteral("*.html")}, QDir::Files));
    for (const QString& name : pages) {
        const QByteArray page = fileBytes(german.filePath(name));
        EXPECT_EQ(page, fileBytes(sourceHelpFolder() + QStringLiteral("/de/") + name));
        EXPECT_TRUE(page.contains("<html lang=\"de\">")) << name.toStdString();
        for (const QString& link : localLinks(page)) {
            const QString file = link.section(u'#', 0, 0);
            const QString section = link.section(u'#', 1);
            const QString linked = file.isEmpty() ? german.filePath(name) : german.filePath(file);
            ASSERT_TRUE(QFileInfo::exists(linked))
                << name.toStdString() << " -> " << link.toStdString();
            // Only the shared style sheet is taken from the English folder.
            EXPECT_TRUE(!file.startsWith(QStringLiteral("..")) ||
                        file == QStringLiteral("../help.css"))
                << name.toStdString() << " -> " << link.toStdString();
            if (!section.isEmpty()) {
                EXPECT_TRUE(sectionIds(fileBytes(linked)).contains(section))
                    << name.toStdString() << " -> " << link.toStdString();
            }
        }
    }
}

// Links into a section of a page work in either language.
TEST(HelpPages, EveryEnglishPageHasAGermanOneWithTheSameSections)
{
    const QDir english(sourceHelpFolder());
    const QStringList names = english.entryList({QStringLiteral("*.html")}, QDir::Files);
    ASSERT_FALSE(names.isEmpty());
    for (const QString& name : names) {
        const QString german = english.filePath(QStringLiteral("de/") + name);
        ASSERT_TRUE(QFileInfo::exists(german)) << name.toStdString();
        EXPECT_EQ(sectionIds(fileBytes(german)), sectionIds(fileBytes(english.filePath(name))))
            << name.toStdString();
    }
}

// Stands in for the browser: keeps the address it was asked to open.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public Q_SLOTS:
    void open(const QUrl& url) { opened << url; }
};

// Presses F1 in a main window speaking language; returns the page handed to the browser.
QString pageOpenedByF1(const QLocale& language, const QString& cache)
{
    const QByteArray previousCache = qgetenv("XDG_CACHE_HOME");
    qputenv("XDG_CACHE_HOME", cache.toLocal8Bit());
    UrlCatcher browser;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &browser, "open");
    // Without the desktop's opener on the path, the window hands the page to the handler.
    const QByteArray previousPath = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(cache));
    const QLocale previousLanguage;
    QLocale::setDefault(language);
    {
        FormMain window;
        window.CommandBars1_Execute(ID_HELPCONTENTS);
    }
    QLocale::setDefault(previousLanguage);
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    qputenv("XDG_CACHE_HOME", previousCache);
    qputenv("PATH", previousPath);
    return browser.opened.size() == 1 ? browser.opened.first().toLocalFile() : QString();
}

TEST(HelpPages, F1OpensTheIndexCopiedIntoTheCache)
{
    TempDir cache;
    const QString page = pageOpenedByF1(QLocale(QLocale::English), cache.path());
    EXPECT_TRUE(page.startsWith(cache.path())) << page.toStdString();
    EXPECT_TRUE(page.endsWith(u"/help/index.html")) << page.toStdString();
    EXPECT_EQ(fileBytes(page), fileBytes(sourceHelpFolder() + QStringLiteral("/index.html")));

    const QString german = pageOpenedByF1(QLocale(QLocale::German), cache.path());
    EXPECT_TRUE(german.endsWith(u"/help/de/index.html")) << german.toStdString();
}

TEST(HelpPages, AFolderThatCannotBeWrittenGivesNoPath)
{
    TempDir dir;
    const QString blocker = dir.file(QStringLiteral("file"));
    ASSERT_TRUE(writeFileBytes(blocker, "a file where the folder should be"));
    EXPECT_TRUE(
        extractHelpPages(blocker + QStringLiteral("/help"), QLocale(QLocale::German)).isEmpty());
}

TEST(Skin, IsBuiltIntoTheProgramAndApplied)
{
    const QByteArray skin = fileBytes(QStringLiteral(":/skin.qss"));
    ASSERT_FALSE(skin.isEmpty());
    const QString previous = qApp->styleSheet();
    qApp->setStyleSheet(QString());
    {
        FormMain window;
        EXPECT_EQ(qApp->styleSheet(), QString::fromUtf8(skin));
    }
    qApp->setStyleSheet(previous);
}

} // namespace

#include "startup_test.moc"
#include "support/qtprinters.h"

// The other tests read the English texts.
static void removeTranslations()
{
    for (QTranslator* translator : QCoreApplication::instance()->findChildren<QTranslator*>()) {
        QCoreApplication::removeTranslator(translator);
        delete translator;
    }
}

// --lang overrides the desktop's language; the windows and Qt's own buttons then speak it.
TEST(StartupOptions, LangChoosesTheLanguageOfQtsOwnTexts)
{
    QString text;
    QTextStream err(&text);
    QStringList files;
    QString language;
    EXPECT_EQ(readStartupFiles({QStringLiteral("tunevale"), QStringLiteral("--lang"),
                                QStringLiteral("de"), QStringLiteral("a.mp3")},
                               files, err, &language),
              std::nullopt);
    EXPECT_EQ(language, u"de");
    EXPECT_EQ(files.size(), 1);

    const QLocale before;
    ASSERT_TRUE(installTranslations(interfaceLocale(language)));
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), u"Abbrechen");
    EXPECT_EQ(QCoreApplication::translate("tunevale::FormMain", "Do you want to exit?"),
              u"Möchten Sie das Programm beenden?");
    EXPECT_EQ(
        skippedFilesText({{QStringLiteral("/m/a.mp3"), QStringLiteral("unreadable")},
                          {QStringLiteral("/m/b.ogg"), QStringLiteral("unsupported encoding")}}),
        u"/m/a.mp3: nicht lesbar\n/m/b.ogg: nicht unterstützte Kodierung");
    EXPECT_EQ(QLocale().language(), QLocale::German);
    removeTranslations();
    QLocale::setDefault(before);
}
