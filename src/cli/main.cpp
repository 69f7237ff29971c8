#include "cli/clicommands.h"
#include "cli/clistream.h"
#include "cli/convertcommand.h"
#include "common/displaytext.h"
#include "common/nativepath.h"

#include <QCoreApplication>

#include <cstdio>

using namespace tunevale;

namespace {

const char kUsage[] =
    "Usage: tunevale-cli COMMAND [OPTIONS] ARGUMENTS\n"
    "Commands:\n"
    "  info FILE...                describe audio files and their tags\n"
    "  transcode SOURCE OUTPUT     convert one file, format by OUTPUT's extension\n"
    "  convert --to FORMAT FILE... convert files in a batch, printing the conversion log\n"
    "Options:\n"
    "  -h, --help                  show this help and exit\n"
    "  -v, --version               show the version and exit\n"
    "Run 'tunevale-cli COMMAND --help' for a command's options.\n";

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tunevale-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TUNEVALE_VERSION));
    CliStream out(stdout);
    CliStream err(stderr);

    QStringList arguments = argumentsFromNative(argc, argv);
    if (arguments.isEmpty()) {
        err << kUsage;
        return 2;
    }
    const QString command = arguments.takeFirst();
    if (command == u"info")
        return runInfoCommand(arguments, out, err);
    if (command == u"transcode")
        return runTranscodeCommand(arguments, out, err);
    if (command == u"convert")
        return runConvertCommand(arguments, out, err);
    if (command == u"--help" || command == u"-h" || command == u"help") {
        out << kUsage;
        return 0;
    }
    if (command == u"--version" || command == u"-v") {
        out << "tunevale-cli " << QCoreApplication::applicationVersion() << "\n";
        return 0;
    }
    err << "tunevale-cli: unknown " << (command.startsWith(u'-') ? "option" : "command") << " '"
        << displayText(command) << "'\nTry 'tunevale-cli --help' for more information.\n";
    return 2;
}
