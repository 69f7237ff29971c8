// The player window against what the sound server really played: records the default sink's
// monitor with parec while the window plays a file whose every frame carries its own index,
// then reads the recording back frame by frame. Reports
//   - dropouts: silence inside continuous playback (count, total and longest, in ms);
//   - resume replay: how much already heard sound each Resume plays again (ms, per pause);
//   - position lag: how far the window's position and its drawing run behind the sound heard
//     at the same moment (ms; positive = behind). The capture's own latency (~10 ms) makes
//     these read a little high.
// With --peer PROGRAM (e.g. paplay) it plays the same file with that program instead and
// reports its dropouts only.
// --stall MS blocks the window's thread for MS ms every 700 ms, as a loaded machine may.
// --short N plays a 20 ms file N times and tells how many plays were heard whole.
// Usage: player_sink_check [--seconds S] [--pauses N] [--stall MS] [--short N] [--peer PROGRAM]
// Needs a PulseAudio server whose default sink has a monitor at 44,100 Hz stereo s16.

#include "player/audioplayer.h"
#include "player/formplay.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace tunevale;

namespace {

constexpr int kRate = 44100;
// A frame's index in two channels, never 0, so silence (0, 0) stands out.
constexpr int kIndexBase = 1000;
constexpr int kIndexSpan = 30000;

bool writeIndexedWav(const QString& path, qint64 frames)
{
    QByteArray data;
    data.reserve(44 + frames * 4);
    auto put32 = [&data](quint32 v) {
        for (int i = 0; i < 4; ++i)
            data.append(char((v >> (8 * i)) & 0xFF));
    };
    auto put16 = [&data](quint16 v) {
        data.append(char(v & 0xFF));
        data.append(char(v >> 8));
    };
    data.append("RIFF");
    put32(quint32(36 + frames * 4));
    data.append("WAVEfmt ");
    put32(16);
    put16(1);
    put16(2);
    put32(kRate);
    put32(kRate * 4);
    put16(4);
    put16(16);
    data.append("data");
    put32(quint32(frames * 4));
    for (qint64 i = 0; i < frames; ++i) {
        put16(quint16(kIndexBase + i % kIndexSpan));
        put16(quint16(kIndexBase + i / kIndexSpan));
    }
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

// -1 for silence, -2 for anything that is not an index.
qint64 indexOf(qint16 left, qint16 right)
{
    if (left == 0 && right == 0)
        return -1;
    if (left < kIndexBase || right < kIndexBase || left >= kIndexBase + kIndexSpan)
        return -2;
    return qint64(right - kIndexBase) * kIndexSpan + (left - kIndexBase);
}

// parec's output with the time each piece arrived, on the same clock as the window's events.
class Recorder {
public:
    explicit Recorder(const QElapsedTimer& clock)
        : m_clock(clock)
    {
        QObject::connect(&m_process, &QProcess::readyReadStandardOutput, &m_process, [this] {
            m_data += m_process.readAllStandardOutput();
            m_arrivals.push_back({m_clock.nsecsElapsed() / 1e6, qint64(m_data.size() / 4)});
        });
    }

    bool start()
    {
        m_process.start(QStringLiteral("parec"),
                        {QStringLiteral("--device=@DEFAULT_MONITOR@"), QStringLiteral("--raw"),
                         QStringLiteral("--format=s16le"), QStringLiteral("--rate=44100"),
                         QStringLiteral("--channels=2"), QStringLiteral("--latency-msec=10")});
        return m_process.waitForStarted();
    }

    void stop()
    {
        m_process.terminate();
        m_process.waitForFinished();
        m_data += m_process.readAllStandardOutput();
    }

    std::vector<qint64> indexes() const
    {
        std::vector<qint64> result(m_data.size() / 4);
        const auto* values = reinterpret_cast<const qint16*>(m_data.constData());
        for (size_t i = 0; i < result.size(); ++i)
            result[i] = indexOf(values[2 * i], values[2 * i + 1]);
        return result;
    }

    // When recorded frame `frame` was captured: the least delayed arrival sets the offset.
    double captureTimeMs(qint64 frame) const
    {
        double offset = 1e18;
        for (const auto& [ms, frames] : m_arrivals)
            offset = std::min(offset, ms - frames * 1000.0 / kRate);
        return offset + frame * 1000.0 / kRate;
    }

    qint64 frameAt(double ms) const
    {
        const double start = captureTimeMs(0);
        return qint64((ms - start) * kRate / 1000.0);
    }

private:
    const QElapsedTimer& m_clock;
    QProcess m_process;
    QByteArray m_data;
    std::vector<std::pair<double, qint64>> m_arrivals;
};

struct Dropouts {
    int count = 0;
    double totalMs = 0;
    double longestMs = 0;
    double skippedMs = 0; // sound never heard
};

// Silence this long is one of the bench's own pauses (400 ms), not a dropout.
constexpr double kPauseMs = 350;

// Silence inside the sound, or a jump forward, is a dropout; with `replays`, a long silence is
// a pause whose resume jump goes there.
Dropouts analyse(const std::vector<qint64>& indexes, std::vector<double>* replays, bool verbose)
{
    Dropouts dropouts;
    qint64 last = -1;
    qint64 silence = 0;
    qint64 noise = 0;
    for (size_t frame = 0; frame < indexes.size(); ++frame) {
        const qint64 index = indexes[frame];
        if (verbose && index >= 0 && last >= 0 && index != last + 1)
            std::printf("  at %.3f s: %lld after %lld with %.1f ms of silence (%lld noise)\n",
                        double(frame) / kRate, static_cast<long long>(index),
                        static_cast<long long>(last), silence * 1000.0 / kRate,
                        static_cast<long long>(noise));
        noise = index == -2 ? noise + 1 : index >= 0 ? 0 : noise;
        if (index < 0) {
            if (last >= 0)
                ++silence;
            continue;
        }
        const double silenceMs = silence * 1000.0 / kRate;
        if (last >= 0 && replays && silenceMs >= kPauseMs) {
            // A pause: positive when the resume plays again what was heard, negative when it
            // skips sound.
            replays->push_back((last + 1 - index) * 1000.0 / kRate);
        } else if (last >= 0 && (silence > 0 || index > last + 1)) {
            ++dropouts.count;
            dropouts.totalMs += silenceMs;
            dropouts.longestMs = std::max(dropouts.longestMs, silenceMs);
            dropouts.skippedMs += std::max<qint64>(0, index - last - 1) * 1000.0 / kRate;
        }
        silence = 0;
        last = index;
    }
    return dropouts;
}

void runFor(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void printRange(const char* what, const std::vector<double>& values)
{
    if (values.empty()) {
        std::printf("%s: none\n", what);
        return;
    }
    std::printf("%s: n=%zu median %.1f ms, min %.1f, max %.1f\n", what, values.size(),
                median(values), *std::min_element(values.begin(), values.end()),
                *std::max_element(values.begin(), values.end()));
}

} // namespace

int main(int argc, char* argv[])
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    int seconds = 12;
    int pauses = 8;
    int shortPlays = 0;
    int stallMs = 0;
    QString peer;
    const bool verbose = qEnvironmentVariableIsSet("VERBOSE");
    const QStringList arguments = application.arguments();
    for (qsizetype i = 1; i + 1 < arguments.size(); i += 2) {
        if (arguments[i] == u"--seconds")
            seconds = arguments[i + 1].toInt();
        else if (arguments[i] == u"--pauses")
            pauses = arguments[i + 1].toInt();
        else if (arguments[i] == u"--stall")
            stallMs = arguments[i + 1].toInt();
        else if (arguments[i] == u"--short")
            shortPlays = arguments[i + 1].toInt();
        else if (arguments[i] == u"--peer")
            peer = arguments[i + 1];
    }

    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("indexed.wav"));
    if (!writeIndexedWav(path, qint64(seconds) * kRate))
        return 1;
    QElapsedTimer clock;
    clock.start();
    Recorder recorder(clock);
    if (!recorder.start()) {
        std::fprintf(stderr, "parec did not start\n");
        return 1;
    }
    runFor(300);

