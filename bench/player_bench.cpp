// The player window: time from opening it to the first queued chunk, per format; CPU used
// while it plays with the visualisation drawing; and whether a seek lands on the frame asked.
// Usage: player_bench   (needs the ffmpeg tool to make its sources; plays on the null output)

#include "common/audio/audioreader.h"
#include "player/formplay.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <ctime>

using namespace tunevale;

namespace {

bool makeSource(const QString& path, const QStringList& codec)
{
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 QStringList{QStringLiteral("-nostdin"), QStringLiteral("-v"),
                             QStringLiteral("error"), QStringLiteral("-y"), QStringLiteral("-f"),
                             QStringLiteral("lavfi"), QStringLiteral("-i"),
                             QStringLiteral("aevalsrc=0.3*sin(2*PI*220*t)+0.2*sin(2*PI*1320*t)*"
                                            "sin(2*PI*0.5*t)|0.3*sin(2*PI*330*t):s=44100:d=30")} +
                     codec + QStringList{path});
    return ffmpeg.waitForFinished(60000) && ffmpeg.exitCode() == 0;
}

double processCpuSeconds()
{
    return double(std::clock()) / CLOCKS_PER_SEC;
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("TUNEVALE_AUDIO", "null");
    QApplication application(argc, argv);
    QTemporaryDir folder;
    int visualStyle = 3;

    const struct {
        const char* name;
        QStringList codec;
    } formats[] = {
        {"mp3", {QStringLiteral("-c:a"), QStringLiteral("libmp3lame")}},
        {"ogg", {QStringLiteral("-c:a"), QStringLiteral("libvorbis")}},
        {"wma", {QStringLiteral("-c:a"), QStringLiteral("wmav2")}},
        {"wav", {}},
    };
    for (const auto& format : formats) {
        const QString path = folder.filePath(QStringLiteral("music.") + QLatin1String(format.name));
        if (!makeSource(path, format.codec))
            return 1;
        QElapsedTimer timer;
        timer.start();
        FormPlay player(nullptr, path, QString(), visualStyle);
        std::printf("%s: open to first queued chunk %.1f ms (target <= 100)\n", format.name,
                    timer.nsecsElapsed() / 1e6);

        if (format.name == std::string("mp3")) {
            // CPU while playing with the drawing, for five seconds of Normal style.
            player.show();
            const double cpuBefore = processCpuSeconds();
            timer.restart();
            QEventLoop loop;
            QTimer::singleShot(5000, &loop, &QEventLoop::quit);
            loop.exec();
            const double cpu = processCpuSeconds() - cpuBefore;
            std::printf("playback with visualisation: %.1f %% of one core (target <= 10)\n",
                        100.0 * cpu / (timer.nsecsElapsed() / 1e9));
        }

        // A seek lands on the frame asked for: compare with decoding up to it.
        AudioReader sequential;
        AudioReader seeking;
        if (!sequential.open(path) || !seeking.open(path))
            return 1;
        const qint64 target = 13 * 44100 + 7;
        std::vector<qint16> block;
        std::vector<qint16> reference;
        while (qint64(reference.size()) / 2 < target + 64 && sequential.read(44100 * 2, block) &&
               !block.empty())
            reference.insert(reference.end(), block.begin(), block.end());
        qint64 reached = 0;
        (void)seeking.seek(target, reached);
        (void)seeking.read(64 * 2, block);
        int worst = 0;
        for (size_t i = 0; i < block.size(); ++i)
            worst = std::max(worst, std::abs(block[i] - reference[target * 2 + i]));
        std::printf("%s: seek to frame %lld reached %lld, largest sample difference %d\n",
                    format.name, static_cast<long long>(target), static_cast<long long>(reached),
                    worst);
    }
    return 0;
}
