// Times one conversion through the transcode pipeline and reports its peak memory.
// Usage: transcode_bench mp3|ogg|wma|wav SOURCE OUTPUT
//   mp3: 44100 Hz stereo CBR 128 kbit/s; ogg: 44100 Hz stereo 128 kbit/s;
//   wma: the default profile; wav: 44100 Hz stereo 16 bit.
// Prints "seconds=<wall time> peak_kib=<peak resident memory>".

#include "common/audio/audiofile.h"
#include "convert/transcoder.h"
#include "settings/encodersettings.h"

#include <QFile>
#include <QTextStream>

#include <chrono>
#include <cstdio>

using namespace tunevale;

namespace {

// Peak resident set size of this process, from the kernel's own record.
long peakResidentKib()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

Status configure(AudioFile& writer, const QString& kind)
{
    if (!outputKindNamed(kind))
        return Status::error(QStringLiteral("unknown kind %1").arg(kind));
    // The start-up settings, but MP3 at 128 kbit/s as the other tools are run.
    EncoderSettings settings;
    (void)settings.Formats.mp3.setBitrate(128);
    return settings.applyTo(writer);
}

} // namespace

int main(int argc, char* argv[])
{
    QTextStream err(stderr);
    if (argc != 4) {
        err << "Usage: transcode_bench mp3|ogg|wma|wav SOURCE OUTPUT\n";
        return 2;
    }
    const QString kind = QString::fromLocal8Bit(argv[1]);
    const QString source = QString::fromLocal8Bit(argv[2]);
    const QString output = QString::fromLocal8Bit(argv[3]);

    AudioFile reader;
    AudioFile writer;
    if (Status status = configure(writer, kind); !status) {
        err << status.message() << "\n";
        return 1;
    }
    Transcoder transcoder(reader, writer);
    const auto start = std::chrono::steady_clock::now();
    const Status status = transcoder.transcodeFile(source, output);
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    if (!status) {
        err << status.message() << "\n";
        return 1;
    }
    std::printf("seconds=%.3f peak_kib=%ld\n", elapsed.count(), peakResidentKib());
    return 0;
}
