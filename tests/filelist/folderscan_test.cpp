#include "common/nativepath.h"
#include "filelist/folderscan.h"

#include "support/fixtures.h"
#include "support/qtprinters.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

using namespace tunevale;
using namespace tunevale::test;

namespace {

class FolderScanTest : public ::testing::Test {
protected:
    // Creates an empty file (the scan only names files; probing is its caller's business).
    QString touch(const QString& relative)
    {
        const QString path = m_dir.file(relative);
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        return QDir::toNativeSeparators(path);
    }

    QStringList scan(const QString& filter, bool subfolders, int stopAfter = 0)
    {
        QStringList found;
        FolderScan folderScan({[&found](const QString& path) { found.append(path); }, [] {},
                               [&found, stopAfter] {
                                   return stopAfter > 0 && found.size() >= stopAfter;
                               }});
        folderScan.run(m_dir.path(), filter, subfolders);
        return found;
    }

    TempDir m_dir;
};

TEST_F(FolderScanTest, RowsComeFolderByFolderInDiscoveryOrder)
{
    const QString b = touch(QStringLiteral("b.wav"));
    const QString a = touch(QStringLiteral("A.mp3"));
    const QString deep = touch(QStringLiteral("one/deep/z.ogg"));
    const QString one = touch(QStringLiteral("one/x.wma"));
    const QString two = touch(QStringLiteral("two/y.wav"));
    const QString twoInner = touch(QStringLiteral("two/inner/w.wav"));
    // Sub-folders of the chosen folder are found before any of them is walked.
    EXPECT_EQ(scan(QStringLiteral("*.mp3;*.wma;*.wav;*.ogg"), true),
              (QStringList{a, b, one, two, deep, twoInner}));
    EXPECT_EQ(scan(QStringLiteral("*.mp3;*.wma;*.wav;*.ogg"), false), (QStringList{a, b}));
}

TEST_F(FolderScanTest, FiltersMatchWithoutRegardToCase)
{
    const QString upper = touch(QStringLiteral("LOUD.WAV"));
    const QString lower = touch(QStringLiteral("quiet.wav"));
    const QString mp3 = touch(QStringLiteral("song.mp3"));
    touch(QStringLiteral("notes.txt"));
    EXPECT_EQ(scan(QStringLiteral("*.wav"), false), (QStringList{upper, lower}));
    EXPECT_EQ(scan(QStringLiteral("*.mp3; *.WAV"), false), (QStringList{upper, lower, mp3}));
    EXPECT_EQ(scan(QStringLiteral("s?ng.*"), false), QStringList{mp3});
    EXPECT_EQ(scan(QString(), false), QStringList());
}

TEST_F(FolderScanTest, HiddenEntriesAndDotFoldersAreLeftOut)
{
    const QString shown = touch(QStringLiteral("shown.wav"));
    touch(QStringLiteral(".hidden.wav"));
    touch(QStringLiteral(".cache/inside.wav"));
    const QString nested = touch(QStringLiteral("visible/inside.wav"));
    const QString unicode = touch(QStringLiteral("Müsik ünd Ñ/ça va.wav"));
    EXPECT_EQ(scan(QStringLiteral("*.wav"), true), (QStringList{shown, unicode, nested}));
}

TEST_F(FolderScanTest, StopEndsTheScanAtTheNextCheck)
{
    for (int i = 0; i < 20; ++i)
        touch(QStringLiteral("sub%1/f%1.wav").arg(i, 2, 10, QLatin1Char('0')));
    EXPECT_EQ(scan(QStringLiteral("*.wav"), true, 3).size(), 3);
}

TEST_F(FolderScanTest, LinksBackUpTheTreeDoNotLoop)
{
    const QString file = touch(QStringLiteral("music/a.wav"));
    ASSERT_TRUE(QFile::link(m_dir.path(), m_dir.file(QStringLiteral("music/loop"))));
    ASSERT_TRUE(QFile::link(m_dir.file(QStringLiteral("nowhere")),
                            m_dir.file(QStringLiteral("music/broken"))));
    EXPECT_EQ(scan(QStringLiteral("*.wav"), true), QStringList{file});
}

TEST_F(FolderScanTest, UnreadableFoldersAreSkipped)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root reads every folder";
    const QString first = touch(QStringLiteral("a/1.wav"));
    touch(QStringLiteral("b/2.wav"));
    const QString third = touch(QStringLiteral("c/3.wav"));
    QFile::setPermissions(m_dir.file(QStringLiteral("b")), QFileDevice::WriteOwner);
    EXPECT_EQ(scan(QStringLiteral("*.wav"), true), (QStringList{first, third}));
    QFile::setPermissions(m_dir.file(QStringLiteral("b")),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

TEST_F(FolderScanTest, NamesThatAreNotUtf8AreListedByTheirBytes)
{
    touch(QStringLiteral("plain.wav"));
    const QByteArray folder = QFile::encodeName(m_dir.path());
    const QByteArray latin1 = folder + "/caf\xe9.wav";
    ASSERT_EQ(std::rename((folder + "/plain.wav").constData(), latin1.constData()), 0);
    ASSERT_EQ(::mkdir((folder + "/\xe9t\xe9").constData(), 0700), 0);
    const QByteArray nested = folder + "/\xe9t\xe9/b.wav";
    ::close(::open(nested.constData(), O_CREAT | O_WRONLY, 0600));

    const QStringList found = scan(QStringLiteral("*.wav"), true);
    ASSERT_EQ(found.size(), 2);
    EXPECT_EQ(nativePath(found[0]), latin1);
    EXPECT_EQ(nativePath(found[1]), nested);
    // QTemporaryDir cannot see these names.
    ::unlink(latin1.constData());
    ::unlink(nested.constData());
    ::rmdir((folder + "/\xe9t\xe9").constData());
}

} // namespace
