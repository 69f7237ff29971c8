#include "cli/convertcommand.h"

#include "cli/interruption.h"
#include "cli/progressline.h"
#include "cli/sourcewalk.h"
#include "cli/usagetext.h"

#include "common/audio/audiofile.h"
#include "common/codecs/outputformat.h"
#include "common/displaytext.h"
#include "common/folderpath.h"
#include "common/localfile.h"
#include "common/textnumber.h"
#include "convert/batchrun.h"
#include "convert/namepattern.h"
#include "convert/parallelbatch.h"
#include "settings/encodersettings.h"

#include <QCommandLineParser>
#include <QThread>

#include <array>
#include <cmath>
#include <limits>
#include <optional>

#include <unistd.h>

namespace tunevale {

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

QStringList formatNames()
{
    QStringList names;
    for (const OutputFormat& format : outputFormats())
        names << format.extension.toString();
    return names;
}

QString usageText()
{
    QString usage =
        QStringLiteral("Usage: tunevale-cli convert --to ") + formatNames().join(u'|') +
        QStringLiteral(
            " [OPTIONS] FILE|FOLDER...\n"
            "Converts every FILE in list order as the conversion dialog does and prints its log;\n"
            "a FOLDER gives its audio files as Add Folder finds them. Error and warning lines\n"
            "also go to standard error; on a terminal a progress line shows each running file.\n"
            "Outputs are named after their sources and never overwrite anything: a taken name "
            "gets\n"
            "\"New_\" in front. Exits with 1 when a file failed. On SIGINT, SIGTERM or SIGHUP it\n"
            "ends after the block in progress, removes unfinished outputs and exits with 130, 143\n"
            "or 129.\n"
            "Options:\n") +
        optionLine(QStringLiteral("--to FORMAT"), listedWithOr(formatNames())) +
        QStringLiteral(
            "  --out FOLDER               write outputs there (default: each source's own folder)\n"
            "  --no-tags                  do not copy the tags\n"
            "  --jobs N                   convert N files at once (default: one per processor)\n"
            "  --if-exists new|skip|number\n"
            "                             when an output's name is taken: \"New_\" in front (new,\n"
            "                             the default), leave it and skip the file (skip), or a\n"
            "                             number after the name, \"lena (2).mp3\" (number)\n"
            "  -r, --recursive            walk the sub-folders of FOLDER arguments too\n"
            "  --keep-tree                with --out: each output under the folder its source had\n"
            "                             below the FOLDER argument it came from\n"
            "  --name-pattern PATTERN     name outputs from tags below the output folder, as in\n"
            "                             \"{artist}/{album}/{track} - {title}\"; fields: "
            "{artist},\n"
            "                             {albumartist}, {album}, {title}, {track}, {disc}, "
            "{year},\n"
            "                             {genre}, {name}, {ext}; {field|text} gives a default\n"
            "  --portable-names           names FAT, exFAT and NTFS accept\n"
            "  -q, --quiet                print only errors (to standard error)\n"
            "  -v, --verbose              also print the files found and where each output goes\n"
            "  --replaygain track|album|off\n"
            "                             measure each file's loudness while converting and write\n"
            "                             its ReplayGain 2.0 track gain, or the track and album\n"
            "                             gains (album: all files of an album in the run, once\n"
            "                             they are finished); off (the default) carries a "
            "source's\n"
            "                             ReplayGain tags as they are\n"
            "  --normalize LUFS           bring each file to LUFS integrated loudness (-23, -18,\n"
            "                             -16, -14 ...) with a gain before encoding, lowered so\n"
            "                             the true peak stays under --true-peak; decodes each\n"
            "                             source twice\n"
            "  --true-peak DBTP           the ceiling of --normalize (default -1)\n");
    for (const OutputFormat& format : outputFormats()) {
        usage += format.fullName.toString() + QStringLiteral(" (start: ") +
                 format.startSettings.toString() + QStringLiteral("):\n");
        for (const FormatOption& option : format.options) {
            QString flag = QStringLiteral("--") + option.name.toString();
            if (!option.isSwitch())
                flag += u' ' + option.valueName.toString();
            usage += optionLine(flag, option.help.toString());
        }
    }
    return usage;
}

enum class Verbosity { Quiet, Normal, Verbose };

struct Options {
    OutputKind targetFormat = OutputKind::Mp3;
    BatchOptions batch;
    int jobs = 1;
    bool recursive = false;
    Verbosity verbosity = Verbosity::Normal;
    // The format options given, with their values, in the table's order.
    std::vector<std::pair<const FormatOption*, int>> formatValues;
};

// The settings value the options choose, starting from the program's start-up settings.
Status settingsFrom(const Options& options, EncoderSettings& settings)
{
    settings.TargetFormat = options.targetFormat;
    settings.OutputFolder = options.batch.outputFolder;
    settings.UseOutputFolder = !options.batch.outputFolder.isEmpty();
    settings.CopyTags = options.batch.copyTags;
    settings.LoudnessChoice = options.batch.loudness;
    for (const bool first : {true, false}) {
        for (const auto& [option, value] : options.formatValues) {
            if (option->appliedFirst != first)
                continue;
            if (Status status = option->apply(settings.Formats, value); !status)
                return status;
        }
    }
    // Every job configures its writer alike: what one writer refuses, all would.
    AudioFile writer;
    return settings.applyTo(writer);
}

class OptionReader {
public:
    explicit OptionReader(const QCommandLineParser& parser)
        : m_parser(parser)
    {}

