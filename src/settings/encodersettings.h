#pragma once

#include "common/audio/wmaprofiles.h"

#include <QString>

namespace tunevale {

class AudioFile;

// The program-wide record of conversion choices. Lives for one run; never saved.
// The MP3 encoder's own parameters live in the MP3 encoder component, not here.
struct EncoderSettings {
    QString TargetFormat; // "MP3", "OGG", "WAV" or "WMA"
    QString OutputFolder; // ends in a separator
    bool CopyTags = true;
    QString OutputFormatText; // the writer's MP3 description, edited for display

    QString OggFrequencyText; // a caption of the OGG dialog's frequency list
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

    // Stores the writer's current description, edited by editedWriterDescription();
    // a writer that gives no description leaves the text as it was.
    void RefreshOutputFormatText(const AudioFile& writer);

    // Every "kHz" becomes "Hz"; one trailing "; " is dropped.
    static QString editedWriterDescription(QString description);
};

// The writer's output formats at program start: MP3 44100 Hz, 96 kbit/s, stereo, and the
// default WMA profile; OGG and WAV keep the writer's own start formats.
void applyStartupWriterFormat(AudioFile& writer);

} // namespace tunevale
