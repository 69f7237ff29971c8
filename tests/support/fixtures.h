#pragma once

#include "common/audio/pcmformat.h"
#include "common/audio/status.h"
#include "common/safefile.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <initializer_list>
#include <map>
#include <span>
#include <vector>

namespace tunevale {
class Encoder;
enum class OutputKind;
} // namespace tunevale

// Fixture files for tests, made at test time.
namespace tunevale::test {

// A scratch folder removed with the object.
class TempDir {
public:
    TempDir();
    QString path() const { return m_dir.path(); }
    QString file(const QString& name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
};

// A file's bytes; empty when it cannot be read.
QByteArray fileBytes(const QString& path);
// Creates or replaces path with bytes; false when any of them could not be written.
bool writeFileBytes(const QString& path, const QByteArray& bytes);

// Writes 16-bit PCM WAV by hand, independently of the code under test.
bool writePcmWav(const QString& path, std::span<const qint16> samples, int sampleRate,
                 int channels);

// Every output kind, in the table's order: for tests run once per format.
std::vector<OutputKind> everyOutputKind();

// A command's arguments from UTF-8 literals: args({"-c:a", "libvorbis"}).
QStringList args(std::initializer_list<const char*> list);

// Runs the ffmpeg command-line tool quietly with arguments (input and output included).
bool runFfmpeg(const QStringList& arguments);

// A WAV of samples converted by the ffmpeg tool into path, whose extension and the
// extra arguments pick the codec (for example {"-c:a", "wmav1"}).
bool makeWithFfmpeg(const QString& path, std::span<const qint16> samples, int sampleRate,
                    int channels, const QStringList& codecArguments = {});

// Creates path (only when nothing is there) and opens encoder on it, as the writer does.
Status openEncoder(Encoder& encoder, const QString& path);
// Hands samples to consume in whole frames of uneven sizes (1, 777, 4096, 5000 and 12345
// frames in turn), so that a consumer's own blocks straddle the calls. Stops at the first piece
// consume refuses, and says whether all were taken.
bool feedInUnevenPieces(std::span<const qint16> samples, int channels,
                        const std::function<bool(std::span<const qint16>)>& consume);
// Opens encoder on a new file at path, feeds it samples (in its input format) in uneven blocks
// so frames straddle its internal chunks, and finishes the file.
// An open file given is written instead of a new one at path.
Status encodeInBlocks(Encoder& encoder, const QString& path, std::span<const qint16> samples,
                      UniqueFd file = {});

// What a command-line tool printed on its standard output; ok tells whether it ran and
// exited with 0.
QString toolOutput(const QString& program, const QStringList& arguments, bool* ok = nullptr);
// The first audio stream's fields as ffprobe states them ("sample_rate", "channels",
// "duration_ts" ...); empty when ffprobe cannot read the file.
std::map<QString, QString> probeStream(const QString& path);
// The raw PCM the ffmpeg tool decodes path to, in sampleFormat ("s16le", "s32le").
QByteArray ffmpegDecode(const QString& path, const char* sampleFormat);

// A descriptor writing to /dev/full (every write fails for want of space); invalid when the
// system has none.
UniqueFd openFullDevice();

struct Decoded {
    bool ok = false;
    PcmFormat format;
    std::vector<qint16> samples;
    qint64 frames() const { return format.channels ? qint64(samples.size()) / format.channels : 0; }
};

// Every sample of a file, through the reader under test.
Decoded decodeFile(const QString& path);

} // namespace tunevale::test
