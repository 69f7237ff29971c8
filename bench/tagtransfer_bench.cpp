// Tag transfer per file: reading every tag of a source and writing them into an output, for
// each target format, with files that hold no picture. Plain timers; run by hand.
//   tagtransfer_bench [rounds, default 200]

#include "common/audio/audioinformation.h"
#include "convert/tagtransfer.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

namespace {

using namespace tunevale;

bool ffmpegTone(const QString& target, const QStringList& extra)
{
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 QStringList{QStringLiteral("-nostdin"), QStringLiteral("-v"),
                             QStringLiteral("error"), QStringLiteral("-y"), QStringLiteral("-f"),
                             QStringLiteral("lavfi"), QStringLiteral("-i"),
                             QStringLiteral("sine=frequency=440:duration=1")} +
                     extra + QStringList{target});
    return ffmpeg.waitForFinished(60000) && ffmpeg.exitCode() == 0;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    const int rounds = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 200;
    QTemporaryDir folder;
    const QString source = folder.filePath(QStringLiteral("source.mp3"));
    const QStringList tags{QStringLiteral("-metadata"), QStringLiteral("title=Title"),
                           QStringLiteral("-metadata"), QStringLiteral("artist=Artist"),
                           QStringLiteral("-metadata"), QStringLiteral("album=Album"),
                           QStringLiteral("-metadata"), QStringLiteral("album_artist=Various"),
                           QStringLiteral("-metadata"), QStringLiteral("composer=Composer"),
                           QStringLiteral("-metadata"), QStringLiteral("date=2001-05-06"),
                           QStringLiteral("-metadata"), QStringLiteral("genre=Synthwave"),
                           QStringLiteral("-metadata"), QStringLiteral("track=3/12"),
                           QStringLiteral("-metadata"), QStringLiteral("disc=1/2"),
                           QStringLiteral("-metadata"), QStringLiteral("comment=Comment")};
    if (rounds < 1 || !folder.isValid() || !ffmpegTone(source, tags)) {
        std::fprintf(stderr, "Cannot make the bench files (is ffmpeg installed?)\n");
        return 1;
    }
    std::printf("tag transfer from an MP3 with ten tags, no picture, %d rounds:\n", rounds);
    for (const char* extension : {"mp3", "ogg", "wav", "wma"}) {
        const QString output =
            folder.filePath(QStringLiteral("output.") + QLatin1String(extension));
        if (!ffmpegTone(output, {})) {
            std::fprintf(stderr, "Cannot make the %s output\n", extension);
            return 1;
        }
        AudioInformation information;
        QElapsedTimer clock;
        clock.start();
        for (int round = 0; round < rounds; ++round) {
            TagBuffer buffer;
            ReadSourceTags(information, source, buffer);
            if (!WriteTags(information, buffer, output)) {
                std::fprintf(stderr, "Writing the tags into %s failed\n", extension);
                return 1;
            }
        }
        std::printf("  to %s: %7.3f ms per file (target < 5 ms)\n", extension,
                    double(clock.nsecsElapsed()) / 1e6 / rounds);
    }
    return 0;
}
