#include "common/audio/audiofile.h"
#include "common/audio/audioinformation.h"
#include "common/audio/audioreader.h"
#include "common/localfile.h"
#include "common/nativepath.h"
#include "convert/batchrun.h"
#include "convert/partfile.h"
#include "settings/encodersettings.h"
#include "support/fixtures.h"
#include "support/qtprinters.h"
#include "support/signals.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QUrl>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>

using namespace tunevale;
using namespace tunevale::test;

namespace {

TEST(NativePath, EveryByteSequenceMakesTheRoundTrip)
{
    const QList<QByteArray> names{
        "caf\xe9.wav",                        // Latin-1
        "M\xc3\xbcsik.mp3",                   // UTF-8
        "\xc0\xaf\xed\xa0\x80",               // overlong and surrogate encodings
        "cut\xe2\x82",                        // a sequence cut short
        "\x80\xbf\xf5\xff \xf0\x9f\x8e\xb5"}; // stray bytes, then a 4-byte character
    for (const QByteArray& name : names)
        EXPECT_EQ(nativePath(pathFromNative(name)), name) << name.toHex(' ').constData();
    // Valid UTF-8 reads as Qt reads it, so Qt's own classes keep working for such names.
    EXPECT_EQ(pathFromNative("M\xc3\xbcsik.mp3"), QStringLiteral("Müsik.mp3"));
    EXPECT_EQ(nativePath(QStringLiteral("Müsik 🎵.mp3")), QStringLiteral("Müsik 🎵.mp3").toUtf8());
}

TEST(NativePath, DroppedUrlsKeepTheFilesBytes)
{
    EXPECT_EQ(nativePath(pathFromLocalUrl(QUrl::fromEncoded("file:///music/caf%E9.wav"))),
              QByteArray("/music/caf\xe9.wav"));
    const QUrl unicode = QUrl::fromLocalFile(QStringLiteral("/music/Müsik #1.mp3"));
    EXPECT_EQ(pathFromLocalUrl(unicode), unicode.toLocalFile());
}

class LocalNames : public ::testing::Test {
protected:
    // A one-second tone under name, made under a plain name and then renamed by its bytes.
    QString makeTone(const QByteArray& name, double seconds = 1.0)
    {
        const QString plain = m_dir.file(QStringLiteral("plain.wav"));
        EXPECT_TRUE(writePcmWav(plain, sine(440, 8000, 1, seconds), 8000, 1));
        const QString path = pathOf(name);
        EXPECT_EQ(std::rename(nativePath(plain).constData(), nativePath(path).constData()), 0);
        return path;
    }

    // QTemporaryDir cannot see names that are not UTF-8.
    void TearDown() override
    {
        std::filesystem::remove_all(nativePath(m_dir.path()).toStdString());
    }

    QString pathOf(const QByteArray& name) const
    {
        return pathFromNative(nativePath(m_dir.path()) + '/' + name);
    }

    static void expectOneSecondTone(const QString& path)
    {
        AudioInformation information;
        ASSERT_TRUE(information.open(path)) << information.open(path).message().toStdString();
        EXPECT_EQ(information.durationMs(), 1000);
        EXPECT_EQ(decodeFile(path).frames(), 8000);
    }

    TempDir m_dir;
};

quint16 freeLoopbackPort()
{
    const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(probe, reinterpret_cast<sockaddr*>(&address), length);
    ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(probe);
    return ntohs(address.sin_port);
}

// Python's web server logs every request it answers on its standard error.
class LoopbackWebServer {
public:
    explicit LoopbackWebServer(const QString& folder)
    {
        m_port = freeLoopbackPort();
        m_process.setWorkingDirectory(folder);
        m_process.start(QStringLiteral("/usr/bin/python3"),
                        {QStringLiteral("-u"), QStringLiteral("-m"), QStringLiteral("http.server"),
                         QStringLiteral("--bind"), QStringLiteral("127.0.0.1"),
                         QString::number(m_port)});
        while (m_process.waitForReadyRead(10000)) {
            m_banner += m_process.readAllStandardOutput();
            if (m_banner.contains("Serving HTTP"))
                break;
        }
    }
    ~LoopbackWebServer()
    {
        m_process.kill();
        m_process.waitForFinished();
    }
    bool ready() const { return m_banner.contains("Serving HTTP"); }
    quint16 port() const { return m_port; }
    QByteArray requestsLogged()
    {
        m_process.waitForReadyRead(200);
        return m_process.readAllStandardError();
    }

private:
    QProcess m_process;
    quint16 m_port = 0;
    QByteArray m_banner;
};

TEST_F(LocalNames, NamesThatLookLikeUrlsAreLocalFiles)
{
    // What the protocols would have fetched: a longer tone on the server, two other files.
    makeTone("index.html", 3.0);
    makeTone("a.wav", 2.0);
    makeTone("b.wav", 2.0);
    LoopbackWebServer server(m_dir.path());
    ASSERT_TRUE(server.ready());
    const QByteArray web = "http:127.0.0.1:" + QByteArray::number(server.port()) + ".wav";
    for (const QByteArray& name : {web, QByteArray("concat:a.wav|b.wav"), QByteArray("pipe:0.wav"),
                                   QByteArray("Track1:Intro.wav"), QByteArray("file:x.wav")}) {
        SCOPED_TRACE(name.constData());
        const QString path = makeTone(name);
        expectOneSecondTone(path);
        // A name relative to the working folder too.
        const QString saved = QDir::currentPath();
        ASSERT_TRUE(QDir::setCurrent(m_dir.path()));
        expectOneSecondTone(pathFromNative(name));
        QDir::setCurrent(saved);
    }
    EXPECT_EQ(server.requestsLogged(), QByteArray());
}

TEST_F(LocalNames, NamesThatAreNotUtf8AreReadAndTagged)
{
    const QString path = makeTone("caf\xe9 \xff.wav");
    expectOneSecondTone(path);
    AudioInformation information;
    ASSERT_TRUE(information.open(path));
    information.setTags(
        {QStringLiteral("Caf\u00e9"), QStringLiteral("Artist"), {}, -1, 1999, 3, {}});
    ASSERT_TRUE(information.writeTags(path));
    ASSERT_TRUE(information.open(path));
    EXPECT_EQ(information.tags().title, QStringLiteral("Caf\u00e9"));
    EXPECT_EQ(information.tags().year, 1999);
}

// Runs an action at one block and records the log.
class BlockHook : public BatchObserver {
public:
    std::function<void(int block)> onBlock;
    QStringList lines;

