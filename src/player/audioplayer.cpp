#include "player/audioplayer.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QIODevice>
#include <QMediaDevices>
#include <QPointer>
#include <QtDebug>

#include <algorithm>
#include <cstdlib>
#include <span>
#include <utility>

namespace tunevale {

namespace {

constexpr int kMinimumRate = 1000;
constexpr int kMaximumRate = 768000;
// What a sound server takes; the null output keeps to the same rule.
constexpr int kNullMinimumRate = 8000;
constexpr int kNullMaximumRate = 96000;
constexpr int kMaximumChannels = 8;
constexpr int kBytesPerSample = 2;
constexpr int kTickMs = 10;
constexpr int kTimerSignalMs = 30;
// The latency asked of the sound server, as much as it gives its own players by default: what
// carries the sound through a window thread that is busy for a while (a loaded machine, a slow
// redraw). PulseAudio splits it between the stream's buffer and the sink; Qt's default buffer
// (145 ms) breaks up when the thread stalls for 150 ms, this one holds through a second.
// Pausing and seeking drop it, and the position is the server's own count, so its size costs
// neither responsiveness nor accuracy.
constexpr qint64 kDeviceBufferMs = 2000;
// Below this much unplayed sound the player asks for more, so that the window's reader stays
// ahead of the output by more than a full buffer; the window feeds 200 ms a time.
constexpr qint64 kLowWaterMs = kDeviceBufferMs + 400;
// The null output holds as much as a sound server's buffer typically does.
constexpr qint64 kNullBufferMs = 100;
// A sound server that takes nothing for this long is treated as gone. The test server's null
// sink stalls up to ~2 s when a stream starts.
constexpr qint64 kStallLimitMs = 6000;
// Played values kept behind the play position for drawing.
constexpr qint64 kHistoryElements = qint64{1} << 16;
constexpr int kMaximumDrawnElements = 1 << 20;

bool nullOutputRequested()
{
    return qEnvironmentVariable("TUNEVALE_AUDIO") == u"null";
}

bool soundDeviceWanted()
{
    return !nullOutputRequested() && !QMediaDevices::audioOutputs().isEmpty();
}

QAudioFormat int16Format(int sampleRate, int channels)
{
    QAudioFormat format;
    format.setSampleRate(sampleRate);
    format.setChannelCount(channels);
    format.setSampleFormat(QAudioFormat::Int16);
    return format;
}

bool outputAccepts(int sampleRate, int channels)
{
    if (soundDeviceWanted())
        return QMediaDevices::defaultAudioOutput().isFormatSupported(
            int16Format(sampleRate, channels));
    return sampleRate >= kNullMinimumRate && sampleRate <= kNullMaximumRate;
}

} // namespace

// Where written sound goes. Counts restart with every start().
class AudioPlayer::Output {
public:
    Output() = default;
    Q_DISABLE_COPY_MOVE(Output)
    virtual ~Output() = default;

    virtual bool isDevice() const = 0;
    virtual bool start(int sampleRate, int channels) = 0;
    // Silences at once and drops what the output still holds.
    virtual void stop() = 0;
    virtual qint64 bytesFree() = 0;
    // Bytes taken, or -1 when the output failed.
    virtual qint64 write(const char* data, qint64 bytes) = 0;
    // Frames played of the `written` handed over since start(), as near as the output can tell.
    virtual qint64 framesPlayed(qint64 written) = 0;
    virtual bool failed() const = 0;
    // Adds silence after what was written, so that an output that waits for a full buffer
    // before it starts plays a short sound too. Answers whether anything was added.
    virtual bool padWithSilence() { return false; }
};

// Consumes sound at the sample rate on a real-time clock: no device, same timing.
class AudioPlayer::NullOutput final : public AudioPlayer::Output {
public:
    bool isDevice() const override { return false; }

    bool start(int sampleRate, int channels) override
    {
        m_sampleRate = sampleRate;
        m_frameBytes = channels * kBytesPerSample;
        m_capacityFrames = std::max<qint64>(1, sampleRate * kNullBufferMs / 1000);
        m_written = 0;
        m_anchorFrames = 0;
        m_clock.start();
        m_anchorUs = 0;
        return true;
    }

    void stop() override { m_written = m_anchorFrames = 0; }

    qint64 bytesFree() override
    {
        return (m_capacityFrames - (m_written - consumed())) * m_frameBytes;
    }

    qint64 write(const char* /*data*/, qint64 bytes) override
    {
        const qint64 frames = std::min(bytes / m_frameBytes, bytesFree() / m_frameBytes);
        m_written += frames;
        return frames * m_frameBytes;
    }

