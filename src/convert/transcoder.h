#pragma once

#include "common/audio/status.h"

#include <QString>

#include <vector>

namespace tunevale {

class AudioFile;

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
    // True while a file is being converted (a busy pointer, for instance).
    virtual void busyChanged(bool busy) { (void)busy; }
};

// Streams one source file from a reader into a writer in blocks of one second.
class Transcoder {
public:
    Transcoder(AudioFile& reader, AudioFile& writer);

    // Threads one file may use (default 1). With two or more, a long file to MP3 or WAV is
    // converted in segments on that many threads; otherwise it streams on the caller's.
    void setThreads(int threads) { m_threads = threads; }

    // Converts source into output, the output's format chosen by its extension and the
    // writer's settings. A stop request still leaves a complete, shorter output and
    // succeeds. On failure the output this call created is removed.
    Status transcodeFile(const QString& source, const QString& output,
                         TranscodeObserver* observer = nullptr);

    // Reads one block (one second) of source and writes it to a temporary WAV file at
    // temporary, which is always deleted again; the observer's yield() runs once while the
    // file exists. It exists only to run the decoder over the source once before the real
    // transcode, so callers may ignore its result. An existing file at temporary is left
    // alone and nothing is done.
    Status TranscodeFirstBlock(const QString& source, const QString& temporary,
                               TranscodeObserver* observer = nullptr);

private:
    Status copyBlocks(TranscodeObserver& observer);

    AudioFile& m_reader;
    AudioFile& m_writer;
    int m_threads = 1;
    std::vector<qint16> m_block;
};

} // namespace tunevale
