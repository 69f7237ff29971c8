#include "convert/loudness.h"

#include "common/audio/audioreader.h"
#include "convert/gatedloudness.h"
#include "convert/truepeak.h"

#include <QString>

#include <algorithm>
#include <array>
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
    GatedLoudness loudness;
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
    if (sampleRate <= 0 || channels <= 0)
        return Status::error(QStringLiteral("Cannot measure the loudness of %1 channels at %2 Hz")
                                 .arg(channels)
                                 .arg(sampleRate));
    auto state = std::make_unique<State>();
    state->loudness.start(sampleRate, channels);
    state->truePeak.start(sampleRate, channels);
    m_state = std::move(state);
    m_channels = channels;
    return {};
}

Status LoudnessMeter::add(std::span<const qint16> samples)
{
    if (!m_state)
        return Status::error(QStringLiteral("The loudness meter was not started"));
    const std::span<const qint16> frames =
        samples.first(samples.size() / size_t(m_channels) * size_t(m_channels));
    m_state->loudness.add(frames);
    m_state->truePeak.add(frames);
    return {};
}

Loudness LoudnessMeter::result() const
{
    const std::array<const LoudnessMeter*, 1> self{this};
    return combined(self);
}

Loudness LoudnessMeter::combined(std::span<const LoudnessMeter* const> meters)
{
    std::vector<const std::vector<double>*> blockLists;
    double peak = 0;
    for (const LoudnessMeter* meter : meters) {
        if (!meter || !meter->m_state)
            continue;
        blockLists.push_back(&meter->m_state->loudness.blocks());
        peak = std::max(peak, meter->m_state->truePeak.peak());
    }
    return loudnessOf(GatedLoudness::integrated(blockLists), peak);
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

void narrowForMeter(std::span<const qint32> samples, std::vector<qint16>& narrowed)
{
    narrowed.resize(samples.size());
    std::transform(samples.begin(), samples.end(), narrowed.begin(),
                   [](qint32 sample) { return qint16(sample >> 16); });
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