    std::optional<int> integer(const QString& name, QString& error) const
    {
        if (!m_parser.isSet(name))
            return std::nullopt;
        const QString text = m_parser.value(name);
        const std::optional<int> value = exactWholeNumber(text, std::numeric_limits<int>::min(),
                                                          std::numeric_limits<int>::max());
        if (!value && error.isEmpty())
            error = QStringLiteral("--%1 needs a whole number, not \"%2\"").arg(name, text);
        return value;
    }

    // The index of the option's value in choices, matched without regard to case.
    std::optional<int> choice(const QString& name, const QStringList& choices, QString& error) const
    {
        if (!m_parser.isSet(name))
            return std::nullopt;
        const QString text = m_parser.value(name);
        const qsizetype index = choices.indexOf(text.toLower());
        if (index < 0 && error.isEmpty())
            error = QStringLiteral("--%1 must be one of %2, not \"%3\"")
                        .arg(name, choices.join(QStringLiteral(", ")), text);
        return index < 0 ? std::nullopt : std::optional<int>(int(index));
    }

    // A format option's value as its apply() takes it: a number within the option's range, a
    // choice's value, 1 for a switch given.
    std::optional<int> formatOption(const FormatOption& option, QString& error) const
    {
        const QString name = option.name.toString();
        if (option.isSwitch())
            return m_parser.isSet(name) ? std::optional<int>(1) : std::nullopt;
        if (!option.choices.empty()) {
            QStringList words;
            for (const FormatOption::Choice& choice : option.choices)
                words << choice.word.toString();
            const std::optional<int> position = choice(name, words, error);
            return position ? std::optional<int>(option.choices[size_t(*position)].value)
                            : std::nullopt;
        }
        const std::optional<int> value = integer(name, error);
        if (value && (*value < option.lowest || *value > option.highest) && error.isEmpty())
            error = QStringLiteral("--%1 must be %2 to %3, not %4")
                        .arg(name)
                        .arg(option.lowest)
                        .arg(option.highest)
                        .arg(*value);
        return value;
    }

private:
    const QCommandLineParser& m_parser;
};

void addValueOption(QCommandLineParser& parser, const QString& name)
{
    parser.addOption(QCommandLineOption(name, QString(), QStringLiteral("value")));
}

void addSwitch(QCommandLineParser& parser, const QString& name)
{
    parser.addOption(QCommandLineOption(name));
}

// The options of the folder walk, output naming and what is printed.
void readNamingOptions(const QCommandLineParser& parser, Options& options, QString& error)
{
    options.recursive = parser.isSet(QStringLiteral("recursive"));
    NamingRules& naming = options.batch.naming;
    naming.keepTree = parser.isSet(QStringLiteral("keep-tree"));
    naming.portable = parser.isSet(QStringLiteral("portable-names"));
    if (parser.isSet(QStringLiteral("name-pattern"))) {
        naming.pattern = parser.value(QStringLiteral("name-pattern"));
        if (const QString problem = NamePattern(naming.pattern).problem();
            !problem.isEmpty() && error.isEmpty())
            error = problem;
    }
    if (naming.keepTree && options.batch.outputFolder.isEmpty() && error.isEmpty())
        error = QStringLiteral("--keep-tree needs --out");
    if (parser.isSet(QStringLiteral("quiet")) && parser.isSet(QStringLiteral("verbose")) &&
        error.isEmpty())
        error = QStringLiteral("--quiet and --verbose cannot be given together");
    if (parser.isSet(QStringLiteral("quiet")))
        options.verbosity = Verbosity::Quiet;
    else if (parser.isSet(QStringLiteral("verbose")))
        options.verbosity = Verbosity::Verbose;
}

// Reads the arguments into options; an empty result means success.
QString readOptions(const QCommandLineParser& parser, Options& options)
{
    QString error;
    const OptionReader read(parser);
    if (!parser.isSet(QStringLiteral("to")))
        return QStringLiteral("convert needs --to ") + listedWithOr(formatNames());
    if (const auto format = read.choice(QStringLiteral("to"), formatNames(), error))
        options.targetFormat = outputFormats()[size_t(*format)].kind;

    if (parser.isSet(QStringLiteral("out"))) {
        const QString folder = parser.value(QStringLiteral("out"));
        const LocalFileInfo info = LocalFileInfo::of(folder);
        if (!info.exists && error.isEmpty())
            error = QStringLiteral("the output folder %1 does not exist").arg(folder);
        else if (!info.isDir && error.isEmpty())
            error = QStringLiteral("the output folder %1 is not a folder").arg(folder);
        options.batch.outputFolder = withTrailingSeparator(folder);
    }
    options.batch.copyTags = !parser.isSet(QStringLiteral("no-tags"));
    const QStringList ifExistsChoices{QStringLiteral("new"), QStringLiteral("skip"),
                                      QStringLiteral("number")};
    if (const auto ifExists = read.choice(QStringLiteral("if-exists"), ifExistsChoices, error))
        options.batch.ifExists =
            std::array{IfExists::New, IfExists::Skip, IfExists::Number}[size_t(*ifExists)];
    readNamingOptions(parser, options, error);
    const QStringList replayGainChoices{QStringLiteral("track"), QStringLiteral("album"),
                                        QStringLiteral("off")};
    if (const auto mode = read.choice(QStringLiteral("replaygain"), replayGainChoices, error)) {
        constexpr std::array kModes{ReplayGainMode::Track, ReplayGainMode::Album,
                                    ReplayGainMode::Off};
        options.batch.loudness.replayGain = kModes[size_t(*mode)];
    }
    for (const char* name : {"normalize", "true-peak"}) {
        const QString option = QString::fromLatin1(name);
        if (!parser.isSet(option))
            continue;
        bool ok = false;
        const double value = parser.value(option).toDouble(&ok);
        if ((!ok || !std::isfinite(value) || value > 0 || value < -70) && error.isEmpty())
            error = QStringLiteral("--%1 needs a number from -70 to 0, not \"%2\"")
                        .arg(option, parser.value(option));
        if (option == QLatin1String("normalize"))
            options.batch.loudness.normalizeLufs = value;
        else
            options.batch.loudness.truePeakDb = value;
    }
    options.jobs = QThread::idealThreadCount();
    if (const auto jobs = read.integer(QStringLiteral("jobs"), error)) {
        if (*jobs < 1 && error.isEmpty())
            error = QStringLiteral("--jobs needs 1 or more, not %1").arg(*jobs);
        options.jobs = *jobs;
    }
    options.jobs = std::max(1, options.jobs);

    for (const OutputFormat& format : outputFormats()) {
        for (const FormatOption& option : format.options) {
            if (const std::optional<int> value = read.formatOption(option, error))
                options.formatValues.emplace_back(&option, *value);
        }
    }
    return error;
}

// Prints the log as the run writes it: all of it on standard output (none when quiet), its
// error and warning lines on standard error too, and the progress line on a terminal.
class PrintingObserver final : public BatchObserver {
public:
    PrintingObserver(CliStream& out, CliStream& err, Verbosity verbosity, ProgressLine& progress)
        : m_out(out)
        , m_err(err)
        , m_verbosity(verbosity)
        , m_progress(progress)
    {}
    void logLine(const QString& line) override
    {
        m_progress.clear();
        const bool error = line.contains(BatchRun::logLine(LogKind::Error, QString()));
        const bool warning = line.contains(BatchRun::logLine(LogKind::NotKept, QString()));
        if (m_verbosity != Verbosity::Quiet) {
            m_out << line << "\n";
            m_out.flush();
        }
        if (error || (warning && m_verbosity != Verbosity::Quiet)) {
            m_err << line << "\n";
            m_err.flush();
        }
    }
    void runningRows(const std::vector<std::pair<qsizetype, double>>& rows) override
    {
        m_progress.update(rows);
    }
    void rowFinished(const RowResult& result) override
    {
        m_failed = m_failed || !(result.saved || result.skipped);
    }
    bool cancelRequested() const override { return InterruptionGuard::requested(); }
    bool failed() const { return m_failed; }

private:
    CliStream& m_out;
    CliStream& m_err;
    Verbosity m_verbosity;
    ProgressLine& m_progress;
    bool m_failed = false;
};

// The rows the arguments give; with -v, what each folder gave.
SourceRows sourceRowsOf(const QStringList& arguments, const Options& options, CliStream& err)
{
    SourceRows rows;
    for (const QString& argument : arguments) {
        const qsizetype before = rows.sources.size();
        rows.add(argument, options.recursive);
        if (options.verbosity == Verbosity::Verbose && LocalFileInfo::of(argument).isDir)
            err << "tunevale-cli: " << displayText(argument) << ": "
                << qint64(rows.sources.size() - before) << " audio files\n";
    }
    for (const QString& folder : rows.emptyFolders)
        err << "tunevale-cli: warning: no audio files in " << displayText(folder) << "\n";
    return rows;
}

} // namespace

