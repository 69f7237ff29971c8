#include "app/startupoptions.h"

#include "common/localfile.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>

namespace tunevale {

namespace {

constexpr int kExitUsage = 2;

const char kUsage[] =
    "Usage: tunevale [OPTION] [FILE...]\n"
    "Lists the audio files named in the converter's window; files of a type it cannot\n"
    "read are skipped.\n"
    "Options:\n"
    "  -h, --help       show this help and exit\n"
    "  -v, --version    show the version and exit\n"
    "Qt's own options (-platform, -style ...) are accepted too. See tunevale(1).\n";

bool isHelp(const QString& argument)
{
    return argument == u"--help" || argument == u"-h";
}

bool isVersion(const QString& argument)
{
    return argument == u"--version" || argument == u"-v";
}

} // namespace

std::optional<int> answerInformationOptions(const QStringList& arguments, QTextStream& out)
{
    for (const QString& argument : arguments.mid(1)) {
        if (argument == u"--")
            break;
        if (isHelp(argument)) {
            out << kUsage;
            return 0;
        }
        if (isVersion(argument)) {
            out << "tunevale " << QCoreApplication::applicationVersion() << "\n";
            return 0;
        }
    }
    return std::nullopt;
}

std::optional<int> readStartupFiles(const QStringList& arguments, QStringList& files,
                                    QTextStream& err)
{
    QCommandLineParser parser;
    parser.addOption(QCommandLineOption(QStringList{QStringLiteral("h"), QStringLiteral("help")}));
    parser.addOption(
        QCommandLineOption(QStringList{QStringLiteral("v"), QStringLiteral("version")}));
    if (!parser.parse(arguments)) {
        err << "tunevale: " << parser.errorText() << "\n"
            << "Try 'tunevale --help' for more information.\n";
        return kExitUsage;
    }
    files.clear();
    for (const QString& path : parser.positionalArguments())
        files << QDir::cleanPath(absolutePath(path));
    return std::nullopt;
}

} // namespace tunevale
