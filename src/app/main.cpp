#include "app/formflash.h"
#include "app/formmain.h"
#include "app/startupoptions.h"
#include "app/translations.h"
#include "common/nativepath.h"
#include "filelist/filelistview.h"
#include "widgets/artwork.h"

#include <QApplication>
#include <QTextStream>

#include <cstdio>
#include <memory>

using namespace tunevale;

int main(int argc, char* argv[])
{
    QCoreApplication::setApplicationVersion(QStringLiteral(TUNEVALE_VERSION));
    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList rawArguments;
    for (int index = 0; index < argc; ++index)
        rawArguments << QString::fromLocal8Bit(argv[index]);
    if (const auto status = answerInformationOptions(rawArguments, out))
        return *status;

    // Files named on the command line ("open with") are listed once the window is up. They are
    // read first: a bad option must not wait for a display.
    QStringList files;
    QString language;
    if (const auto status = readStartupFiles(QStringList{QStringLiteral("tunevale")} +
                                                 argumentsFromNative(argc, argv),
                                             files, err, &language))
        return *status;

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tunevale"));
    // Lets the desktop match the windows to the installed desktop entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("com.example.tunevale"));
    QApplication::setWindowIcon(applicationIcon());
    installTranslations(interfaceLocale(language));

    // The main window comes when the splash closes; until then no closed window ends the run.
    QApplication::setQuitOnLastWindowClosed(false);
    std::unique_ptr<FormMain> mainWindow;
    FormFlash splash(FormFlash::Mode::Startup);
    QObject::connect(&splash, &FormFlash::finished, &application, [&mainWindow, files] {
        mainWindow = std::make_unique<FormMain>();
        mainWindow->show();
        QApplication::setQuitOnLastWindowClosed(true);
        // Read from the event loop, not from inside the splash's closing. A file manager's
        // Open With may pass files of any type; those are skipped without a message.
        if (!files.isEmpty())
            mainWindow->ListView1()->takeFilesLater(files, false);
    });
    splash.show();
    return QApplication::exec();
}
