#include "app/artwork.h"
#include "app/formflash.h"
#include "app/formmain.h"
#include "common/nativepath.h"
#include "filelist/addfiles.h"

#include <QApplication>

#include <memory>

using namespace tunevale;

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tunevale"));
    QApplication::setApplicationVersion(QStringLiteral("4.0"));
    QApplication::setWindowIcon(applicationIcon());

    // The main window comes when the splash closes; until then no closed window ends the run.
    QApplication::setQuitOnLastWindowClosed(false);
    std::unique_ptr<FormMain> mainWindow;
    FormFlash splash(FormFlash::Mode::Startup);
    // Files named on the command line ("open with") are listed once the window is up.
    const QStringList files = argumentsFromNative(argc, argv);
    QObject::connect(&splash, &FormFlash::finished, &application, [&mainWindow, files] {
        mainWindow = std::make_unique<FormMain>();
        mainWindow->show();
        QApplication::setQuitOnLastWindowClosed(true);
        if (!files.isEmpty())
            addFilesWithWaitWindow(*mainWindow->ListView1(), mainWindow.get(), files);
    });
    splash.show();
    return QApplication::exec();
}
