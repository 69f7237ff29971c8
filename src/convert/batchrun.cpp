#include "convert/batchrun.h"

#include "common/audio/audiofile.h"
#include "common/audio/audioinformation.h"
#include "convert/outputnaming.h"
#include "convert/tagtransfer.h"
#include "convert/transcoder.h"

#include <QDateTime>
#include <QFileInfo>
#include <QLocale>

#include <mutex>

namespace tunevale {

namespace {

// Lets the transcoder report to the batch observer.
class TranscodeForwarder final : public TranscodeObserver {
public:
    explicit TranscodeForwarder(BatchObserver& observer)
        : m_observer(observer)
    {}
    void progressChanged(double percent) override { m_observer.progressChanged(percent); }
    void yield() override { m_observer.yield(); }
    bool stopRequested() const override { return m_observer.stopRequested(); }

private:
    BatchObserver& m_observer;
};

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
    OutputNaming naming(targetExtension(targetFormat), options.outputFolder);
    int begun = 0;
    for (const QString& source : rows) {
        if (report.stopRequested())
            break;
        ++begun;
        (void)convertRow(source, naming.claim(source), targetFormat, options.copyTags, report);
    }
    report.statusChanged(processedText(begun));
    report.runningChanged(false);
    return begun;
}

RowResult BatchRun::convertRow(const QString& source, const QString& output,
                               OutputKind targetFormat, bool copyTags, BatchObserver& observer)
{
    RowResult result;
    result.output = output;
    const QString name = fileNameOf(output);
    observer.statusChanged(QStringLiteral("Converting: ") + name);
    observer.logLine(timestamp() + logLine(LogKind::Reading, source));
    observer.logLine(timestamp() + logLine(LogKind::Converting, name));
    observer.yield();

    Transcoder transcoder(m_reader, m_writer);
    transcoder.setThreads(m_threadsPerFile);
    TranscodeForwarder forwarder(observer);
    if (targetFormat == OutputKind::Wma) {
        // Runs the decoder over the source once before the real conversion; whatever it
        // finds, the real conversion reports for itself.
        (void)transcoder.TranscodeFirstBlock(source, output + QStringLiteral("$.wav"), &forwarder);
    }
    const Status status = transcoder.transcodeFile(source, output, &forwarder);
    // A failed conversion removes its output, and then there is nothing to tag.
    if (copyTags && QFileInfo(output).isFile()) {
        TagBuffer tags;
        ReadSourceTags(m_information, source, tags);
        (void)WriteTags(m_information, tags, output);
    }
    result.saved = status.isOk();
    if (status)
        observer.logLine(timestamp() + logLine(LogKind::Saved, output));
    else
        observer.logLine(timestamp() + logLine(LogKind::Error, name + u' ' + status.message()));
    observer.rowFinished(result);
    return result;
}

QString BatchRun::logLine(LogKind kind, const QString& text)
{
    switch (kind) {
    case LogKind::Reading:
        return QStringLiteral(": Reading - ") + text;
    case LogKind::Converting:
        return QStringLiteral(": Converting - ") + text;
    case LogKind::Saved:
        return QStringLiteral(": Saved - ") + text;
    case LogKind::Error:
        return QStringLiteral(": Error - ") + text;
    }
    return text;
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
