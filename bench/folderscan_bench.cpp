// The Add Folder scan on a generated tree: 10,000 short audio files in 500 folders, five
// levels deep. Reports the scan's wall time (walk, probing, rows, event loop turns) against
// probing the same files alone, in the same run, and how long Stop takes to end a scan.
// Usage: folderscan_bench [FOLDER]   (the tree is made in FOLDER, or a temporary folder)

#include "common/audio/audioinformation.h"
#include "filelist/filelistview.h"
#include "filelist/folderscan.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include "tinywav.h"

#include <cstdio>

using namespace tunevale;

namespace {

constexpr int kLevels = 5;
constexpr int kChildrenPerFolder = 6; // 1 + 6 + 36 + 216 folders, the rest on the fifth level
constexpr int kTotalFolders = 500;
constexpr int kFilesPerFolder = 20;

// Folders breadth first, at most five levels, 500 in all; 20 files in each.
QStringList makeTree(const QString& root)
{
    QStringList folders{root};
    QStringList files;
    for (int index = 0; folders.size() < kTotalFolders; ++index) {
        const QString parent = folders[index];
        const int depth = parent.mid(root.size()).count(u'/');
        if (depth >= kLevels - 1)
            continue;
        for (int child = 0; child < kChildrenPerFolder && folders.size() < kTotalFolders; ++child)
            folders.append(parent + QStringLiteral("/folder%1").arg(child));
    }
    const QByteArray wav = tinyWav();
    for (const QString& folder : std::as_const(folders)) {
        QDir().mkpath(folder);
        for (int i = 0; i < kFilesPerFolder; ++i) {
            const QString path =
                folder + QStringLiteral("/track%1.wav").arg(i, 2, 10, QLatin1Char('0'));
            QFile file(path);
            if (file.open(QIODevice::WriteOnly))
                file.write(wav);
            files.append(path);
        }
    }
    return files;
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QTemporaryDir temporary;
    const QString root = argc > 1 ? QString::fromLocal8Bit(argv[1]) : temporary.path();
    const QStringList files = makeTree(root);
    std::printf("tree: %lld files\n", static_cast<long long>(files.size()));

    AudioInformation information;
    QElapsedTimer timer;
    timer.start();
    for (const QString& path : files)
        (void)information.open(path);
    const double probeSeconds = timer.nsecsElapsed() / 1e9;

    FileListView list(information);
    FolderScan scan({[&list](const QString& path) {
                         if (!list.IsInList(path))
                             list.AddFileRow(path);
                     },
                     [] { QCoreApplication::processEvents(); },
                     [] {
                         return false;
                     }});
    timer.restart();
    scan.run(root, QStringLiteral("*.mp3;*.wma;*.wav;*.ogg"), true);
    const double scanSeconds = timer.nsecsElapsed() / 1e9;
    std::printf("probing alone: %.3f s\nscan (walk + probe + rows + events): %.3f s, %d rows\n",
                probeSeconds, scanSeconds, list.rowCount());
    std::printf("scan / probing: %.2f (target <= 1.25)\n", scanSeconds / probeSeconds);

    // Stop: requested by a timer while a scan runs, as the Stop button does.
    list.ClearAll();
    bool stop = false;
    QElapsedTimer sinceStop;
    QTimer::singleShot(300, &application, [&] {
        stop = true;
        sinceStop.start();
    });
    FolderScan stoppable({[&list](const QString& path) { list.AddFileRow(path); },
                          [] { QCoreApplication::processEvents(); },
                          [&stop] {
                              return stop;
                          }});
    stoppable.run(root, QStringLiteral("*.wav"), true);
    std::printf("stop took effect after %.1f ms (target <= 100), %d rows added\n",
                sinceStop.nsecsElapsed() / 1e6, list.rowCount());
    return 0;
}
