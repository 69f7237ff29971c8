#include "cli/clicommands.h"

#include "cli/interruption.h"
#include "cli/usagetext.h"

#include "common/audio/audiofile.h"
#include "common/audio/audioinformation.h"
#include "common/displaytext.h"
#include "common/localfile.h"
#include "common/tags/replaygaintags.h"
#include "common/textnumber.h"
#include "convert/transcoder.h"
#include "filelist/rowtexts.h"
#include "settings/encodersettings.h"

#include <QCommandLineParser>
#include <QThread>

#include <cmath>
#include <limits>
#include <optional>

namespace tunevale {

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr int kUsageWidth = 80;

// Parses arguments; on --help or a usage error prints and returns an exit status.
std::optional<int> parse(QCommandLineParser& parser, const char* command,
                         const QStringList& arguments, const QString& usage, CliStream& out,
                         CliStream& err)
{
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help."));
    parser.addOption(help);
    if (!parser.parse(QStringList{QStringLiteral("tunevale-cli")} + arguments)) {
        err << "tunevale-cli: " << displayText(parser.errorText()) << "\n"
            << "Try 'tunevale-cli " << command << " --help' for more information.\n";
        return kExitUsage;
    }
    if (parser.isSet(help)) {
        out << usage;
        return 0;
    }
    return std::nullopt;
}

// What transcode does, in pieces to wrap: the formats it writes each stay on one line.
QStringList transcodeDescription()
{
    QStringList formats = listedPieces(transcodeFormats());
    formats.last() += u'.';
    return words(QStringLiteral("Converts SOURCE (MP3, WMA, OGG Vorbis or WAV) into OUTPUT, whose "
                                "extension picks the format:")) +
           formats +
           words(QStringLiteral("An existing OUTPUT is never overwritten. On SIGINT, "
                                "SIGTERM or SIGHUP it removes the unfinished output "
                                "and exits with 130, 143 or 129."));
}

QString tagNumber(int value, int none)
{
    return value == none ? QString() : QString::number(value);
}

// "3/12", "3", or empty for no number; a total without its number is shown alone as "/12".
QString numberWithTotal(int number, int total)
{
    const QString shown = tagNumber(number, 0);
    return total > 0 ? shown + u'/' + QString::number(total) : shown;
}

// The first line of a text, cut to fit a terminal line; "…" marks what was left out.
QString firstLineOf(const QString& text)
{
    constexpr qsizetype kShown = 60;
    const QString line = text.section(u'\n', 0, 0).trimmed();
    if (line.size() > kShown || line.size() < text.trimmed().size())
        return line.left(kShown).trimmed() + u'…';
    return line;
}

QString describeCover(const CoverPicture& cover)
{
    const QString size = QStringLiteral("%1 bytes").arg(cover.data.size());
    return cover.mimeType.isEmpty() ? size : cover.mimeType + QStringLiteral(", ") + size;
}

// The loudness lines of info --loudness; false when the file could not be measured.
template <typename Line> bool printLoudness(const QString& path, const Line& line, CliStream& err)
{
    Loudness loudness;
    if (Status status = measureFileLoudness(path, loudness); !status) {
        err << "tunevale-cli: cannot measure " << displayText(path) << ": "
            << displayText(status.message()) << "\n";
        return false;
    }
    const double peakDb = loudness.peak > 0 ? 20 * std::log10(loudness.peak) : -HUGE_VAL;
    line("Loudness:", loudness.silent ? QStringLiteral("silent")
                                      : QStringLiteral("%1 LUFS").arg(loudness.lufs, 0, 'f', 2));
    line("True Peak:",
         QStringLiteral("%1 (%2 dBTP)").arg(peakText(loudness.peak)).arg(peakDb, 0, 'f', 2));
    line("Track Gain:",
         loudness.silent ? QStringLiteral("none") : gainText(replayGainDb(loudness.lufs)));
    return true;
}

// Discards the file being written once SIGINT, SIGTERM or SIGHUP arrived.
class InterruptibleTranscode final : public TranscodeObserver {
public:
    bool cancelRequested() const override { return InterruptionGuard::requested(); }
};

} // namespace

