// Measuring one decoded file's loudness and true peak, in one-second blocks as a conversion
// feeds it: Tunevale's meter against libebur128 measuring both itself, and the parts of each.
// Plain timers; run by hand.
//   loudness_bench FILE [rounds, default 5]

#include "common/audio/audioreader.h"
#include "convert/gatedloudness.h"
#include "convert/loudness.h"
#include "convert/truepeak.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <ebur128.h>

#include <cstdio>
#include <functional>

namespace {

using namespace tunevale;

using Blocks = std::vector<std::vector<qint16>>;

// The best of rounds, in milliseconds.
double bestOf(int rounds, const std::function<void()>& measure)
{
    double best = 1e300;
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        measure();
        best = std::min(best, double(timer.nsecsElapsed()) / 1e6);
    }
    return best;
}

double libebur128(const Blocks& blocks, const PcmFormat& format, int mode)
{
    ebur128_state* state =
        ebur128_init(unsigned(format.channels), unsigned(format.sampleRate), mode);
    for (const std::vector<qint16>& block : blocks)
        ebur128_add_frames_short(state, block.data(), block.size() / size_t(format.channels));
    double lufs = 0;
    ebur128_loudness_global(state, &lufs);
    ebur128_destroy(&state);
    return lufs;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: loudness_bench FILE [rounds]\n");
        return 2;
    }
    const int rounds = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 5;
    AudioReader reader;
    if (!reader.open(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    const PcmFormat format = reader.format();
    Blocks blocks;
    qint64 frames = 0;
    for (;;) {
        std::vector<qint16> block;
        if (!reader.read(qint64(format.sampleRate) * format.channels, block) || block.empty())
            break;
        frames += qint64(block.size()) / format.channels;
        blocks.push_back(std::move(block));
    }
    const double seconds = double(frames) / format.sampleRate;

    const double reference = bestOf(
        rounds, [&] { (void)libebur128(blocks, format, EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK); });
    const double loudnessOnly =
        bestOf(rounds, [&] { (void)libebur128(blocks, format, EBUR128_MODE_I); });
    const double loudness = bestOf(rounds, [&] {
        GatedLoudness meter;
        meter.start(format.sampleRate, format.channels);
        for (const std::vector<qint16>& block : blocks)
            meter.add(block);
    });
    const double truePeakOnly = bestOf(rounds, [&] {
        TruePeakMeter meter;
        meter.start(format.sampleRate, format.channels);
        for (const std::vector<qint16>& block : blocks)
            meter.add(block);
    });
    const double ours = bestOf(rounds, [&] {
        LoudnessMeter meter;
        (void)meter.start(format.sampleRate, format.channels);
        for (const std::vector<qint16>& block : blocks)
            (void)meter.add(block);
        (void)meter.result();
    });
    std::printf("%.1f s of audio, %d Hz, %d channels; best of %d, ms\n", seconds, format.sampleRate,
                format.channels, rounds);
    std::printf("libebur128 loudness + true peak  %9.2f\n", reference);
    std::printf("libebur128 loudness only         %9.2f\n", loudnessOnly);
    std::printf("Tunevale loudness only           %9.2f\n", loudness);
    std::printf("Tunevale true peak only          %9.2f\n", truePeakOnly);
    std::printf("Tunevale meter (both)            %9.2f  (%.3f of libebur128's)\n", ours,
                ours / reference);
    return 0;
}
