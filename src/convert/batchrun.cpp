#include "convert/batchrun.h"

#include "common/audio/audiofile.h"
#include "common/audio/audioinformation.h"
#include "common/audio/streamlength.h"
#include "common/displaytext.h"
#include "convert/albumgains.h"
#include "convert/outputnaming.h"
#include "convert/tagtransfer.h"
#include "convert/transcoder.h"

#include <QDateTime>
#include <QLocale>

#include <cmath>
#include <mutex>

namespace tunevale {

namespace {

// Lets the transcoder report to the batch observer, and puts the source's tags into the
// finished output when asked to.
class TranscodeForwarder final : public TranscodeObserver {
public:
    TranscodeForwarder(BatchObserver& observer, const TagBuffer* tags,
                       AudioInformation& information, const QString& output)
        : m_observer(observer)
        , m_tags(tags)
        , m_information(information)
        , m_output(output)
    {}
    // Writes the track gain the transcoder measured after the tags (which may carry the
    // source's old gains).
    void writeTrackGain(const Transcoder& transcoder, OutputKind kind)
    {
        m_transcoder = &transcoder;
        m_kind = kind;
    }
    void progressChanged(double percent) override { m_observer.progressChanged(percent); }
    void yield() override { m_observer.yield(); }
    bool stopRequested() const override { return m_observer.stopRequested(); }
    bool cancelRequested() const override { return m_observer.cancelRequested(); }
    Status finishOutput(const QString& written) override
    {
        // The tag library cannot rewrite RF64 without damaging it: the audio is worth more.
        m_tagsLeftOut = isRf64Wave(written);
        if (m_tagsLeftOut)
            return {};
        // A field the format cannot hold is skipped; a file that cannot be rewritten fails.
        // The reason names the output, not the hidden file it is written as.
        Status status = m_tags ? WriteTags(m_information, *m_tags, written, m_output) : Status();
        if (status && m_transcoder)
            status = writeGain(written);
        return status;
    }
    // Whether the last output was finished without the tags it was given.
    bool tagsLeftOut() const { return m_tagsLeftOut; }

private:
    Status writeGain(const QString& written)
    {
        std::vector<const LoudnessMeter*> meters;
        for (const LoudnessMeter& meter : m_transcoder->loudnessMeters())
            meters.push_back(&meter);
        const Loudness loudness = LoudnessMeter::combined(meters);
        const GainTagValues values{loudness.lufs, loudness.peak};
        const Status status =
            writeGainTags(written, m_kind, GainScope::Track, loudness.silent ? nullptr : &values);
        if (!status)
            return Status::error(QStringLiteral("Cannot write the ReplayGain tags of %1: %2")
                                     .arg(m_output, status.message()));
        return status;
    }

