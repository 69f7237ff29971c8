#include "common/codecs/mp3encoder.h"

#include <QStringList>

#include <algorithm>
#include <array>
#include <span>

namespace tunevale {

namespace {

constexpr std::array kSampleRates{8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};
constexpr std::array kBitrates{8,  16,  24,  32,  40,  48,  56,  64,  80,
                               96, 112, 128, 144, 160, 192, 224, 256, 320};
constexpr int kMinAbrBitrate = 8;
constexpr int kMaxAbrBitrate = 320;

template <typename Container> bool contains(const Container& values, int value)
{
    return std::find(values.begin(), values.end(), value) != values.end();
}

template <typename Container> QString joined(const Container& values)
{
    QStringList texts;
    for (const int value : values)
        texts.append(QString::number(value));
    return texts.join(QStringLiteral(", "));
}

Status outOfRange(const QString& what, int value, int low, int high)
{
    return Status::error(QStringLiteral("MP3 %1 %2 is out of range: use %3 to %4")
                             .arg(what)
                             .arg(value)
                             .arg(low)
                             .arg(high));
}

Status notABitrate(const QString& what, int value)
{
    return Status::error(QStringLiteral("MP3 %1 %2 Kbps is not an MPEG bitrate: use one of %3")
                             .arg(what)
                             .arg(value)
                             .arg(joined(kBitrates)));
}

// The bitrates a layer III stream carries: MPEG-1 from 32 kHz, MPEG-2 from 16 kHz and
// MPEG-2.5 below, as LAME 3.100 writes them (measured: it snaps every other value).
constexpr std::array kMpeg1Bitrates{32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
constexpr std::array kMpeg2Bitrates{8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
constexpr std::array kMpeg25Bitrates{8, 16, 24, 32, 40, 48, 56, 64};

std::span<const int> bitratesAt(int sampleRate)
{
    if (sampleRate >= 32000)
        return kMpeg1Bitrates;
    if (sampleRate >= 16000)
        return kMpeg2Bitrates;
    return kMpeg25Bitrates;
}

// What a preset sets. bitrate is the VBR floor: the lowest the rate allows, so an ABR
// target is never pushed up by a minimum left over from CBR settings.
struct PresetValues {
    int sampleRate;
    int channels;
    int vbrMethod;
    int abrBitrate; // ABR presets only
    int vbrQuality; // VBR presets only
    int quality;
    int bitrate;
};

constexpr int kMpeg2Floor = 8;  // lowest bitrate below 32 kHz
constexpr int kMpeg1Floor = 32; // lowest bitrate from 32 kHz on

// Indexed by preset number - 1, in the order of Mp3Encoder::Preset.
constexpr std::array<PresetValues, 11> kPresets{{
    {16000, 1, Mp3Encoder::kVbrAbr, 16, 0, 5, kMpeg2Floor},  // Phone
    {16000, 1, Mp3Encoder::kVbrAbr, 24, 0, 5, kMpeg2Floor},  // SW
    {24000, 1, Mp3Encoder::kVbrAbr, 40, 0, 5, kMpeg2Floor},  // AM
    {44100, 2, Mp3Encoder::kVbrAbr, 112, 0, 5, kMpeg1Floor}, // FM
    {32000, 1, Mp3Encoder::kVbrAbr, 56, 0, 5, kMpeg1Floor},  // Voice
    {44100, 2, Mp3Encoder::kVbrAbr, 112, 0, 5, kMpeg1Floor}, // Radio
    {44100, 2, Mp3Encoder::kVbrAbr, 112, 0, 5, kMpeg1Floor}, // Tape
    {44100, 2, Mp3Encoder::kVbrAbr, 160, 0, 2, kMpeg1Floor}, // HiFi
    {44100, 2, Mp3Encoder::kVbrAbr, 192, 0, 2, kMpeg1Floor}, // CD
    {44100, 2, Mp3Encoder::kVbrAbr, 256, 0, 2, kMpeg1Floor}, // Studio
    {44100, 2, Mp3Encoder::kVbrMtrh, 0, 3, 0, kMpeg1Floor},  // R3Mix
}};

} // namespace

Status Mp3Encoder::setSampleRate(int hertz)
{
    if (!contains(kSampleRates, hertz))
        return Status::error(
            QStringLiteral("MP3 sample rate %1 Hz is not supported: use one of %2 Hz")
                .arg(hertz)
                .arg(joined(kSampleRates)));
    m_sampleRate = hertz;
    return {};
}

Status Mp3Encoder::setQuality(int quality)
{
    if (quality < 0 || quality > 9)
        return outOfRange(QStringLiteral("quality"), quality, 0, 9);
    m_quality = quality;
    return {};
}

Status Mp3Encoder::setBitrate(int kbps)
{
    if (!contains(kBitrates, kbps))
        return notABitrate(QStringLiteral("bitrate"), kbps);
    m_bitrate = kbps;
    return {};
}

Status Mp3Encoder::setMaxVbrBitrate(int kbps)
{
    if (!contains(kBitrates, kbps))
        return notABitrate(QStringLiteral("maximum VBR bitrate"), kbps);
    m_maxVbrBitrate = kbps;
    return {};
}

Status Mp3Encoder::setVbrQuality(int quality)
{
    if (quality < 0 || quality > 9)
        return outOfRange(QStringLiteral("VBR quality"), quality, 0, 9);
    m_vbrQuality = quality;
    return {};
}

Status Mp3Encoder::setVbrMethod(int method)
{
    if (method < kVbrNone || method > kVbrAbr)
        return outOfRange(QStringLiteral("VBR method"), method, kVbrNone, kVbrAbr);
    m_vbrMethod = method;
    return {};
}

Status Mp3Encoder::setAbrBitrate(int kbps)
{
    if (kbps < kMinAbrBitrate || kbps > kMaxAbrBitrate)
        return outOfRange(QStringLiteral("ABR bitrate"), kbps, kMinAbrBitrate, kMaxAbrBitrate);
    m_abrBitrate = kbps;
    return {};
}

Status Mp3Encoder::setChannels(int channels)
{
    if (channels < 1 || channels > 2)
        return outOfRange(QStringLiteral("channel count"), channels, 1, 2);
    m_channels = channels;
    return {};
}

Status Mp3Encoder::setChannelMode(int mode)
{
    if (mode < kModeStereo || mode > kModeDualChannels)
        return outOfRange(QStringLiteral("channel mode"), mode, kModeStereo, kModeDualChannels);
    m_channelMode = mode;
    return {};
}

Status Mp3Encoder::applyPreset(int preset)
{
    if (preset < Phone || preset > R3Mix)
        return Status::error(
            QStringLiteral("There is no MP3 preset %1: presets go from %2 (Phone) to %3 (R3Mix)")
                .arg(preset)
                .arg(int(Phone))
                .arg(int(R3Mix)));
    const PresetValues& values = kPresets[static_cast<size_t>(preset - 1)];
    m_sampleRate = values.sampleRate;
    m_channels = values.channels;
    if (values.channels == 2)
        m_channelMode = kModeJointStereo;
    m_vbrMethod = values.vbrMethod;
    if (values.vbrMethod == kVbrAbr)
        m_abrBitrate = values.abrBitrate;
    else
        m_vbrQuality = values.vbrQuality;
    m_quality = values.quality;
    m_bitrate = values.bitrate;
    m_maxVbrBitrate = kBitrates.back();
    m_strictMinimum = false;
    m_writeVbrHeader = true;
    return {};
}

Status Mp3Encoder::checkBitrateForRate() const
{
    const std::span<const int> allowed = bitratesAt(m_sampleRate);
    if (m_vbrMethod == kVbrNone && !contains(allowed, m_bitrate)) {
        return Status::error(
            QStringLiteral("MP3 bitrate %1 Kbps is not possible at %2 Hz: use one of %3")
                .arg(m_bitrate)
                .arg(m_sampleRate)
                .arg(joined(allowed)));
    }
    if (m_vbrMethod == kVbrAbr &&
        (m_abrBitrate < allowed.front() || m_abrBitrate > allowed.back())) {
        return Status::error(
            QStringLiteral("MP3 ABR bitrate %1 Kbps is not possible at %2 Hz: use %3 to %4")
                .arg(m_abrBitrate)
                .arg(m_sampleRate)
                .arg(allowed.front())
                .arg(allowed.back()));
    }
    return {};
}

// A minimum above the maximum makes LAME 3.100 abort in ABR mode (an assertion) and behave
// inconsistently in the others, so the maximum wins. In ABR mode a minimum above the target
// (typically the CBR bitrate left over from earlier settings) would silently raise the
// target, so it is lowered to the target unless the user asked for it to be strictly enforced.
int Mp3Encoder::vbrMinimumBitrate() const
{
    int minimum = m_bitrate;
    if (m_vbrMethod == kVbrAbr && !m_strictMinimum)
        minimum = std::min(minimum, m_abrBitrate);
    return std::min(minimum, m_maxVbrBitrate);
}

} // namespace tunevale
