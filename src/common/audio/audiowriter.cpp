#include "common/audio/audiowriter.h"

#include "common/io/outputfile.h"

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
    auto encoder = outputFormat(kind).createEncoder(m_settings, m_source);
    encoder->setExpectedSeconds(expectedSeconds);
    encoder->setSpareCore(m_spareCore);
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

bool AudioWriter::takesWideSamples() const
{
    return m_encoder && m_encoder->inputBits() > 16 && m_resampler.isPassThrough();
}

Status AudioWriter::write(std::span<const qint32> samples)
{
    if (!takesWideSamples())
        return Status::error(QStringLiteral("The output does not take 32-bit samples"));
    return m_encoder->encodeWide(samples);
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

Status AudioWriter::configure(const OutputSettings& settings)
{
    for (const OutputFormat& format : outputFormats()) {
        if (Status status = format.validate(settings); !status)
            return status;
    }
    m_settings = settings;
    return {};
}

} // namespace tunevale