    BatchObserver& m_observer;
    const TagBuffer* m_tags;
    AudioInformation& m_information;
    QString m_output;
    bool m_tagsLeftOut = false;
    const Transcoder* m_transcoder = nullptr;
    OutputKind m_kind = OutputKind::Mp3;
};

// Whether a source's tags hold anything at all (a genre of -1 is none).
bool holdsTags(const TagBuffer& tags)
{
    return !tags.TagTitle.isEmpty() || !tags.TagArtist.isEmpty() || !tags.TagAlbum.isEmpty() ||
           !tags.TagComment.isEmpty() || (!tags.TagGenre.isEmpty() && tags.TagGenre.toInt() >= 0) ||
           tags.TagYear.toInt() != 0 || tags.TagTrack.toInt() != 0 || tags.TagRich != RichTags() ||
           !tags.TagOtherFields.isEmpty();
}

// Writes the album gains of a run that went to its end, logging each output that failed.
void logAlbumGains(AlbumGains& albums, BatchObserver& observer)
{
    for (const QString& failure : albums.writeAll([&observer] { observer.yield(); })) {
        observer.logLine(
            BatchRun::timestamp() +
            BatchRun::logLine(LogKind::Error,
                              QStringLiteral("Cannot write the album gain of ") + failure));
    }
}

QString fileNameOf(const QString& path)
{
    return path.mid(folderOf(path).size());
}

} // namespace

BatchRun::BatchRun(AudioFile& reader, AudioFile& writer, AudioInformation& information)
    : m_reader(reader)
    , m_writer(writer)
    , m_information(information)
{}

int BatchRun::run(const QStringList& rows, OutputKind targetFormat, const BatchOptions& options,
                  BatchObserver* observer)
{
    BatchObserver silent;
    BatchObserver& report = observer ? *observer : silent;
    report.runningChanged(true);
    OutputNaming naming(targetExtension(targetFormat), options.outputFolder, options.ifExists);
    naming.setRules(options.naming);
    AlbumGains albums;
    setLoudness(options.loudness, &albums);
    int begun = 0;
    for (const QString& source : rows) {
        if (report.stopRequested() || report.cancelRequested())
            break;
        ++begun;
        (void)convertRow(source, naming.claim(source), targetFormat, options.copyTags, report,
                         options.ifExists);
    }
    // An album's gain needs all of its tracks: a stopped run leaves the finished ones with
    // their track gains alone.
    if (!report.stopRequested() && !report.cancelRequested())
        logAlbumGains(albums, report);
    setLoudness({});
    report.statusChanged(processedText(begun));
    report.runningChanged(false);
    return begun;
}

RowResult BatchRun::convertRow(const QString& source, const QString& output,
                               OutputKind targetFormat, bool copyTags, BatchObserver& observer,
                               IfExists ifExists)
{
    RowResult result;
    result.output = output;
    if (ifExists == IfExists::Skip && isNameTaken(output)) {
        result.skipped = true;
        observer.logLine(timestamp() + logLine(LogKind::Skipped, output));
        observer.rowFinished(result);
        return result;
    }
    const QString name = fileNameOf(output);
    observer.statusChanged(QStringLiteral("Converting: ") + name);
    observer.logLine(timestamp() + logLine(LogKind::Reading, source));
    observer.logLine(timestamp() + logLine(LogKind::Converting, name));
    observer.yield();

    TagBuffer tags;
    const bool albumGain = m_loudness.replayGain == ReplayGainMode::Album && m_albums;
    if (copyTags || albumGain)
        ReadSourceTags(m_information, source, tags);
    Transcoder transcoder(m_reader, m_writer);
    transcoder.setThreads(m_threadsPerFile);
    transcoder.setMeasureLoudness(m_loudness.replayGain != ReplayGainMode::Off);
    transcoder.setSpareCore(m_spareCore);
    if (m_loudness.normalizeLufs)
        normalize(source, transcoder, observer);
    TranscodeForwarder forwarder(observer, copyTags ? &tags : nullptr, m_information, output);
    if (m_loudness.replayGain != ReplayGainMode::Off)
        forwarder.writeTrackGain(transcoder, targetFormat);
    if (outputFormat(targetFormat).primingPass) {
        // Runs the decoder over the source once before the real conversion; whatever it
        // finds, the real conversion reports for itself.
        (void)transcoder.TranscodeFirstBlock(source, output + QStringLiteral("$.wav"), &forwarder);
    }
    SavedOutput saved;
    saved.ifExists = ifExists;
    const Status status = transcoder.transcodeFile(source, output, &forwarder, &saved);
    result.saved = status.isOk() && !saved.path.isEmpty();
    result.skipped = status.isOk() && saved.path.isEmpty();
    if (result.saved) {
        result.output = saved.path;
        if (albumGain) {
            m_albums->add(AlbumGains::albumKey(tags.TagAlbum, tags.TagRich.albumArtist, source),
                          saved.path, targetFormat, transcoder.takeLoudnessMeters());
        }
        observer.logLine(timestamp() + logLine(LogKind::Saved, saved.path));
        QStringList lost = copyTags ? FieldsNotKept(tags, targetFormat) : QStringList();
        if (forwarder.tagsLeftOut() && holdsTags(tags))
            lost = {QStringLiteral("every tag (a WAV file over 4 GiB)")};
        if (!lost.isEmpty()) {
            observer.logLine(timestamp() +
                             logLine(LogKind::NotKept, saved.path + QStringLiteral(": ") +
                                                           lost.join(QStringLiteral(", "))));
        }
    } else if (result.skipped)
        observer.logLine(timestamp() + logLine(LogKind::Skipped, output));
    else
        observer.logLine(timestamp() + logLine(LogKind::Error, name + u' ' + status.message()));
    observer.rowFinished(result);
    return result;
}

void BatchRun::normalize(const QString& source, Transcoder& transcoder, BatchObserver& observer)
{
    // A first pass over the source: the gain must be known before the first sample is encoded.
    Loudness loudness;
    if (Status status = measureFileLoudness(source, loudness); !status) {
        // The conversion reads the source again and reports what is wrong with it.
        transcoder.setGain(1.0);
        return;
    }
    const double target = *m_loudness.normalizeLufs;
    const NormalizeGain gain = normalizeGain(loudness, target, m_loudness.truePeakDb);
    transcoder.setGain(std::pow(10.0, gain.gainDb / 20.0));
    if (gain.limited) {
        observer.logLine(timestamp() + QStringLiteral(": ") +
                         displayText(QStringLiteral("%1 reaches %2 LUFS, not %3 LUFS, to keep "
                                                    "its true peak at %4 dBTP")
                                         .arg(fileNameOf(source))
                                         .arg(loudness.lufs + gain.gainDb, 0, 'f', 1)
                                         .arg(target, 0, 'f', 1)
                                         .arg(m_loudness.truePeakDb, 0, 'f', 1)));
    }
}

QString BatchRun::logLine(LogKind kind, const QString& text)
{
    // Names, tags and messages come from files: none of them may start a line of its own.
    const QString shown = displayText(text);
    switch (kind) {
    case LogKind::Reading:
        return QStringLiteral(": Reading - ") + shown;
    case LogKind::Converting:
        return QStringLiteral(": Converting - ") + shown;
    case LogKind::Saved:
        return QStringLiteral(": Saved - ") + shown;
    case LogKind::Error:
        return QStringLiteral(": Error - ") + shown;
    case LogKind::Skipped:
        return QStringLiteral(": Skipped - ") + shown + QStringLiteral(" (exists)");
    case LogKind::NotKept:
        return QStringLiteral(": Not kept - ") + shown;
    }
    return shown;
}

QString BatchRun::timestamp()
{
    // Local time goes through the C library's process-wide time zone state (tzset), so runs
    // on several threads take turns here.
    static std::mutex localTimeMutex;
    const std::lock_guard lock(localTimeMutex);
    const QLocale locale = QLocale::system();
    const QDateTime now = QDateTime::currentDateTime();
    return locale.toString(now.date(), QLocale::ShortFormat) + u' ' +
           locale.toString(now.time(), QLocale::LongFormat);
}

QString BatchRun::processedText(int count)
{
    return count <= 1 ? QStringLiteral("Processed %1 file.").arg(count)
                      : QStringLiteral("Processed %1 files.").arg(count);
}

} // namespace tunevale
