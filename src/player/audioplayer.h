#pragma once

#include <QObject>
#include <QVector>

#include <memory>

namespace tunevale {

// The audio player component: plays queued arrays of interleaved 16-bit samples through
// the default sound output, or, where there is none (or TUNEVALE_AUDIO=null is set), through
// a null output that consumes the queue on a real-time clock, so every event fires alike.
// Sample counts are frames (one value per channel).
class AudioPlayer final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AudioPlayer)

public:
    explicit AudioPlayer(QObject* parent = nullptr);
    ~AudioPlayer() override;

    // The format of the arrays that follow; call before beginArrayPlayback().
    void setOutputFormat(int sampleRate, int channels);
    // Starts (or restarts) playback of queued arrays; the sample count starts at 0.
    void beginArrayPlayback();
    // 0 while the output works, negative after a failure.
    int status() const;
    qint64 millisecondsToSamples(qint64 milliseconds) const;
    qint64 samplesToMilliseconds(qint64 samples) const;
    // Queues one array; an array without a whole frame is ignored.
    void queueArray(const QVector<qint16>& samples);
    // Stops the sound at once and drops what is queued.
    void stop();
    // Frames played since playback began or was flushed.
    qint64 samplesPlayed() const;
    // Drops queued data; the sample count starts again from 0.
    void flush();
    // The count most recently played values (interleaved), for drawing.
    QVector<qint16> lastPlayedSamples(int count) const;
    // True when the real sound output is in use, false for the null output.
    bool usesSoundDevice() const;

Q_SIGNALS:
    // Periodically while playing, with the frames played since playback began or was flushed.
    void Timer(qint64 currentSamples, int levelLeft, int levelRight);
    // The queue runs low: more data is wanted.
    void RequestOnLoadArray();
    // One queued array has been played.
    void EndArrayPlay();
    // All queued data has been played.
    void EndPlay();

private:
    class Output;
    std::unique_ptr<Output> m_output;
};

} // namespace tunevale
