#include "convert/truepeak.h"
#include "support/fixtures.h"

#include <ebur128.h>

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <numbers>
#include <random>

using namespace tunevale;
using namespace tunevale::test;

namespace {

struct Signal {
    const char* name;
    int rate;
    int channels;
    std::vector<qint16> samples;
};

qint16 clipped(double value)
{
    return qint16(std::clamp(std::lround(value), -32768L, 32767L));
}

// Frame i of every channel from wave(i, channel), scaled to full scale.
template <typename Wave>
Signal make(const char* name, int rate, int channels, qint64 frames, Wave wave)
{
    Signal signal{name, rate, channels, {}};
    for (qint64 frame = 0; frame < frames; ++frame) {
        for (int channel = 0; channel < channels; ++channel)
            signal.samples.push_back(clipped(32767.0 * wave(double(frame) / rate, channel)));
    }
    return signal;
}

// The true peak libebur128 finds oversampling every sample, the highest of the channels.
double referencePeak(const Signal& signal)
{
    ebur128_state* state =
        ebur128_init(unsigned(signal.channels), unsigned(signal.rate), EBUR128_MODE_TRUE_PEAK);
    ebur128_add_frames_short(state, signal.samples.data(),
                             signal.samples.size() / size_t(signal.channels));
    double highest = 0;
    for (int channel = 0; channel < signal.channels; ++channel) {
        double peak = 0;
        ebur128_true_peak(state, unsigned(channel), &peak);
        highest = std::max(highest, peak);
    }
    ebur128_destroy(&state);
    return highest;
}

// Fed in uneven pieces, so chunks and history straddle the calls.
double measuredPeak(const Signal& signal)
{
    TruePeakMeter meter;
    meter.start(signal.rate, signal.channels);
    test::feedInUnevenPieces(signal.samples, signal.channels, [&](std::span<const qint16> piece) {
        meter.add(piece);
        return true;
    });
    return meter.peak();
}

// A generated piece of loud, limited music: a chord with a beat over pink noise.
Signal music(int rate)
{
    TempDir dir;
    const QString path = dir.file(QStringLiteral("music.wav"));
    const QString chord = QStringLiteral(
        "aevalsrc=0.3*sin(2*PI*110*t)*(1+sin(2*PI*2*t))+0.2*sin(2*PI*277*t)+0.2*sin(2*PI*"
        "330*t+sin(2*PI*3*t))+0.1*sin(2*PI*5000*t)*exp(-8*mod(t\\,0.25)):s=%1:d=8");
    const QString noise = QStringLiteral("anoisesrc=color=pink:amplitude=0.3:r=%1:d=8:seed=7");
    EXPECT_TRUE(
        runFfmpeg({QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                   chord.arg(rate), QStringLiteral("-f"), QStringLiteral("lavfi"),
                   QStringLiteral("-i"), noise.arg(rate), QStringLiteral("-filter_complex"),
                   QStringLiteral("amix=inputs=2:normalize=0,volume=8dB,alimiter=limit=0.97,"
                                  "aformat=channel_layouts=stereo"),
                   QStringLiteral("-c:a"), QStringLiteral("pcm_s16le"), path}));
    const QByteArray raw = ffmpegDecode(path, "s16le");
    Signal signal{"music", rate, 2, std::vector<qint16>(size_t(raw.size()) / 2)};
    std::memcpy(signal.samples.data(), raw.constData(), signal.samples.size() * 2);
    return signal;
}

} // namespace

// The same peaks as libebur128's own true-peak measurement, on signals whose peaks fall
// between the samples and on ones the prefilter skips most of, at each oversampling factor.
TEST(TruePeakMeter, MatchesLibebur128)
{
    std::mt19937 random(23);
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    const double pi = std::numbers::pi;
    std::vector<Signal> signals;
    for (const int rate : {44100, 48000, 96000, 192000}) {
        // A quarter of the rate at 45 degrees: every sample at 0.707, the wave at 1.
        signals.push_back(make("quarter", rate, 2, rate, [=](double t, int channel) {
            return 0.9 * std::sin(2 * pi * rate / 4 * t + pi / 4 + channel);
        }));
        signals.push_back(
            make("noise", rate, 1, rate, [&](double, int) { return 0.5 * uniform(random); }));
    }
    // Loud noise first, then a stretch whose samples stay below that noise's sample peak
    // while its waveform rises above it: only a sound bound lets the prefilter keep it.
    signals.push_back(make("late", 44100, 2, 88200, [&](double t, int) {
        return t < 1 ? 0.55 * uniform(random) : 0.6 * std::sin(2 * pi * 11025 * t + pi / 4);
    }));
    signals.push_back(music(44100));
    signals.push_back(music(96000));
    for (const Signal& signal : signals) {
        const double reference = referencePeak(signal);
        ASSERT_GT(reference, 0.1) << signal.name;
        EXPECT_NEAR(20 * std::log10(measuredPeak(signal) / reference), 0.0, 0.001)
            << signal.name << " at " << signal.rate;
    }
}

// Stretches that reach the prefilter's bound: the samples' signs follow the half-sample
// phase's taps, which alternate away from its middle. Just under the bound lies an earlier
// peak, so a bound set a little low, or one that forgets the samples of the previous call,
// would pass them over.
TEST(TruePeakMeter, StretchesAtTheBoundAreOversampled)
{
    const std::array<double, 12> signs{-1, 1, -1, 1, -1, 1, 1, -1, 1, -1, 1, -1};
    const double level = 0.4;
    Signal signal{"bound", 44100, 1, std::vector<qint16>(1000, 0)};
    signal.samples.push_back(clipped(32767 * 0.74)); // just under the stretch's true peak
    signal.samples.resize(2000, 0);
    for (const double sign : signs)
        signal.samples.push_back(clipped(32767 * level * sign));
    signal.samples.resize(3000, 0);
    const double reference = referencePeak(signal);
    ASSERT_GT(reference, 0.745);
    EXPECT_NEAR(measuredPeak(signal), reference, 1e-5);

    // The stretch but its newest sample (silent, the smallest tap) comes in the call before.
    Signal split{"split", 44100, 1, std::vector<qint16>(500, 0)};
    for (size_t tap = 0; tap + 1 < signs.size(); ++tap)
        split.samples.push_back(clipped(32767 * level * signs[tap]));
    const size_t boundary = split.samples.size();
    split.samples.resize(1000, 0);
    TruePeakMeter meter;
    meter.start(split.rate, 1);
    const std::span<const qint16> samples = split.samples;
    meter.add(samples.first(boundary));
    meter.add(samples.subspan(boundary));
    EXPECT_NEAR(meter.peak(), referencePeak(split), 1e-5);
    EXPECT_GT(meter.peak(), 0.7);
}
