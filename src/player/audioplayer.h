#pragma once

#include "common/audio/resampler.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <QVector>

#include <deque>
#include <memory>

namespace tunevale {

// The audio player component: plays queued arrays of interleaved 16-bit samples through
// the default sound output, or, where there is none (or TUNEVALE_AUDIO=null is set), through
// a null output that consumes the queue on a real-time clock, so every event fires alike.
// Sample counts are frames (one value per channel) at the arrays' own rate; arrays hold
// elements (frames x channels). A rate the output refuses is resampled to one it takes.
// Signals are emitted from the thread that owns the player, driven by its event loop.
class AudioPlayer final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AudioPlayer)

public:
    explicit AudioPlayer(QObject* parent = nullptr);
    ~AudioPlayer() override;

    // The format of the arrays that follow (1,000-768,000 Hz, 1-8 channels); call before
    // beginArrayPlayback(). Anything else sets status() negative until a valid format is set.
    // The output plays the rate itself when it can (a sound server takes 8,000-96,000 Hz, the
    // null output the same), else a rate it takes, resampling the arrays.
    void setOutputFormat(int sampleRate, int channels);
    // The rate the output plays: the arrays' own, or the one they are resampled to.
    int outputSampleRate() const { return m_outputRate; }
    // Starts (or restarts) playback of queued arrays; the sample count starts at 0. A sound
    // output that cannot be opened is replaced by the null output (usesSoundDevice() tells).
    void beginArrayPlayback();
    // 0 while the output works, negative after a failure.
    int status() const;
    // Frames, not elements: multiply by the channel count for a reader's element count.
    qint64 millisecondsToSamples(qint64 milliseconds) const;
    qint64 samplesToMilliseconds(qint64 samples) const;
    // Queues one array; an array without a whole frame is ignored.
    void queueArray(const QVector<qint16>& samples);
    // Stops the sound at once and drops what is queued; no events follow until
    // beginArrayPlayback().
    void stop();
    // Frames played since playback began or was flushed.
    qint64 samplesPlayed() const;
    // Drops queued data; the sample count starts again from 0 and playback goes on.
    void flush();
    // The count most recently played values (interleaved, at outputSampleRate()), for drawing;
    // zeros where fewer have been played.
    QVector<qint16> lastPlayedSamples(int count) const;
    // True when the real sound output is in use, false for the null output.
    bool usesSoundDevice() const;

Q_SIGNALS:
    // Periodically while playing, with the frames played since playback began or was flushed
    // and the peak level (0-32767) of the left and right channel since the previous signal.
    void Timer(qint64 currentSamples, int levelLeft, int levelRight);
    // The queue runs low: more data is wanted. Sent once until data is queued.
    void RequestOnLoadArray();
    // One queued array has been played.
    void EndArrayPlay();
    // All queued data has been played, or the sound output failed (status() is then negative).
    // The end comes once the output has played what was queued and a request for more went
    // unanswered; meanwhile the output is kept running so that a short sound is heard whole.
    void EndPlay();

private:
    class Output;
    class NullOutput;
    class DeviceOutput;

    enum class State { Stopped, Playing, Ended };

    bool openOutput();
    void closeOutput();
    // A fresh output stream that goes on counting from what was written so far.
    void restartOutput();
    int chooseOutputRate(int sampleRate, int channels) const;
    void resetResampler();
    // Appends an array already at the output rate.
    void appendPlayable(QVector<qint16> samples, bool endsAnArray);
    qint64 toInputFrames(qint64 outputFrames) const;
    qint64 outputFramesIn(qint64 milliseconds) const;
    void restartCounts();
    void tick();
    void feed();
    qint64 playedFrames() const;
    void trimHistory(qint64 playedFrames);
    void levels(qint64 fromFrame, qint64 toFrame, int& left, int& right) const;
    // Silences the output and drops the queue, keeping the position reached.
    void halt();
    void fail(const char* reason);

    std::unique_ptr<Output> m_output;
    QTimer m_tick;
    QElapsedTimer m_sinceTimerSignal;
    QElapsedTimer m_sinceProgress;
    State m_state = State::Stopped;
    int m_status = 0;
    bool m_formatValid = true;
    // Changes whenever playback restarts, stops or flushes, so a tick can tell that a
    // signal handler did one of those.
    quint64 m_generation = 0;
    int m_sampleRate = 44100; // of the arrays queued
    int m_outputRate = 44100;
    int m_channels = 2;
    Resampler m_resampler;
    // The source went quiet: the resampler's tail is queued and the output is kept running.
    bool m_draining = false;
    // Silence follows the written sound in the output: new sound needs a fresh stream.
    bool m_padded = false;

    // Counts below are output frames. Arrays waiting for the output; the front one may be
    // partly written.
    std::deque<QVector<qint16>> m_queue;
    qint64 m_frontOffset = 0;       // elements of the front array already written
    qint64 m_queuedFrames = 0;      // frames queued since the count restarted
    std::deque<qint64> m_arrayEnds; // the frame count at which each queued array ends
    qint64 m_writtenFrames = 0;
    qint64 m_outputBase = 0; // frames written before the output stream last restarted
    mutable qint64 m_playedFrames = 0;
    qint64 m_lastSignalFrame = 0;
    qint64 m_lastProgressFrame = 0;
    bool m_requestPending = false;
    int m_ticksSinceRequest = 0;

    // What was handed to the output, for drawing and levels; ends at m_writtenFrames.
    std::deque<qint16> m_history;
};

} // namespace tunevale
