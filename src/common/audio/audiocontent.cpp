#include "common/audio/audiocontent.h"

#include "common/localfile.h"

#include <QFile>
#include <QFileInfo>

#include <array>
#include <string_view>

namespace tunevale {

namespace {

struct ContentNames {
    AudioContent content;
    const char16_t* typeText;
    // Extensions the content is commonly stored under, the first one its own.
    std::array<const char16_t*, 3> extensions;
};

constexpr std::array<ContentNames, 17> kContents{{
    {AudioContent::Mp3, u"MP3", {u"mp3", nullptr, nullptr}},
    {AudioContent::Wma, u"WMA", {u"wma", u"asf", nullptr}},
    {AudioContent::Wav, u"WAV", {u"wav", u"wave", nullptr}},
    {AudioContent::OggVorbis, u"OGG", {u"ogg", u"oga", nullptr}},
    {AudioContent::Opus, u"OPUS", {u"opus", u"oga", nullptr}},
    {AudioContent::OggFlac, u"OGA", {u"oga", nullptr, nullptr}},
    {AudioContent::Flac, u"FLAC", {u"flac", nullptr, nullptr}},
    {AudioContent::Aac, u"AAC", {u"aac", nullptr, nullptr}},
    {AudioContent::Mp4Aac, u"M4A", {u"m4a", u"mp4", u"m4b"}},
    {AudioContent::Alac, u"ALAC", {u"m4a", u"mp4", nullptr}},
    {AudioContent::Aiff, u"AIFF", {u"aiff", u"aif", u"aifc"}},
    {AudioContent::WebM, u"WEBM", {u"webm", u"mka", nullptr}},
    {AudioContent::Matroska, u"MKA", {u"mka", u"mkv", nullptr}},
    {AudioContent::Caf, u"CAF", {u"caf", nullptr, nullptr}},
    {AudioContent::WavPack, u"WV", {u"wv", nullptr, nullptr}},
    {AudioContent::Ape, u"APE", {u"ape", nullptr, nullptr}},
    {AudioContent::Dsf, u"DSF", {u"dsf", nullptr, nullptr}},
}};

const ContentNames* namesOf(AudioContent content)
{
    for (const ContentNames& names : kContents) {
        if (names.content == content)
            return &names;
    }
    return nullptr;
}

QString extensionOf(const QString& path)
{
    return QFileInfo(path).suffix().toLower();
}

} // namespace

QString contentTypeText(AudioContent content)
{
    const ContentNames* names = namesOf(content);
    return names ? QString::fromUtf16(names->typeText) : QString();
}

AudioContent contentOfExtension(const QString& path)
{
    const QString extension = extensionOf(path);
    for (const ContentNames& names : kContents) {
        if (extension == QStringView(names.extensions[0]))
            return names.content;
    }
    // Shared spellings name the common case.
    if (extension == u"oga")
        return AudioContent::OggVorbis;
    if (extension == u"mp4" || extension == u"m4b")
        return AudioContent::Mp4Aac;
    if (extension == u"aif" || extension == u"aifc")
        return AudioContent::Aiff;
    if (extension == u"mkv")
        return AudioContent::Matroska;
    if (extension == u"asf")
        return AudioContent::Wma;
    if (extension == u"wave")
        return AudioContent::Wav;
    return AudioContent::Unknown;
}

bool extensionFits(const QString& path, AudioContent content)
{
    const ContentNames* names = namesOf(content);
    if (!names)
        return false;
    const QString extension = extensionOf(path);
    for (const char16_t* candidate : names->extensions) {
        if (candidate && extension == QStringView(candidate))
            return true;
    }
    return false;
}

AudioContent contentOfProbe(const char* demuxerName, const char* codecName, const QString& path)
{
    const std::string_view demuxer = demuxerName ? demuxerName : "";
    const std::string_view codec = codecName ? codecName : "";
    if (demuxer == "mp3")
        return AudioContent::Mp3;
    if (demuxer == "asf")
        return AudioContent::Wma;
    if (demuxer == "wav")
        return AudioContent::Wav;
    if (demuxer == "flac")
        return AudioContent::Flac;
    if (demuxer == "aac")
        return AudioContent::Aac;
    if (demuxer == "aiff")
        return AudioContent::Aiff;
    if (demuxer == "caf")
        return AudioContent::Caf;
    if (demuxer == "wv")
        return AudioContent::WavPack;
    if (demuxer == "ape")
        return AudioContent::Ape;
    if (demuxer == "dsf")
        return AudioContent::Dsf;
    if (demuxer == "ogg") {
        if (codec == "vorbis")
            return AudioContent::OggVorbis;
        if (codec == "opus")
            return AudioContent::Opus;
        if (codec == "flac")
            return AudioContent::OggFlac;
        return AudioContent::Unknown;
    }
    if (demuxer.starts_with("mov,mp4")) {
        if (codec == "alac")
            return AudioContent::Alac;
        return codec == "aac" ? AudioContent::Mp4Aac : AudioContent::Unknown;
    }
    if (demuxer.starts_with("matroska")) {
        // The EBML header names its document type near the start.
        QFile file;
        const QByteArray head = openForReading(file, path) ? file.read(64) : QByteArray();
        return head.contains("webm") ? AudioContent::WebM : AudioContent::Matroska;
    }
    return AudioContent::Unknown;
}

} // namespace tunevale
