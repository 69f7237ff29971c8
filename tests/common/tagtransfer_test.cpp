#include "common/audio/audiofile.h"
#include "common/audio/audioinformation.h"
#include "convert/batchrun.h"
#include "convert/tagtransfer.h"
#include "settings/encodersettings.h"
#include "support/fixtures.h"
#include "support/qtprinters.h"
#include "support/signals.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace tunevale;
using namespace tunevale::test;

namespace {

struct NumericCase {
    const char* text;
    IntegerWidth width;
    std::optional<int> expected;
};

class NumericValue : public ::testing::TestWithParam<NumericCase> {};

TEST_P(NumericValue, ReadsTheLeadingNumber)
{
    const NumericCase& test = GetParam();
    EXPECT_EQ(numericValue(QString::fromUtf8(test.text), test.width), test.expected)
        << '"' << test.text << '"';
}

constexpr auto k16 = IntegerWidth::Bits16;
constexpr auto k32 = IntegerWidth::Bits32;

INSTANTIATE_TEST_SUITE_P(
    Texts, NumericValue,
    ::testing::Values(
        NumericCase{"1999", k32, 1999}, NumericCase{"1999abc", k32, 1999}, NumericCase{"", k16, 0},
        NumericCase{"Rock", k16, 0}, NumericCase{"  \t42 ", k16, 42}, NumericCase{"-1", k16, -1},
        NumericCase{"+7", k16, 7}, NumericCase{"2.5", k16, 2}, NumericCase{"3.5", k16, 4},
        NumericCase{"-2.5", k16, -2}, NumericCase{".5", k16, 0}, NumericCase{"1.5x", k16, 2},
        NumericCase{"7.", k16, 7}, NumericCase{"- 3", k16, 0}, NumericCase{"12 13", k16, 12},
        NumericCase{"32767", k16, 32767}, NumericCase{"32767.5", k16, std::nullopt},
        NumericCase{"32768", k16, std::nullopt}, NumericCase{"-32768", k16, -32768},
        NumericCase{"-32769", k16, std::nullopt}, NumericCase{"32768", k32, 32768},
        NumericCase{"2147483647", k32, 2147483647}, NumericCase{"2147483648", k32, std::nullopt},
        NumericCase{"99999999999999999999999", k32, std::nullopt}));

AudioTags sampleTags()
{
    AudioTags tags;
    tags.title = QStringLiteral("Ünder the Sky");
    tags.artist = QStringLiteral("The Testers");
    tags.album = QStringLiteral("Signals");
    tags.genre = 17; // Rock
    tags.year = 1999;
    tags.track = 7;
    tags.comment = QStringLiteral("made at test time");
    return tags;
}

RichTags sampleRich()
{
    RichTags rich;
    rich.albumArtist = QStringLiteral("Various");
    rich.composer = QStringLiteral("Someone Else");
    rich.date = QStringLiteral("1999-05-06");
    rich.genre = QStringLiteral("Rock");
    rich.lyrics = QStringLiteral("la la la");
    rich.trackTotal = 12;
    rich.discNumber = 1;
    rich.discTotal = 2;
    rich.cover = {QByteArray("\x89PNG not really", 16), QStringLiteral("image/png"), QString()};
    return rich;
}

TEST(TagTransfer, UnreadableSourceClearsEveryField)
{
    TempDir dir;
    const QString text = dir.file(QStringLiteral("text.mp3"));
    QFile file(text);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_GT(file.write("no audio here"), 0);
    file.close();

    AudioInformation information;
    TagBuffer buffer{QStringLiteral("t"), QStringLiteral("a"), QStringLiteral("b"),
                     QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"),
                     QStringLiteral("c"), sampleRich(),        {QStringLiteral("ISRC")}};
    ReadSourceTags(information, text, buffer);
    for (const QString* field :
         {&buffer.TagTitle, &buffer.TagArtist, &buffer.TagAlbum, &buffer.TagGenre, &buffer.TagYear,
          &buffer.TagTrack, &buffer.TagComment})
        EXPECT_TRUE(field->isEmpty()) << field->toStdString();
    EXPECT_EQ(buffer.TagRich, RichTags());
    EXPECT_TRUE(buffer.TagOtherFields.isEmpty());
}

TEST(TagTransfer, SourceTagsBecomeDecimalTexts)
{
    TempDir dir;
    const QString source = dir.file(QStringLiteral("tagged.wav"));
    ASSERT_TRUE(writePcmWav(source, sine(440, 22050, 1, 0.5), 22050, 1));
    AudioInformation writer;
    AudioTags tags = sampleTags();
    tags.genre = -1;
    writer.setTags(tags);
    ASSERT_TRUE(writer.writeTags(source));

    AudioInformation information;
    TagBuffer buffer;
    ReadSourceTags(information, source, buffer);
    EXPECT_EQ(buffer.TagTitle, tags.title);
    EXPECT_EQ(buffer.TagArtist, tags.artist);
    EXPECT_EQ(buffer.TagAlbum, tags.album);
    EXPECT_EQ(buffer.TagGenre, QStringLiteral("-1"));
    EXPECT_EQ(buffer.TagYear, QStringLiteral("1999"));
    EXPECT_EQ(buffer.TagTrack, QStringLiteral("7"));
    EXPECT_EQ(buffer.TagComment, tags.comment);
}

TEST(TagTransfer, RefusedValuesAreSkippedOneByOne)
{
    TempDir dir;
    const QString output = dir.file(QStringLiteral("out.wav"));
    ASSERT_TRUE(writePcmWav(output, sine(440, 22050, 1, 0.5), 22050, 1));

    AudioInformation information;
    const TagBuffer buffer{QStringLiteral("Title"),
                           QStringLiteral("Artist"),
                           QStringLiteral("Album"),
                           QStringLiteral("500"),
                           QStringLiteral("-5"),
                           QStringLiteral("40000"),
                           QStringLiteral("Comment"),
                           {},
                           {}};
    ASSERT_TRUE(WriteTags(information, buffer, output));

    AudioInformation reader;
    ASSERT_TRUE(reader.open(output));
    EXPECT_EQ(reader.title(), QStringLiteral("Title"));
    EXPECT_EQ(reader.artist(), QStringLiteral("Artist"));
    EXPECT_EQ(reader.album(), QStringLiteral("Album"));
    EXPECT_EQ(reader.genre(), -1);
    EXPECT_EQ(reader.year(), 0);
    EXPECT_EQ(reader.track(), 0);
    EXPECT_EQ(reader.comment(), QStringLiteral("Comment"));
}

TEST(TagTransfer, EmptyGenreMeansNoGenreNotBlues)
{
    TempDir dir;
    const QString output = dir.file(QStringLiteral("out.wav"));
    ASSERT_TRUE(writePcmWav(output, sine(440, 22050, 1, 0.5), 22050, 1));
    AudioInformation information;
    ASSERT_TRUE(WriteTags(information, TagBuffer(), output));
    ASSERT_TRUE(information.open(output));
    EXPECT_EQ(information.genre(), -1);

    ASSERT_TRUE(WriteTags(information,
                          TagBuffer{{}, {}, {}, QStringLiteral("0"), {}, {}, {}, {}, {}}, output));
    ASSERT_TRUE(information.open(output));
    EXPECT_EQ(information.genre(), 0); // an explicit 0 is Blues
}

// A total is written beside its number only, and a WMA has no place for the track total.
TEST(TagTransfer, FieldsNotKeptByEachTarget)
{
    TagBuffer buffer;
    buffer.TagTrack = QStringLiteral("3");
    buffer.TagRich.trackTotal = 12;
    buffer.TagRich.discNumber = 1;
    buffer.TagRich.discTotal = 2;
    for (const OutputKind target : {OutputKind::Mp3, OutputKind::Ogg, OutputKind::Wav})
        EXPECT_EQ(FieldsNotKept(buffer, target), QStringList())
            << formatCaption(target).toStdString();
    EXPECT_EQ(FieldsNotKept(buffer, OutputKind::Wma), QStringList{QStringLiteral("track total")});

    buffer.TagTrack = QStringLiteral("0");
    buffer.TagRich.discNumber = 0;
    buffer.TagYear = QStringLiteral("2001");
    buffer.TagRich.date = QStringLiteral("2001-05-06"); // kept: the years agree
    buffer.TagOtherFields = QStringList{QStringLiteral("ISRC"), QStringLiteral("BPM")};
    EXPECT_EQ(FieldsNotKept(buffer, OutputKind::Mp3),
              (QStringList{QStringLiteral("track total"), QStringLiteral("disc total"),
                           QStringLiteral("ISRC"), QStringLiteral("BPM")}));
    buffer.TagYear = QStringLiteral("1999"); // the seven's year wins over the full date
    EXPECT_TRUE(FieldsNotKept(buffer, OutputKind::Ogg).contains(QStringLiteral("date")));

    // ID3v2.3 holds a date's day and month together or not at all.
    buffer.TagYear = QStringLiteral("2001");
    buffer.TagOtherFields.clear();
    buffer.TagRich.trackTotal = 0;
    buffer.TagRich.discTotal = 0;
    buffer.TagRich.date = QStringLiteral("2001-05");
    EXPECT_EQ(FieldsNotKept(buffer, OutputKind::Wav), QStringList{QStringLiteral("month of date")});
    EXPECT_EQ(FieldsNotKept(buffer, OutputKind::Flac), QStringList());
    buffer.TagRich.date = QStringLiteral("2001-05-06");
    EXPECT_EQ(FieldsNotKept(buffer, OutputKind::Mp3), QStringList());
}

TEST(TagTransfer, WritingIntoAMissingFileFails)
{
    TempDir dir;
    AudioInformation information;
    const Status status =
        WriteTags(information, TagBuffer(), dir.file(QStringLiteral("missing.ogg")));
    EXPECT_FALSE(status);
    EXPECT_TRUE(status.message().contains(QStringLiteral("missing.ogg")));
}

struct FormatCase {
    const char* format;    // target format, "MP3" ...
    const char* extension; // without the dot
    QStringList ffmpegArguments;
};

const FormatCase kFormats[] = {
    {"MP3", "mp3", args({"-c:a", "libmp3lame", "-b:a", "128k"})},
    {"OGG", "ogg", args({"-c:a", "libvorbis"})},
    {"WAV", "wav", args({"-c:a", "pcm_s16le"})},
    {"WMA", "wma", args({"-c:a", "wmav2", "-b:a", "64k"})},
};

class TagsCarried : public ::testing::TestWithParam<std::tuple<FormatCase, FormatCase>> {};

TEST_P(TagsCarried, EverySourceToEveryTarget)
{
    const auto& [source, target] = GetParam();
    TempDir dir;
    const QString path = dir.file(QStringLiteral("source.") + QLatin1String(source.extension));
    ASSERT_TRUE(makeWithFfmpeg(path, sine(440, 44100, 2, 1.0), 44100, 2, source.ffmpegArguments));
    AudioInformation tagger;
    tagger.setTags(sampleTags());
    ASSERT_TRUE(tagger.writeTags(path));

    AudioFile reader;
    AudioFile writer;
    AudioInformation information;
    EXPECT_TRUE(EncoderSettings().applyTo(writer));
    BatchRun batch(reader, writer, information);
    BatchObserver quiet;
    const OutputKind format = *outputKindNamed(QString::fromLatin1(target.format));
    const RowResult result = batch.convertRow(
        path, dir.file(QStringLiteral("output.")) + QLatin1String(target.extension), format, true,
        quiet);
    ASSERT_TRUE(result.saved);

    AudioInformation check;
    ASSERT_TRUE(check.open(result.output));
    EXPECT_EQ(check.tags(), sampleTags());
}

INSTANTIATE_TEST_SUITE_P(Pairs, TagsCarried,
                         ::testing::Combine(::testing::ValuesIn(kFormats),
                                            ::testing::ValuesIn(kFormats)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).format) + "To" +
                                    std::get<1>(info.param).format;
                         });

} // namespace
