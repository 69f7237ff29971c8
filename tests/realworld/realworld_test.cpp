#include "common/audio/audiofile.h"
#include "common/audio/audioinformation.h"
#include "convert/batchrun.h"
#include "filelist/rowtexts.h"
#include "settings/encodersettings.h"
#include "support/fixtures.h"
#include "support/qtprinters.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <string_view>

using namespace tunevale;
using namespace tunevale::test;

namespace {

std::string testName(std::string name)
{
    for (char& character : name) {
        if (!std::isalnum(static_cast<unsigned char>(character)))
            character = '_';
    }
    return name;
}

// The sources are made once for every test process of this program (CTest runs each case
// in a process of its own): the first one makes them, under a lock, the others reuse them.
// A changed maker script makes them anew.
QString sourcesFolder()
{
    static const QString folder = [] {
        const QString path = QStringLiteral(TUNEVALE_SOURCES_DIR);
        QDir().mkpath(path);
        QLockFile lock(path + QStringLiteral(".lock"));
        lock.setStaleLockTime(0);
        lock.lock();
        QFile script(QStringLiteral(TUNEVALE_TAGTOOL));
        if (!script.open(QIODevice::ReadOnly))
            return QString();
        const QByteArray version = QByteArray::number(qHash(script.readAll()));
        QFile done(path + QStringLiteral("/done"));
        if (done.open(QIODevice::ReadOnly) && done.readAll() == version)
            return path;
        done.close();
        done.remove();
        QProcess tool;
        tool.start(QStringLiteral("/usr/bin/python3"),
                   {QStringLiteral(TUNEVALE_TAGTOOL), QStringLiteral("make"), path});
        if (!tool.waitForFinished(120000) || tool.exitCode() != 0 ||
            !done.open(QIODevice::WriteOnly) || done.write(version) != version.size())
            return QString();
        return path;
    }();
    return folder;
}

QJsonObject readWithMutagen(const QString& path)
{
    QProcess tool;
    tool.start(QStringLiteral("/usr/bin/python3"),
               {QStringLiteral(TUNEVALE_TAGTOOL), QStringLiteral("dump"), path});
    if (!tool.waitForFinished(60000) || tool.exitCode() != 0)
        return {};
    return QJsonDocument::fromJson(tool.readAllStandardOutput()).object();
}

// What the writers stored, as the independent reader gives it back.
const std::map<QString, QString> kStored{
    {QStringLiteral("title"), QStringLiteral(u"Ünder the Sky")},
    {QStringLiteral("artist"), QStringLiteral("The Testers")},
    {QStringLiteral("album"), QStringLiteral("Signals")},
    {QStringLiteral("albumartist"), QStringLiteral(u"Various Ö")},
    {QStringLiteral("composer"), QStringLiteral("Someone Else")},
    {QStringLiteral("date"), QStringLiteral("2001-05-06")},
    {QStringLiteral("genre"), QStringLiteral("Synthwave")},
    {QStringLiteral("track"), QStringLiteral("3")},
    {QStringLiteral("tracktotal"), QStringLiteral("12")},
    {QStringLiteral("disc"), QStringLiteral("1")},
    {QStringLiteral("disctotal"), QStringLiteral("2")},
    {QStringLiteral("comment"), QStringLiteral("made by another program")},
    {QStringLiteral("lyrics"), QStringLiteral("la la la\nla")},
};

struct Source {
    const char* file;
    const char* type;           // the file list's Type text
    const char* fields;         // the fields its writer stored, blank-separated; "all"
    std::string_view overrides; // "field=value;..." where its values differ from kStored
    bool picture;
};

const Source kSources[] = {
    {"id3v24.mp3", "MP3", "all", "", true},
    {"id3v23.mp3", "MP3", "all", "", true},
    {"id3v22.mp3", "MP3",
     "title artist album albumartist composer date genre track tracktotal disc disctotal",
     "date=2001", false},
    {"id3v1.mp3", "MP3", "title artist album date genre track comment",
     "title=Plain Title;date=2001;genre=Rock", false},
    {"ape.mp3", "MP3", "all", "", true},
    {"ffmpeg.wma", "WMA", "all", "tracktotal=", true},
    {"oggenc.ogg", "OGG", "all", "", true},
    {"info.wav", "WAV", "title artist date genre comment", "", false},
    {"id3chunk.wav", "WAV", "all", "", true},
    {"tagged.flac", "FLAC", "all", "", true},
    {"tagged.opus", "OPUS", "all", "", true},
    {"tagged.oga", "OGA", "all", "", true},
    {"aac.m4a", "M4A", "all", "", true},
    {"alac.m4a", "ALAC", "all", "", true},
    {"tagged.aiff", "AIFF", "all", "", true},
    {"tagged.wv", "WV", "all", "", true},
    {"tagged.dsf", "DSF", "all", "", true},
    {"tagged.webm", "WEBM", "title artist album albumartist composer date genre comment", "",
     false},
    {"tagged.mka", "MKA", "title artist album albumartist composer date genre comment", "", false},
    {"mp3named.wav", "MP3", "all", "", true},
    {"opusnamed.ogg", "OPUS", "all", "", true},
};

struct Target {
    const char* format;
    const char* extension;
    const char* cannotHold; // fields the format has no common place for
};

const Target kTargets[] = {
    {"MP3", "mp3", ""},   {"OGG", "ogg", ""},   {"WAV", "wav", ""}, {"WMA", "wma", "tracktotal"},
    {"FLAC", "flac", ""}, {"Opus", "opus", ""}, {"M4A", "m4a", ""},
};

std::map<QString, QString> expectedFields(const Source& source, const Target& target)
{
    std::map<QString, QString> expected;
    const QString fields = QString::fromUtf8(source.fields);
    for (const auto& [field, value] : kStored) {
        if (fields == u"all" || fields.split(u' ').contains(field))
            expected[field] = value;
    }
    const QString overrides =
        QString::fromUtf8(source.overrides.data(), qsizetype(source.overrides.size()));
    for (const QString& pair : overrides.split(u';', Qt::SkipEmptyParts)) {
        const QString field = pair.section(u'=', 0, 0);
        const QString value = pair.section(u'=', 1);
        if (value.isEmpty())
            expected.erase(field);
        else
            expected[field] = value;
    }
    for (const QString& field :
         QString::fromUtf8(target.cannotHold).split(u' ', Qt::SkipEmptyParts))
        expected.erase(field);
    return expected;
}

// Keeps a row's log lines without their timestamps (which hold no ": ").
struct LogRecorder final : BatchObserver {
    void logLine(const QString& line) override { lines << line.mid(line.indexOf(u": ")); }
    QStringList lines;
};

// Converts source into out as a conversion row does, to target's format with its start-up
// settings.
RowResult convertRowInto(const QString& source, const TempDir& out, const Target& target,
                         bool copyTags, AudioInformation& information,
                         BatchObserver* observer = nullptr)
{
    AudioFile reader;
    AudioFile writer;
    EXPECT_TRUE(EncoderSettings().applyTo(writer));
    BatchObserver quiet;
    return BatchRun(reader, writer, information)
        .convertRow(source, out.file(QStringLiteral("output.") + QLatin1String(target.extension)),
                    *outputKindNamed(QString::fromLatin1(target.format)), copyTags,
                    observer ? *observer : quiet);
}

// The row's log: three lines, and a fourth naming what was not kept when anything was not.
QStringList expectedLog(const QString& source, const RowResult& result, const QString& notKept)
{
    QStringList lines{QStringLiteral(": Reading - ") + source,
                      QStringLiteral(": Converting - ") + QFileInfo(result.output).fileName(),
                      QStringLiteral(": Saved - ") + result.output};
    if (!notKept.isEmpty())
        lines << QStringLiteral(": Not kept - ") + result.output + QStringLiteral(": ") + notKept;
    return lines;
}

class SourceToTarget : public ::testing::TestWithParam<std::tuple<Source, Target>> {};

TEST_P(SourceToTarget, EveryFieldTheTargetCanHoldArrives)
{
    const auto& [source, target] = GetParam();
    const QString folder = sourcesFolder();
    ASSERT_FALSE(folder.isEmpty()) << "the sources could not be made";
    TempDir out;
    AudioInformation information;
    const QString path = folder + u'/' + QString::fromUtf8(source.file);
    LogRecorder log;
    const RowResult result = convertRowInto(path, out, target, true, information, &log);
    ASSERT_TRUE(result.saved);
    // These sources hold carried fields only: a row says it lost one only when the target
    // cannot hold it.
    const QString total = QStringLiteral("tracktotal");
    QStringList notKept;
    if (expectedFields(source, kTargets[0]).contains(total) &&
        !expectedFields(source, target).contains(total))
        notKept << QStringLiteral("track total");
    // An M4A cover has no room for the description a source may give it.
    AudioInformation sourceInformation;
    if (QLatin1String(target.format) == u"M4A" && sourceInformation.open(path) &&
        !sourceInformation.richTags().cover.description.isEmpty())
        notKept << QStringLiteral("cover description");
    EXPECT_EQ(log.lines, expectedLog(path, result, notKept.join(QStringLiteral(", "))));

    const QJsonObject read = readWithMutagen(result.output);
    ASSERT_FALSE(read.isEmpty());
    for (const auto& [field, value] : expectedFields(source, target))
        EXPECT_EQ(read.value(field).toString(), value) << field.toStdString();
    // The encoder's gapless data outlives the tag writer's rewrite.
    if (QLatin1String(target.format) == u"M4A") {
        EXPECT_TRUE(read.value(u"itunsmpb").toString().startsWith(u" 00000000 00000400 "));
    }
    if (source.picture) {
        QFile cover(folder + QStringLiteral("/cover.png"));
        ASSERT_TRUE(cover.open(QIODevice::ReadOnly));
        EXPECT_EQ(QByteArray::fromBase64(read.value(u"picture").toString().toLatin1()),
                  cover.readAll());
        EXPECT_EQ(read.value(u"picturemime").toString(), u"image/png");
    }
}

INSTANTIATE_TEST_SUITE_P(Pairs, SourceToTarget,
                         ::testing::Combine(::testing::ValuesIn(kSources),
                                            ::testing::ValuesIn(kTargets)),
                         [](const auto& info) {
                             return testName(std::string(std::get<0>(info.param).file) + "To" +
                                             std::get<1>(info.param).format);
                         });

class ExtraFields : public ::testing::TestWithParam<Target> {};

// Fields beyond the seven and every picture are carried, so the row's log names only what the
// target cannot hold: the track total of a WMA, picture types in an M4A; never the encoder's
// name and volume data the MP3's writers left.
TEST_P(ExtraFields, RowNamesWhatTheOutputDidNotKeep)
{
    const Target& target = GetParam();
    const QString folder = sourcesFolder();
    ASSERT_FALSE(folder.isEmpty());
    const bool wma = QLatin1String(target.format) == u"WMA";
    const bool m4a = QLatin1String(target.format) == u"M4A";
    const QString totalLost = wma ? QStringLiteral("track total") : QString();
    // An M4A keeps every picture but not their descriptions and types.
    const QStringList picturesLost =
        m4a ? QStringList{QStringLiteral("cover description"), QStringLiteral("picture type")}
            : QStringList();
    const std::pair<const char*, QString> cases[] = {
        {"extras.mp3", (QStringList{totalLost} + picturesLost)
                           .filter(QRegularExpression(QStringLiteral(".")))
                           .join(QStringLiteral(", "))},
        {"extras.flac", totalLost},
        {"extras.wma", QString()},
    };
    for (const auto& [file, notKept] : cases) {
        TempDir out;
        AudioInformation information;
        LogRecorder log;
        const QString path = folder + u'/' + QLatin1String(file);
        const RowResult result = convertRowInto(path, out, target, true, information, &log);
        ASSERT_TRUE(result.saved) << file;
        EXPECT_EQ(log.lines, expectedLog(path, result, notKept)) << file;

        // Without copying tags nothing was meant to be kept.
        TempDir bareOut;
        LogRecorder untagged;
        const RowResult bare = convertRowInto(path, bareOut, target, false, information, &untagged);
        EXPECT_EQ(untagged.lines, expectedLog(path, bare, QString())) << file;
    }
}

INSTANTIATE_TEST_SUITE_P(Targets, ExtraFields, ::testing::ValuesIn(kTargets),
                         [](const auto& info) { return testName(info.param.format); });

class NulInValue : public ::testing::TestWithParam<Target> {};

// Every target keeps a value with a NUL inside whole: Vorbis comments and ASF by their
// lengths, ID3v2 as two values (which the reader joins back here).
TEST_P(NulInValue, WholeValueIsWritten)
{
    const Target& target = GetParam();
    const QString folder = sourcesFolder();
    ASSERT_FALSE(folder.isEmpty());
    TempDir out;
    AudioInformation information;
    const RowResult result =
        convertRowInto(folder + QStringLiteral("/plain.wav"), out, target, false, information);
    ASSERT_TRUE(result.saved);
    const QString title = QStringLiteral("Part one") + QChar(u'\0') + QStringLiteral("Part two");
    AudioTags tags;
    tags.title = title;
    information.setTags(tags);
    ASSERT_TRUE(information.writeTags(result.output));
    EXPECT_EQ(readWithMutagen(result.output).value(u"title").toString(), title);
}

INSTANTIATE_TEST_SUITE_P(Targets, NulInValue, ::testing::ValuesIn(kTargets),
                         [](const auto& info) { return testName(info.param.format); });

// Sources whose texts hold a NUL, made by tagtool.py, in every object each format keeps the
// carried texts in; and those texts.
const char* const kNulSources[] = {"nul.ogg", "nul.opus", "nul.oga", "nul.flac", "nul.wma"};

QString withNul(const char* before, const char* after)
{
    return QString::fromUtf8(before) + QChar(u'\0') + QString::fromUtf8(after);
}

const std::map<QString, QString> kNulStored{
    {QStringLiteral("title"), withNul("Ünder", "the Sky")},
    {QStringLiteral("artist"), withNul("The", "Testers")},
    {QStringLiteral("album"), withNul("Sig", "nals")},
    {QStringLiteral("albumartist"), withNul("Various", "Ö")},
    {QStringLiteral("composer"), withNul("Someone", "Else")},
    {QStringLiteral("comment"), withNul("made by", "another program")},
    {QStringLiteral("lyrics"), withNul("la la", "la")},
};

class NulSourceToTarget : public ::testing::TestWithParam<std::tuple<const char*, Target>> {};

// Read past the NUL and written whole where the target stores lengths.
TEST_P(NulSourceToTarget, WholeValuesArrive)
{
    const auto& [source, target] = GetParam();
    const QString folder = sourcesFolder();
    ASSERT_FALSE(folder.isEmpty());
    TempDir out;
    AudioInformation information;
    const RowResult result =
        convertRowInto(folder + u'/' + QString::fromUtf8(source), out, target, true, information);
    ASSERT_TRUE(result.saved);
    const QJsonObject read = readWithMutagen(result.output);
    for (const auto& [field, value] : kNulStored)
        EXPECT_EQ(read.value(field).toString(), value) << field.toStdString();
}

// The OGG and WMA targets; MP3 and WAV keep such a value as two ID3v2 values (NulInValue).
INSTANTIATE_TEST_SUITE_P(Pairs, NulSourceToTarget,
                         ::testing::Combine(::testing::ValuesIn(kNulSources),
                                            ::testing::Values(kTargets[1], kTargets[3])),
                         [](const auto& info) {
                             return testName(std::string(std::get<0>(info.param)) + "To" +
                                             std::get<1>(info.param).format);
                         });

class ListedSource : public ::testing::TestWithParam<Source> {};

// The row names what the file holds; a name that claims something else gets a tooltip.
TEST_P(ListedSource, RowShowsTheContent)
{
    const Source& source = GetParam();
    const QString folder = sourcesFolder();
    ASSERT_FALSE(folder.isEmpty());
    const QString path = folder + u'/' + QString::fromUtf8(source.file);
    EXPECT_TRUE(IsSupportedFile(path));
    AudioInformation information;
    const auto row = buildFileRow(path, information);
    ASSERT_TRUE(row.has_value());
    EXPECT_EQ(row->type, QString::fromLatin1(source.type));
    const QString claimed = path.right(3).toUpper();
    if (claimed == u"WAV" && row->type == u"MP3")
        EXPECT_EQ(row->typeToolTip, u"The name says WAV, but the file holds MP3");
    else if (claimed == u"OGG" && row->type == u"OPUS")
        EXPECT_EQ(row->typeToolTip, u"The name says OGG, but the file holds OPUS");
    else
        EXPECT_TRUE(row->typeToolTip.isEmpty()) << row->typeToolTip.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Sources, ListedSource, ::testing::ValuesIn(kSources),
                         [](const auto& info) { return testName(info.param.file); });

} // namespace
