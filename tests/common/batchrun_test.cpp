#include "common/audio/audiofile.h"
#include "common/audio/audioinformation.h"
#include "convert/batchrun.h"
#include "convert/outputnaming.h"
#include "settings/encodersettings.h"
#include "support/fixtures.h"
#include "support/qtprinters.h"
#include "support/signals.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include <gtest/gtest.h>

using namespace tunevale;
using namespace tunevale::test;

namespace {

bool touch(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write("x", 1) == 1;
}

// The log line without its timestamp: the timestamp holds no ": ", the text starts with it.
QString untimed(const QString& line)
{
    const qsizetype start = line.indexOf(QStringLiteral(": "));
    return start < 0 ? line : line.mid(start);
}

class RecordingObserver : public BatchObserver {
public:
    void logLine(const QString& line) override { lines << line; }
    void statusChanged(const QString& status) override { statuses << status; }
    void runningChanged(bool running) override { runningStates.push_back(running); }
    void rowFinished(const RowResult& result) override { results.push_back(result); }

    QStringList untimedLines() const
    {
        QStringList texts;
        for (const QString& line : lines)
            texts << untimed(line);
        return texts;
    }

    QStringList lines;
    QStringList statuses;
    std::vector<bool> runningStates;
    std::vector<RowResult> results;
};

// Restores the working directory a test changed.
class CurrentDirGuard {
public:
    CurrentDirGuard()
        : m_saved(QDir::currentPath())
    {}
    ~CurrentDirGuard() { QDir::setCurrent(m_saved); }

private:
    QString m_saved;
};

TEST(OutputNaming, TargetExtensions)
{
    EXPECT_EQ(targetExtension(OutputKind::Mp3), QStringLiteral(".mp3"));
    EXPECT_EQ(targetExtension(OutputKind::Ogg), QStringLiteral(".ogg"));
    EXPECT_EQ(targetExtension(OutputKind::Wav), QStringLiteral(".wav"));
    EXPECT_EQ(targetExtension(OutputKind::Wma), QStringLiteral(".wma"));
}

TEST(OutputNaming, ReplacesTheRealExtensionWhateverItsLength)
{
    struct Case {
        const char* source;
        const char* output;
    };
    const Case cases[] = {
        {"x.flac", "x.mp3"},          {"track01", "track01.mp3"},       {"a.b.wav", "a.b.mp3"},
        {"song.MP3", "New_song.mp3"}, {".hidden", ".hidden.mp3"},       {"x.", "x.mp3"},
        {"tune.opus", "tune.mp3"},    {"v1.2 mix.m4a", "v1.2 mix.mp3"},
    };
    TempDir dir;
    // The source's own name is taken, so a same-named output gets the prefix.
    ASSERT_TRUE(touch(dir.file(QStringLiteral("song.mp3"))));
    for (const Case& test : cases) {
        EXPECT_EQ(outputPathFor(dir.file(QString::fromUtf8(test.source)), QStringLiteral(".mp3"),
                                QString()),
                  dir.file(QString::fromUtf8(test.output)))
            << test.source;
    }
}

TEST(OutputNaming, SameFormatInSameFolderGetsPrefixThatAccumulates)
{
    TempDir dir;
    const QString source = dir.file(QStringLiteral("song.mp3"));
    ASSERT_TRUE(touch(source));
    const QString first = outputPathFor(source, QStringLiteral(".mp3"), QString());
    EXPECT_EQ(first, dir.path() + QStringLiteral("/New_song.mp3"));
    ASSERT_TRUE(touch(first));
    EXPECT_EQ(outputPathFor(source, QStringLiteral(".mp3"), QString()),
              dir.path() + QStringLiteral("/New_New_song.mp3"));
    EXPECT_EQ(outputPathFor(source, QStringLiteral(".ogg"), QString()),
              dir.path() + QStringLiteral("/song.ogg"));
}

TEST(OutputNaming, ChosenFolderAndWhatCountsAsTaken)
{
    TempDir dir;
    const QString source = dir.file(QStringLiteral("in/track.wav"));
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("in")));
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("out")));
    const QString folder = dir.file(QStringLiteral("out"));
    EXPECT_EQ(outputPathFor(source, QStringLiteral(".ogg"), folder),
              folder + QStringLiteral("/track.ogg"));

    ASSERT_TRUE(touch(folder + QStringLiteral("/track.ogg")));
    EXPECT_EQ(outputPathFor(source, QStringLiteral(".ogg"), folder + u'/'),
              folder + QStringLiteral("/New_track.ogg"));
    // A dangling link is an entry too; replacing it would write wherever it points.
    ASSERT_TRUE(QFile::link(dir.file(QStringLiteral("nowhere")),
                            folder + QStringLiteral("/New_track.ogg")));
    EXPECT_EQ(outputPathFor(source, QStringLiteral(".ogg"), folder),
              folder + QStringLiteral("/New_New_track.ogg"));
    // Folders do not take a name.
    ASSERT_TRUE(QDir(folder).mkdir(QStringLiteral("track.mp3")));
    EXPECT_EQ(outputPathFor(source, QStringLiteral(".mp3"), folder),
              folder + QStringLiteral("/track.mp3"));
}

