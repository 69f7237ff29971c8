#include "convert/loudness.h"

#include "common/audio/audioreader.h"
#include "convert/truepeak.h"

#include <ebur128.h>

#include <QString>

#include <algorithm>
#include <cmath>
#include <limits>

namespace tunevale {

namespace {

Loudness loudnessOf(double lufs, double peak)
{
    Loudness loudness;
    loudness.peak = peak;
    // Nothing above the absolute gate gives minus infinity: silence has no loudness.
    loudness.silent = !std::isfinite(lufs);
    loudness.lufs = loudness.silent ? 0 : lufs;
    return loudness;
}

} // namespace

struct LoudnessMeter::State {
    struct Destroy {
        void operator()(ebur128_state* state) const { ebur128_destroy(&state); }
    };
    std::unique_ptr<ebur128_state, Destroy> handle;
    // libebur128's own true peak oversamples every sample in double precision, which costs
    // as much as a fast encoder; this one gives the same peaks at a small part of that.
    TruePeakMeter truePeak;
};

LoudnessMeter::LoudnessMeter() = default;
LoudnessMeter::~LoudnessMeter() = default;
LoudnessMeter::LoudnessMeter(LoudnessMeter&&) noexcept = default;
LoudnessMeter& LoudnessMeter::operator=(LoudnessMeter&&) noexcept = default;

Status LoudnessMeter::start(int sampleRate, int channels)
{
    m_state.reset();
    m_channels = 0;
    auto state = std::make_unique<State>();
    if (sampleRate > 0 && channels > 0)
        state->handle.reset(ebur128_init(unsigned(channels), static_cast<unsigned long>(sampleRate),
                                         EBUR128_MODE_I));
    if (!state->handle)
        return Status::error(QStringLiteral("Cannot measure the loudness of %1 channels at %2 Hz")
                                 .arg(channels)
                                 .arg(sampleRate));
    state->truePeak.start(sampleRate, channels);
    m_state = std::move(state);
    m_channels = channels;
    return {};
}

Status LoudnessMeter::add(std::span<const qint16> samples)
{
    if (!m_state)
        return Status::error(QStringLiteral("The loudness meter was not started"));
    const size_t frames = samples.size() / size_t(m_channels);
    if (frames == 0)
        return {};
    if (ebur128_add_frames_short(m_state->handle.get(), samples.data(), frames) != EBUR128_SUCCESS)
        return Status::error(QStringLiteral("Out of memory while measuring the loudness"));
    m_state->truePeak.add(samples.first(frames * size_t(m_channels)));
    return {};
}

Loudness LoudnessMeter::result() const
{
    if (!m_state)
        return {};
    double lufs = -HUGE_VAL;
    if (ebur128_loudness_global(m_state->handle.get(), &lufs) != EBUR128_SUCCESS)
        lufs = -HUGE_VAL;
    return loudnessOf(lufs, m_state->truePeak.peak());
}

Loudness LoudnessMeter::combined(std::span<const LoudnessMeter* const> meters)
{
    std::vector<ebur128_state*> states;
    double peak = 0;
    for (const LoudnessMeter* meter : meters) {
        if (!meter || !meter->m_state)
            continue;
        states.push_back(meter->m_state->handle.get());
        peak = std::max(peak, meter->m_state->truePeak.peak());
    }
    double lufs = -HUGE_VAL;
    if (states.empty() ||
        ebur128_loudness_global_multiple(states.data(), states.size(), &lufs) != EBUR128_SUCCESS)
        lufs = -HUGE_VAL;
    return loudnessOf(lufs, peak);
}

NormalizeGain normalizeGain(const Loudness& loudness, double targetLufs, double ceilingDb)
{
    NormalizeGain result;
    if (loudness.silent)
        return result;
    result.gainDb = targetLufs - loudness.lufs;
    if (loudness.peak > 0) {
        const double headroomDb = ceilingDb - 20 * std::log10(loudness.peak);
        if (headroomDb < result.gainDb) {
            result.gainDb = headroomDb;
            result.limited = true;
        }
    }
    return result;
}

void applyGain(std::vector<qint16>& samples, double gain)
{
    for (qint16& sample : samples) {
        const long scaled = std::lround(double(sample) * gain);
        sample = qint16(std::clamp<long>(scaled, std::numeric_limits<qint16>::min(),
                                         std::numeric_limits<qint16>::max()));
    }
}

Status measureFileLoudness(const QString& path, Loudness& loudness)
{
    AudioReader reader;
    LoudnessMeter meter;
    Status status = reader.open(path);
    if (status)
        status = meter.start(reader.format().sampleRate, reader.format().channels);
    const qint64 blockSize = qint64(reader.format().sampleRate) * reader.format().channels;
    std::vector<qint16> block;
    while (status) {
        status = reader.read(blockSize, block);
        if (!status || block.empty())
            break;
        status = meter.add(block);
    }
    if (status)
        loudness = meter.result();
    return status;
}

} // namespace tunevale
