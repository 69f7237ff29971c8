#pragma once

#include "common/codecs/outputformat.h"
#include "convert/loudness.h"
#include "convert/outputnaming.h"
#include "convert/partfile.h"

#include <QString>
#include <QStringList>

#include <utility>
#include <vector>

namespace tunevale {

class AlbumGains;
class AudioFile;
class AudioInformation;
class Transcoder;

struct BatchOptions {
    QString outputFolder; // empty: each file's own folder
    bool copyTags = true;
    IfExists ifExists = IfExists::New; // for an output name already taken
    NamingRules naming{};              // for outputs below outputFolder
    LoudnessOptions loudness = {};
};

// The outcome of one row of a run.
struct RowResult {
    QString output; // the output's path: the name it was saved under when saved
    bool saved = false;
    bool skipped = false; // IfExists::Skip found the name taken
};

// What a batch run tells its caller and asks of it. Every method may be left as it is.
class BatchObserver {
public:
    virtual ~BatchObserver() = default;
    // One finished line of the conversion log, timestamp included.
    virtual void logLine(const QString& line) { (void)line; }
    virtual void statusChanged(const QString& status) { (void)status; }
    // Percent done, 0 to 100: of the current file in BatchRun, of the whole run in
    // ParallelBatch.
    virtual void progressChanged(double percent) { (void)percent; }
    // Called at least once per block: the place to give an event loop its turn.
    virtual void yield() {}
    // Read before each file and after each block; true ends the run, the file in progress
    // being completed with what was converted so far.
    virtual bool stopRequested() const { return false; }
    // Read before each file and after each block; true ends the run, the file in progress
    // being discarded.
    virtual bool cancelRequested() const { return false; }
    // True from the start of the run until its end.
    virtual void runningChanged(bool running) { (void)running; }
    // After a row's last log line.
    virtual void rowFinished(const RowResult& result) { (void)result; }
    // ParallelBatch, at every turn of the calling thread (some tens of milliseconds): each row
    // being converted, as its index in the run's rows and its percent done (0 to 100).
    virtual void runningRows(const std::vector<std::pair<qsizetype, double>>& rows) { (void)rows; }
    // ParallelBatch asks for the options of each row as it begins, so that a choice changed
    // during a run applies from there on. The default keeps the current ones.
    virtual BatchOptions nextRowOptions(const BatchOptions& current) { return current; }
};

enum class LogKind { Reading, Converting, Saved, Error, Skipped, NotKept };

// Converts a list of files, one after the other, to one target format with the writer's
// settings for it. The components are borrowed; the run owns nothing else.
class BatchRun {
public:
    BatchRun(AudioFile& reader, AudioFile& writer, AudioInformation& information);

    // Threads each file may use (default 1): a caller with idle threads passes them on.
    void setThreadsPerFile(int threads) { m_threadsPerFile = threads; }
    // Whether a core is free beside each file's (default no): for callers that leave one idle
    // (see Transcoder::setSpareCore).
    void setSpareCore(bool spare) { m_spareCore = spare; }

    // The ReplayGain tags convertRow writes and the loudness it normalises to (default
    // neither). With album gains, each saved row is added to albums (which must outlive the
    // rows), whose gains the caller writes once every row has finished; run() does so itself
    // unless the run was stopped.
    void setLoudness(const LoudnessOptions& options, AlbumGains* albums = nullptr)
    {
        m_loudness = options;
        m_albums = albums;
    }

    // Converts every row in list order to targetFormat and returns the number of rows begun.
    // A failing row is logged and the run goes on.
    int run(const QStringList& rows, OutputKind targetFormat, const BatchOptions& options,
            BatchObserver* observer = nullptr);

    // One row into an output path already chosen: the log lines, the conversion and the
    // tags. run() calls it for every row; callers that name outputs themselves (several
    // runs at once) may call it directly.
    // With IfExists::Skip a row whose output name is taken, before or after converting, is
    // logged as skipped and nothing is written.
    // A saved row whose output lacks some of the source's fields names them in a line after
    // its ": Saved - " line.
    RowResult convertRow(const QString& source, const QString& output, OutputKind targetFormat,
                         bool copyTags, BatchObserver& observer, IfExists ifExists = IfExists::New);

    // The log line's text after the timestamp, as in ": Saved - /music/song.ogg"; for
    // Skipped the text is the output path, as in ": Skipped - /music/song.ogg (exists)"; for
    // NotKept it is the output path and the fields, as in
    // ": Not kept - /music/song.wma: track total, ISRC". Control characters in the text are
    // escaped (common/displaytext.h).
    static QString logLine(LogKind kind, const QString& text);
    // The current date and time as the log shows them: the system locale's short date,
    // a space and its long time.
    static QString timestamp();
    // "Processed 1 file." or "Processed 3 files."
    static QString processedText(int count);

private:
    // Sets the gain that brings source to the target loudness, logging when the true-peak
    // ceiling held it back.
    void normalize(const QString& source, Transcoder& transcoder, BatchObserver& observer);

    AudioFile& m_reader;
    AudioFile& m_writer;
    AudioInformation& m_information;
    int m_threadsPerFile = 1;
    bool m_spareCore = false;
    LoudnessOptions m_loudness;
    AlbumGains* m_albums = nullptr;
};

} // namespace tunevale
