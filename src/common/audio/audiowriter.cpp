#include "common/audio/audiowriter.h"

#include "common/audio/outputfile.h"
#include "common/audio/vorbisencoder.h"
#include "common/audio/wavencoder.h"
#include "common/audio/wmaprofiles.h"

namespace tunevale {

AudioWriter::AudioWriter() = default;
AudioWriter::~AudioWriter() = default;

Status AudioWriter::create(const QString& path)
{
    OutputKind kind;
    if (Status status = outputKindForPath(path, kind); !status)
        return status;
    UniqueFd file;
    if (Status status = createOutputFile(path, file); !status)
        return status;
    Status status = create(std::move(file), path);
    if (!status)
        (void)removeFile(path);
    return status;
}

Status AudioWriter::create(UniqueFd file, const QString& outputPath, double expectedSeconds)
{
    if (m_encoder) {
        if (Status status = close(); !status)
            return status;
    }
    OutputKind kind;
    if (Status status = outputKindForPath(outputPath, kind); !status)
        return status;
    auto encoder = createEncoder(kind, m_settings, m_source);
    encoder->setExpectedSeconds(expectedSeconds);
    if (Status status = encoder->open(std::move(file), outputPath); !status)
        return status;
    const PcmFormat output = encoder->inputFormat();
    if (Status status = m_resampler.configure(output, output); !status)
        return status;
    m_encoder = std::move(encoder);
    return {};
}

Status AudioWriter::setInputFormat(PcmFormat input)
{
    if (!m_encoder)
        return Status::error(QStringLiteral("No output file has been created"));
    return m_resampler.configure(input, m_encoder->inputFormat());
}

Status AudioWriter::write(std::span<const qint16> samples)
{
    if (!m_encoder)
        return Status::error(QStringLiteral("No output file has been created"));
    if (m_resampler.isPassThrough())
        return m_encoder->encode(samples);
    if (Status status = m_resampler.convert(samples, m_converted); !status)
        return status;
    return m_encoder->encode(m_converted);
}

Status AudioWriter::close()
{
    if (!m_encoder)
        return {};
    Status status = m_resampler.flush(m_converted);
    if (status && !m_converted.empty())
        status = m_encoder->encode(m_converted);
    Status finished = m_encoder->finish();
    m_encoder.reset();
    return status ? finished : status;
}

void AudioWriter::setMp3Encoder(const Mp3Encoder& encoder)
{
    m_settings.mp3 = encoder;
    m_lastConfigured = OutputKind::Mp3;
}

Status AudioWriter::setOggFormat(const OggFormat& format)
{
    const bool qualityMode = format.quality >= 0;
    if (const QString problem = VorbisEncoder::bitrateRangeProblem(
            format.bitrate, format.minBitrate, format.maxBitrate);
        !qualityMode && !problem.isEmpty())
        return Status::error(QStringLiteral("OGG Vorbis cannot encode with these bitrates: ") +
                             problem);
    if (format.channels < 1 || format.channels > 2 || format.sampleRate <= 0 ||
        (qualityMode && format.quality > 1000) ||
        (!qualityMode && !VorbisEncoder::check(format.sampleRate, format.channels, format.bitrate,
                                               format.minBitrate, format.maxBitrate)))
        return Status::error(
            QStringLiteral("OGG Vorbis cannot encode %1").arg(VorbisEncoder::describe(format)));
    m_settings.ogg = format;
    m_lastConfigured = OutputKind::Ogg;
    return {};
}

Status AudioWriter::selectWmaProfile(int number)
{
    if (!isValidWmaProfile(number))
        return Status::error(QStringLiteral("There is no WMA profile %1; profiles go from 1 to %2")
                                 .arg(number)
                                 .arg(kWmaProfileCount));
    m_settings.wmaProfile = number;
    m_lastConfigured = OutputKind::Wma;
    return {};
}

Status AudioWriter::setWavFormat(const WavFormat& format)
{
    if (format.sampleRate < 1000 || format.sampleRate > 384000 ||
        (format.channels != 1 && format.channels != 2) ||
        (format.bitsPerSample != 8 && format.bitsPerSample != 16))
        return Status::error(
            QStringLiteral("Unsupported WAV format: %1").arg(WavEncoder::describe(format)));
    m_settings.wav = format;
    m_lastConfigured = OutputKind::Wav;
    return {};
}

QString AudioWriter::settingsDescription() const
{
    return describeOutput(m_lastConfigured, m_settings);
}

} // namespace tunevale
