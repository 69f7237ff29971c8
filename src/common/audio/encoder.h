#pragma once

#include "common/audio/flacsettings.h"
#include "common/audio/m4asettings.h"
#include "common/audio/mp3encoder.h"
#include "common/audio/opussettings.h"
#include "common/audio/pcmformat.h"
#include "common/audio/status.h"
#include "common/audio/wmaprofiles.h"
#include "common/safefile.h"

#include <QString>
#include <QtGlobal>

#include <array>
#include <memory>
#include <optional>
#include <span>

namespace tunevale {

// OGG Vorbis output. Bitrates in kbit/s; minimum and maximum 0 mean "not managed".
// quality is the level times 100 (100 to 1000), or -1 when a bitrate mode applies.
struct OggFormat {
    int sampleRate = 44100;
    int channels = 2;
    int bitrate = 128;
    int minBitrate = 0;
    int maxBitrate = 0;
    int quality = -1;
};

struct WavFormat {
    int sampleRate = 44100;
    int channels = 2;       // 1 or 2
    int bitsPerSample = 16; // 8 or 16
};

// Everything a writer needs to pick and configure an encoder by the output's extension.
struct OutputSettings {
    Mp3Encoder mp3;
    OggFormat ogg;
    int wmaProfile = kDefaultWmaProfile;
    WavFormat wav;
    FlacSettings flac;
    OpusSettings opus;
    M4aSettings m4a;
};

// One output format's encoder, writing one file. Each instance is independent, so
// several may run on different threads.
class Encoder {
public:
    virtual ~Encoder() = default;

    // The PCM layout encode() takes; the writer converts its input to it.
    virtual PcmFormat inputFormat() const = 0;
    // How long the output will be, as the source states it (0 when unknown), told before
    // open(): a format whose header depends on the length lays it out for it.
    virtual void setExpectedSeconds(double seconds) { (void)seconds; }
    // Takes over file, created empty by the caller, and writes what precedes the audio.
    // Messages name outputPath, the name the file is written for.
    virtual Status open(UniqueFd file, const QString& outputPath) = 0;
    // Encodes whole frames of interleaved samples in inputFormat().
    virtual Status encode(std::span<const qint16> samples) = 0;
    // Flushes the codec, writes trailers and closes the file; the file is complete after it.
    virtual Status finish() = 0;
};

// An error naming codec and outputPath when sampleCount interleaved samples are not whole
// frames of channels; success otherwise. The encoders' common input check.
Status checkWholeFrames(const char* codec, const QString& outputPath, size_t sampleCount,
                        int channels);

enum class OutputKind { Mp3, Wma, Ogg, Wav, Flac, Opus, M4a };
inline constexpr std::array kOutputKinds{OutputKind::Mp3, OutputKind::Wma,  OutputKind::Ogg,
                                         OutputKind::Wav, OutputKind::Flac, OutputKind::Opus,
                                         OutputKind::M4a};

// A format's name as captions show it: "MP3", "WMA", "OGG", "WAV", "FLAC", "Opus" or "M4A".
QString formatCaption(OutputKind kind);
// The kind a name stands for, in any case ("ogg" too); nothing for any other text.
std::optional<OutputKind> outputKindNamed(const QString& name);

// The output kind for a path's extension (".mp3", ".wma", ".ogg", ".wav", ".flac", ".opus",
// ".m4a", any case),
// or an error naming the unsupported extension.
Status outputKindForPath(const QString& path, OutputKind& kind);

// A configured, not yet opened encoder for the given kind. Settings that follow the source
// (FLAC's, Opus's and M4A's rate and channels) take source's values.
std::unique_ptr<Encoder> createEncoder(OutputKind kind, const OutputSettings& settings,
                                       const SourceFormat& source = {});

// One-line description of the settings a kind would be written with.
QString describeOutput(OutputKind kind, const OutputSettings& settings);

} // namespace tunevale
