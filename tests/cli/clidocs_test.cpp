#include "common/codecs/outputformat.h"

#include "support/fixtures.h"
#include "support/qtprinters.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

#include <algorithm>

using namespace tunevale;

namespace {

QString sourceFile(const char* path)
{
    return QString::fromUtf8(
        test::fileBytes(QStringLiteral(TUNEVALE_SOURCE_DIR "/") + QString::fromLatin1(path)));
}

bool hasWord(const QString& text, const QString& word)
{
    const QRegularExpression pattern(QStringLiteral("(^|[^a-z0-9-])") +
                                     QRegularExpression::escape(word) +
                                     QStringLiteral("([^a-z0-9-]|$)"));
    return pattern.match(text).hasMatch();
}

// The manual page's paragraph about an option: from the line that names it to the next
// paragraph macro. Dashes are plain ("\-" read as "-").
QString manualParagraph(const QString& manual, const QString& flag)
{
    QString paragraph;
    bool inside = false;
    for (const QString& line : manual.split(u'\n')) {
        if (inside &&
            (line.startsWith(u".TP") || line.startsWith(u".PP") || line.startsWith(u".SH")))
            break;
        if (!inside && line.startsWith(u".B") && hasWord(line, flag))
            inside = true;
        if (inside)
            paragraph += line + u'\n';
    }
    return paragraph;
}

// The completion's branch for an option's value: its body up to ";;", or nothing when no
// "case" label names the option.
QString completionBranch(const QString& completion, const QString& flag)
{
    QString label;
    QString body;
    bool inside = false;
    for (const QString& line : completion.split(u'\n')) {
        const QString trimmed = line.trimmed();
        if (inside) {
            if (trimmed == u";;")
                return body;
            body += trimmed + u'\n';
            continue;
        }
        label += trimmed;
        if (label.endsWith(u'\\')) {
            label.chop(1);
            continue;
        }
        if (label.endsWith(u')') && label.startsWith(u"--")) {
            label.chop(1);
            const QStringList options = label.split(u'|');
            inside = std::any_of(options.begin(), options.end(), [&flag](const QString& option) {
                return option.trimmed() == flag;
            });
        }
        label.clear();
    }
    return {};
}

// The manual page and the bash completion know every format of the table: its name for --to,
// where its options start from, each option, and the words a choice takes. Neither may fall
// behind a format added as a row.
TEST(CliDocs, NameEveryFormatItsOptionsAndTheirChoices)
{
    const QString manual = sourceFile("packaging/man/tunevale-cli.1")
                               .replace(QStringLiteral("\\-"), QStringLiteral("-"));
    const QString completion = sourceFile("packaging/bash-completion/tunevale-cli");
    ASSERT_FALSE(manual.isEmpty());
    ASSERT_FALSE(completion.isEmpty());
    const QString toManual = manualParagraph(manual, QStringLiteral("--to"));
    const QString toCompletion = completionBranch(completion, QStringLiteral("--to"));
    for (const OutputFormat& format : outputFormats()) {
        const QString name = format.extension.toString();
        EXPECT_TRUE(hasWord(toManual, name)) << "--to " << name.toStdString();
        EXPECT_TRUE(hasWord(toCompletion, name)) << "--to " << name.toStdString();
        const QString start = format.fullName.toString() + QStringLiteral(" options start from ") +
                              format.startSettings.toString() + u':';
        EXPECT_TRUE(manual.contains(start)) << start.toStdString();
        for (const FormatOption& option : format.options) {
            const QString flag = QStringLiteral("--") + option.name.toString();
            const QString paragraph = manualParagraph(manual, flag);
            EXPECT_FALSE(paragraph.isEmpty()) << "the manual page lacks " << flag.toStdString();
            EXPECT_TRUE(hasWord(completion, flag)) << "the completion lacks " << flag.toStdString();
            // Without a branch of its own the completion offers file names for the value.
            const QString branch = completionBranch(completion, flag);
            EXPECT_EQ(branch.isEmpty(), option.isSwitch()) << flag.toStdString();
            for (const FormatOption::Choice& choice : option.choices) {
                const QString word = choice.word.toString();
                EXPECT_TRUE(hasWord(paragraph, word))
                    << flag.toStdString() << ' ' << word.toStdString();
                EXPECT_TRUE(hasWord(branch, word))
                    << flag.toStdString() << ' ' << word.toStdString();
            }
        }
    }
}

// The loudness option's choices are named where a user looks for them.
TEST(CliDocs, NameTheReplayGainChoices)
{
    const QString manual = sourceFile("packaging/man/tunevale-cli.1")
                               .replace(QStringLiteral("\\-"), QStringLiteral("-"));
    const QString completion = sourceFile("packaging/bash-completion/tunevale-cli");
    const QString flag = QStringLiteral("--replaygain");
    const QString paragraph = manualParagraph(manual, flag);
    const QString branch = completionBranch(completion, flag);
    EXPECT_TRUE(hasWord(completion, flag));
    for (const char* choice : {"track", "album", "off"}) {
        EXPECT_TRUE(hasWord(paragraph, QString::fromLatin1(choice))) << choice;
        EXPECT_TRUE(hasWord(branch, QString::fromLatin1(choice))) << choice;
    }
}

} // namespace
