#include "support/fixtures.h"

#include "common/audio/audioreader.h"
#include "common/codecs/outputformat.h"
#include "common/io/outputfile.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QProcess>

#include <algorithm>

#include <fcntl.h>

namespace tunevale::test {

Status openEncoder(Encoder& encoder, const QString& path)
{
    UniqueFd file;
    if (Status status = createOutputFile(path, file); !status)
        return status;
    Status status = encoder.open(std::move(file), path);
    if (!status)
        QFile::remove(path);
    return status;
}

Status encodeInBlocks(Encoder& encoder, const QString& path, std::span<const qint16> samples,
                      UniqueFd file)
{
    if (Status status =
            file.isValid() ? encoder.open(std::move(file), path) : openEncoder(encoder, path);
        !status)
        return status;
    Status status;
    feedInUnevenPieces(samples, encoder.inputFormat().channels, [&](std::span<const qint16> piece) {
        status = encoder.encode(piece);
        return bool(status);
    });
    return status ? encoder.finish() : status;
}

bool feedInUnevenPieces(std::span<const qint16> samples, int channels,
                        const std::function<bool(std::span<const qint16>)>& consume)
{
    const size_t pieceFrames[] = {1, 777, 4096, 5000, 12345};
    for (size_t piece = 0; !samples.empty(); ++piece) {
        const size_t count = std::min(
            pieceFrames[piece % std::size(pieceFrames)] * size_t(channels), samples.size());
        if (!consume(samples.first(count)))
            return false;
        samples = samples.subspan(count);
    }
    return true;
}

QString toolOutput(const QString& program, const QStringList& arguments, bool* ok)
{
    QProcess tool;
    tool.start(program, arguments);
    const bool ran = tool.waitForFinished(120000) && tool.exitStatus() == QProcess::NormalExit &&
                     tool.exitCode() == 0;
    if (ok)
        *ok = ran;
    return QString::fromUtf8(tool.readAllStandardOutput());
}

std::map<QString, QString> probeStream(const QString& path)
{
    bool ok = false;
    const QString text = toolOutput(QStringLiteral("ffprobe"),
                                    args({"-v", "error", "-select_streams", "a:0", "-show_streams",
                                          "-of", "default=noprint_wrappers=1"}) +
                                        QStringList{path},
                                    &ok);
    std::map<QString, QString> fields;
    for (const QString& line : text.split(u'\n', Qt::SkipEmptyParts))
        fields[line.section(u'=', 0, 0)] = line.section(u'=', 1);
    return ok ? fields : std::map<QString, QString>();
}

QByteArray ffmpegDecode(const QString& path, const char* sampleFormat)
{
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 QStringList{QStringLiteral("-nostdin"), QStringLiteral("-v"),
                             QStringLiteral("error"), QStringLiteral("-i"), path,
                             QStringLiteral("-f"), QLatin1String(sampleFormat),
                             QStringLiteral("-")});
    if (!ffmpeg.waitForFinished(120000) || ffmpeg.exitCode() != 0)
        return {};
    return ffmpeg.readAllStandardOutput();
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFileBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

UniqueFd openFullDevice()
{
    return UniqueFd(::open("/dev/full", O_WRONLY | O_CLOEXEC));
}

TempDir::TempDir()
    : m_dir(QDir::tempPath() + QStringLiteral("/tunevale-test-XXXXXX"))
{}

bool writePcmWav(const QString& path, std::span<const qint16> samples, int sampleRate, int channels)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QDataStream out(&file);
    out.setByteOrder(QDataStream::LittleEndian);
    const auto dataBytes = static_cast<quint32>(samples.size() * 2);
    out.writeRawData("RIFF", 4);
    out << quint32(36 + dataBytes);
    out.writeRawData("WAVEfmt ", 8);
    out << quint32(16) << quint16(1) << quint16(channels) << quint32(sampleRate)
        << quint32(sampleRate * channels * 2) << quint16(channels * 2) << quint16(16);
    out.writeRawData("data", 4);
    out << dataBytes;
    for (const qint16 sample : samples)
        out << sample;
    return out.status() == QDataStream::Ok;
}

std::vector<OutputKind> everyOutputKind()
{
    std::vector<OutputKind> kinds;
    for (const OutputFormat& format : outputFormats())
        kinds.push_back(format.kind);
    return kinds;
}

QStringList args(std::initializer_list<const char*> list)
{
    QStringList result;
    for (const char* item : list)
        result << QString::fromUtf8(item);
    return result;
}

bool runFfmpeg(const QStringList& arguments)
{
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 QStringList{QStringLiteral("-nostdin"), QStringLiteral("-v"),
                             QStringLiteral("error"), QStringLiteral("-y")} +
                     arguments);
    return ffmpeg.waitForFinished(120000) && ffmpeg.exitStatus() == QProcess::NormalExit &&
           ffmpeg.exitCode() == 0;
}

bool makeWithFfmpeg(const QString& path, std::span<const qint16> samples, int sampleRate,
                    int channels, const QStringList& codecArguments)
{
    const QString source = path + QStringLiteral(".source.wav");
    const bool ok =
        writePcmWav(source, samples, sampleRate, channels) &&
        runFfmpeg(QStringList{QStringLiteral("-i"), source} + codecArguments + QStringList{path});
    QFile::remove(source);
    return ok;
}

Decoded decodeFile(const QString& path)
{
    Decoded decoded;
    AudioReader reader;
    if (!reader.open(path))
        return decoded;
    decoded.format = reader.format();
    std::vector<qint16> block;
    for (;;) {
        if (!reader.read(decoded.format.sampleRate * decoded.format.channels, block))
            return decoded;
        if (block.empty())
            break;
        decoded.samples.insert(decoded.samples.end(), block.begin(), block.end());
    }
    decoded.ok = true;
    return decoded;
}

} // namespace tunevale::test