    if (shortPlays > 0) {
        // A 20 ms file, played whole in a fresh window each time: how much of it is heard.
        const QString shortPath = folder.filePath(QStringLiteral("short.wav"));
        constexpr qint64 kShortFrames = kRate / 50;
        if (!writeIndexedWav(shortPath, kShortFrames))
            return 1;
        for (int play = 0; play < shortPlays; ++play) {
            if (!peer.isEmpty()) {
                QProcess player;
                player.start(peer, {shortPath});
                player.waitForFinished(10000);
                runFor(150);
                continue;
            }
            int visualStyle = 3;
            FormPlay form(nullptr, shortPath, QString(), visualStyle);
            QElapsedTimer waited;
            waited.start();
            while (form.isPlaying() && waited.elapsed() < 10000)
                runFor(5);
            runFor(150);
        }
        runFor(300);
        recorder.stop();
        std::vector<qint64> heard;
        std::vector<std::pair<qint64, qint64>> spans; // first and last index of each play
        qint64 last = -1;
        for (const qint64 index : recorder.indexes()) {
            if (index < 0)
                continue;
            if (index <= last || heard.empty()) {
                heard.push_back(0);
                spans.push_back({index, index});
            }
            ++heard.back();
            spans.back().second = index;
            last = index;
        }
        if (qEnvironmentVariableIsSet("VERBOSE")) {
            for (const auto& [first, end] : spans)
                std::printf("  play heard %lld to %lld\n", static_cast<long long>(first),
                            static_cast<long long>(end));
        }
        int whole = 0;
        for (const qint64 frames : heard)
            whole += frames == kShortFrames ? 1 : 0;
        std::printf("short file (%lld frames): %zu of %d plays heard, %d whole; frames heard:",
                    static_cast<long long>(kShortFrames), heard.size(), shortPlays, whole);
        for (const qint64 frames : heard)
            std::printf(" %lld", static_cast<long long>(frames));
        std::printf("\n");
        return 0;
    }