int runInfoCommand(const QStringList& arguments, CliStream& out, CliStream& err)
{
    const QString usage = QStringLiteral(
        "Usage: tunevale-cli info [--loudness] FILE...\n"
        "Prints what the file list shows for each audio file (type, size, audio format,\n"
        "length, modified time), its seven tags and the richer ones it holds (album\n"
        "artist, composer, full date, genre name, disc, lyrics' first line, cover). Exits\n"
        "with 1 when a file cannot be described.\n"
        "  --loudness  also decode each file and print its integrated loudness (EBU R128),\n"
        "              true peak and ReplayGain 2.0 track gain\n");
    QCommandLineParser parser;
    const QCommandLineOption loudnessOption(QStringLiteral("loudness"));
    parser.addOption(loudnessOption);
    if (auto status = parse(parser, "info", arguments, usage, out, err))
        return *status;
    const QStringList files = parser.positionalArguments();
    if (files.isEmpty()) {
        err << "tunevale-cli: info needs at least one FILE\n" << usage;
        return kExitUsage;
    }

    int exitStatus = 0;
    AudioInformation info;
    for (const QString& path : files) {
        const auto row = buildFileRow(path, info);
        if (!row) {
            const Status probe = info.open(path);
            err << "tunevale-cli: cannot describe " << displayText(path) << ": "
                << displayText(probe ? QStringLiteral("not an audio file") : probe.message())
                << "\n";
            exitStatus = kExitFailure;
            continue;
        }
        const AudioTags& tags = info.tags();
        const RichTags& rich = info.richTags();
        const auto line = [&out](const char* label, const QString& value) {
            out << "  " << QString::fromLatin1(label).leftJustified(14) << displayText(value)
                << "\n";
        };
        const auto lineIfAny = [&line](const char* label, const QString& value) {
            if (!value.isEmpty())
                line(label, value);
        };
        out << displayText(row->path) << "\n";
        line("Type:", row->type);
        line("File Size:", row->size);
        line("Audio Format:", row->format);
        line("Length:", row->length);
        line("Modified:", row->modified);
        line("Title:", tags.title);
        line("Artist:", tags.artist);
        line("Album:", tags.album);
        line("Genre:", tagNumber(tags.genre, -1));
        line("Year:", tagNumber(tags.year, 0));
        line("Track:", numberWithTotal(tags.track, rich.trackTotal));
        line("Comment:", tags.comment);
        lineIfAny("Album Artist:", rich.albumArtist);
        lineIfAny("Composer:", rich.composer);
        lineIfAny("Date:", rich.date);
        lineIfAny("Genre Name:", rich.genre);
        lineIfAny("Disc:", numberWithTotal(rich.discNumber, rich.discTotal));
        lineIfAny("Lyrics:", firstLineOf(rich.lyrics));
        if (!rich.cover.isEmpty())
            line("Cover:", describeCover(rich.cover));
        if (parser.isSet(loudnessOption) && !printLoudness(path, line, err))
            exitStatus = kExitFailure;
    }
    return exitStatus;
}

int runTranscodeCommand(const QStringList& arguments, CliStream& out, CliStream& err)
{
    const QString usage =
        QStringLiteral("Usage: tunevale-cli transcode [--jobs N] SOURCE OUTPUT\n") +
        wrappedText(transcodeDescription(), kUsageWidth) +
        QStringLiteral("  --jobs N   threads for one long file to ") + splittingFormatsText() +
        QStringLiteral(" (default: one per processor)\n");
    QCommandLineParser parser;
    const QCommandLineOption jobsOption(QStringLiteral("jobs"), QString(), QStringLiteral("N"));
    parser.addOption(jobsOption);
    if (auto status = parse(parser, "transcode", arguments, usage, out, err))
        return *status;
    int jobs = QThread::idealThreadCount();
    if (parser.isSet(jobsOption)) {
        const std::optional<int> chosen =
            exactWholeNumber(parser.value(jobsOption), 1, std::numeric_limits<int>::max());
        if (!chosen) {
            err << "tunevale-cli: --jobs needs 1 or more, not \""
                << displayText(parser.value(jobsOption)) << "\"\n";
            return kExitUsage;
        }
        jobs = *chosen;
    }
    const QStringList files = parser.positionalArguments();
    if (files.size() != 2) {
        err << "tunevale-cli: transcode needs SOURCE and OUTPUT\n" << usage;
        return kExitUsage;
    }
    const QString& source = files[0];
    const QString& output = files[1];
    if (LocalFileInfo::of(output).exists) {
        err << "tunevale-cli: " << displayText(output) << " already exists; choose another name\n";
        return kExitFailure;
    }

    AudioFile reader;
    AudioFile writer;
    // The start-up settings are always accepted.
    (void)EncoderSettings().applyTo(writer);
    Transcoder transcoder(reader, writer);
    transcoder.setThreads(jobs);
    // A name taken while converting is not replaced, nor swapped for another.
    SavedOutput saved;
    saved.ifExists = IfExists::Skip;
    const InterruptionGuard interruption;
    InterruptibleTranscode observer;
    if (Status status = transcoder.transcodeFile(source, output, &observer, &saved); !status) {
        err << "tunevale-cli: " << displayText(status.message()) << "\n";
        return InterruptionGuard::requested() ? InterruptionGuard::exitCode() : kExitFailure;
    }
    if (saved.path.isEmpty()) {
        err << "tunevale-cli: " << displayText(output) << " already exists; choose another name\n";
        return kExitFailure;
    }
    out << "Saved - " << displayText(output) << "\n";
    // A signal after the last block leaves the output whole, but the caller still learns of it.
    return InterruptionGuard::exitCode();
}

} // namespace tunevale