    qint64 framesPlayed(qint64 /*written*/) override { return consumed(); }
    bool failed() const override { return false; }

private:
    qint64 consumed()
    {
        const qint64 nowUs = m_clock.nsecsElapsed() / 1000;
        const qint64 played = m_anchorFrames + (nowUs - m_anchorUs) * m_sampleRate / 1'000'000;
        if (played < m_written)
            return played;
        // Ran dry: what is written next starts playing now, not in the past.
        m_anchorFrames = m_written;
        m_anchorUs = nowUs;
        return m_written;
    }

    QElapsedTimer m_clock;
    int m_sampleRate = 44100;
    qint64 m_frameBytes = 4;
    qint64 m_capacityFrames = 1;
    qint64 m_written = 0;
    qint64 m_anchorFrames = 0;
    qint64 m_anchorUs = 0;
};

// The default sound output through QAudioSink in push mode. The sink object lives as long as
// the output: Qt's PulseAudio sink runs the event loop in its destructor, and a handler that
// seeks, pauses or resumes must not have queued input handled inside it.
class AudioPlayer::DeviceOutput final : public AudioPlayer::Output {
public:
    ~DeviceOutput() override { DeviceOutput::stop(); }

    bool isDevice() const override { return true; }

    bool start(int sampleRate, int channels) override
    {
        stop();
        const QAudioFormat format = int16Format(sampleRate, channels);
        if (!m_sink || m_sink->format() != format) {
            const QAudioDevice device = QMediaDevices::defaultAudioOutput();
            if (device.isNull()) {
                qWarning("AudioPlayer: no default sound output");
                return false;
            }
            if (!device.isFormatSupported(format)) {
                qWarning("AudioPlayer: the sound output refuses %d Hz with %d channels", sampleRate,
                         channels);
                return false;
            }
            m_sink = std::make_unique<QAudioSink>(device, format);
        }
        // Every time: the sink keeps the size the server granted last, which is smaller than
        // the one asked for, and would shrink with each restart.
        m_sink->setBufferSize(format.bytesForDuration(kDeviceBufferMs * 1000));
        m_io = m_sink->start();
        if (!m_io || m_sink->error() != QAudio::NoError) {
            qWarning("AudioPlayer: cannot open the sound output (error %d)",
                     static_cast<int>(m_sink->error()));
            m_sink->reset();
            m_io = nullptr;
            return false;
        }
        m_sampleRate = sampleRate;
        m_frameBytes = qint64{channels} * kBytesPerSample;
        m_writeFailed = false;
        m_bytesWritten = 0;
        return true;
    }

    void stop() override
    {
        if (!m_io)
            return;
        // reset() drops what the server still holds, so stopping is silent at once; the
        // stream's writer goes with it.
        m_sink->reset();
        m_io = nullptr;
    }

    qint64 bytesFree() override { return m_io ? m_sink->bytesFree() : 0; }

    qint64 write(const char* data, qint64 bytes) override
    {
        if (!m_io)
            return -1;
        const qint64 written = m_io->write(data, bytes);
        if (written < 0)
            m_writeFailed = true;
        else
            m_bytesWritten += written;
        return written;
    }

    qint64 framesPlayed(qint64 written) override
    {
        if (!m_io)
            return 0;
        // Qt's processed time is the server's read position less the sink's latency: what has
        // been heard. Between the server's timing reports it runs on the wall clock, even
        // while a stalled server takes nothing, so what the server has taken from the
        // stream's buffer bounds it.
        const qint64 heard = m_sink->processedUSecs() * m_sampleRate / 1'000'000;
        const qint64 held = std::max<qint64>(0, m_sink->bufferSize() - m_sink->bytesFree());
        const qint64 taken = (m_bytesWritten - held) / m_frameBytes;
        return std::clamp<qint64>(std::min(heard, taken), 0, written);
    }

    bool padWithSilence() override
    {
        if (!m_io)
            return false;
        // As much as the server takes: it starts playing only once its buffer is full, and
        // keeps playing the sound out, without an underrun, until it has been heard.
        const qint64 bytes = m_sink->bytesFree() / m_frameBytes * m_frameBytes;
        if (bytes <= 0)
            return false;
        const QByteArray silence(bytes, '\0');
        const qint64 written = m_io->write(silence.constData(), bytes);
        if (written <= 0)
            return false;
        m_bytesWritten += written;
        return true;
    }

