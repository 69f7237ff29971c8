// The conversion dialog on every core: twelve 30-second stereo WAV files to MP3 through the
// dialog with one job, with one job per processor, and through `tunevale-cli convert` with the
// same jobs, all in the same run. Prints the best of three wall times of each and
//   parallel dialog / one-job dialog  (target <= 0.6 on two cores)
//   parallel dialog / CLI             (target <= 1.05)
// Usage: dialog_bench [COUNT [CLI]]   (default 12 files; CLI default: the build's tunevale-cli)

#include "convert/formconvert.h"
#include "settings/encodersettings.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <functional>

using namespace tunevale;

namespace {

constexpr int kRounds = 3;

bool makeSource(const QString& path, int index)
{
    QProcess ffmpeg;
    const int pitch = 200 + 37 * index;
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 {QStringLiteral("-nostdin"), QStringLiteral("-v"), QStringLiteral("error"),
                  QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                  QStringLiteral("aevalsrc=0.3*sin(2*PI*%1*t)+0.1*sin(2*PI*%2*t):s=44100:d=30")
                      .arg(pitch)
                      .arg(pitch * 5),
                  QStringLiteral("-ac"), QStringLiteral("2"), path});
    return ffmpeg.waitForFinished(120000) && ffmpeg.exitCode() == 0;
}

void clear(const QString& folder)
{
    QDir dir(folder);
    for (const QString& name : dir.entryList(QDir::Files))
        dir.remove(name);
}

double seconds(const std::function<void()>& work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return double(timer.nsecsElapsed()) / 1e9;
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 12;
    const QString cli = argc > 2 ? QString::fromLocal8Bit(argv[2])
                                 : QCoreApplication::applicationDirPath() +
                                       QStringLiteral("/../src/cli/tunevale-cli");
    const int jobs = QThread::idealThreadCount();

    QTemporaryDir folder;
    const QString out = folder.filePath(QStringLiteral("out"));
    QDir().mkpath(out);
    QStringList sources;
    for (int i = 0; i < count; ++i) {
        sources.append(folder.filePath(QStringLiteral("take%1.wav").arg(i)));
        if (!makeSource(sources.last(), i))
            return 1;
    }

    EncoderSettings settings;
    settings.TargetFormat = OutputKind::Mp3;
    settings.OutputFolder = out + QDir::separator();
    const auto dialogRun = [&](int dialogJobs) {
        FormConvert dialog(nullptr, sources, settings, {});
        dialog.setJobs(dialogJobs);
        dialog.Option2_Click();
        dialog.show();
        const double taken = seconds([&] { dialog.CmdConvert_Click(); });
        if (dialog.status() != QStringLiteral("Processed %1 files.").arg(count))
            std::fprintf(stderr, "dialog run: %s\n", qPrintable(dialog.log().join(u'\n')));
        clear(out);
        return taken;
    };
    const auto cliRun = [&] {
        QProcess process;
        const double taken = seconds([&] {
            process.start(cli, QStringList{QStringLiteral("convert"), QStringLiteral("--to"),
                                           QStringLiteral("mp3"), QStringLiteral("--jobs"),
                                           QString::number(jobs), QStringLiteral("--out"), out} +
                                   sources);
            process.waitForFinished(-1);
        });
        if (process.exitCode() != 0)
            std::fprintf(stderr, "%s: %s\n", qPrintable(cli),
                         process.readAllStandardError().data());
        clear(out);
        return taken;
    };

    double oneJob = 1e9;
    double parallel = 1e9;
    double command = 1e9;
    for (int round = 0; round < kRounds; ++round) {
        oneJob = std::min(oneJob, dialogRun(1));
        parallel = std::min(parallel, dialogRun(jobs));
        command = std::min(command, cliRun());
    }
    std::printf("%d x 30 s WAV to MP3, %d jobs: dialog one job %.3f s, dialog %d jobs %.3f s, "
                "tunevale-cli %d jobs %.3f s\n",
                count, jobs, oneJob, jobs, parallel, jobs, command);
    std::printf("dialog %d jobs / dialog one job: %.3f (target <= 0.6 on two cores)\n", jobs,
                parallel / oneJob);
    std::printf("dialog %d jobs / tunevale-cli %d jobs: %.3f (target <= 1.05)\n", jobs, jobs,
                parallel / command);
    return 0;
}
