#include "app/artwork.h"
#include "app/formflash.h"
#include "app/formmain.h"

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
    QObject::connect(&splash, &FormFlash::finished, &application, [&mainWindow] {
        mainWindow = std::make_unique<FormMain>();
        mainWindow->show();
        QApplication::setQuitOnLastWindowClosed(true);
    });
    splash.show();
    return QApplication::exec();
}
