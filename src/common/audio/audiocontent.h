#pragma once

#include <QString>

namespace tunevale {

// What a file holds, found from its bytes rather than from its name.
enum class AudioContent {
    Unknown,
    Mp3,
    Wma,
    Wav,
    OggVorbis,
    Opus,
    OggFlac,
    Flac,
    Aac, // raw ADTS stream
    Mp4Aac,
    Alac,
    Aiff,
    WebM,
    Matroska,
    Caf,
    WavPack,
    Ape, // Monkey's Audio
    Dsf, // DSD stream file
};

// The file list's Type text: "MP3", "WMA", "WAV", "OGG", "OPUS", "OGA" (Ogg FLAC), "FLAC",
// "AAC", "M4A", "ALAC", "AIFF", "WEBM", "MKA", "CAF", "WV", "APE", "DSF"; empty for Unknown.
QString contentTypeText(AudioContent content);

// The content a file name's extension announces (any case); Unknown for other names.
AudioContent contentOfExtension(const QString& path);

// True when path's extension is one that content is commonly stored under.
bool extensionFits(const QString& path, AudioContent content);

// The content FFmpeg's probe of the file at path found: its demuxer's name and the audio
// stream's codec name (avcodec_get_name). Matroska files are read again to tell WebM apart.
AudioContent contentOfProbe(const char* demuxerName, const char* codecName, const QString& path);

} // namespace tunevale
