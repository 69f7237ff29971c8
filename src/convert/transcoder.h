#pragma once

#include "common/audio/status.h"
#include "convert/loudness.h"
#include "convert/partfile.h"

#include <QString>

#include <vector>

namespace tunevale {

class AudioFile;
template <typename T> class BlockThread;

// What a transcode tells its caller and asks of it while it runs.
class TranscodeObserver {
public:
    virtual ~TranscodeObserver() = default;
    // Percent done, 0 to 100.
    virtual void progressChanged(double percent) { (void)percent; }
    // Called once per block: the place to give an event loop its turn.
    virtual void yield() {}
    // Read after every block; true ends the file after the block just written.
    virtual bool stopRequested() const { return false; }
    // Read after every block; true ends the file after the block just written and discards it.
    virtual bool cancelRequested() const { return false; }
    // The complete output under its temporary name, before it takes its own: the place to
    // write tags. A failure discards the output.
    virtual Status finishOutput(const QString& written)
    {
        (void)written;
        return {};
    }
    // True while a file is being converted (a busy pointer, for instance).
    virtual void busyChanged(bool busy) { (void)busy; }
};

// Where a transcode put its output.
struct SavedOutput {
    IfExists ifExists = IfExists::New; // when the output's name was taken meanwhile
    QString path;                      // the name the output got; empty when skipped
};

// Streams one source file from a reader into a writer in blocks of one second.
class Transcoder {
public:
    Transcoder(AudioFile& reader, AudioFile& writer);

    // Threads one file may use (default 1). With two or more, a long file to MP3, WAV or FLAC is
    // converted in segments on that many threads; otherwise it streams on the caller's.
    void setThreads(int threads) { m_threads = threads; }

    // Whether transcodeFile measures the loudness of the samples it encodes (default off).
    void setMeasureLoudness(bool measure) { m_measureLoudness = measure; }
    // Whether a core beside the caller's is free (default no): a file converted on one thread
    // then has its loudness meter and its encoder's side work (FLAC's checksum) run there.
    void setSpareCore(bool spare) { m_spareCore = spare; }
    // A linear gain applied to the decoded samples before they are measured and encoded
    // (default 1: none).
    void setGain(double gain) { m_gain = gain; }
    // The measurement of the file being or last converted, complete once the observer's
    // finishOutput runs: one meter, or one per segment when the file was split. Empty when
    // not measured.
    const std::vector<LoudnessMeter>& loudnessMeters() const { return m_meters; }
    std::vector<LoudnessMeter> takeLoudnessMeters() { return std::move(m_meters); }

    // Converts source into output, the output's format chosen by its extension and the
    // writer's settings. The output is written under a temporary name in its folder and
    // takes its own name, never replacing anything, only once it is complete, finished by
    // the observer and as long as the source says (to within one codec frame); when the
    // name was taken meanwhile it gets "New_" in front (or is dropped, as saved asks). A stop
    // request still leaves a complete, shorter output and succeeds. On failure no output is
    // left.
    Status transcodeFile(const QString& source, const QString& output,
                         TranscodeObserver* observer = nullptr, SavedOutput* saved = nullptr);

    // Reads one block (one second) of source and writes it to a temporary WAV file at
    // temporary, which is always deleted again; the observer's yield() runs once while the
    // file exists. It exists only to run the decoder over the source once before the real
    // transcode, so callers may ignore its result. Only a file this call creates is written
    // and deleted: anything already at temporary is left alone.
    Status TranscodeFirstBlock(const QString& source, const QString& temporary,
                               TranscodeObserver* observer = nullptr);

private:
    // What the copy read, against what the source stated.
    struct Copied {
        int sampleRate = 0;
        qint64 sourceFrames = 0; // the length the source stated when opened
        qint64 frames = 0;
        bool stopped = false;
    };
    // Sample is qint16, or qint32 when the reader and the writer take deep samples whole.
    template <typename Sample>
    Status copyBlocks(TranscodeObserver& observer, Copied& copied, std::vector<Sample>& block);
    template <typename Sample>
    Status streamBlocks(TranscodeObserver& observer, Copied& copied, std::vector<Sample>& block,
                        BlockThread<qint16>* meterThread);
    // Adds a block to the loudness meter, which works on 16 bits (ample for a loudness figure),
    // directly or through meterThread.
    template <typename Sample>
    Status measure(const std::vector<Sample>& block, BlockThread<qint16>* meterThread);
    // Converts on several threads into written; done is false when the file does not split.
    Status transcodeSegmented(const QString& source, const QString& written, const QString& output,
                              TranscodeObserver& report, Copied& copied, bool& done);
    // Whether the written file is whole: its container complete and its audio as long as the
    // source (to within one codec frame).
    Status checkWhole(const QString& written, const QString& source, const QString& output,
                      const Copied& copied, bool sourceChanged) const;

    AudioFile& m_reader;
    AudioFile& m_writer;
    int m_threads = 1;
    bool m_measureLoudness = false;
    bool m_spareCore = false;
    double m_gain = 1.0;
    std::vector<LoudnessMeter> m_meters;
    std::vector<qint16> m_block;
    std::vector<qint32> m_wideBlock;
    std::vector<qint16> m_narrowed; // a deep block narrowed for the meter
};

} // namespace tunevale
