#include "cli/convertcommand.h"

#include "cli/interruption.h"

#include "common/audio/audiofile.h"
#include "common/audio/outputformat.h"
#include "common/folderpath.h"
#include "common/localfile.h"
#include "common/textnumber.h"
#include "convert/batchrun.h"
#include "convert/parallelbatch.h"
#include "settings/encodersettings.h"

#include <QCommandLineParser>
#include <QThread>

#include <limits>
#include <optional>

namespace tunevale {

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

const QString kUsage = QStringLiteral(
    "Usage: tunevale-cli convert --to mp3|wma|ogg|wav [OPTIONS] FILE...\n"
    "Converts every FILE in list order as the conversion dialog does and prints its log.\n"
    "Outputs are named after their sources and never overwrite anything: a taken name gets\n"
    "\"New_\" in front. Exits with 1 when a file failed. On SIGINT, SIGTERM or SIGHUP it\n"
    "ends after the block in progress, removes unfinished outputs and exits with 130, 143\n"
    "or 129.\n"
    "Options:\n"
    "  --to FORMAT                mp3, wma, ogg or wav\n"
    "  --out FOLDER               write outputs there (default: each source's own folder)\n"
    "  --no-tags                  do not copy the tags\n"
    "  --jobs N                   convert N files at once (default: one per processor)\n"
    "  --if-exists new|skip       when an output's name is taken: \"New_\" in front (new,\n"
    "                             the default) or leave it and skip the file (skip)\n"
    "MP3 (start: 44100 Hz, 96 kbit/s, stereo):\n"
    "  --mp3-bitrate KBPS         CBR bitrate and VBR minimum\n"
    "  --mp3-vbr METHOD           none, default, old, new, mtrh or abr\n"
    "  --mp3-vbr-quality 0-9      0 is best\n"
    "  --mp3-abr-bitrate KBPS     average bitrate for abr\n"
    "  --mp3-preset NAME          phone, sw, am, fm, voice, radio, tape, hifi, cd, studio,\n"
    "                             r3mix (the other MP3 options apply after it)\n"
    "  --mp3-rate HZ              output sample rate\n"
    "  --mp3-mono                 one channel\n"
    "OGG Vorbis (start: 44100 Hz, stereo, 128 kbit/s nominal):\n"
    "  --ogg-bitrate KBPS         nominal bitrate\n"
    "  --ogg-min KBPS             managed minimum bitrate\n"
    "  --ogg-max KBPS             managed maximum bitrate\n"
    "  --ogg-quality 1-10         quality level instead of a bitrate\n"
    "  --ogg-rate HZ              output sample rate\n"
    "  --ogg-mono                 one channel\n"
    "WMA (start: profile 14):\n"
    "  --wma-profile 1-47         encoding profile\n"
    "WAV (start: 44100 Hz, stereo, 16 bit):\n"
    "  --wav-rate HZ              sample rate\n"
    "  --wav-channels 1|2         channels\n"
    "  --wav-bits 8|16            bits per sample\n");

struct Options {
    OutputKind targetFormat = OutputKind::Mp3;
    BatchOptions batch;
    int jobs = 1;
    std::optional<int> mp3Preset;
    std::optional<int> mp3Bitrate;
    std::optional<int> mp3Vbr;
    std::optional<int> mp3VbrQuality;
    std::optional<int> mp3AbrBitrate;
    std::optional<int> mp3Rate;
    bool mp3Mono = false;
    OggFormat ogg{.minBitrate = 0, .maxBitrate = 0};
    std::optional<int> wmaProfile;
    WavFormat wav;
};

// The settings value the options choose, starting from the program's start-up settings.
Status settingsFrom(const Options& options, EncoderSettings& settings)
{
    settings.TargetFormat = options.targetFormat;
    settings.OutputFolder = options.batch.outputFolder;
    settings.UseOutputFolder = !options.batch.outputFolder.isEmpty();
    settings.CopyTags = options.batch.copyTags;

    Mp3Encoder& mp3 = settings.Formats.mp3;
    const std::pair<const std::optional<int>&, Status (Mp3Encoder::*)(int)> mp3Steps[] = {
        {options.mp3Preset, &Mp3Encoder::applyPreset},
        {options.mp3Rate, &Mp3Encoder::setSampleRate},
        {options.mp3Bitrate, &Mp3Encoder::setBitrate},
        {options.mp3Vbr, &Mp3Encoder::setVbrMethod},
        {options.mp3VbrQuality, &Mp3Encoder::setVbrQuality},
        {options.mp3AbrBitrate, &Mp3Encoder::setAbrBitrate},
    };
    for (const auto& [value, setter] : mp3Steps) {
        if (value) {
            if (Status status = (mp3.*setter)(*value); !status)
                return status;
        }
    }
    if (options.mp3Mono) {
        if (Status status = mp3.setChannels(1); !status)
            return status;
    }

    settings.Formats.ogg = options.ogg;
    settings.Formats.ogg.managed = options.ogg.minBitrate > 0 || options.ogg.maxBitrate > 0;
    if (options.wmaProfile)
        settings.Formats.wmaProfile = *options.wmaProfile;
    settings.Formats.wav = options.wav;
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

private:
    const QCommandLineParser& m_parser;
};

void addValueOption(QCommandLineParser& parser, const char* name, const char* valueName)
{
    parser.addOption(
        QCommandLineOption(QString::fromLatin1(name), QString(), QString::fromLatin1(valueName)));
}

void addSwitch(QCommandLineParser& parser, const char* name)
{
    parser.addOption(QCommandLineOption(QString::fromLatin1(name)));
}

// Reads the arguments into options; an empty result means success.
QString readOptions(const QCommandLineParser& parser, Options& options)
{
    QString error;
    const OptionReader read(parser);
    if (!parser.isSet(QStringLiteral("to")))
        return QStringLiteral("convert needs --to mp3, wma, ogg or wav");
    QStringList formats;
    for (const OutputFormat& format : outputFormats())
        formats << format.extension.toString();
    if (const auto format = read.choice(QStringLiteral("to"), formats, error))
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
    const QStringList ifExistsChoices{QStringLiteral("new"), QStringLiteral("skip")};
    if (const auto ifExists = read.choice(QStringLiteral("if-exists"), ifExistsChoices, error))
        options.batch.ifExists = *ifExists == 0 ? IfExists::New : IfExists::Skip;
    options.jobs = QThread::idealThreadCount();
    if (const auto jobs = read.integer(QStringLiteral("jobs"), error)) {
        if (*jobs < 1 && error.isEmpty())
            error = QStringLiteral("--jobs needs 1 or more, not %1").arg(*jobs);
        options.jobs = *jobs;
    }
    options.jobs = std::max(1, options.jobs);

    const QStringList presets{
        QStringLiteral("phone"),  QStringLiteral("sw"),    QStringLiteral("am"),
        QStringLiteral("fm"),     QStringLiteral("voice"), QStringLiteral("radio"),
        QStringLiteral("tape"),   QStringLiteral("hifi"),  QStringLiteral("cd"),
        QStringLiteral("studio"), QStringLiteral("r3mix")};
    if (const auto preset = read.choice(QStringLiteral("mp3-preset"), presets, error))
        options.mp3Preset = Mp3Encoder::Phone + *preset;
    const QStringList vbrMethods{QStringLiteral("none"), QStringLiteral("default"),
                                 QStringLiteral("old"),  QStringLiteral("new"),
                                 QStringLiteral("mtrh"), QStringLiteral("abr")};
    if (const auto method = read.choice(QStringLiteral("mp3-vbr"), vbrMethods, error))
        options.mp3Vbr = Mp3Encoder::kVbrNone + *method;
    options.mp3Bitrate = read.integer(QStringLiteral("mp3-bitrate"), error);
    options.mp3VbrQuality = read.integer(QStringLiteral("mp3-vbr-quality"), error);
    options.mp3AbrBitrate = read.integer(QStringLiteral("mp3-abr-bitrate"), error);
    options.mp3Rate = read.integer(QStringLiteral("mp3-rate"), error);
    options.mp3Mono = parser.isSet(QStringLiteral("mp3-mono"));

    if (const auto bitrate = read.integer(QStringLiteral("ogg-bitrate"), error))
        options.ogg.bitrate = *bitrate;
    if (const auto minimum = read.integer(QStringLiteral("ogg-min"), error))
        options.ogg.minBitrate = *minimum;
    if (const auto maximum = read.integer(QStringLiteral("ogg-max"), error))
        options.ogg.maxBitrate = *maximum;
    if (const auto rate = read.integer(QStringLiteral("ogg-rate"), error))
        options.ogg.sampleRate = *rate;
    if (parser.isSet(QStringLiteral("ogg-mono")))
        options.ogg.channels = 1;
    if (const auto level = read.integer(QStringLiteral("ogg-quality"), error)) {
        if ((*level < 1 || *level > 10) && error.isEmpty())
            error = QStringLiteral("--ogg-quality must be 1 to 10, not %1").arg(*level);
        options.ogg.quality = *level * 100;
        options.ogg.qualityMode = true;
    }

    options.wmaProfile = read.integer(QStringLiteral("wma-profile"), error);
    if (const auto rate = read.integer(QStringLiteral("wav-rate"), error))
        options.wav.sampleRate = *rate;
    const QStringList channelChoices{QStringLiteral("1"), QStringLiteral("2")};
    if (const auto channels = read.choice(QStringLiteral("wav-channels"), channelChoices, error))
        options.wav.channels = *channels + 1;
    const QStringList bitChoices{QStringLiteral("8"), QStringLiteral("16")};
    if (const auto bits = read.choice(QStringLiteral("wav-bits"), bitChoices, error))
        options.wav.bitsPerSample = *bits == 0 ? 8 : 16;
    return error;
}

// Prints the log as the run writes it.
class PrintingObserver final : public BatchObserver {
public:
    explicit PrintingObserver(QTextStream& out)
        : m_out(out)
    {}
    void logLine(const QString& line) override
    {
        m_out << line << "\n";
        m_out.flush();
    }
    void rowFinished(const RowResult& result) override
    {
        m_failed = m_failed || !(result.saved || result.skipped);
    }
    bool cancelRequested() const override { return InterruptionGuard::requested(); }
    bool failed() const { return m_failed; }

private:
    QTextStream& m_out;
    bool m_failed = false;
};

} // namespace

