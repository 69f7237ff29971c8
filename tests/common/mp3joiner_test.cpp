#include "common/codecs/lamestream.h"
#include "common/codecs/lametag.h"
#include "common/codecs/mp3joiner.h"

#include "support/qtprinters.h"
#include "support/signals.h"

#include <gtest/gtest.h>

#include <cstring>

namespace tunevale {
namespace {

// An MPEG-1 Layer III frame at 32 kHz, 32 kbit/s, mono: 144 bytes, 21 of header and side
// information, whose data area is filled with fill.
std::vector<unsigned char> frameBytes(int mainDataBegin, unsigned char fill)
{
    std::vector<unsigned char> frame(144, fill);
    const unsigned char header[] = {0xFF, 0xFB, 0x18, 0xC0};
    std::memcpy(frame.data(), header, 4);
    std::fill(frame.begin() + 4, frame.begin() + 21, 0);
    frame[4] = static_cast<unsigned char>(mainDataBegin >> 1);
    frame[5] = static_cast<unsigned char>((mainDataBegin & 1) << 7);
    return frame;
}

// Frames numbered from first, frame i filled with fill + i.
Mp3Piece piece(qint64 first, std::initializer_list<int> mainDataBegins, unsigned char fill)
{
    Mp3Piece piece;
    piece.firstFrame = first;
    for (const int begin : mainDataBegins) {
        const auto frame = frameBytes(begin, fill++);
        piece.bytes.insert(piece.bytes.end(), frame.begin(), frame.end());
    }
    piece.frames = scanMp3Frames(piece.bytes);
    return piece;
}

TEST(Mp3Frames, HeadersGiveLengthSideInformationAndReservoir)
{
    struct Case {
        std::vector<unsigned char> header;
        int length, headerBytes, samples, mainDataBegin;
    };
    const Case cases[] = {
        // MPEG-1 44.1 kHz 128 kbit/s joint stereo with padding; main_data_begin 511.
        {{0xFF, 0xFB, 0x92, 0x40, 0xFF, 0x80}, 418, 36, 1152, 511},
        // The same with a CRC: two more bytes before the side information.
        {{0xFF, 0xFA, 0x92, 0x40, 0x00, 0x00, 0x01, 0x80}, 418, 38, 1152, 3},
        // MPEG-2 24 kHz 64 kbit/s mono: 576 samples, 9 bytes of side info, 8-bit field.
        {{0xFF, 0xF3, 0x84, 0xC0, 0xAB}, 192, 13, 576, 0xAB},
        // MPEG-2.5 8 kHz 8 kbit/s stereo.
        {{0xFF, 0xE3, 0x18, 0x00, 0x07}, 72, 21, 576, 7},
    };
    for (const Case& test : cases) {
        std::vector<unsigned char> data = test.header;
        data.resize(size_t(test.length));
        const auto frame = parseMp3Frame(data);
        ASSERT_TRUE(frame.has_value());
        EXPECT_EQ(frame->length, test.length);
        EXPECT_EQ(frame->headerBytes, test.headerBytes);
        EXPECT_EQ(frame->samples, test.samples);
        EXPECT_EQ(frame->mainDataBegin, test.mainDataBegin);
        data.pop_back(); // a frame cut short is no frame
        EXPECT_FALSE(parseMp3Frame(data).has_value());
    }
    // Layer II, free format, a bad bitrate index and a reserved rate are refused.
    for (const auto& header : {std::vector<unsigned char>{0xFF, 0xFD, 0x92, 0x40},
                               std::vector<unsigned char>{0xFF, 0xFB, 0x02, 0x40},
                               std::vector<unsigned char>{0xFF, 0xFB, 0xF2, 0x40},
                               std::vector<unsigned char>{0xFF, 0xFB, 0x9C, 0x40}}) {
        std::vector<unsigned char> data = header;
        data.resize(2000);
        EXPECT_FALSE(parseMp3Frame(data).has_value());
    }
}

TEST(Mp3Joiner, MovesTheNextPiecesReservoirIntoTheRoomLeftAtTheSeam)
{
    // 123 data bytes a frame. The first piece's frame 3 would take 60 bytes from frames
    // 0-2; the second piece's frame 3 takes 30 bytes from its own frames before it.
    const Mp3Piece before = piece(0, {0, 10, 20, 60, 0}, 0x10);
    const Mp3Piece after = piece(1, {0, 40, 30, 0}, 0x80);
    // At frame 2 the second piece needs 40 bytes where the first left 20: frame 3 fits.
    ASSERT_EQ(Mp3Joiner::findSeam(before, after, 2, 5), 3);

    Mp3Joiner joiner;
    ASSERT_TRUE(joiner.append(before, 0, 3));
    ASSERT_TRUE(joiner.append(after, 3, 5));
    const auto& bytes = joiner.bytes();
    ASSERT_EQ(joiner.frames().size(), 5u);
    ASSERT_EQ(bytes.size(), 5u * 144);
    const auto fromEnd = [&](int frame, int back) {
        return bytes[size_t(frame * 144 + 144 - back)];
    };
    // The last 30 data bytes before the seam are the second piece's (its frame 2, fill
    // 0x81); the 30 before them were the first piece's reservoir and are cleared; the rest
    // of frame 2 is the first piece's own.
    for (int back = 1; back <= 30; ++back)
        EXPECT_EQ(fromEnd(2, back), 0x81) << back;
    for (int back = 31; back <= 60; ++back)
        EXPECT_EQ(fromEnd(2, back), 0) << back;
    EXPECT_EQ(fromEnd(2, 61), 0x12);
    EXPECT_EQ(bytes[3 * 144 + 30], 0x82); // frame 3 onwards is the second piece's
    EXPECT_EQ(joiner.frames()[3].mainDataBegin, 30);
    EXPECT_EQ(joiner.frames()[4].offset, 4 * 144);

    // With no frame that fits, the frame before the seam is stated at 40 kbit/s instead of
    // 32, which gives it 36 more bytes, and takes the second piece's 40 at its end.
    ASSERT_EQ(Mp3Joiner::findSeam(before, after, 2, 3), 2);
    Mp3Joiner tight;
    ASSERT_TRUE(tight.append(before, 0, 2));
    ASSERT_TRUE(tight.append(after, 2, 4));
    const std::vector<Mp3Frame> frames = scanMp3Frames(tight.bytes());
    ASSERT_EQ(frames.size(), 4u);
    EXPECT_EQ(frames[1].length, 180);
    const auto endOfFrame1 = tight.bytes().begin() + 144 + 180;
    EXPECT_TRUE(std::all_of(endOfFrame1 - 40, endOfFrame1, [](auto byte) { return byte == 0x80; }));
    EXPECT_TRUE(
        std::all_of(endOfFrame1 - 56, endOfFrame1 - 40, [](auto byte) { return byte == 0; }));
    EXPECT_EQ(*(endOfFrame1 - 57), 0x11);
    // A gap is refused.
    EXPECT_FALSE(tight.append(after, 3, 4));
    // With no room left at all, the last frame is still held back for the next seam to restate.
    Mp3Joiner full;
    ASSERT_TRUE(full.append(piece(0, {0, 0, 0}, 0x20), 0, 2));
    EXPECT_EQ(full.takeSettled().frames.size(), 1u);
    EXPECT_TRUE(full.append(after, 2, 4));
}

// Taking out the frames no later seam can change, while joining, gives the very stream a
// join held whole in memory gives, and keeps only the frames a seam may still rewrite.
TEST(Mp3Joiner, SettledFramesCanBeWrittenBeforeTheNextSeam)
{
    const Mp3Piece before = piece(0, {0, 10, 20, 60, 0}, 0x10);
    const Mp3Piece after = piece(1, {0, 40, 30, 0}, 0x80);
    Mp3Joiner whole;
    ASSERT_TRUE(whole.append(before, 0, 3));
    ASSERT_TRUE(whole.append(after, 3, 5));

    Mp3Joiner streamed;
    std::vector<unsigned char> written;
    const auto take = [&](bool complete) {
        const Mp3Piece settled = streamed.takeSettled(complete);
        written.insert(written.end(), settled.bytes.begin(), settled.bytes.end());
    };
    ASSERT_TRUE(streamed.append(before, 0, 3));
    take(false);
    // Frame 3 of the first piece would take 60 bytes from the frames before it: frame 2 holds
    // them and stays.
    EXPECT_EQ(written.size(), 2u * 144);
    ASSERT_TRUE(streamed.append(after, 3, 5));
    take(false);
    take(true);
    EXPECT_TRUE(written == whole.bytes());
}

// The summary a long stream's header is made from keeps few places, yet its seek table is as
// exact as the table's own steps of 1/256 of the stream.
TEST(Mp3StreamSummary, PlacesEveryPercentWithinTheTablesStep)
{
    Mp3StreamSummary summary;
    std::vector<qint64> offsets; // of every frame, for comparison
    std::vector<unsigned char> all;
    for (int chunk = 0; chunk < 50; ++chunk) {
        std::vector<Mp3Frame> frames(4000);
        const size_t start = all.size();
        for (Mp3Frame& frame : frames) {
            frame.offset = qsizetype(all.size() - start);
            frame.length = 100 + int(all.size() * 7 % 300); // as a VBR stream varies
            offsets.push_back(qint64(all.size()));
            all.resize(all.size() + size_t(frame.length), static_cast<unsigned char>(chunk));
        }
        summary.add(std::span(all).subspan(start), frames);
    }
    const auto total = qint64(all.size());
    EXPECT_EQ(summary.frameCount(), qint64(offsets.size()));
    EXPECT_EQ(summary.byteCount(), total);
    EXPECT_EQ(summary.crc(), LameTag::crc16(all));
    for (int percent = 0; percent < 100; ++percent) {
        const qint64 frame = qint64(offsets.size()) * percent / 100;
        const qint64 found = summary.offsetOf(frame);
        EXPECT_LE(found, offsets[size_t(frame)]) << percent;
        EXPECT_LT((offsets[size_t(frame)] - found) * 256, total) << percent;
    }
}

struct TagCase {
    const char* name;
    int sampleRate;
    int channels;
    int vbrMethod;
};

class LameTagTest : public testing::TestWithParam<TagCase> {};

// Rebuilt from the stream alone, the header matches the one LAME wrote for it: counts, delay
// and padding, music length and both checksums (the seek table may be rounded differently).
TEST_P(LameTagTest, RebuildsWhatLameWroteForItsOwnStream)
{
    const TagCase& test = GetParam();
    Mp3Encoder settings;
    ASSERT_TRUE(settings.setSampleRate(test.sampleRate));
    ASSERT_TRUE(settings.setChannels(test.channels));
    ASSERT_TRUE(settings.setVbrMethod(test.vbrMethod));
    LameStream lame;
    ASSERT_TRUE(lame.open(settings));
    const auto samples = test::noise(test.sampleRate, test.channels, 2.3);
    std::vector<unsigned char> bytes;
    std::vector<unsigned char> tag;
    ASSERT_TRUE(lame.encode(samples, bytes));
    ASSERT_TRUE(lame.flush(bytes));
    ASSERT_TRUE(lame.lameTagFrame(tag));
    ASSERT_GT(tag.size(), 200u);

    const std::span<const unsigned char> audio = std::span(bytes).subspan(tag.size());
    const std::vector<Mp3Frame> frames = scanMp3Frames(audio);
    ASSERT_EQ(frames.back().offset + frames.back().length, qsizetype(audio.size()));
    // Everything the stream decides is wiped; the encoder's own fields and delay stay.
    const auto xing = size_t(parseMp3Frame(tag)->headerBytes);
    const size_t lameBlock = xing + 120;
    std::vector<unsigned char> rebuilt = tag;
    std::fill(rebuilt.begin() + qsizetype(xing + 8), rebuilt.begin() + qsizetype(xing + 116), 0);
    rebuilt[lameBlock + 22] &= 0xF0;
    rebuilt[lameBlock + 23] = 0;
    std::fill(rebuilt.begin() + qsizetype(lameBlock + 28),
              rebuilt.begin() + qsizetype(lameBlock + 36), 0);
    Mp3StreamSummary summary;
    summary.add(audio, frames);
    ASSERT_TRUE(LameTag::describe(rebuilt, summary, qint64(samples.size()) / test.channels).isOk());
    const auto storedCrc = [](const std::vector<unsigned char>& frame, size_t at) {
        return quint16(frame[at] << 8 | frame[at + 1]);
    };
    const size_t tagCrc = lameBlock + 34;
    EXPECT_EQ(storedCrc(tag, tagCrc), LameTag::crc16(std::span(tag).first(tagCrc)));
    EXPECT_EQ(storedCrc(rebuilt, tagCrc), LameTag::crc16(std::span(rebuilt).first(tagCrc)));
    for (size_t i = 0; i < tagCrc; ++i) {
        if (i < xing + 16 || i >= xing + 116) { // outside the seek table
            EXPECT_EQ(rebuilt[i], tag[i]) << "byte " << i;
        }
    }
    EXPECT_EQ(rebuilt[xing + 16], 0);
    EXPECT_TRUE(std::is_sorted(rebuilt.begin() + qsizetype(xing + 16),
                               rebuilt.begin() + qsizetype(xing + 116)));
}

INSTANTIATE_TEST_SUITE_P(Modes, LameTagTest,
                         testing::Values(TagCase{"CbrStereo44k", 44100, 2, Mp3Encoder::kVbrNone},
                                         TagCase{"VbrMono32k", 32000, 1, Mp3Encoder::kVbrNew},
                                         TagCase{"AbrStereo48k", 48000, 2, Mp3Encoder::kVbrAbr},
                                         TagCase{"CbrMono22k", 22050, 1, Mp3Encoder::kVbrNone}),
                         [](const testing::TestParamInfo<TagCase>& info) {
                             return std::string(info.param.name);
                         });

} // namespace
} // namespace tunevale
