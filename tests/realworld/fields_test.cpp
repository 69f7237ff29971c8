#include "common/audio/audiofile.h"
#include "common/audio/audioinformation.h"
#include "common/tags/tagfile.h"
#include "convert/batchrun.h"
#include "settings/encodersettings.h"
#include "support/fixtures.h"
#include "support/qtprinters.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <gtest/gtest.h>

using namespace tunevale;
using namespace tunevale::test;

namespace {

QJsonObject runFieldTool(const QString& command, const QString& path)
{
    QProcess tool;
    tool.start(QStringLiteral("/usr/bin/python3"),
               {QStringLiteral(TUNEVALE_FIELDTOOL), command, path});
    if (!tool.waitForFinished(120000) || tool.exitCode() != 0)
        return {};
    return QJsonDocument::fromJson(tool.readAllStandardOutput()).object();
}

// One field class as each target family names it and the values it must arrive with.
struct Field {
    const char* id3; // MP3 and WAV: frame ID or TXXX description
    const char* vorbis;
    const char* asf;
    const char* mp4;
    QStringList values;
    QString asfValue = {}; // where ASF holds one text only: the values joined
    QString mp4Value = {}; // where MP4 holds numbers: "number/total"
    QString id3Value = {}; // where ID3v2.3 holds less: what it keeps
};

const Field kFields[] = {
    // Blanks at the ends are part of a value.
    {"TIT2", "TITLE", "Title", "\u00a9nam", {QStringLiteral(u" Pädded Title ")}},
    // Several values stay several.
    {"TPE1",
     "ARTIST",
     "Author",
     "\u00a9ART",
     {QStringLiteral("piman"), QStringLiteral("jzig")},
     QStringLiteral("piman; jzig")},
    {"TCON",
     "GENRE",
     "WM/Genre",
     "\u00a9gen",
     {QStringLiteral("Rock"), QStringLiteral("Synthwave")}},
    // A track number's leading zero stays where the target holds the number as text.
    {"TRCK",
     "TRACKNUMBER",
     "WM/TrackNumber",
     "trkn",
     {QStringLiteral("02")},
     {},
     QStringLiteral("2/0")},
    // A date with a time keeps it, in ID3v2.3 as TYER, TDAT and TIME (which the reader joins).
    {"TDRC",
     "DATE",
     "WM/Year",
     "\u00a9day",
     {QStringLiteral("2001-05-06T12:34")},
     QString(),
     QString()},
    // Other fields, each in the target's usual name.
    {"TSRC", "ISRC", "WM/ISRC", "ISRC", {QStringLiteral("USRC17607839")}},
    {"TBPM", "BPM", "WM/BeatsPerMinute", "tmpo", {QStringLiteral("120")}},
    {"TPUB", "LABEL", "WM/Publisher", "LABEL", {QStringLiteral("Some Label")}},
    {"TCOP", "COPYRIGHT", "Copyright", "cprt", {QStringLiteral("2001 Someone")}},
    {"MusicBrainz Album Id",
     "MUSICBRAINZ_ALBUMID",
     "MusicBrainz/Album Id",
     "MusicBrainz Album Id",
     {QStringLiteral("9e8f2e3c-0000-4000-8000-000000000001")}},
    {"REPLAYGAIN_TRACK_GAIN",
     "REPLAYGAIN_TRACK_GAIN",
     "REPLAYGAIN_TRACK_GAIN",
     "REPLAYGAIN_TRACK_GAIN",
     {QStringLiteral("-6.50 dB")}},
    {"SOURCE_NOTE",
     "SOURCE_NOTE",
     "SOURCE_NOTE",
     "SOURCE_NOTE",
     {QStringLiteral("first"), QStringLiteral("second")}},
};

// What FFmpeg writes into AIFF's own text chunks (NAME, AUTH, "(c) ", ANNO) and a WAV's
// broadcast extension (bext), which the tag library does not read.
const Field kAiffFields[] = {
    {"TIT2", "TITLE", "Title", "\u00a9nam", {QStringLiteral("Aiff Name")}},
    {"TPE1", "ARTIST", "Author", "\u00a9ART", {QStringLiteral("Aiff Author")}},
    {"TCOP", "COPYRIGHT", "Copyright", "cprt", {QStringLiteral("2001 Aiff")}},
    {"COMM", "COMMENT", "Description", "\u00a9cmt", {QStringLiteral("Aiff note")}},
};
const Field kBextFields[] = {
    {"COMM", "COMMENT", "Description", "\u00a9cmt", {QStringLiteral("Bext note")}},
    {"TDRC", "DATE", "WM/Year", "\u00a9day", {QStringLiteral("2001-05-06")}},
};

const Field kSeveralArtists = {"TPE1",
                               "ARTIST",
                               "Author",
                               "\u00a9ART",
                               {QStringLiteral("piman"), QStringLiteral("jzig")},
                               QStringLiteral("piman; jzig")};
const Field kIsrc = {"TSRC", "ISRC", "WM/ISRC", "ISRC", {QStringLiteral("USRC17607839")}};
// A WavPack file's APE tag, pictures included.
const QList<Field> kWavPackFields = {
    {"TIT2", "TITLE", "Title", "\u00a9nam", {QStringLiteral("Wv Title")}},
    kSeveralArtists,
    kIsrc,
};
// CAF's info chunk, in its own words ("track number", "tempo"), blanks kept.
const QList<Field> kCafFields = {
    {"TIT2", "TITLE", "Title", "\u00a9nam", {QStringLiteral(" Caf Title ")}},
    {"TRCK",
     "TRACKNUMBER",
     "WM/TrackNumber",
     "trkn",
     {QStringLiteral("02")},
     {},
     QStringLiteral("2/0")},
    {"COMM", "COMMENT", "Description", "\u00a9cmt", {QStringLiteral("Caf note")}},
    {"TBPM", "BPM", "WM/BeatsPerMinute", "tmpo", {QStringLiteral("120")}},
    {"TDRC", "DATE", "WM/Year", "\u00a9day", {QStringLiteral("2001-05-06")}},
};
// A DSF's ID3 tag; "encoded by" names a ripper here, not the encoder.
const QList<Field> kDsfFields = {
    {"TIT2", "TITLE", "Title", "\u00a9nam", {QStringLiteral("Dsf Title")}},
    kSeveralArtists,
    {"TENC", "ENCODEDBY", "WM/EncodedBy", "\u00a9too", {QStringLiteral("Some Ripper")}},
};
// ID3v2.3 "/" may be part of a name, so values stay as written; the encoder's own "encoded
// by" is not carried.
const QList<Field> kV23Fields = {
    {"TPE1", "ARTIST", "Author", "\u00a9ART", {QStringLiteral("AC/DC")}},
    {"TCOM", "COMPOSER", "WM/Composer", "\u00a9wrt", {QStringLiteral("piman/jzig")}},
    {"TDRC", "DATE", "WM/Year", "\u00a9day", {QStringLiteral("2001-05-06T12:34")}},
    {"TENC", "ENCODEDBY", "WM/EncodedBy", "ENCODEDBY", {}},
};
// An M4A's encoding tool is always the encoder's own name.
const QList<Field> kToolFields = {
    {"TIT2", "TITLE", "Title", "\u00a9nam", {QStringLiteral("M4a Title")}},
    {"TENC", "ENCODEDBY", "WM/EncodedBy", "ENCODEDBY", {}},
};
const QList<Field> kDateFields = {
    {"TDRC", "DATE", "WM/Year", "\u00a9day", {QStringLiteral("2001-05-06T12:34")}},
    {"TDOR",
     "ORIGINALDATE",
     "WM/OriginalReleaseYear",
     "originaldate",
     {QStringLiteral("1999-03-04")},
     {},
     {},
     QStringLiteral("1999")},
};

struct Source {
    const char* file;
    QList<Field> fields;
    bool pictured;         // holds a front and a back cover
    QStringList id3Lost{}; // what ID3v2.3 targets cannot hold of it
};

const Source kSources[] = {
    {"rich.flac", QList<Field>(std::begin(kFields), std::end(kFields)), true},
    {"rich.ogg", QList<Field>(std::begin(kFields), std::end(kFields)), false},
    {"rich.mp3", QList<Field>(std::begin(kFields), std::end(kFields)), true},
    {"chunks.aiff", QList<Field>(std::begin(kAiffFields), std::end(kAiffFields)), false},
    {"bext.wav", QList<Field>(std::begin(kBextFields), std::end(kBextFields)), false},
    {"tagged.wv", kWavPackFields, true},
    {"info.caf", kCafFields, false},
    {"tagged.dsf", kDsfFields, true},
    {"v23.mp3", kV23Fields, false},
    {"tool.m4a", kToolFields, false},
    {"dates.flac",
     kDateFields,
     false,
     {QStringLiteral("seconds of date"), QStringLiteral("original date beyond its year")}},
};

enum class Family { Id3, Vorbis, Asf, Mp4 };

struct Target {
    const char* format;
    const char* extension;
    Family family;
};

const Target kTargets[] = {
    {"MP3", "mp3", Family::Id3},      {"WAV", "wav", Family::Id3},
    {"OGG", "ogg", Family::Vorbis},   {"Opus", "opus", Family::Vorbis},
    {"FLAC", "flac", Family::Vorbis}, {"WMA", "wma", Family::Asf},
    {"M4A", "m4a", Family::Mp4},
};

const char* nameIn(const Field& field, Family family)
{
    switch (family) {
    case Family::Id3:
        return field.id3;
    case Family::Vorbis:
        return field.vorbis;
    case Family::Asf:
        return field.asf;
    case Family::Mp4:
        return field.mp4;
    }
    return "";
}

QStringList texts(const QJsonValue& values)
{
    QStringList list;
    for (const QJsonValue& value : values.toArray())
        list.append(value.toString());
    return list;
}

// The pictures the sources hold, as fieldtool.py gives them back.
QJsonObject storedPicture(int type, const char* description, const QByteArray& data)
{
    return {{QStringLiteral("type"), type},
            {QStringLiteral("desc"), QString::fromUtf8(description)},
            {QStringLiteral("data"), QString::fromLatin1(data.toBase64())}};
}

struct LogRecorder final : BatchObserver {
    void logLine(const QString& line) override { lines << line; }
    QStringList lines;
};

// Sources by flac, oggenc and lame, tagged by their own options or by mutagen, each converted
// to every target and read back by mutagen.
TEST(FieldsOfOtherWriters, ArriveInEveryTargetAsTheyWere)
{
    TempDir sources;
    runFieldTool(QStringLiteral("make"), sources.path());
    ASSERT_TRUE(QFile::exists(sources.file(QStringLiteral("rich.mp3"))));
    const QJsonObject kPictures[] = {
        storedPicture(3, "front", fileBytes(sources.file(QStringLiteral("front.png")))),
        storedPicture(4, "back side", fileBytes(sources.file(QStringLiteral("back.png"))))};
    for (const auto& [source, sourceFields, pictured, id3Lost] : kSources) {
        for (const Target& target : kTargets) {
            SCOPED_TRACE(std::string(source) + " to " + target.format);
            TempDir out;
            AudioFile reader;
            AudioFile writer;
            ASSERT_TRUE(EncoderSettings().applyTo(writer));
            AudioInformation information;
            LogRecorder log;
            const RowResult result =
                BatchRun(reader, writer, information)
                    .convertRow(
                        sources.file(QString::fromLatin1(source)),
                        out.file(QStringLiteral("output.") + QLatin1String(target.extension)),
                        *outputKindNamed(QString::fromLatin1(target.format)), true, log);
            ASSERT_TRUE(result.saved);
            const QJsonObject read = runFieldTool(QStringLiteral("dump"), result.output);
            const QJsonObject fields = read.value(u"fields").toObject();
            for (const Field& field : sourceFields) {
                const QString name = QString::fromUtf8(nameIn(field, target.family));
                QStringList expected = field.values;
                if (target.family == Family::Asf && !field.asfValue.isEmpty())
                    expected = QStringList{field.asfValue};
                if (target.family == Family::Mp4 && !field.mp4Value.isEmpty())
                    expected = QStringList{field.mp4Value};
                if (target.family == Family::Id3 && !field.id3Value.isEmpty())
                    expected = QStringList{field.id3Value};
                QStringList arrived = texts(fields.value(name));
                // Readers show a date's time after a "T" or a blank, with or without seconds.
                if (name == u"TDRC" || name == u"DATE" || name == u"WM/Year" ||
                    name == u"\u00a9day") {
                    for (QString& date : arrived)
                        date = date.replace(u' ', u'T').left(16);
                }
                EXPECT_EQ(arrived, expected) << name.toStdString();
            }
            // A WAV's RIFF INFO holds the title as UTF-8, as FFmpeg's and TagLib's readers
            // take it.
            if (QLatin1String(target.extension) == u"wav" &&
                QLatin1String(source).startsWith(u"rich")) {
                EXPECT_TRUE(fileBytes(result.output)
                                .contains("INAM\x10\0\0\0 P\xc3\xa4"
                                          "dded Title \0"));
            }
            // Both pictures, in order, with their types and descriptions where the target
            // has room for them.
            const QJsonArray pictures = read.value(u"pictures").toArray();
            ASSERT_EQ(pictures.size(), pictured ? 2 : 0);
            const bool mp4 = target.family == Family::Mp4;
            for (qsizetype index = 0; index < pictures.size(); ++index) {
                const QJsonObject picture = pictures[index].toObject();
                const QJsonObject stored = kPictures[index];
                EXPECT_EQ(picture.value(u"data"), stored.value(u"data")) << index;
                if (!mp4) {
                    EXPECT_EQ(picture.value(u"type"), stored.value(u"type")) << index;
                    EXPECT_EQ(picture.value(u"desc"), stored.value(u"desc")) << index;
                }
            }
            // "Not kept" names what the target could not hold, and nothing else.
            QStringList notKept;
            const bool severalArtists =
                std::any_of(sourceFields.begin(), sourceFields.end(), [](const Field& field) {
                    return QLatin1String(field.id3) == u"TPE1" && field.values.size() > 1;
                });
            if (target.family == Family::Asf && severalArtists)
                notKept << QStringLiteral("several values of artist");
            if (target.family == Family::Id3)
                notKept << id3Lost;
            if (mp4 && pictured)
                notKept << QStringLiteral("cover description") << QStringLiteral("picture type");
            const QString lost = log.lines.filter(QStringLiteral("Not kept")).join(QString());
            EXPECT_EQ(lost.section(QStringLiteral(": "), 2), notKept.join(QStringLiteral(", ")));
        }
    }
}

// The APE tag comes first; an ID3v2 tag in front of the file fills what it lacks.
TEST(FieldsOfOtherWriters, MonkeysAudioReadsItsApeTagAndTheId3TagInFront)
{
    TempDir sources;
    runFieldTool(QStringLiteral("make"), sources.path());
    const FileTags read =
        readTagLibTags(sources.file(QStringLiteral("leading-id3.ape")), AudioContent::Ape);
    EXPECT_EQ(read.tags.artist, u"Ape Artist");
    EXPECT_EQ(read.tags.title, u"Id3 Title");
    EXPECT_EQ(read.rich.otherFields.value(QStringLiteral("ISRC")),
              QStringList{QStringLiteral("USRC17607839")});
    EXPECT_EQ(read.rich.cover.type, 4);
    EXPECT_EQ(read.rich.cover.data, fileBytes(sources.file(QStringLiteral("back.png"))));
}

} // namespace