    if (!peer.isEmpty()) {
        QProcess player;
        player.start(peer, {path});
        player.waitForFinished(seconds * 2000 + 10000);
        runFor(300);
        recorder.stop();
        const Dropouts dropouts = analyse(recorder.indexes(), nullptr, verbose);
        std::printf("%s dropouts: %d, silence %.1f ms, longest %.1f ms, sound lost %.1f ms\n",
                    qPrintable(peer), dropouts.count, dropouts.totalMs, dropouts.longestMs,
                    dropouts.skippedMs);
        return 0;
    }

    int visualStyle =
        qEnvironmentVariableIntValue("STYLE") > 0 ? qEnvironmentVariableIntValue("STYLE") : 3;
    FormPlay form(nullptr, path, QString(), visualStyle);
    form.show();
    if (!form.player().usesSoundDevice()) {
        std::fprintf(stderr, "no sound device: start a sound server first\n");
        return 1;
    }
    struct Sample {
        double ms;
        qint64 position;
        qint64 drawnEnd;
    };
    std::vector<Sample> samples;
    QObject::connect(&form.player(), &AudioPlayer::Timer, &form, [&](qint64 current, int, int) {
        const QVector<qint16> drawn = form.player().lastPlayedSamples(2);
        samples.push_back({clock.nsecsElapsed() / 1e6, current + form.basePosition(),
                           indexOf(drawn[0], drawn[1])});
    });

    // A busy window thread, as on a loaded machine: it blocks for stallMs every 700 ms.
    QTimer staller;
    QObject::connect(&staller, &QTimer::timeout, &form, [stallMs] {
        QElapsedTimer busy;
        busy.start();
        while (busy.elapsed() < stallMs) {
        }
    });
    if (stallMs > 0)
        staller.start(700);

    // Let the start settle, then pause and resume at intervals.
    runFor(1500);
    for (int pause = 0; pause < pauses && form.isPlaying(); ++pause) {
        form.CmdPause_Click();
        runFor(400);
        form.CmdPause_Click();
        runFor(800);
    }
    QElapsedTimer waited;
    waited.start();
    while (form.isPlaying() && waited.elapsed() < seconds * 2000)
        runFor(50);
    runFor(300);
    recorder.stop();

    const std::vector<qint64> indexes = recorder.indexes();
    std::vector<double> replays;
    const Dropouts dropouts = analyse(indexes, pauses > 0 ? &replays : nullptr, verbose);
    std::printf("tunevale dropouts: %d, silence %.1f ms, longest %.1f ms, sound lost %.1f ms\n",
                dropouts.count, dropouts.totalMs, dropouts.longestMs, dropouts.skippedMs);
    printRange("resume replays (negative: skips)", replays);

    // The sound heard when each Timer event came, against what the window showed then.
    std::vector<double> positionLag;
    std::vector<double> drawingLag;
    for (const Sample& sample : samples) {
        const qint64 frame = recorder.frameAt(sample.ms);
        if (frame < 0 || frame >= qint64(indexes.size()) || indexes[frame] < 0)
            continue;
        positionLag.push_back((indexes[frame] - sample.position) * 1000.0 / kRate);
        if (sample.drawnEnd >= 0)
            drawingLag.push_back((indexes[frame] - sample.drawnEnd) * 1000.0 / kRate);
    }
    printRange("position behind the sound", positionLag);
    printRange("drawing behind the sound", drawingLag);
    return 0;
}
