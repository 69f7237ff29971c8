#include "convert/parallelbatch.h"

#include "common/audio/audiofile.h"
#include "common/audio/audioinformation.h"
#include "convert/albumgains.h"
#include "convert/outputnaming.h"
#include "settings/encodersettings.h"

#include <QThread>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace tunevale {

namespace {

// How long the calling thread waits for news before it yields again.
constexpr std::chrono::milliseconds kTurn(20);

struct RowTask {
    qsizetype row = 0;
    QString output;
    QString failure; // why no output could be named
    bool copyTags = true;
    int threads = 1;        // more than one splits the file itself across jobs left idle
    bool spareCore = false; // a core is left idle for the file's side work
    LoudnessOptions loudness;
};

struct RowState {
    QStringList lines;
    double percent = 0;
    bool finished = false;
    RowResult result;
};

// What the jobs and the calling thread share; every field but stop is guarded by mutex.
struct SharedState {
    explicit SharedState(qsizetype rows)
        : rows(size_t(rows))
    {}

    std::mutex mutex;
    std::condition_variable news;      // the calling thread waits on it
    std::condition_variable taskAdded; // the jobs wait on it
    bool hasNews = false;
    std::deque<RowTask> tasks;
    bool closing = false;
    std::vector<RowState> rows;
    QString status;
    bool statusChanged = false;
    std::atomic<bool> stop = false;
    std::atomic<bool> cancel = false;
    AlbumGains albums; // guards itself

    void tell()
    {
        hasNews = true;
        news.notify_one();
    }
};

// Collects what one row's conversion reports, for the calling thread to pass on.
class RowRecorder final : public BatchObserver {
public:
    RowRecorder(SharedState& shared, qsizetype row)
        : m_shared(shared)
        , m_row(size_t(row))
    {}

    void logLine(const QString& line) override
    {
        const std::lock_guard lock(m_shared.mutex);
        m_shared.rows[m_row].lines.append(line);
        m_shared.tell();
    }
    void statusChanged(const QString& status) override
    {
        const std::lock_guard lock(m_shared.mutex);
        m_shared.status = status;
        m_shared.statusChanged = true;
        m_shared.tell();
    }
    // Read at the calling thread's next turn; not worth waking it for.
    // A row's share of the whole run's bar only grows: a conversion reports 0 again once it
    // has ended.
    void progressChanged(double percent) override
    {
        const std::lock_guard lock(m_shared.mutex);
        double& shown = m_shared.rows[m_row].percent;
        shown = std::max(shown, percent);
    }
    bool stopRequested() const override { return m_shared.stop; }
    bool cancelRequested() const override { return m_shared.cancel; }
    void rowFinished(const RowResult& result) override
    {
        const std::lock_guard lock(m_shared.mutex);
        RowState& state = m_shared.rows[m_row];
        state.result = result;
        state.percent = 100;
        state.finished = true;
        m_shared.tell();
    }

private:
    SharedState& m_shared;
    size_t m_row;
};

// One job: takes rows until the run closes.
void convertRows(SharedState& shared, const QStringList& rows, const EncoderSettings& settings,
                 IfExists ifExists)
{
    AudioFile reader;
    AudioFile writer;
    AudioInformation information;
    const Status configured = settings.applyTo(writer);
    BatchRun batch(reader, writer, information);
    for (;;) {
        RowTask task;
        {
            std::unique_lock lock(shared.mutex);
            shared.taskAdded.wait(lock, [&] { return shared.closing || !shared.tasks.empty(); });
            if (shared.tasks.empty())
                return;
            task = std::move(shared.tasks.front());
            shared.tasks.pop_front();
        }
        RowRecorder recorder(shared, task.row);
        batch.setThreadsPerFile(task.threads);
        batch.setSpareCore(task.spareCore);
        batch.setLoudness(task.loudness, &shared.albums);
        if (!task.failure.isEmpty()) {
            recorder.logLine(BatchRun::timestamp() +
                             BatchRun::logLine(LogKind::Error, task.failure));
            recorder.rowFinished(RowResult{task.output, false});
        } else if (configured) {
            (void)batch.convertRow(rows[task.row], task.output, settings.TargetFormat,
                                   task.copyTags, recorder, ifExists);
        } else {
            recorder.logLine(BatchRun::timestamp() +
                             BatchRun::logLine(LogKind::Error, configured.message()));
            recorder.rowFinished(RowResult{task.output, false});
        }
    }
}

// Ends the jobs when the run leaves, however it leaves.
class Jobs {
public:
    explicit Jobs(SharedState& shared)
        : m_shared(shared)
    {}
    ~Jobs()
    {
        {
            const std::lock_guard lock(m_shared.mutex);
            m_shared.closing = true;
        }
        m_shared.taskAdded.notify_all();
        for (std::thread& thread : m_threads)
            thread.join();
    }
    Jobs(const Jobs&) = delete;
    Jobs& operator=(const Jobs&) = delete;

