#include "common/textnumber.h"
#include "support/qtprinters.h"

#include <QLocale>

#include <gtest/gtest.h>

#include <limits>

using namespace tunevale;

namespace {

constexpr int kMin = std::numeric_limits<int>::min();
constexpr int kMax = std::numeric_limits<int>::max();

class TextNumber : public ::testing::Test {
protected:
    // Pinned, so what the user's locale may write does not depend on the machine.
    void SetUp() override { QLocale::setDefault(QLocale::c()); }
    void TearDown() override { QLocale::setDefault(m_saved); }

private:
    QLocale m_saved;
};

} // namespace

// Typed text is read generously: blanks, a fraction rounded half to even, an exponent.
TEST_F(TextNumber, TypedTextIsRoundedToTheNearestWholeNumber)
{
    EXPECT_EQ(wholeNumber(QStringLiteral(" 3 "), 0, 9), 3);
    EXPECT_EQ(wholeNumber(QStringLiteral("2.5"), 0, 9), 2);
    EXPECT_EQ(wholeNumber(QStringLiteral("3.5"), 0, 9), 4);
    EXPECT_EQ(wholeNumber(QStringLiteral("1e3"), 0, kMax), 1000);
    EXPECT_EQ(wholeNumber(QStringLiteral("9.6"), 0, 9), std::nullopt);
    EXPECT_EQ(wholeNumber(QStringLiteral("abc"), kMin, kMax), std::nullopt);
    EXPECT_EQ(wholeNumber(QString(), kMin, kMax), std::nullopt);
}

// An option's value is taken only as plain digits, and each bound is part of the range.
TEST_F(TextNumber, OptionValuesMustBeExactWholeNumbers)
{
    EXPECT_EQ(exactWholeNumber(QStringLiteral(" 3"), 1, kMax), 3);
    EXPECT_EQ(exactWholeNumber(QStringLiteral("+3 "), 1, kMax), 3);
    EXPECT_EQ(exactWholeNumber(QStringLiteral("-1"), kMin, kMax), -1);
    EXPECT_EQ(exactWholeNumber(QString::number(kMax), 1, kMax), kMax);
    EXPECT_EQ(exactWholeNumber(QString::number(kMin), kMin, 0), kMin);
    for (const char* refused : {"0", "-1", "2.5", "1e3", "1,000", "0x10", "abc", "", "99999999999"})
        EXPECT_EQ(exactWholeNumber(QString::fromLatin1(refused), 1, kMax), std::nullopt) << refused;
}
