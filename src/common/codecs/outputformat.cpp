#include "common/codecs/outputformat.h"

#include "common/codecs/flacencoder.h"
#include "common/codecs/lameencoder.h"
#include "common/codecs/m4aencoder.h"
#include "common/codecs/oggopusencoder.h"
#include "common/codecs/vorbisencoder.h"
#include "common/codecs/wavencoder.h"
#include "common/codecs/wmaencoder.h"
#include "filelist/rowtexts.h"

#include <QFileInfo>
#include <QLocale>
#include <QStringList>

#include <algorithm>
#include <array>

namespace tunevale {

namespace {

QString channelCaption(int channels)
{
    return channels == 1 ? QStringLiteral("Mono") : QStringLiteral("Stereo");
}

// "0.0#": one or two decimals.
QString oneOrTwoDecimals(double value)
{
    QString text = QLocale().toString(value, 'f', 2);
    if (text.endsWith(u'0'))
        text.chop(1);
    return text;
}

// The encoder functions of a row whose settings are the member of OutputSettings named and whose
// encoder is Codec: an Encoder made from those settings, with static validate and describe
// functions over them.
template <auto member, typename Codec> struct CodecFunctions {
    static std::unique_ptr<Encoder> create(const OutputSettings& settings, const SourceFormat&)
    {
        return std::make_unique<Codec>(settings.*member);
    }
    static Status validate(const OutputSettings& settings)
    {
        return Codec::validate(settings.*member);
    }
    static QString describe(const OutputSettings& settings)
    {
        return Codec::describe(settings.*member);
    }
};

using Lame = CodecFunctions<&OutputSettings::mp3, LameEncoder>;
using Wma = CodecFunctions<&OutputSettings::wmaProfile, WmaEncoder>;
using Vorbis = CodecFunctions<&OutputSettings::ogg, VorbisEncoder>;
using Wav = CodecFunctions<&OutputSettings::wav, WavEncoder>;

// The same for settings that check and describe themselves and whose encoder follows the source.
template <auto member, typename Codec> struct SourceFollowingFunctions {
    static std::unique_ptr<Encoder> create(const OutputSettings& settings,
                                           const SourceFormat& source)
    {
        return std::make_unique<Codec>(settings.*member, source);
    }
    static Status validate(const OutputSettings& settings) { return (settings.*member).validate(); }
    static QString describe(const OutputSettings& settings)
    {
        return (settings.*member).describe();
    }
};

using Flac = SourceFollowingFunctions<&OutputSettings::flac, FlacEncoder>;
using Opus = SourceFollowingFunctions<&OutputSettings::opus, OggOpusEncoder>;
using M4a = SourceFollowingFunctions<&OutputSettings::m4a, M4aEncoder>;

// Option setters: a value given to a setter of the MP3 settings component, or stored in a field.
template <auto setter> Status setMp3(OutputSettings& settings, int value)
{
    return (settings.mp3.*setter)(value);
}

template <auto format, auto field> Status assign(OutputSettings& settings, int value)
{
    (settings.*format).*field = value;
    return {};
}

// ---- MP3 ----

QString summarizeMp3(const OutputSettings& settings)
{
    const QString text = editedWriterDescription(LameEncoder::describe(settings.mp3));
    return settings.mp3.isVbr() ? text + QStringLiteral(" VBR") : text;
}

Status setMp3Mono(OutputSettings& settings, int)
{
    return settings.mp3.setChannels(1);
}

constexpr FormatOption::Choice kMp3VbrMethods[] = {
    {u"none", Mp3Encoder::kVbrNone}, {u"default", Mp3Encoder::kVbrDefault},
    {u"old", Mp3Encoder::kVbrOld},   {u"new", Mp3Encoder::kVbrNew},
    {u"mtrh", Mp3Encoder::kVbrMtrh}, {u"abr", Mp3Encoder::kVbrAbr}};
constexpr FormatOption::Choice kMp3Presets[] = {
    {u"phone", Mp3Encoder::Phone},   {u"sw", Mp3Encoder::SW},       {u"am", Mp3Encoder::AM},
    {u"fm", Mp3Encoder::FM},         {u"voice", Mp3Encoder::Voice}, {u"radio", Mp3Encoder::Radio},
    {u"tape", Mp3Encoder::Tape},     {u"hifi", Mp3Encoder::HiFi},   {u"cd", Mp3Encoder::CD},
    {u"studio", Mp3Encoder::Studio}, {u"r3mix", Mp3Encoder::R3Mix}};

constexpr FormatOption kMp3Options[] = {
    {.name = u"mp3-bitrate",
     .valueName = u"KBPS",
     .help = u"CBR bitrate and VBR minimum",
     .apply = setMp3<&Mp3Encoder::setBitrate>},
    {.name = u"mp3-vbr",
     .valueName = u"METHOD",
     .help = u"none, default, old, new, mtrh or abr",
     .choices = kMp3VbrMethods,
     .apply = setMp3<&Mp3Encoder::setVbrMethod>},
    {.name = u"mp3-vbr-quality",
     .valueName = u"0-9",
     .help = u"0 is best",
     .apply = setMp3<&Mp3Encoder::setVbrQuality>},
    {.name = u"mp3-abr-bitrate",
     .valueName = u"KBPS",
     .help = u"average bitrate for abr",
     .apply = setMp3<&Mp3Encoder::setAbrBitrate>},
    {.name = u"mp3-preset",
     .valueName = u"NAME",
     .help = u"phone, sw, am, fm, voice, radio, tape, hifi, cd, studio,\n"
             u"r3mix (the other MP3 options apply after it)",
     .choices = kMp3Presets,
     .apply = setMp3<&Mp3Encoder::applyPreset>,
     .appliedFirst = true},
    {.name = u"mp3-rate",
     .valueName = u"HZ",
     .help = u"output sample rate",
     .apply = setMp3<&Mp3Encoder::setSampleRate>},
    {.name = u"mp3-mono", .help = u"one channel", .apply = setMp3Mono},
};

// ---- WMA ----

Status setWmaProfile(OutputSettings& settings, int profile)
{
    settings.wmaProfile = profile;
    return {};
}

constexpr FormatOption kWmaOptions[] = {
    {.name = u"wma-profile",
     .valueName = u"1-47",
     .help = u"encoding profile",
     .apply = setWmaProfile},
};

// ---- OGG Vorbis ----

QString summarizeOgg(const OutputSettings& settings)
{
    const OggFormat& ogg = settings.ogg;
    const QString caption = formatCaption(OutputKind::Ogg) + u' ' +
                            oggFrequencyCaption(ogg.sampleRate) + QStringLiteral("; ") +
                            channelCaption(ogg.channels) + QStringLiteral("; ");
    if (ogg.qualityMode)
        return caption + QStringLiteral("Quality - ") + oneOrTwoDecimals(ogg.quality / 100.0);
    if (ogg.managed)
        return caption + QStringLiteral("%1-%2Kbps VBR").arg(ogg.minBitrate).arg(ogg.maxBitrate);
    return caption + QStringLiteral("%1 Kbps").arg(ogg.bitrate);
}

// A bound given on the command line turns managed mode on with no other bound than those given.
template <auto bound> Status setOggBound(OutputSettings& settings, int kbps)
{
    OggFormat& ogg = settings.ogg;
    if (!ogg.managed) {
        ogg.managed = true;
        ogg.minBitrate = 0;
        ogg.maxBitrate = 0;
    }
    ogg.*bound = kbps;
    return {};
}

Status setOggQuality(OutputSettings& settings, int level)
{
    settings.ogg.quality = level * 100;
    settings.ogg.qualityMode = true;
    return {};
}

Status setOggMono(OutputSettings& settings, int)
{
    settings.ogg.channels = 1;
    return {};
}

constexpr FormatOption kOggOptions[] = {
    {.name = u"ogg-bitrate",
     .valueName = u"KBPS",
     .help = u"nominal bitrate",
     .apply = assign<&OutputSettings::ogg, &OggFormat::bitrate>},
    {.name = u"ogg-min",
     .valueName = u"KBPS",
     .help = u"managed minimum bitrate",
     .apply = setOggBound<&OggFormat::minBitrate>},
    {.name = u"ogg-max",
     .valueName = u"KBPS",
     .help = u"managed maximum bitrate",
     .apply = setOggBound<&OggFormat::maxBitrate>},
    {.name = u"ogg-quality",
     .valueName = u"1-10",
     .help = u"quality level instead of a bitrate",
     .lowest = 1,
     .highest = 10,
     .apply = setOggQuality},
    {.name = u"ogg-rate",
     .valueName = u"HZ",
     .help = u"output sample rate",
     .apply = assign<&OutputSettings::ogg, &OggFormat::sampleRate>},
    {.name = u"ogg-mono", .help = u"one channel", .apply = setOggMono},
};

// ---- WAV ----

QString summarizeWav(const OutputSettings& settings)
{
    const WavFormat& wav = settings.wav;
    return formatCaption(OutputKind::Wav) + u' ' + groupedNumber(wav.sampleRate) +
           QStringLiteral(" Hz; ") + channelCaption(wav.channels) + QStringLiteral("; ") +
           QString::number(wav.bitsPerSample) + QStringLiteral(" bit");
}

constexpr FormatOption::Choice kWavChannels[] = {{u"1", 1}, {u"2", 2}};
constexpr FormatOption::Choice kWavBits[] = {{u"8", 8}, {u"16", 16}};

constexpr FormatOption kWavOptions[] = {
    {.name = u"wav-rate",
     .valueName = u"HZ",
     .help = u"sample rate",
     .apply = assign<&OutputSettings::wav, &WavFormat::sampleRate>},
    {.name = u"wav-channels",
     .valueName = u"1|2",
     .help = u"channels",
     .choices = kWavChannels,
     .apply = assign<&OutputSettings::wav, &WavFormat::channels>},
    {.name = u"wav-bits",
     .valueName = u"8|16",
     .help = u"bits per sample",
     .choices = kWavBits,
     .apply = assign<&OutputSettings::wav, &WavFormat::bitsPerSample>},
};

// ---- FLAC ----

Status setFlacVerify(OutputSettings& settings, int)
{
    settings.flac.verify = true;
    return {};
}

constexpr FormatOption::Choice kFlacBits[] = {{u"16", 16}, {u"24", 24}};

constexpr FormatOption kFlacOptions[] = {
    {.name = u"flac-level",
     .valueName = u"0-8",
     .help = u"compression level, 8 is smallest",
     .lowest = 0,
     .highest = 8,
     .apply = assign<&OutputSettings::flac, &FlacSettings::compressionLevel>},
    {.name = u"flac-rate",
     .valueName = u"HZ",
     .help = u"sample rate (default: the source's)",
     .apply = assign<&OutputSettings::flac, &FlacSettings::sampleRate>},
    {.name = u"flac-channels",
     .valueName = u"1-8",
     .help = u"channels (default: the source's)",
     .lowest = 1,
     .highest = 8,
     .apply = assign<&OutputSettings::flac, &FlacSettings::channels>},
    {.name = u"flac-bits",
     .valueName = u"16|24",
     .help = u"bits per sample (default: the source's)",
     .choices = kFlacBits,
     .apply = assign<&OutputSettings::flac, &FlacSettings::bitsPerSample>},
    {.name = u"flac-verify",
     .help = u"decode every frame again and compare",
     .apply = setFlacVerify},
};

// ---- Opus ----

Status setOpusMode(OutputSettings& settings, int mode)
{
    settings.opus.rateControl = OpusRateControl(mode);
    return {};
}

Status setOpusTuning(OutputSettings& settings, int tuning)
{
    settings.opus.tuning = OpusTuning(tuning);
    return {};
}

constexpr FormatOption::Choice kOpusModes[] = {{u"vbr", int(OpusRateControl::Vbr)},
                                               {u"cvbr", int(OpusRateControl::ConstrainedVbr)},
                                               {u"cbr", int(OpusRateControl::Cbr)}};
constexpr FormatOption::Choice kOpusTunings[] = {{u"auto", int(OpusTuning::Auto)},
                                                 {u"music", int(OpusTuning::Music)},
                                                 {u"speech", int(OpusTuning::Speech)}};
constexpr FormatOption::Choice kStereoChannels[] = {{u"1", 1}, {u"2", 2}};

constexpr FormatOption kOpusOptions[] = {
    {.name = u"opus-bitrate",
     .valueName = u"KBPS",
     .help = u"bitrate of all channels together, 6 to 510",
     .lowest = 6,
     .highest = 510,
     .apply = assign<&OutputSettings::opus, &OpusSettings::bitrate>},
    {.name = u"opus-mode",
     .valueName = u"MODE",
     .help = u"vbr, cvbr (constrained) or cbr",
     .choices = kOpusModes,
     .apply = setOpusMode},
    {.name = u"opus-complexity",
     .valueName = u"0-10",
     .help = u"10 is best",
     .lowest = 0,
     .highest = 10,
     .apply = assign<&OutputSettings::opus, &OpusSettings::complexity>},
    {.name = u"opus-tuning",
     .valueName = u"KIND",
     .help = u"auto, music or speech",
     .choices = kOpusTunings,
     .apply = setOpusTuning},
    {.name = u"opus-channels",
     .valueName = u"1|2",
     .help = u"channels (default: the source's, at most 2)",
     .choices = kStereoChannels,
     .apply = assign<&OutputSettings::opus, &OpusSettings::channels>},
};

// ---- M4A ----

constexpr FormatOption kM4aOptions[] = {
    {.name = u"m4a-bitrate",
     .valueName = u"KBPS",
     .help = u"average bitrate of all channels together, 16 to 512",
     .lowest = 16,
     .highest = 512,
     .apply = assign<&OutputSettings::m4a, &M4aSettings::bitrate>},
    {.name = u"m4a-rate",
     .valueName = u"HZ",
     .help = u"sample rate (default: the source's)",
     .apply = assign<&OutputSettings::m4a, &M4aSettings::sampleRate>},
    {.name = u"m4a-channels",
     .valueName = u"1|2",
     .help = u"channels (default: the source's, at most 2)",
     .choices = kStereoChannels,
     .apply = assign<&OutputSettings::m4a, &M4aSettings::channels>},
};

// ---- The table ----

constexpr OutputFormat kFormats[] = {
    {.kind = OutputKind::Mp3,
     .caption = u"MP3",
     .extension = u"mp3",
     .fullName = u"MP3",
     .startSettings = u"44100 Hz, 96 kbit/s, stereo",
     .createEncoder = Lame::create,
     .validate = Lame::validate,
     .describe = Lame::describe,
     .summarize = summarizeMp3,
     .splitting = Splitting::JoinedMp3Frames,
     .primingPass = false,
     .tags = TagFamily::Id3v2,
     .options = kMp3Options},
    {.kind = OutputKind::Wma,
     .caption = u"WMA",
     .extension = u"wma",
     .fullName = u"WMA",
     .startSettings = u"profile 14",
     .createEncoder = Wma::create,
     .validate = Wma::validate,
     .describe = Wma::describe,
     .summarize = Wma::describe,
     // Its seeking is not sample-exact, so segments would not meet.
     .splitting = Splitting::None,
     .primingPass = true,
     .tags = TagFamily::Asf,
     .options = kWmaOptions},
    {.kind = OutputKind::Ogg,
     .caption = u"OGG",
     .extension = u"ogg",
     .fullName = u"OGG Vorbis",
     .startSettings = u"44100 Hz, stereo, 128 kbit/s nominal",
     .createEncoder = Vorbis::create,
     .validate = Vorbis::validate,
     .describe = Vorbis::describe,
     .summarize = summarizeOgg,
     .splitting = Splitting::None,
     .primingPass = false,
     .tags = TagFamily::VorbisComment,
     .options = kOggOptions},
    {.kind = OutputKind::Wav,
     .caption = u"WAV",
     .extension = u"wav",
     .fullName = u"WAV",
     .startSettings = u"44100 Hz, stereo, 16 bit",
     .createEncoder = Wav::create,
     .validate = Wav::validate,
     .describe = Wav::describe,
     .summarize = summarizeWav,
     .splitting = Splitting::WavDataInPlace,
     .primingPass = false,
     .tags = TagFamily::RiffInfoAndId3,
     .options = kWavOptions},
    {.kind = OutputKind::Flac,
     .caption = u"FLAC",
     .extension = u"flac",
     .fullName = u"FLAC",
     .startSettings = u"level 5, the source's rate, channels and depth",
     .createEncoder = Flac::create,
     .validate = Flac::validate,
     .describe = Flac::describe,
     .summarize = Flac::describe,
     .splitting = Splitting::JoinedFlacFrames,
     .primingPass = false,
     .tags = TagFamily::FlacMetadata,
     .options = kFlacOptions},
    {.kind = OutputKind::Opus,
     .caption = u"Opus",
     .extension = u"opus",
     .fullName = u"Opus",
     .startSettings = u"128 kbit/s VBR",
     .createEncoder = Opus::create,
     .validate = Opus::validate,
     .describe = Opus::describe,
     .summarize = Opus::describe,
     .splitting = Splitting::None,
     .primingPass = false,
     .tags = TagFamily::VorbisComment,
     .options = kOpusOptions},
    {.kind = OutputKind::M4a,
     .caption = u"M4A",
     .extension = u"m4a",
     .fullName = u"AAC in M4A",
     .startSettings = u"AAC 128 kbit/s, the source's rate and channels",
     .createEncoder = M4a::create,
     .validate = M4a::validate,
     .describe = M4a::describe,
     .summarize = M4a::describe,
     .splitting = Splitting::None,
     .primingPass = false,
     .tags = TagFamily::Mp4,
     .options = kM4aOptions},
};

constexpr bool rowsFollowTheKinds()
{
    for (std::size_t index = 0; index < std::size(kFormats); ++index) {
        if (kFormats[index].kind != OutputKind(index))
            return false;
    }
    return true;
}
static_assert(rowsFollowTheKinds(), "one row per OutputKind, in its order");

} // namespace

std::span<const OutputFormat> outputFormats()
{
    return kFormats;
}

const OutputFormat& outputFormat(OutputKind kind)
{
    return kFormats[std::size_t(kind)];
}

QString formatCaption(OutputKind kind)
{
    return outputFormat(kind).caption.toString();
}

std::optional<OutputKind> outputKindNamed(const QString& name)
{
    for (const OutputFormat& format : kFormats) {
        if (name.compare(format.extension, Qt::CaseInsensitive) == 0)
            return format.kind;
    }
    return std::nullopt;
}

Status outputKindForPath(const QString& path, OutputKind& kind)
{
    const QString extension = QFileInfo(path).suffix();
    const std::optional<OutputKind> named = outputKindNamed(extension);
    if (named) {
        kind = *named;
        return {};
    }
    QStringList known;
    for (const OutputFormat& format : kFormats)
        known << u'.' + format.extension.toString();
    const QString last = known.takeLast();
    return Status::error(QStringLiteral("Unsupported output type \"%1\": use %2 or %3")
                             .arg(extension.toLower(), known.join(QStringLiteral(", ")), last));
}

QString editedWriterDescription(QString description)
{
    description.replace(QStringLiteral("kHz"), QStringLiteral("Hz"), Qt::CaseSensitive);
    if (description.endsWith(u"; "))
        description.chop(2);
    return description;
}

QString oggFrequencyCaption(int hertz)
{
    return groupedNumber(hertz, QLocale(QLocale::English)) + QStringLiteral(" Hz");
}

} // namespace tunevale