    template <typename Work> void start(qsizetype count, Work work)
    {
        for (qsizetype index = 0; index < count; ++index)
            m_threads.emplace_back(work);
    }

private:
    SharedState& m_shared;
    std::vector<std::thread> m_threads;
};

} // namespace

ParallelBatch::ParallelBatch(int jobs, IfExists ifExists)
    : m_jobs(std::max(1, jobs))
    , m_ifExists(ifExists)
{}

void ParallelBatch::setNaming(const NamingRules& rules, const QStringList& relativeFolders)
{
    m_rules = rules;
    m_relativeFolders = relativeFolders;
}

int ParallelBatch::run(const QStringList& rows, const EncoderSettings& settings,
                       BatchObserver& observer)
{
    observer.runningChanged(true);
    const qsizetype rowCount = rows.size();
    SharedState shared(rowCount);
    BatchOptions options{settings.rowOutputFolder(), settings.CopyTags, m_ifExists, m_rules,
                         settings.LoudnessChoice};
    OutputNaming naming(targetExtension(settings.TargetFormat), options.outputFolder, m_ifExists);

    qsizetype begun = 0;
    qsizetype finished = 0;
    qsizetype reported = 0;      // rows whose every line has been passed on, in list order
    qsizetype reportedLines = 0; // lines passed on of the row after those
    {
        Jobs jobs(shared);
        jobs.start(std::min<qsizetype>(m_jobs, rowCount),
                   [&] { convertRows(shared, rows, settings, m_ifExists); });
        for (;;) {
            if (observer.cancelRequested())
                shared.cancel = true;
            if (shared.cancel || observer.stopRequested())
                shared.stop = true;
            // Idle jobs take the next rows; when fewer rows are left than jobs are idle, the
            // idle ones share the rows' work instead.
            while (!shared.stop && begun < rowCount && begun - finished < m_jobs) {
                options = observer.nextRowOptions(options);
                naming.setOutputFolder(options.outputFolder);
                naming.setRules(options.naming);
                const qsizetype idle = m_jobs - (begun - finished);
                const qsizetype left = rowCount - begun;
                ClaimedOutput claimed =
                    naming.claimOutput(rows[begun], m_relativeFolders.value(begun));
                const int threads = left < idle ? int(idle / left) : 1;
                RowTask task{begun,
                             std::move(claimed.path),
                             std::move(claimed.failure),
                             options.copyTags,
                             threads,
                             threads > 1 || m_jobs < QThread::idealThreadCount(),
                             options.loudness};
                {
                    const std::lock_guard lock(shared.mutex);
                    shared.tasks.push_back(std::move(task));
                }
                shared.taskAdded.notify_one();
                ++begun;
            }

            QStringList lines;
            std::vector<RowResult> results;
            QString status;
            bool statusChanged = false;
            double percentSum = 0;
            std::vector<std::pair<qsizetype, double>> running;
            {
                std::unique_lock lock(shared.mutex);
                shared.news.wait_for(lock, kTurn, [&] { return shared.hasNews; });
                shared.hasNews = false;
                while (reported < begun) {
                    const RowState& row = shared.rows[size_t(reported)];
                    lines += row.lines.mid(reportedLines);
                    reportedLines = row.lines.size();
                    if (!row.finished)
                        break;
                    results.push_back(row.result);
                    ++reported;
                    reportedLines = 0;
                }
                finished = std::count_if(shared.rows.begin(), shared.rows.end(),
                                         [](const RowState& row) { return row.finished; });
                for (const RowState& row : shared.rows)
                    percentSum += row.percent;
                for (qsizetype row = reported; row < begun; ++row) {
                    if (!shared.rows[size_t(row)].finished)
                        running.emplace_back(row, shared.rows[size_t(row)].percent);
                }
                std::swap(status, shared.status);
                std::swap(statusChanged, shared.statusChanged);
            }

            if (statusChanged)
                observer.statusChanged(status);
            for (const QString& line : lines)
                observer.logLine(line);
            for (const RowResult& result : results)
                observer.rowFinished(result);
            if (rowCount > 0)
                observer.progressChanged(percentSum / double(rowCount));
            observer.runningRows(running);
            if (reported == begun && (shared.stop || begun == rowCount))
                break;
            observer.yield();
        }
    }
    // An album's gain needs all of its tracks: a stopped run leaves the finished ones with
    // their track gains alone.
    if (!shared.stop) {
        for (const QString& failure : shared.albums.writeAll([&observer] { observer.yield(); }))
            observer.logLine(
                BatchRun::timestamp() +
                BatchRun::logLine(LogKind::Error,
                                  QStringLiteral("Cannot write the album gain of ") + failure));
    }
    observer.statusChanged(BatchRun::processedText(int(begun)));
    observer.runningChanged(false);
    return int(begun);
}

} // namespace tunevale