TEST(OutputNaming, SourceWithoutFolderStaysRelative)
{
    TempDir dir;
    const CurrentDirGuard guard;
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    EXPECT_EQ(outputPathFor(QStringLiteral("song.wav"), QStringLiteral(".mp3"), QString()),
              QStringLiteral("song.mp3"));
    ASSERT_TRUE(touch(dir.file(QStringLiteral("song.mp3"))));
    EXPECT_EQ(outputPathFor(QStringLiteral("song.wav"), QStringLiteral(".mp3"), QString()),
              QStringLiteral("New_song.mp3"));
}

TEST(OutputNaming, RowsOfOneRunNeverShareAnOutput)
{
    TempDir dir;
    OutputNaming naming(QStringLiteral(".mp3"), QString());
    const QString stem = dir.file(QStringLiteral("mix"));
    EXPECT_EQ(naming.claim(stem + QStringLiteral(".wav")), stem + QStringLiteral(".mp3"));
    EXPECT_EQ(naming.claim(stem + QStringLiteral(".ogg")), dir.file(QStringLiteral("New_mix.mp3")));
    // The same folder written differently is still the same folder.
    EXPECT_EQ(naming.claim(dir.path() + QStringLiteral("/./mix.wma")),
              dir.path() + QStringLiteral("/./New_New_mix.mp3"));
}

TEST(BatchRunText, LogLinesAndCounts)
{
    EXPECT_EQ(BatchRun::logLine(LogKind::Reading, QStringLiteral("/a/b.wav")),
              QStringLiteral(": Reading - /a/b.wav"));
    EXPECT_EQ(BatchRun::logLine(LogKind::Converting, QStringLiteral("b.mp3")),
              QStringLiteral(": Converting - b.mp3"));
    EXPECT_EQ(BatchRun::logLine(LogKind::Saved, QStringLiteral("/a/b.mp3")),
              QStringLiteral(": Saved - /a/b.mp3"));
    EXPECT_EQ(BatchRun::logLine(LogKind::Error, QStringLiteral("b.mp3 why")),
              QStringLiteral(": Error - b.mp3 why"));
    EXPECT_EQ(BatchRun::processedText(0), QStringLiteral("Processed 0 file."));
    EXPECT_EQ(BatchRun::processedText(1), QStringLiteral("Processed 1 file."));
    EXPECT_EQ(BatchRun::processedText(2), QStringLiteral("Processed 2 files."));
    const QLocale locale = QLocale::system();
    EXPECT_TRUE(BatchRun::timestamp().startsWith(
        locale.toString(QDate::currentDate(), QLocale::ShortFormat) + u' '));
}

class BatchRunTest : public ::testing::Test {
protected:
    BatchRunTest() { EXPECT_TRUE(EncoderSettings().applyTo(m_writer)); }

    QString makeWav(const QString& name, double seconds, int channels = 2)
    {
        const QString path = m_dir.file(name);
        EXPECT_TRUE(writePcmWav(path, sine(440, 22050, channels, seconds), 22050, channels));
        return path;
    }

    int run(const QStringList& rows, OutputKind format, BatchObserver& observer,
            bool copyTags = true)
    {
        BatchRun batch(m_reader, m_writer, m_information);
        return batch.run(rows, format, BatchOptions{m_outputFolder, copyTags}, &observer);
    }

    QStringList filesEndingWith(const QString& suffix) const
    {
        QStringList found;
        for (const QString& name : QDir(m_dir.path()).entryList(QDir::Files | QDir::System)) {
            if (name.endsWith(suffix))
                found << name;
        }
        return found;
    }

    TempDir m_dir;
    QString m_outputFolder;
    AudioFile m_reader;
    AudioFile m_writer;
    AudioInformation m_information;
};

TEST_F(BatchRunTest, NoRowsStillReportsTheCount)
{
    RecordingObserver observer;
    EXPECT_EQ(run({}, OutputKind::Mp3, observer), 0);
    EXPECT_TRUE(observer.lines.isEmpty());
    EXPECT_EQ(observer.statuses, QStringList{QStringLiteral("Processed 0 file.")});
    EXPECT_EQ(observer.runningStates, (std::vector<bool>{true, false}));
}