int runConvertCommand(const QStringList& arguments, CliStream& out, CliStream& err)
{
    QCommandLineParser parser;
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    parser.addOption(help);
    for (const char* name :
         {"to", "out", "jobs", "if-exists", "name-pattern", "replaygain", "normalize", "true-peak"})
        addValueOption(parser, QString::fromLatin1(name));
    for (const char* name : {"no-tags", "keep-tree", "portable-names"})
        addSwitch(parser, QString::fromLatin1(name));
    parser.addOption(
        QCommandLineOption(QStringList{QStringLiteral("r"), QStringLiteral("recursive")}));
    parser.addOption(QCommandLineOption(QStringList{QStringLiteral("q"), QStringLiteral("quiet")}));
    parser.addOption(
        QCommandLineOption(QStringList{QStringLiteral("v"), QStringLiteral("verbose")}));
    for (const OutputFormat& format : outputFormats()) {
        for (const FormatOption& option : format.options) {
            if (option.isSwitch())
                addSwitch(parser, option.name.toString());
            else
                addValueOption(parser, option.name.toString());
        }
    }

    if (!parser.parse(QStringList{QStringLiteral("tunevale-cli")} + arguments)) {
        err << "tunevale-cli: " << displayText(parser.errorText()) << "\n"
            << "Try 'tunevale-cli convert --help' for more information.\n";
        return kExitUsage;
    }
    if (parser.isSet(help)) {
        out << usageText();
        return 0;
    }
    Options options;
    if (const QString error = readOptions(parser, options); !error.isEmpty()) {
        err << "tunevale-cli: " << displayText(error) << "\n";
        return kExitUsage;
    }
    const QStringList named = parser.positionalArguments();
    if (named.isEmpty()) {
        err << "tunevale-cli: convert needs at least one FILE\n" << usageText();
        return kExitUsage;
    }

    EncoderSettings settings;
    if (Status status = settingsFrom(options, settings); !status) {
        err << "tunevale-cli: " << displayText(status.message()) << "\n";
        return kExitUsage;
    }

    const SourceRows rows = sourceRowsOf(named, options, err);
    const InterruptionGuard interruption;
    ProgressLine progress(stderr, rows.sources,
                          options.verbosity != Verbosity::Quiet && ::isatty(STDERR_FILENO) == 1);
    PrintingObserver observer(out, err, options.verbosity, progress);
    ParallelBatch batch(options.jobs, options.batch.ifExists);
    batch.setNaming(options.batch.naming, rows.relativeFolders);
    const int begun = batch.run(rows.sources, settings, observer);
    progress.clear();
    if (options.verbosity != Verbosity::Quiet)
        out << BatchRun::processedText(begun) << "\n";
    out.flush();
    if (InterruptionGuard::requested())
        return InterruptionGuard::exitCode();
    return observer.failed() ? kExitFailure : 0;
}

} // namespace tunevale