    bool failed() const override
    {
        if (m_writeFailed)
            return true;
        if (!m_sink)
            return false;
        const QAudio::Error error = m_sink->error();
        // An underrun only means the queue ran dry for a moment.
        return error == QAudio::OpenError || error == QAudio::IOError ||
               error == QAudio::FatalError;
    }

private:
    std::unique_ptr<QAudioSink> m_sink;
    QIODevice* m_io = nullptr; // owned by m_sink, valid while a stream is open
    int m_sampleRate = 44100;
    qint64 m_frameBytes = 4;
    bool m_writeFailed = false;
    qint64 m_bytesWritten = 0; // since start(), silence included
};

AudioPlayer::AudioPlayer(QObject* parent)
    : QObject(parent)
{
    m_tick.setInterval(kTickMs);
    m_tick.setTimerType(Qt::PreciseTimer);
    connect(&m_tick, &QTimer::timeout, this, &AudioPlayer::tick);
}

AudioPlayer::~AudioPlayer()
{
    closeOutput();
}

void AudioPlayer::setOutputFormat(int sampleRate, int channels)
{
    if (m_state != State::Stopped)
        stop();
    m_formatValid = sampleRate >= kMinimumRate && sampleRate <= kMaximumRate && channels >= 1 &&
                    channels <= kMaximumChannels;
    if (!m_formatValid) {
        qWarning("AudioPlayer: cannot play %d Hz with %d channels", sampleRate, channels);
        m_status = -1;
        return;
    }
    m_sampleRate = sampleRate;
    m_channels = channels;
    m_outputRate = chooseOutputRate(sampleRate, channels);
    resetResampler();
    m_status = 0;
}

int AudioPlayer::chooseOutputRate(int sampleRate, int channels) const
{
    if (outputAccepts(sampleRate, channels))
        return sampleRate;
    // The common rates, the one sharing the most factors with the source's first.
    const bool cdFamily = sampleRate % 11025 == 0;
    for (const int rate : {cdFamily ? 44100 : 48000, cdFamily ? 48000 : 44100, 96000, 32000}) {
        if (outputAccepts(rate, channels))
            return rate;
    }
    return sampleRate; // nothing better known: the output tries the rate itself
}

void AudioPlayer::resetResampler()
{
    m_draining = false;
    const Status configured =
        m_resampler.configure({m_sampleRate, m_channels}, {m_outputRate, m_channels});
    if (!configured)
        qWarning("AudioPlayer: %s", qPrintable(configured.message()));
}

qint64 AudioPlayer::toInputFrames(qint64 outputFrames) const
{
    return outputFrames * m_sampleRate / m_outputRate;
}

qint64 AudioPlayer::outputFramesIn(qint64 milliseconds) const
{
    return milliseconds * m_outputRate / 1000;
}

void AudioPlayer::beginArrayPlayback()
{
    closeOutput();
    m_tick.stop();
    m_state = State::Stopped;
    ++m_generation;
    if (!m_formatValid) {
        m_status = -1;
        return;
    }
    m_status = 0;
    restartCounts();
    if (!openOutput()) {
        m_status = -1;
        return;
    }
    m_state = State::Playing;
    m_requestPending = false;
    m_ticksSinceRequest = 0;
    m_sinceTimerSignal.start();
    m_sinceProgress.start();
    feed();
    m_tick.start();
}

int AudioPlayer::status() const
{
    return m_status;
}

qint64 AudioPlayer::millisecondsToSamples(qint64 milliseconds) const
{
    return milliseconds * m_sampleRate / 1000;
}

qint64 AudioPlayer::samplesToMilliseconds(qint64 samples) const
{
    return samples * 1000 / m_sampleRate;
}

void AudioPlayer::queueArray(const QVector<qint16>& samples)
{
    if (samples.isEmpty() || samples.size() % m_channels != 0)
        return;
    if (m_padded)
        restartOutput();
    m_draining = false;
    if (m_resampler.isPassThrough()) {
        appendPlayable(samples, true);
    } else {
        std::vector<qint16> converted;
        if (!m_resampler.convert(std::span(samples.constData(), samples.size()), converted))
            return;
        appendPlayable(QVector<qint16>(converted.begin(), converted.end()), true);
    }
}

void AudioPlayer::appendPlayable(QVector<qint16> samples, bool endsAnArray)
{
    m_queuedFrames += samples.size() / m_channels;
    m_queue.push_back(std::move(samples));
    if (endsAnArray)
        m_arrayEnds.push_back(m_queuedFrames);
    m_requestPending = false;
    if (m_state == State::Ended) {
        m_state = State::Playing;
        m_sinceTimerSignal.start();
        m_sinceProgress.start();
        m_tick.start();
    }
    if (m_state == State::Playing)
        feed();
}

void AudioPlayer::halt()
{
    playedFrames(); // keep the position reached for samplesPlayed()
    closeOutput();
    m_tick.stop();
    m_state = State::Stopped;
    ++m_generation;
    m_queue.clear();
    m_frontOffset = 0;
    m_arrayEnds.clear();
    m_padded = false;
    resetResampler();
}

void AudioPlayer::stop()
{
    halt();
    m_queuedFrames = m_writtenFrames = 0;
    m_history.clear();
}

qint64 AudioPlayer::samplesPlayed() const
{
    return toInputFrames(playedFrames());
}

void AudioPlayer::flush()
{
    ++m_generation;
    m_queue.clear();
    m_frontOffset = 0;
    m_padded = false;
    resetResampler();
    if (m_output && m_state != State::Stopped) {
        // A fresh stream is the only way to drop what the sound server already holds.
        m_output->stop();
        if (!m_output->start(m_outputRate, m_channels)) {
            fail("the sound output cannot restart");
            return;
        }
    }
    restartCounts();
    m_requestPending = false;
    m_ticksSinceRequest = 0;
    if (m_state == State::Ended) {
        m_state = State::Playing;
        m_sinceTimerSignal.start();
        m_tick.start();
    }
    m_sinceProgress.start();
}

QVector<qint16> AudioPlayer::lastPlayedSamples(int count) const
{
    count = std::clamp(count, 0, kMaximumDrawnElements);
    QVector<qint16> result(count, 0);
    const qint64 playedEnd =
        static_cast<qint64>(m_history.size()) - (m_writtenFrames - playedFrames()) * m_channels;
    if (playedEnd <= 0)
        return result;
    const qint64 available = std::min<qint64>(playedEnd, count);
    std::copy(m_history.begin() + (playedEnd - available), m_history.begin() + playedEnd,
              result.begin() + (count - available));
    return result;
}

bool AudioPlayer::usesSoundDevice() const
{
    return m_output && m_output->isDevice();
}

bool AudioPlayer::openOutput()
{
    m_padded = false;
    if (soundDeviceWanted()) {
        // The device output is kept from one start to the next (see DeviceOutput).
        if (!m_output || !m_output->isDevice())
            m_output = std::make_unique<DeviceOutput>();
        if (m_output->start(m_outputRate, m_channels))
            return true;
        // Silence with every event in time beats no playback at all.
        qWarning("AudioPlayer: playing without sound");
    }
    m_output = std::make_unique<NullOutput>();
    return m_output->start(m_outputRate, m_channels);
}

void AudioPlayer::restartOutput()
{
    m_padded = false;
    if (!m_output)
        return;
    playedFrames(); // keep the position reached
    m_output->stop();
    if (!m_output->start(m_outputRate, m_channels)) {
        fail("the sound output cannot restart");
        return;
    }
    m_outputBase = m_writtenFrames;
}

void AudioPlayer::closeOutput()
{
    if (m_output)
        m_output->stop();
}

void AudioPlayer::restartCounts()
{
    m_arrayEnds.clear();
    m_queuedFrames = 0;
    qint64 offset = m_frontOffset;
    for (const QVector<qint16>& array : m_queue) {
        m_queuedFrames += (array.size() - offset) / m_channels;
        m_arrayEnds.push_back(m_queuedFrames);
        offset = 0;
    }
    m_writtenFrames = 0;
    m_outputBase = 0;
    m_playedFrames = 0;
    m_lastSignalFrame = 0;
    m_lastProgressFrame = 0;
    m_history.clear();
}

void AudioPlayer::tick()
{
    if (m_state != State::Playing || !m_output)
        return;
    if (m_output->failed()) {
        fail("the sound output failed");
        return;
    }
    feed();
    const qint64 played = playedFrames();
    trimHistory(played);

    if (played != m_lastProgressFrame || played >= m_writtenFrames) {
        m_lastProgressFrame = played;
        m_sinceProgress.restart();
    } else if (m_sinceProgress.elapsed() > kStallLimitMs) {
        fail("the sound output stopped taking sound");
        return;
    }

    // A handler may stop, flush, restart or even delete the player; stop then.
    const QPointer<AudioPlayer> alive(this);
    const quint64 generation = m_generation;
    const auto interrupted = [&] {
        return !alive || generation != m_generation;
    };

    while (!m_arrayEnds.empty() && m_arrayEnds.front() <= played) {
        m_arrayEnds.pop_front();
        Q_EMIT EndArrayPlay();
        if (interrupted())
            return;
    }

    if (m_sinceTimerSignal.elapsed() >= kTimerSignalMs) {
        m_sinceTimerSignal.restart();
        int left = 0;
        int right = 0;
        // Nothing new played (a stall): show the last block again rather than silence.
        const qint64 from = played > m_lastSignalFrame ? m_lastSignalFrame
                                                       : played - outputFramesIn(kTimerSignalMs);
        levels(from, played, left, right);
        m_lastSignalFrame = played;
        Q_EMIT Timer(toInputFrames(played), left, right);
        if (interrupted())
            return;
    }

    const qint64 unplayed = m_queuedFrames - played;
    if (unplayed < outputFramesIn(kLowWaterMs) && !m_requestPending) {
        // Asks again while the window answers, so a fresh or flushed queue fills at once.
        do {
            m_requestPending = true;
            m_ticksSinceRequest = 0;
            Q_EMIT RequestOnLoadArray();
            if (interrupted())
                return;
        } while (!m_requestPending && m_queuedFrames - played < outputFramesIn(kLowWaterMs));
        return;
    }
    // The source is done once the window had a turn to answer the last request in vain.
    ++m_ticksSinceRequest;
    if (!m_queue.empty() || !m_requestPending || m_ticksSinceRequest < 2)
        return;
    if (!std::exchange(m_draining, true)) {
        std::vector<qint16> tail;
        if (m_resampler.flush(tail) && !tail.empty()) {
            appendPlayable(QVector<qint16>(tail.begin(), tail.end()), false);
            m_requestPending = true; // the tail answers no request
            feed();
            return;
        }
    }
    if (unplayed > 0) {
        m_padded = m_output->padWithSilence() || m_padded;
        return;
    }
    m_state = State::Ended;
    m_tick.stop();
    Q_EMIT EndPlay();
}

void AudioPlayer::feed()
{
    const qint64 frameBytes = qint64{m_channels} * kBytesPerSample;
    while (!m_queue.empty()) {
        const QVector<qint16>& front = m_queue.front();
        const qint64 remainingFrames = (front.size() - m_frontOffset) / m_channels;
        if (remainingFrames <= 0) {
            m_queue.pop_front();
            m_frontOffset = 0;
            continue;
        }
        const qint64 freeFrames = m_output->bytesFree() / frameBytes;
        if (freeFrames <= 0)
            return;
        const qint64 frames = std::min(freeFrames, remainingFrames);
        const qint16* data = front.constData() + m_frontOffset;
        const qint64 written =
            m_output->write(reinterpret_cast<const char*>(data), frames * frameBytes) / frameBytes;
        if (written <= 0)
            return;
        const qint64 elements = written * m_channels;
        m_history.insert(m_history.end(), data, data + elements);
        m_frontOffset += elements;
        m_writtenFrames += written;
    }
}

qint64 AudioPlayer::playedFrames() const
{
    if (m_output && m_state != State::Stopped) {
        const qint64 played = std::clamp<qint64>(
            m_outputBase + m_output->framesPlayed(m_writtenFrames - m_outputBase), 0,
            m_writtenFrames);
        m_playedFrames = std::max(m_playedFrames, played);
    }
    return m_playedFrames;
}

void AudioPlayer::trimHistory(qint64 playedFrames)
{
    // Whole frames only, so the history stays aligned on channel 0.
    const qint64 keep =
        (m_writtenFrames - playedFrames + kHistoryElements / m_channels) * m_channels;
    const qint64 excess = static_cast<qint64>(m_history.size()) - keep;
    if (excess > 0)
        m_history.erase(m_history.begin(), m_history.begin() + excess);
}

void AudioPlayer::levels(qint64 fromFrame, qint64 toFrame, int& left, int& right) const
{
    left = right = 0;
    // m_history ends at m_writtenFrames.
    const qint64 historyStart =
        m_writtenFrames - static_cast<qint64>(m_history.size()) / m_channels;
    fromFrame = std::max(fromFrame, historyStart);
    const int rightChannel = m_channels > 1 ? 1 : 0;
    for (qint64 frame = fromFrame; frame < toFrame; ++frame) {
        const auto base = static_cast<std::size_t>((frame - historyStart) * m_channels);
        left = std::max(left, std::abs(int{m_history[base]}));
        right = std::max(right, std::abs(int{m_history[base + rightChannel]}));
    }
    left = std::min(left, 32767);
    right = std::min(right, 32767);
}

void AudioPlayer::fail(const char* reason)
{
    qWarning("AudioPlayer: %s", reason);
    m_status = -1;
    halt();
    // The window stops on this as after a normal end; status() tells why.
    Q_EMIT EndPlay();
}

} // namespace tunevale
