// What the conversion dialog adds to the batch run: the same files converted by the core
// run alone and through the dialog (log, progress, event loop turns), in the same run.
// Usage: dialog_bench [COUNT]   (COUNT 30-second stereo WAV files, default 20, to OGG)

#include "app/formmain.h"
#include "common/audio/audiofile.h"
#include "common/audio/audioinformation.h"
#include "convert/batchrun.h"
#include "convert/formconvert.h"
#include "filelist/filelistview.h"
#include "settings/encodersettings.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

using namespace tunevale;

namespace {

void removeOutputs(const QString& folder)
{
    for (const QString& name : QDir(folder).entryList({QStringLiteral("*.ogg")}, QDir::Files))
        QFile::remove(QDir(folder).filePath(name));
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 20;
    QTemporaryDir folder;
    QStringList sources;
    for (int i = 0; i < count; ++i) {
        const QString path = folder.filePath(QStringLiteral("take%1.wav").arg(i));
        QProcess ffmpeg;
        ffmpeg.start(QStringLiteral("ffmpeg"),
                     {QStringLiteral("-nostdin"), QStringLiteral("-v"), QStringLiteral("error"),
                      QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                      QStringLiteral("sine=frequency=%1:duration=30").arg(200 + 10 * i),
                      QStringLiteral("-ac"), QStringLiteral("2"), path});
        if (!ffmpeg.waitForFinished(60000) || ffmpeg.exitCode() != 0)
            return 1;
        sources.append(path);
    }

    double coreBest = 1e9;
    double dialogBest = 1e9;
    for (int round = 0; round < 3; ++round) {
        AudioFile reader;
        AudioFile writer;
        AudioInformation information;
        applyStartupWriterFormat(writer);
        QElapsedTimer timer;
        timer.start();
        BatchRun(reader, writer, information).run(sources, QStringLiteral("OGG"), BatchOptions{});
        coreBest = std::min(coreBest, timer.nsecsElapsed() / 1e9);
        removeOutputs(folder.path());

        FormMain main;
        for (const QString& source : sources)
            main.ListView1()->AddFileRow(source);
        main.settings().TargetFormat = QStringLiteral("OGG");
        FormConvert dialog(main);
        dialog.show();
        timer.restart();
        dialog.CmdConvert_Click();
        dialogBest = std::min(dialogBest, timer.nsecsElapsed() / 1e9);
        removeOutputs(folder.path());
    }
    std::printf("%d files to OGG: core run %.3f s, dialog run %.3f s, dialog / core %.3f "
                "(target <= 1.05)\n",
                count, coreBest, dialogBest, dialogBest / coreBest);
    return 0;
}
