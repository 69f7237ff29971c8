#include "common/audio/audiofile.h"

#include "common/codecs/vorbisencoder.h"

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

Status AudioFile::read(qint64 elementCount, std::vector<qint32>& block)
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

Status AudioFile::write(std::span<const qint32> samples)
{
    return m_writer.write(samples);
}

Status AudioFile::configure(const OutputSettings& settings)
{
    return m_writer.configure(settings);
}

Status AudioFile::configureFormat(OutputKind kind, const OutputSettings& settings)
{
    if (Status status = m_writer.configure(settings); !status)
        return status;
    m_described = kind;
    return {};
}

Status AudioFile::setMp3Format(int sampleRate, int bitrateKbps, int channels)
{
    OutputSettings settings = m_writer.settings();
    Mp3Encoder& encoder = settings.mp3;
    if (Status status = encoder.setSampleRate(sampleRate); !status)
        return status;
    if (Status status = encoder.setBitrate(bitrateKbps); !status)
        return status;
    if (Status status = encoder.setChannels(channels); !status)
        return status;
    return configureFormat(OutputKind::Mp3, settings);
}

Status AudioFile::attachMp3Encoder(const Mp3Encoder& encoder)
{
    OutputSettings settings = m_writer.settings();
    settings.mp3 = encoder;
    return configureFormat(OutputKind::Mp3, settings);
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
    OutputSettings settings = m_writer.settings();
    OggFormat& ogg = settings.ogg;
    ogg.sampleRate = sampleRate;
    ogg.channels = channels;
    ogg.bitrate = bitrate;
    ogg.minBitrate = minBitrate;
    ogg.maxBitrate = maxBitrate;
    ogg.managed = minBitrate > 0 || maxBitrate > 0;
    ogg.qualityMode = quality >= 0;
    if (ogg.qualityMode)
        ogg.quality = quality;
    return configureFormat(OutputKind::Ogg, settings);
}

Status AudioFile::selectWmaProfile(int number)
{
    OutputSettings settings = m_writer.settings();
    settings.wmaProfile = number;
    return configureFormat(OutputKind::Wma, settings);
}

Status AudioFile::setWavFormat(int sampleRate, int channels, int bitsPerSample)
{
    OutputSettings settings = m_writer.settings();
    settings.wav = {sampleRate, channels, bitsPerSample};
    return configureFormat(OutputKind::Wav, settings);
}

QString AudioFile::settingsDescription() const
{
    return outputFormat(m_described).describe(m_writer.settings());
}

} // namespace tunevale