    void yield() override
    {
        if (onBlock)
            onBlock(++m_blocks);
    }
    void logLine(const QString& line) override { lines << line; }

private:
    int m_blocks = 0;
};

RowResult convertRow(const QString& source, const QString& output, OutputKind kind,
                     BatchObserver& observer, IfExists ifExists = IfExists::New)
{
    AudioFile reader;
    AudioFile writer;
    AudioInformation information;
    (void)EncoderSettings().applyTo(writer);
    return BatchRun(reader, writer, information)
        .convertRow(source, output, kind, true, observer, ifExists);
}

// Such a source cut short while it is read fails as any other does.
TEST_F(LocalNames, ASourceCutShortWhileReadFails)
{
    const QString source = makeTone("caf\xe9.wav", 6.0);
    BlockHook truncating;
    truncating.onBlock = [&](int block) {
        if (block == 2) { // the first yield comes before the source is opened
            ASSERT_EQ(::truncate(nativePath(source).constData(), 44 + 2 * 8000 * 2), 0);
        }
    };
    EXPECT_FALSE(convertRow(source, pathOf("caf\xe9.mp3"), OutputKind::Mp3, truncating).saved);
    EXPECT_TRUE(truncating.lines.last().contains(QStringLiteral("of the source's 6.000 s")))
        << truncating.lines.last().toStdString();
}

// A WMA output leaves no priming file behind, and a taken output name is skipped before
// anything is read.
TEST_F(LocalNames, ConvertingSuchANameLeavesOnlyItsOutput)
{
    const QString source = makeTone("caf\xe9.wav");
    BlockHook first;
    ASSERT_TRUE(convertRow(source, pathOf("caf\xe9.wma"), OutputKind::Wma, first).saved);
    QStringList names = folderEntryNames(m_dir.path());
    names.sort();
    EXPECT_EQ(names, QStringList({pathFromNative("caf\xe9.wav"), pathFromNative("caf\xe9.wma")}));

    BlockHook again;
    EXPECT_TRUE(
        convertRow(source, pathOf("caf\xe9.wma"), OutputKind::Wma, again, IfExists::Skip).skipped);
    EXPECT_EQ(again.lines.size(), 1) << again.lines.join(u'\n').toStdString();
}

// The part files a dead run left in a folder whose name is not UTF-8 are swept too.
TEST_F(LocalNames, LeftoversInSuchAFolderAreSwept)
{
    const QString folder = pathOf("d\xe9");
    ASSERT_EQ(::mkdir(nativePath(folder).constData(), 0700), 0);
    PartFile part;
    ASSERT_TRUE(part.create(folder + QStringLiteral("/song.mp3")));
    // The same name as a process that is gone would have given it.
    QString leftover = part.path();
    leftover.replace(QStringLiteral("-%1-").arg(currentProcessId()), QStringLiteral("-999999999-"));
    ASSERT_NE(leftover, part.path());
    int error = 0;
    ASSERT_TRUE(createExclusive(leftover, error).isValid());
    EXPECT_EQ(PartFile::removeLeftovers(folder), 1);
    EXPECT_FALSE(LocalFileInfo::of(leftover).exists);
}

// Reading a source never opens it for writing, which file watchers take for a change; a
// source nobody may write converts with its tags.
TEST_F(LocalNames, ConvertingNeverOpensTheSourceForWriting)
{
    const QString source = makeTone("caf\xe9.wav");
    AudioInformation tags;
    tags.setTitle(QStringLiteral("Kept"));
    ASSERT_TRUE(tags.writeTags(source));
    const UniqueFd watch(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    ASSERT_GE(::inotify_add_watch(watch.get(), nativePath(source).constData(),
                                  IN_MODIFY | IN_CLOSE_WRITE | IN_ATTRIB),
              0);
    char events[4096];
    for (const char* output : {"writable.wav", "readonly.wav"}) {
        BlockHook log;
        const RowResult result = convertRow(source, pathOf(output), OutputKind::Wav, log);
        ASSERT_TRUE(result.saved) << log.lines.join(u'\n').toStdString();
        ASSERT_TRUE(tags.open(result.output));
        EXPECT_EQ(tags.title(), QStringLiteral("Kept"));
        EXPECT_EQ(::read(watch.get(), events, sizeof events), -1) << "the source was written";
        ASSERT_EQ(::chmod(nativePath(source).constData(), 0444), 0);
        (void)::read(watch.get(), events, sizeof events); // the change of permissions
    }
}

} // namespace