TEST_F(BatchRunTest, OneAndTwoRowsLogInOrder)
{
    const QString first = makeWav(QStringLiteral("one.wav"), 0.5);
    const QString second = makeWav(QStringLiteral("two.wav"), 0.5);

    RecordingObserver single;
    EXPECT_EQ(run({first}, OutputKind::Ogg, single), 1);
    const QString firstOut = m_dir.file(QStringLiteral("one.ogg"));
    EXPECT_EQ(single.untimedLines(), (QStringList{QStringLiteral(": Reading - ") + first,
                                                  QStringLiteral(": Converting - one.ogg"),
                                                  QStringLiteral(": Saved - ") + firstOut}));
    EXPECT_EQ(single.statuses, (QStringList{QStringLiteral("Converting: one.ogg"),
                                            QStringLiteral("Processed 1 file.")}));
    for (const QString& line : single.lines)
        EXPECT_TRUE(line.startsWith(BatchRun::timestamp().left(6))) << line.toStdString();
    EXPECT_TRUE(decodeFile(firstOut).ok);

    // The first output now exists, so the same row names its output anew.
    RecordingObserver pair;
    EXPECT_EQ(run({second, first}, OutputKind::Ogg, pair), 2);
    EXPECT_EQ(
        pair.untimedLines(),
        (QStringList{
            QStringLiteral(": Reading - ") + second, QStringLiteral(": Converting - two.ogg"),
            QStringLiteral(": Saved - ") + m_dir.file(QStringLiteral("two.ogg")),
            QStringLiteral(": Reading - ") + first, QStringLiteral(": Converting - New_one.ogg"),
            QStringLiteral(": Saved - ") + m_dir.file(QStringLiteral("New_one.ogg"))}));
    EXPECT_EQ(pair.statuses.last(), QStringLiteral("Processed 2 files."));
    ASSERT_EQ(pair.results.size(), 2u);
    EXPECT_TRUE(pair.results[0].saved && pair.results[1].saved);
}

// Asks to stop once the first block of the first file has been converted.
class StopAfterFirstBlock : public RecordingObserver {
public:
    void progressChanged(double percent) override
    {
        if (percent > 0 && percent < 100)
            m_stop = true;
    }
    bool stopRequested() const override { return m_stop; }

private:
    bool m_stop = false;
};

TEST_F(BatchRunTest, StopEndsTheRunAfterTheBlockInProgress)
{
    const QStringList rows{makeWav(QStringLiteral("a.wav"), 3.0),
                           makeWav(QStringLiteral("b.wav"), 3.0),
                           makeWav(QStringLiteral("c.wav"), 3.0)};
    ASSERT_TRUE(m_writer.setWavFormat(22050, 2, 16)); // no resampling: blocks stay exact
    StopAfterFirstBlock observer;
    EXPECT_EQ(run(rows, OutputKind::Wav, observer), 1);
    const QString output = m_dir.file(QStringLiteral("New_a.wav"));
    EXPECT_EQ(observer.untimedLines().last(), QStringLiteral(": Saved - ") + output);
    EXPECT_EQ(observer.lines.size(), 3);
    EXPECT_EQ(observer.statuses.last(), QStringLiteral("Processed 1 file."));
    const Decoded decoded = decodeFile(output);
    ASSERT_TRUE(decoded.ok);
    EXPECT_EQ(decoded.frames(), 22050); // one block of one second, the rest left out
    EXPECT_FALSE(QFileInfo::exists(m_dir.file(QStringLiteral("New_b.wav"))));
}

TEST_F(BatchRunTest, FailingRowsAreLoggedAndTheRunGoesOn)
{
    const QString good = makeWav(QStringLiteral("good.wav"), 0.5);
    const QString text = m_dir.file(QStringLiteral("notes.mp3"));
    QFile file(text);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_GT(file.write("This is not an MP3 file, only some words.\n"), 0);
    file.close();
    const QString deleted = makeWav(QStringLiteral("gone.wav"), 0.5);
    ASSERT_TRUE(QFile::remove(deleted));
    const QString last = makeWav(QStringLiteral("last.wav"), 0.5);

    RecordingObserver observer;
    EXPECT_EQ(run({good, text, deleted, last}, OutputKind::Mp3, observer), 4);
    const QStringList lines = observer.untimedLines();
    ASSERT_EQ(lines.size(), 12);
    EXPECT_EQ(lines[2], QStringLiteral(": Saved - ") + m_dir.file(QStringLiteral("good.mp3")));
    EXPECT_TRUE(lines[5].startsWith(QStringLiteral(": Error - New_notes.mp3 ")))
        << lines[5].toStdString();
    EXPECT_TRUE(lines[5].contains(text)) << lines[5].toStdString();
    EXPECT_TRUE(lines[8].startsWith(QStringLiteral(": Error - gone.mp3 ")))
        << lines[8].toStdString();
    EXPECT_TRUE(lines[8].contains(QStringLiteral("No such file"))) << lines[8].toStdString();
    EXPECT_EQ(lines[11], QStringLiteral(": Saved - ") + m_dir.file(QStringLiteral("last.mp3")));
    EXPECT_FALSE(QFileInfo::exists(m_dir.file(QStringLiteral("New_notes.mp3"))));
    EXPECT_FALSE(QFileInfo::exists(m_dir.file(QStringLiteral("gone.mp3"))));
    EXPECT_EQ(observer.statuses.last(), QStringLiteral("Processed 4 files."));
}

