#pragma once

#include "common/audio/audioreader.h"
#include "common/audio/audiowriter.h"

#include <QString>
#include <QtGlobal>

#include <span>
#include <vector>

namespace tunevale {

// The audio file component: one instance reads (open ... close) or writes
// (create ... close) one file at a time, and keeps each output format's settings.
class AudioFile {
public:
    // Reader role. Lengths and positions in frames; blocks in elements (frames x channels).
    Status open(const QString& path);
    // 0 while a file is open for reading; negative when there is nothing to play.
    int status() const;
    qint64 totalLength() const;
    int sampleRate() const;
    int channels() const;
    // What the open source holds, for output settings that follow it.
    SourceFormat sourceFormat() const { return m_reader.sourceFormat(); }
    // Array elements per frame.
    int frameSize() const;
    // Replaces block with up to elementCount samples; empty at the end of the file.
    Status read(qint64 elementCount, std::vector<qint16>& block);
    // The same in 32-bit samples, for files opened after setWideSamples(true).
    Status read(qint64 elementCount, std::vector<qint32>& block);
    void setWideSamples(bool wide) { m_reader.setWideSamples(wide); }
    Status seek(qint64 frame, qint64& reached);

    // Closes the reader, or completes the writer's file.
    Status close();

    // Writer role.
    Status create(const QString& path);
    // Writes into file, created empty by the caller, for the output at outputPath, which
    // will last about expectedSeconds (0 when unknown).
    Status create(UniqueFd file, const QString& outputPath, double expectedSeconds = 0);
    // The source the next create() converts (see AudioWriter::setSourceFormat).
    void setSourceFormat(const SourceFormat& source) { m_writer.setSourceFormat(source); }
    // See AudioWriter::setSpareCore().
    void setSpareCore(bool spare) { m_writer.setSpareCore(spare); }
    Status setInputFormat(int sampleRate, int channels);
    Status write(std::span<const qint16> samples);
    // See AudioWriter::takesWideSamples().
    bool takesWideSamples() const { return m_writer.takesWideSamples(); }
    Status write(std::span<const qint32> samples);

    // Output settings, kept until changed. Every format's at once, as a conversion gives them:
    // refused whole when one format's part cannot be written.
    Status configure(const OutputSettings& settings);
    // The component's setters of one format each, the others kept.
    Status setMp3Format(int sampleRate, int bitrateKbps, int channels);
    // MP3 output uses a copy of the encoder's parameters from now on; refused, the previous
    // ones kept, when its bitrates do not fit its sample rate.
    Status attachMp3Encoder(const Mp3Encoder& encoder);
    const Mp3Encoder& mp3Encoder() const;
    // Every output format's settings, as the writer would use them now.
    const OutputSettings& outputSettings() const { return m_writer.settings(); }
    bool checkOggFormat(int sampleRate, int channels, int bitrate, int minBitrate,
                        int maxBitrate) const;
    // Bitrates in kbit/s, 0 for no bound; quality is the level times 100, -1 for a bitrate mode.
    Status setOggFormat(int sampleRate, int channels, int bitrate, int minBitrate, int maxBitrate,
                        int quality);
    Status selectWmaProfile(int number);
    Status setWavFormat(int sampleRate, int channels, int bitsPerSample);
    // One line about the format a one-format setter configured last (for WMA the profile's
    // description).
    QString settingsDescription() const;

private:
    Status configureFormat(OutputKind kind, const OutputSettings& settings);

    AudioReader m_reader;
    AudioWriter m_writer;
    OutputKind m_described = OutputKind::Mp3;
};

} // namespace tunevale
