#include "common/codecs/outputformat.h"
#include "common/folderpath.h"
#include "support/fixtures.h"
#include "support/qtprinters.h"

#include <QDir>

#include <gtest/gtest.h>

using namespace tunevale;

TEST(FolderPath, TrailingSeparatorIsAddedOnceAndDroppedExceptOnARoot)
{
    const QString folder = QStringLiteral("/opt/tunevale");
    const QString withSeparator = folder + QDir::separator();
    EXPECT_EQ(withTrailingSeparator(folder), withSeparator);
    EXPECT_EQ(withTrailingSeparator(withSeparator), withSeparator);
    EXPECT_EQ(withTrailingSeparator(QStringLiteral("/")), u"/");
    EXPECT_EQ(withTrailingSeparator(QString()), QString()); // not the root

    EXPECT_EQ(withoutTrailingSeparator(withSeparator), folder);
    EXPECT_EQ(withoutTrailingSeparator(folder), folder);
    EXPECT_EQ(withoutTrailingSeparator(QStringLiteral("/a/")), u"/a");
    EXPECT_EQ(withoutTrailingSeparator(QStringLiteral("/")), u"/");
    EXPECT_EQ(withoutTrailingSeparator(QString()), QString());
}

TEST(FormatCaption, NamesEveryKindAndIsReadBackInAnyCase)
{
    for (OutputKind kind : test::everyOutputKind()) {
        EXPECT_EQ(outputKindNamed(formatCaption(kind)), kind);
        EXPECT_EQ(outputKindNamed(formatCaption(kind).toLower()), kind);
    }
    EXPECT_EQ(formatCaption(OutputKind::Ogg), u"OGG");
    EXPECT_FALSE(outputKindNamed(QStringLiteral("aiff")));
    EXPECT_FALSE(outputKindNamed(QString()));
}
