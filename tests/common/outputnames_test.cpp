#include "convert/namepattern.h"
#include "convert/outputnaming.h"
#include "convert/safename.h"
#include "support/fixtures.h"
#include "support/qtprinters.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

using namespace tunevale;
using namespace tunevale::test;

namespace {

QString expanded(const QString& pattern, const NameFields& fields, bool portable = false)
{
    return NamePattern(pattern).expand(fields, portable, 4).join(u'/');
}

NameFields tagged()
{
    NameFields fields;
    fields.artist = QStringLiteral("Чайковский");
    fields.album = QStringLiteral("Swan Lake");
    fields.title = QStringLiteral("Act 1: ../../etc/passwd");
    fields.name = QStringLiteral("lena");
    fields.extension = QStringLiteral("flac");
    fields.track = 3;
    fields.disc = 2;
    return fields;
}

} // namespace

TEST(NamePattern, FieldsFallBacksAndOddValues)
{
    const NameFields fields = tagged();
    EXPECT_EQ(expanded(QStringLiteral("{artist}/{album}/{disc}-{track} - {title}"), fields),
              QStringLiteral("Чайковский/Swan Lake/2-03 - Act 1: .._.._etc_passwd"));
    // A title that is nothing but dots and separators stays one harmless component.
    NameFields dots = fields;
    dots.title = QStringLiteral("../..");
    EXPECT_EQ(expanded(QStringLiteral("{title}"), dots), QStringLiteral("_.."));
    EXPECT_EQ(expanded(QStringLiteral("{albumartist}/{genre}/{year}/{name}.{ext}"), fields),
              QStringLiteral("Чайковский/Unknown Genre/Unknown Year/lena.flac"));
    EXPECT_EQ(expanded(QStringLiteral("{album|No Album}/{genre|}{name}"), NameFields{}),
              QStringLiteral("No Album/Unknown"));
    NameFields many = fields;
    many.trackTotal = 120;
    EXPECT_EQ(expanded(QStringLiteral("{track}"), many), QStringLiteral("003"));
    EXPECT_EQ(expanded(QStringLiteral("{title}"), fields, true),
              QStringLiteral("Act 1_ .._.._etc_passwd"));

    EXPECT_EQ(NamePattern(QStringLiteral("{artst}")).problem(),
              QStringLiteral("unknown field {artst} in the name pattern"));
    EXPECT_TRUE(NamePattern(QStringLiteral("{artist|x}/{ext}")).problem().isEmpty());
}

TEST(SafeName, TraversalHiddenAndDeviceNames)
{
    EXPECT_EQ(safeComponent(QStringLiteral(".."), false), QStringLiteral("_"));
    EXPECT_EQ(safeComponent(QStringLiteral(" .bashrc"), false), QStringLiteral("bashrc"));
    EXPECT_EQ(safeComponent(QStringLiteral("a\nb\\c"), false), QStringLiteral("a_b_c"));
    EXPECT_EQ(safeComponent(QStringLiteral("what? <yes>"), false), QStringLiteral("what? <yes>"));
    EXPECT_EQ(safeComponent(QStringLiteral("what? <yes>"), true), QStringLiteral("what_ _yes_"));
    EXPECT_EQ(safeComponent(QStringLiteral("end. "), true), QStringLiteral("end"));
    EXPECT_EQ(safeComponent(QStringLiteral("end."), false), QStringLiteral("end."));
    EXPECT_EQ(safeComponent(QStringLiteral("con"), true), QStringLiteral("con_"));
    EXPECT_EQ(safeComponent(QStringLiteral("LPT1.txt"), true), QStringLiteral("LPT1_.txt"));
    EXPECT_EQ(safeComponent(QStringLiteral("Console"), true), QStringLiteral("Console"));
    EXPECT_EQ(safeComponent(QStringLiteral("con"), false), QStringLiteral("con"));
}

TEST(SafeName, CutsWholeUtf8CharactersAndKeepsExtension)
{
    // "é" is two bytes, "𝄞" four: a cut may fall inside either.
    const QString name = QString(100, u'a') + QString(80, QChar(0xe9)) + QStringLiteral(".mp3");
    const QString cut = cutToBytes(name, 255);
    EXPECT_TRUE(cut.endsWith(QStringLiteral(".mp3")));
    EXPECT_EQ(cut.toUtf8().size(), 254); // 251 bytes would split an "é"
    const QString clefs = QString::fromUtf8("𝄞𝄞𝄞");
    EXPECT_EQ(cutToBytes(clefs, 9), QString::fromUtf8("𝄞𝄞"));
    EXPECT_EQ(cutToBytes(QStringLiteral("short.mp3"), 255), QStringLiteral("short.mp3"));
}

TEST(OutputNaming, NumbersTakenNames)
{
    TempDir dir;
    const QString source = dir.file(QStringLiteral("lena.mp3"));
    ASSERT_TRUE(QFile(source).open(QIODevice::WriteOnly));
    OutputNaming naming(QStringLiteral(".mp3"), QString(), IfExists::Number);
    EXPECT_EQ(naming.claim(source), dir.file(QStringLiteral("lena (2).mp3")));
    EXPECT_EQ(naming.claim(source), dir.file(QStringLiteral("lena (3).mp3")));
    EXPECT_EQ(withNumber(QStringLiteral("/a.b/x.tar.gz"), 4), QStringLiteral("/a.b/x.tar (4).gz"));
}

TEST(OutputNaming, KeepsTheTreeButNeverFollowsAPlantedLink)
{
    TempDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("out")));
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("outside")));
    const QString out = dir.file(QStringLiteral("out"));
    OutputNaming naming(QStringLiteral(".ogg"), out);
    naming.setRules(NamingRules{true, QString(), false});

    const ClaimedOutput kept =
        naming.claimOutput(dir.file(QStringLiteral("in/A/B/t.wav")), QStringLiteral("A/B"));
    EXPECT_EQ(kept.path, out + QStringLiteral("/A/B/t.ogg"));
    EXPECT_TRUE(kept.failure.isEmpty());
    EXPECT_TRUE(QFileInfo(out + QStringLiteral("/A/B")).isDir());
    // Added on its own: flat.
    EXPECT_EQ(naming.claimOutput(dir.file(QStringLiteral("in/u.wav")), QString()).path,
              out + QStringLiteral("/u.ogg"));

    ASSERT_TRUE(QFile::link(dir.file(QStringLiteral("outside")), out + QStringLiteral("/C")));
    const ClaimedOutput planted =
        naming.claimOutput(dir.file(QStringLiteral("in/C/D/t.wav")), QStringLiteral("C/D"));
    EXPECT_TRUE(planted.failure.startsWith(QStringLiteral("Cannot create folder ")))
        << planted.failure.toStdString();
    EXPECT_FALSE(QFileInfo::exists(dir.file(QStringLiteral("outside/D"))));
}
