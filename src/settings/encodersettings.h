#pragma once

#include "common/audio/encoder.h"
#include "common/audio/mp3encoder.h"
#include "common/audio/wmaprofiles.h"

#include <QString>

#include <array>

namespace tunevale {

class AudioFile;

// A conversion's whole choice: the target format, each format's settings, where outputs go and
// whether tags are copied. A plain value with every start-up default written here: dialogs edit
// a copy and hand it back, and each conversion configures its own writer from it.
struct EncoderSettings {
    OutputKind TargetFormat = OutputKind::Mp3;
    QString OutputFolder;         // ends in a separator
    bool UseOutputFolder = false; // false: each output goes to its source's folder
    bool CopyTags = true;

    Mp3Encoder Mp3; // the MP3 encoder's parameters

    QString OggFrequencyText; // oggFrequencyCaption() of the rate
    QString OggChannelText;   // "Mono" or "Stereo"
    int OggBitrate = 0;       // kbit/s
    int OggMinBitrate = 0;
    int OggMaxBitrate = 0;
    int OggQuality = 0; // level x 100
    bool OggVbrEnabled = false;
    bool OggQualityEnabled = false;

    int WavSampleRate = 0; // Hz
    int WavChannels = 0;
    int WavBitsPerSample = 0;

    int WmaProfileIndex = kDefaultWmaProfile;

    EncoderSettings();

    // Start values of the OGG fields: text fields first, then numbers and switches.
    void SetOggDefaults();
    void SetWavDefaults();

    // The OGG format these fields choose: quality mode before managed bitrates before a
    // constant bitrate.
    OggFormat oggFormat() const;
    // What a writer is given for every output format.
    OutputSettings outputSettings() const;
    // Configures a writer for every output format; an error names the format it refused.
    Status applyTo(AudioFile& writer) const;

    // The MP3 output's description, edited for display.
    QString OutputFormatText() const;
    // One line about the target format's settings, as the conversion dialog shows it.
    QString summary() const;
    // Where the next output goes: OutputFolder when chosen, else empty (the source's folder).
    QString rowOutputFolder() const { return UseOutputFolder ? OutputFolder : QString(); }

    // Every "kHz" becomes "Hz"; one trailing "; " is dropped.
    static QString editedWriterDescription(QString description);
    // "44,100 Hz": an OGG rate as the OGG dialog lists it, grouped alike in every locale.
    static QString oggFrequencyCaption(int hertz);

    friend bool operator==(const EncoderSettings&, const EncoderSettings&) = default;
};

// The OGG sampling frequencies the OGG dialog offers, Hz.
inline constexpr std::array kOggSampleRates{16000, 22050, 24000, 32000, 44100, 48000};

} // namespace tunevale
