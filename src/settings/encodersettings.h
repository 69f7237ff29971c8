#pragma once

#include "common/codecs/outputformat.h"
#include "convert/loudness.h"
#include "convert/outputnaming.h"
#include "convert/partfile.h"

#include <QString>

#include <array>

namespace tunevale {

class AudioFile;

// A conversion's whole choice: the target format, each format's settings, where outputs go and
// whether tags are copied. A plain value with every start-up default written here or in the
// formats' own settings types: dialogs edit a copy and hand it back, and each conversion
// configures its own writer from it.
struct EncoderSettings {
    OutputKind TargetFormat = OutputKind::Mp3;
    QString OutputFolder;         // ends in a separator
    bool UseOutputFolder = false; // false: each output goes to its source's folder
    bool CopyTags = true;
    LoudnessOptions LoudnessChoice; // ReplayGain tags written
    NamingRules Naming;             // below a chosen output folder
    IfExists IfTaken = IfExists::New;

    // Each output format's settings in its own typed form; the texts dialogs and the summary
    // show are made from these.
    OutputSettings Formats;

    EncoderSettings();

    // Start values of one format's settings.
    void SetOggDefaults();
    void SetWavDefaults();

    // Configures a writer for every output format; an error names the format it refused.
    Status applyTo(AudioFile& writer) const;

    // The MP3 output's description, edited for display.
    QString OutputFormatText() const;
    // One line about the target format's settings, as the conversion dialog shows it.
    QString summary() const;
    // Where the next output goes: OutputFolder when chosen, else empty (the source's folder).
    QString rowOutputFolder() const { return UseOutputFolder ? OutputFolder : QString(); }

    friend bool operator==(const EncoderSettings&, const EncoderSettings&) = default;
};

// The OGG sampling frequencies the OGG dialog offers, Hz.
inline constexpr std::array kOggSampleRates{16000, 22050, 24000, 32000, 44100, 48000};

} // namespace tunevale
