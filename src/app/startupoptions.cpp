#include "app/startupoptions.h"

#include "app/translations.h"

#include "common/displaytext.h"
#include "common/localfile.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QTranslator>

#include <algorithm>
#include <iterator>

namespace tunevale {

namespace {

constexpr int kExitUsage = 2;

// Translated in its own context: no window exists when it is printed.
const char kUsageContext[] = "tunevale::StartupOptions";
const char* const kUsage = QT_TRANSLATE_NOOP(
    "tunevale::StartupOptions",
    "Usage: tunevale [OPTION] [FILE...]\n"
    "Lists the audio files named in the converter's window; files of a type it cannot\n"
    "read are skipped.\n"
    "Options:\n"
    "  -h, --help       show this help and exit\n"
    "  -v, --version    show the version and exit\n"
    "      --lang LOCALE  speak LOCALE's language (such as de) instead of the desktop's\n"
    "Qt's own options (-platform, -style ...) are accepted too. See tunevale(1).\n");

// The value of --lang among arguments not yet parsed; empty when not given.
QString requestedLanguage(const QStringList& arguments)
{
    for (qsizetype index = 1; index < arguments.size(); ++index) {
        const QString& argument = arguments.at(index);
        if (argument == u"--")
            break;
        if (argument == u"--lang" && index + 1 < arguments.size())
            return arguments.at(index + 1);
        if (argument.startsWith(u"--lang="))
            return argument.mid(7);
    }
    return {};
}

// The usage in the language the window would speak. Read without an application object, so
// the catalogue is asked directly rather than installed.
QString usageText(const QStringList& arguments)
{
    QTranslator translator;
    if (translator.load(interfaceLocale(requestedLanguage(arguments)), QStringLiteral("tunevale"),
                        QStringLiteral("_"), translationsFolder())) {
        if (QString text = translator.translate(kUsageContext, kUsage); !text.isEmpty())
            return text;
    }
    return QString::fromUtf8(kUsage);
}

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
            out << usageText(arguments);
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
