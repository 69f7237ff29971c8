#include "common/displaytext.h"
#include "common/nativepath.h"

#include "support/qtprinters.h"

#include <gtest/gtest.h>

using namespace tunevale;

TEST(DisplayText, ControlCharactersBecomeVisibleEscapes)
{
    EXPECT_EQ(displayText(QStringLiteral("a\tb\nc\rd")), QStringLiteral("a\\tb\\nc\\rd"));
    EXPECT_EQ(displayText(QStringLiteral("\x1b]0;x\x07\x7f")),
              QStringLiteral("\\x1b]0;x\\x07\\x7f"));
    EXPECT_EQ(displayText(QString(QChar(0x9b)) + QChar(0x2028) + QChar(0x202e)),
              QStringLiteral("\\x9b\\u2028\\u202e"));
    // Everything else is kept, backslashes included.
    EXPECT_EQ(displayText(QStringLiteral("Café \\ ♫ 日本")), QStringLiteral("Café \\ ♫ 日本"));
}

// A name that is not UTF-8 keeps its bytes, but for the C1 controls of 8-bit terminals.
TEST(DisplayText, NamesKeepTheirBytesButC1Controls)
{
    EXPECT_EQ(nativePath(displayText(pathFromNative("caf\xe9\x9b\xff.wav"))),
              QByteArray("caf\xe9\\x9b\xff.wav"));
}
