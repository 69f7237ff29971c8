#pragma once

#include "common/audio/status.h"

namespace tunevale {

// The MP3 encoder settings component: LAME's parameters as the program sees them.
// A value object; a writer given an Mp3Encoder copies it. Setters reject values out of
// range with an error and keep the previous value.
class Mp3Encoder {
public:
    // VBR methods, as numbered by the component contract.
    static constexpr int kVbrNone = -1;
    static constexpr int kVbrDefault = 0;
    static constexpr int kVbrOld = 1;
    static constexpr int kVbrNew = 2;
    static constexpr int kVbrMtrh = 3;
    static constexpr int kVbrAbr = 4;

    // Channel modes for two channels.
    static constexpr int kModeStereo = 1;
    static constexpr int kModeJointStereo = 2;
    static constexpr int kModeForcedJointStereo = 3;
    static constexpr int kModeDualChannels = 4;

    // Named presets 1 to 11.
    enum Preset { Phone = 1, SW, AM, FM, Voice, Radio, Tape, HiFi, CD, Studio, R3Mix };

    int sampleRate() const { return m_sampleRate; } // output rate, Hz
    Status setSampleRate(int hertz);
    int quality() const { return m_quality; } // 0 (best, slowest) to 9
    Status setQuality(int quality);
    int bitrate() const { return m_bitrate; } // CBR bitrate and VBR minimum, kbit/s
    Status setBitrate(int kbps);
    int maxVbrBitrate() const { return m_maxVbrBitrate; } // kbit/s
    Status setMaxVbrBitrate(int kbps);
    int vbrQuality() const { return m_vbrQuality; } // 0 (best) to 9
    Status setVbrQuality(int quality);
    int vbrMethod() const { return m_vbrMethod; } // kVbrNone to kVbrAbr
    Status setVbrMethod(int method);
    int abrBitrate() const { return m_abrBitrate; } // kbit/s
    Status setAbrBitrate(int kbps);
    int channels() const { return m_channels; } // 1 or 2
    Status setChannels(int channels);
    int channelMode() const { return m_channelMode; } // kModeStereo to kModeDualChannels
    Status setChannelMode(int mode);
    bool writeVbrHeader() const { return m_writeVbrHeader; }
    void setWriteVbrHeader(bool write) { m_writeVbrHeader = write; }
    bool strictMinimum() const { return m_strictMinimum; }
    void setStrictMinimum(bool strict) { m_strictMinimum = strict; }

    // Whether the sample rate can carry the bitrate the encoder would write: the CBR bitrate
    // must be one the MPEG version of that rate lists, the ABR target within its range.
    // Anything else LAME would lower or raise silently. An error says what the rate allows.
    Status checkBitrateForRate() const;

    // Sets the properties a named use needs (1 Phone ... 11 R3Mix), leaving the rest.
    Status applyPreset(int preset);

    bool isVbr() const { return m_vbrMethod != kVbrNone; }
    // The lowest bitrate a VBR or ABR file may use, kbit/s: the bitrate, held to the maximum
    // and, in ABR without a strict minimum, to the target.
    int vbrMinimumBitrate() const;

    friend bool operator==(const Mp3Encoder&, const Mp3Encoder&) = default;

private:
    int m_sampleRate = 44100;
    int m_quality = 5;
    int m_bitrate = 128;
    int m_maxVbrBitrate = 320;
    int m_vbrQuality = 4;
    int m_vbrMethod = kVbrNone;
    int m_abrBitrate = 128;
    int m_channels = 2;
    int m_channelMode = kModeJointStereo;
    bool m_writeVbrHeader = true;
    bool m_strictMinimum = false;
};

} // namespace tunevale
