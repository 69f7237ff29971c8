#include "common/audio/audiofile.h"

#include "common/audio/vorbisencoder.h"

namespace tunevale {

Status AudioFile::open(const QString& path)
{
    return m_reader.open(path);
}

int AudioFile::status() const
{
    return m_reader.isOpen() ? 0 : -1;
}

qint64 AudioFile::totalLength() const
{
    return m_reader.totalFrames();
}

int AudioFile::sampleRate() const
{
    return m_reader.format().sampleRate;
}

int AudioFile::channels() const
{
    return m_reader.format().channels;
}

int AudioFile::frameSize() const
{
    return channels();
}

Status AudioFile::read(qint64 elementCount, std::vector<qint16>& block)
{
    return m_reader.read(elementCount, block);
}

Status AudioFile::seek(qint64 frame, qint64& reached)
{
    return m_reader.seek(frame, reached);
}

Status AudioFile::close()
{
    m_reader.close();
    return m_writer.close();
}

Status AudioFile::create(const QString& path)
{
    return m_writer.create(path);
}

Status AudioFile::create(UniqueFd file, const QString& outputPath, double expectedSeconds)
{
    return m_writer.create(std::move(file), outputPath, expectedSeconds);
}

Status AudioFile::setInputFormat(int sampleRate, int channels)
{
    return m_writer.setInputFormat({sampleRate, channels});
}

Status AudioFile::write(std::span<const qint16> samples)
{
    return m_writer.write(samples);
}

Status AudioFile::setMp3Format(int sampleRate, int bitrateKbps, int channels)
{
    Mp3Encoder encoder = m_writer.settings().mp3;
    if (Status status = encoder.setSampleRate(sampleRate); !status)
        return status;
    if (Status status = encoder.setBitrate(bitrateKbps); !status)
        return status;
    if (Status status = encoder.setChannels(channels); !status)
        return status;
    m_writer.setMp3Encoder(encoder);
    return {};
}

void AudioFile::attachMp3Encoder(const Mp3Encoder& encoder)
{
    m_writer.setMp3Encoder(encoder);
}

const Mp3Encoder& AudioFile::mp3Encoder() const
{
    return m_writer.settings().mp3;
}

bool AudioFile::checkOggFormat(int sampleRate, int channels, int bitrate, int minBitrate,
                               int maxBitrate) const
{
    return VorbisEncoder::check(sampleRate, channels, bitrate, minBitrate, maxBitrate);
}

Status AudioFile::setOggFormat(int sampleRate, int channels, int bitrate, int minBitrate,
                               int maxBitrate, int quality)
{
    return m_writer.setOggFormat({sampleRate, channels, bitrate, minBitrate, maxBitrate, quality});
}

Status AudioFile::selectWmaProfile(int number)
{
    return m_writer.selectWmaProfile(number);
}

Status AudioFile::setWavFormat(int sampleRate, int channels, int bitsPerSample)
{
    return m_writer.setWavFormat({sampleRate, channels, bitsPerSample});
}

QString AudioFile::settingsDescription() const
{
    return m_writer.settingsDescription();
}

} // namespace tunevale
