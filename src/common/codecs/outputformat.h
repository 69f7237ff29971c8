#pragma once

#include "common/audio/status.h"
#include "common/codecs/encoder.h"
#include "common/codecs/flacsettings.h"
#include "common/codecs/m4asettings.h"
#include "common/codecs/mp3encoder.h"
#include "common/codecs/opussettings.h"
#include "common/codecs/vorbisencoder.h"
#include "common/codecs/wavencoder.h"
#include "common/codecs/wmaprofiles.h"

#include <QString>
#include <QStringView>

#include <climits>
#include <memory>
#include <optional>
#include <span>

namespace tunevale {

// The output formats, in the order the program offers them. Each has one row in the table
// below and one in the main window's (app/formatcommands.h).
enum class OutputKind { Mp3, Wma, Ogg, Wav, Flac, Opus, M4a };

// Every output format's settings, each in its format's own typed form. A plain value: the
// settings record holds one, a writer is given one.
struct OutputSettings {
    Mp3Encoder mp3;
    int wmaProfile = kDefaultWmaProfile; // 1 to kWmaProfileCount
    OggFormat ogg;
    WavFormat wav;
    FlacSettings flac;
    OpusSettings opus;
    M4aSettings m4a;

    friend bool operator==(const OutputSettings&, const OutputSettings&) = default;
};

// How one long file of a format may be converted on several threads (see SegmentedTranscode).
enum class Splitting {
    None,             // on one thread only
    JoinedMp3Frames,  // MP3 frames encoded segment by segment, joined at their bit reservoirs
    WavDataInPlace,   // PCM written by each segment straight into its place in the file
    JoinedFlacFrames, // FLAC frames encoded segment by segment, renumbered into one stream
};

// The kind of tags a format's files carry, which decides what of a source's tags they keep.
enum class TagFamily {
    Id3v2,          // MP3
    RiffInfoAndId3, // WAV: a RIFF INFO list and an "id3 " chunk
    Asf,            // WMA
    VorbisComment,  // OGG Vorbis and Opus (a cover as METADATA_BLOCK_PICTURE)
    FlacMetadata,   // FLAC: Vorbis comments and a PICTURE block
    Mp4,            // M4A: iTunes atoms, whose cover (covr) has no description
};

// One command-line option of a format, as `tunevale-cli convert` reads it: a switch, a whole
// number or one word of a list. What it sets is applied to the start-up settings once every
// option has been read.
struct FormatOption {
    struct Choice {
        QStringView word; // as typed, in any case
        int value;        // what apply is given for it
    };

    QStringView name;           // without its dashes: "mp3-bitrate"
    QStringView valueName = {}; // "KBPS" in the help; empty for a switch
    QStringView help;           // one line, or several: the help continues them under the first
    std::span<const Choice> choices = {}; // the words the value may be; empty: a whole number
    int lowest = INT_MIN; // a number outside lowest to highest is refused while reading
    int highest = INT_MAX;
    // Sets the value (1 for a switch). A refusal is the message a user reads.
    Status (*apply)(OutputSettings& settings, int value) = nullptr;
    // Applied before the format's other options, which then refine what it set (a preset).
    bool appliedFirst = false;

    bool isSwitch() const { return valueName.isEmpty(); }
};

// Everything the program knows of one output format apart from its settings dialog.
struct OutputFormat {
    OutputKind kind;
    QStringView caption;   // "MP3": menus, toolbar, the conversion dialog
    QStringView extension; // "mp3", lower case: the outputs' extension and the word --to takes
    QStringView fullName;  // "OGG Vorbis": the headings of the command-line help
    // The start-up settings as the command-line help states them: "44100 Hz, stereo, 16 bit".
    QStringView startSettings;

    // A configured, not yet opened encoder for this format's part of settings. Settings that
    // follow the source (FLAC's, Opus's and M4A's rate, channels and depth) take source's values.
    std::unique_ptr<Encoder> (*createEncoder)(const OutputSettings& settings,
                                              const SourceFormat& source);
    // Whether this format's part of settings can be written; the message says why not.
    Status (*validate)(const OutputSettings& settings);
    // One line about this format's part of settings, as the writer component states it (it may
    // hold "kHz" and end in "; ").
    QString (*describe)(const OutputSettings& settings);
    // The conversion dialog's line about this format's part of settings.
    QString (*summarize)(const OutputSettings& settings);

    Splitting splitting;
    // The batch run lets the decoder run over each source once before converting it.
    bool primingPass;
    TagFamily tags;
    std::span<const FormatOption> options;
};

// The table: one row per output format, in OutputKind's order.
std::span<const OutputFormat> outputFormats();
const OutputFormat& outputFormat(OutputKind kind);

// A format's caption: "MP3", "WMA", "OGG", "WAV", "FLAC", "Opus" or "M4A".
QString formatCaption(OutputKind kind);
// The kind whose extension a name is, in any case ("ogg", "OGG"); nothing for any other text.
std::optional<OutputKind> outputKindNamed(const QString& name);
// The output kind for a path's extension (".mp3", ".wma", ".ogg", ".wav", ".flac", ".opus",
// ".m4a", any case),
// or an error naming the unsupported extension.
Status outputKindForPath(const QString& path, OutputKind& kind);

// Texts made from typed settings for display.
// The writer's description as the program shows it: every "kHz" becomes "Hz" and one trailing
// "; " is dropped.
QString editedWriterDescription(QString description);
// "44,100 Hz": an OGG rate as the OGG dialog lists it, grouped alike in every locale.
QString oggFrequencyCaption(int hertz);

} // namespace tunevale