int runConvertCommand(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    QCommandLineParser parser;
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    parser.addOption(help);
    for (const char* name :
         {"to", "out", "jobs", "if-exists", "mp3-bitrate", "mp3-vbr", "mp3-vbr-quality",
          "mp3-abr-bitrate", "mp3-preset", "mp3-rate", "ogg-bitrate", "ogg-min", "ogg-max",
          "ogg-quality", "ogg-rate", "wma-profile", "wav-rate", "wav-channels", "wav-bits"})
        addValueOption(parser, name, "value");
    for (const char* name : {"no-tags", "mp3-mono", "ogg-mono"})
        addSwitch(parser, name);

    if (!parser.parse(QStringList{QStringLiteral("tunevale-cli")} + arguments)) {
        err << "tunevale-cli: " << parser.errorText() << "\n"
            << "Try 'tunevale-cli convert --help' for more information.\n";
        return kExitUsage;
    }
    if (parser.isSet(help)) {
        out << kUsage;
        return 0;
    }
    Options options;
    if (const QString error = readOptions(parser, options); !error.isEmpty()) {
        err << "tunevale-cli: " << error << "\n";
        return kExitUsage;
    }
    const QStringList rows = parser.positionalArguments();
    if (rows.isEmpty()) {
        err << "tunevale-cli: convert needs at least one FILE\n" << kUsage;
        return kExitUsage;
    }

    EncoderSettings settings;
    if (Status status = settingsFrom(options, settings); !status) {
        err << "tunevale-cli: " << status.message() << "\n";
        return kExitUsage;
    }

    const InterruptionGuard interruption;
    PrintingObserver observer(out);
    const int begun =
        ParallelBatch(options.jobs, options.batch.ifExists).run(rows, settings, observer);
    out << BatchRun::processedText(begun) << "\n";
    out.flush();
    if (InterruptionGuard::requested())
        return InterruptionGuard::exitCode();
    return observer.failed() ? kExitFailure : 0;
}

} // namespace tunevale