TEST_F(BatchRunTest, OutputFolderThatIsAFileFailsEveryRowReadably)
{
    const QString source = makeWav(QStringLiteral("song.wav"), 0.5);
    m_outputFolder = makeWav(QStringLiteral("blocker.wav"), 0.1);
    RecordingObserver observer;
    EXPECT_EQ(run({source, source}, OutputKind::Ogg, observer), 2);
    const QStringList lines = observer.untimedLines();
    ASSERT_EQ(lines.size(), 6);
    for (const QString& line : {lines[2], lines[5]}) {
        EXPECT_TRUE(line.startsWith(QStringLiteral(": Error - "))) << line.toStdString();
        EXPECT_TRUE(line.contains(m_outputFolder)) << line.toStdString();
    }
}

// Records whether a temporary "$.wav" file existed each time the run yielded.
class TemporaryFileWatcher : public RecordingObserver {
public:
    explicit TemporaryFileWatcher(QString folder)
        : m_folder(std::move(folder))
    {}
    void yield() override
    {
        for (const QString& name : QDir(m_folder).entryList(QDir::Files)) {
            if (name.endsWith(QStringLiteral("$.wav")))
                seen << name;
        }
    }
    QStringList seen;

private:
    QString m_folder;
};

TEST_F(BatchRunTest, WmaTemporaryFileIsRemovedAlsoWhenPrimingFails)
{
    const QString good = makeWav(QStringLiteral("fine.wav"), 1.5);
    // Nine channels open but cannot be mapped to the writer's layout, so the temporary file
    // is created before the priming fails.
    const QString bad = makeWav(QStringLiteral("nine.wav"), 0.5, 9);
    TemporaryFileWatcher observer(m_dir.path());
    EXPECT_EQ(run({good, bad}, OutputKind::Wma, observer), 2);

    EXPECT_TRUE(observer.seen.contains(QStringLiteral("fine.wma$.wav")));
    EXPECT_TRUE(observer.seen.contains(QStringLiteral("nine.wma$.wav")));
    EXPECT_TRUE(filesEndingWith(QStringLiteral("$.wav")).isEmpty());
    const QStringList lines = observer.untimedLines();
    ASSERT_EQ(lines.size(), 6);
    EXPECT_EQ(lines[2], QStringLiteral(": Saved - ") + m_dir.file(QStringLiteral("fine.wma")));
    EXPECT_TRUE(lines[5].startsWith(QStringLiteral(": Error - nine.wma ")))
        << lines[5].toStdString();
    EXPECT_TRUE(decodeFile(m_dir.file(QStringLiteral("fine.wma"))).ok);
}

TEST_F(BatchRunTest, WmaPrimingLeavesAnExistingFileAlone)
{
    const QString source = makeWav(QStringLiteral("keep.wav"), 0.5);
    const QString temporary = m_dir.file(QStringLiteral("keep.wma$.wav"));
    ASSERT_TRUE(touch(temporary));
    RecordingObserver observer;
    EXPECT_EQ(run({source}, OutputKind::Wma, observer), 1);
    EXPECT_EQ(QFileInfo(temporary).size(), 1);
    EXPECT_TRUE(QFileInfo::exists(m_dir.file(QStringLiteral("keep.wma"))));
}

class FailedTranscode : public BatchRunTest, public ::testing::WithParamInterface<OutputKind> {};

TEST_P(FailedTranscode, LeavesNoOutput)
{
    const OutputKind format = GetParam();
    const QString bad = makeWav(QStringLiteral("nine.wav"), 0.5, 9);
    RecordingObserver observer;
    EXPECT_EQ(run({bad}, format, observer), 1);
    ASSERT_EQ(observer.results.size(), 1u);
    EXPECT_FALSE(observer.results[0].saved);
    EXPECT_TRUE(observer.lines.last().contains(QStringLiteral(": Error - ")));
    EXPECT_FALSE(QFileInfo::exists(observer.results[0].output));
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("nine.wav")});
}

INSTANTIATE_TEST_SUITE_P(Formats, FailedTranscode, ::testing::ValuesIn(everyOutputKind()),
                         [](const auto& info) { return formatCaption(info.param).toStdString(); });

} // namespace
