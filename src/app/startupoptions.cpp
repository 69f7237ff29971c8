#include "app/startupoptions.h"

#include "common/displaytext.h"
#include "common/localfile.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>

#include <algorithm>
#include <iterator>

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
    "      --lang LOCALE  speak LOCALE's language (such as de) instead of the desktop's\n"
    "Qt's own options (-platform, -style ...) are accepted too. See tunevale(1).\n";

bool isHelp(const QString& argument)
{
    return argument == u"--help" || argument == u"-h";
}

bool isVersion(const QString& argument)
{
    return argument == u"--version" || argument == u"-v";
}

// The options QApplication takes out of the arguments itself (qt6options(7) and the X11
// plugin's), each with one dash or two.
struct QtOption {
    QStringView name;
    bool takesValue;
    bool takesJoinedValue; // also as "-name=value"
};

constexpr QtOption kQtOptions[] = {
    {u"platform", true, false},
    {u"platformpluginpath", true, false},
    {u"platformtheme", true, false},
    {u"plugin", true, false},
    {u"qwindowgeometry", true, false},
    {u"qwindowicon", true, false},
    {u"qwindowtitle", true, false},
    {u"session", true, false},
    {u"display", true, false},
    {u"geometry", true, false},
    {u"title", true, false},
    {u"icon", true, false},
    {u"name", true, false},
    {u"visual", true, false},
    {u"style", true, true},
    {u"stylesheet", true, true},
    {u"qmljsdebugger", false, true},
    {u"reverse", false, false},
    {u"widgetcount", false, false},
    {u"nograb", false, false},
    {u"dograb", false, false},
};

// The arguments with Qt's own options and their values left out, so that they can be read
// before the application object exists: without a display, making it ends the program.
QStringList withoutQtOptions(const QStringList& arguments)
{
    QStringList left;
    for (qsizetype index = 0; index < arguments.size(); ++index) {
        const QString& argument = arguments[index];
        if (argument == u"--") {
            left += arguments.mid(index);
            break;
        }
        const QStringView name = QStringView(argument).mid(argument.startsWith(u"--") ? 2 : 1);
        const auto option =
            std::find_if(std::begin(kQtOptions), std::end(kQtOptions), [&](const QtOption& qt) {
                return name == qt.name || (qt.takesJoinedValue && name.startsWith(qt.name) &&
                                           name.mid(qt.name.size()).startsWith(u'='));
            });
        if (index == 0 || !argument.startsWith(u'-') || option == std::end(kQtOptions)) {
            left << argument;
            continue;
        }
        if (option->takesValue && name == option->name)
            ++index;
    }
    return left;
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
                                    QTextStream& err, QString* language)
{
    QCommandLineParser parser;
    parser.addOption(QCommandLineOption(QStringList{QStringLiteral("h"), QStringLiteral("help")}));
    parser.addOption(
        QCommandLineOption(QStringList{QStringLiteral("v"), QStringLiteral("version")}));
    const QCommandLineOption languageOption(QStringLiteral("lang"), QString(),
                                            QStringLiteral("LOCALE"));
    parser.addOption(languageOption);
    if (!parser.parse(withoutQtOptions(arguments))) {
        err << "tunevale: " << displayText(parser.errorText()) << "\n"
            << "Try 'tunevale --help' for more information.\n";
        return kExitUsage;
    }
    if (language)
        *language = parser.value(languageOption);
    files.clear();
    for (const QString& path : parser.positionalArguments())
        files << QDir::cleanPath(absolutePath(path));
    return std::nullopt;
}

} // namespace tunevale
