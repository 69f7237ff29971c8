// Add Folder on a generated library: 20,000 small files (WAV and MP3, hard links of one short
// file each) in 200 album folders of 100, two levels deep. Lists it through the window's Start
// with the single-thread probe and with the probe on every processor, in the same run, and
// prints files per second for each and their ratio.
// Usage: addfolder_bench MP3 [FOLDER]   (MP3: a short MP3 file to link; the tree is made in
// FOLDER, or a temporary folder)

#include "common/audio/audioinformation.h"
#include "filelist/filelistview.h"
#include "filelist/formfolder.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QThread>

#include "tinywav.h"

#include <cstdio>
#include <unistd.h>

using namespace tunevale;

namespace {

constexpr int kArtists = 20;
constexpr int kAlbumsPerArtist = 10;
constexpr int kTracksPerAlbum = 100;

// Even tracks link the WAV, odd ones the MP3; returns the number of files made.
int makeLibrary(const QString& root, const QString& mp3)
{
    const QString wav = root + QStringLiteral("/source.wav.keep");
    QFile file(wav);
    if (!file.open(QIODevice::WriteOnly) || file.write(tinyWav()) < 0)
        return 0;
    file.close();
    const QString mp3Copy = root + QStringLiteral("/source.mp3.keep");
    if (!QFile::copy(mp3, mp3Copy))
        return 0;
    int made = 0;
    for (int artist = 0; artist < kArtists; ++artist) {
        for (int album = 0; album < kAlbumsPerArtist; ++album) {
            const QString folder =
                root + QStringLiteral("/library/artist%1/album%2").arg(artist).arg(album);
            QDir().mkpath(folder);
            for (int track = 0; track < kTracksPerAlbum; ++track) {
                const bool even = track % 2 == 0;
                const QString path = folder + QStringLiteral("/%1 track.%2")
                                                  .arg(track, 3, 10, QLatin1Char('0'))
                                                  .arg(even ? u"wav" : u"mp3");
                const QString source = even ? wav : mp3Copy;
                if (::link(QFile::encodeName(source).constData(),
                           QFile::encodeName(path).constData()) == 0)
                    ++made;
            }
        }
    }
    return made;
}

// Seconds for one Add Folder run of the library, through the window's Start.
double listOnce(FileListView& list, const QString& library, int threads)
{
    list.ClearAll();
    QString lastScanFolder;
    auto* form = new FormFolder(list, nullptr, lastScanFolder);
    form->setProbeThreads(threads);
    form->findChild<QLineEdit*>()->setText(library);
    QElapsedTimer timer;
    timer.start();
    form->CmdStart_Click();
    const double seconds = timer.nsecsElapsed() / 1e9;
    form->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return seconds;
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: addfolder_bench MP3 [FOLDER]\n");
        return 2;
    }
    QTemporaryDir temporary;
    const QString root = argc > 2 ? QString::fromLocal8Bit(argv[2]) : temporary.path();
    const int files = makeLibrary(root, QString::fromLocal8Bit(argv[1]));
    const QString library = root + QStringLiteral("/library");
    std::printf("library: %d files, %d processors\n", files, QThread::idealThreadCount());

    AudioInformation information;
    FileListView list(information);
    listOnce(list, library, 1); // warms the caches for both measured runs
    const double single = listOnce(list, library, 1);
    const int singleRows = list.rowCount();
    const double parallel = listOnce(list, library, 0);
    const int parallelRows = list.rowCount();
    std::printf("single-thread probe: %d rows, %.3f s, %.0f files/s\n", singleRows, single,
                files / single);
    std::printf("parallel probe:      %d rows, %.3f s, %.0f files/s (target >= 2000)\n",
                parallelRows, parallel, files / parallel);
    std::printf("parallel / single-thread speed: %.2f\n", single / parallel);
    return singleRows == files && parallelRows == files ? 0 : 1;
}
