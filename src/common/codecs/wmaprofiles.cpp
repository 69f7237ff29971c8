#include "common/codecs/wmaprofiles.h"

#include <QCoreApplication>

#include <array>

namespace tunevale {

namespace {

// Ordered from the best to the smallest output. measuredKbps is file size * 8 / duration of
// 20 s of mixed tones and noise written through WmaEncoder, container overhead included.
constexpr std::array<WmaProfile, kWmaProfileCount> kProfiles{{
    {48000, 2, 320000, 327}, // 1
    {48000, 2, 256000, 262}, // 2
    {48000, 2, 192000, 198}, // 3
    {48000, 2, 160000, 165}, // 4
    {48000, 2, 128000, 133}, // 5
    {44100, 2, 320000, 327}, // 6
    {44100, 2, 256000, 262}, // 7
    {44100, 2, 192000, 197}, // 8
    {44100, 2, 160000, 165}, // 9
    {44100, 2, 128000, 132}, // 10: normal quality, normal size
    {44100, 2, 112000, 116}, // 11
    {44100, 2, 96000, 101},  // 12
    {44100, 2, 80000, 84},   // 13
    {44100, 2, 64000, 68},   // 14: good quality, small size
    {44100, 2, 48000, 52},   // 15
    {44100, 1, 96000, 101},  // 16
    {44100, 1, 64000, 68},   // 17
    {44100, 1, 48000, 52},   // 18
    {32000, 2, 96000, 100},  // 19
    {32000, 2, 64000, 68},   // 20
    {32000, 2, 48000, 51},   // 21
    {32000, 2, 40000, 43},   // 22
    {32000, 1, 48000, 51},   // 23
    {32000, 1, 32000, 35},   // 24
    {22050, 2, 64000, 68},   // 25
    {22050, 2, 48000, 52},   // 26
    {22050, 2, 32000, 36},   // 27
    {22050, 1, 48000, 52},   // 28
    {22050, 1, 32000, 36},   // 29
    {22050, 1, 24000, 28},   // 30
    {16000, 2, 48000, 53},   // 31
    {16000, 2, 32000, 37},   // 32
    {16000, 2, 24000, 30},   // 33
    {16000, 1, 32000, 37},   // 34
    {16000, 1, 24000, 30},   // 35: poor quality, very small size
    {12000, 2, 32000, 36},   // 36
    {12000, 2, 24000, 28},   // 37
    {12000, 1, 32000, 36},   // 38
    {12000, 1, 24000, 28},   // 39
    {11025, 2, 32000, 36},   // 40
    {11025, 2, 24000, 28},   // 41
    {11025, 1, 32000, 36},   // 42
    {11025, 1, 24000, 28},   // 43
    {8000, 2, 32000, 35},    // 44
    {8000, 2, 24000, 27},    // 45
    {8000, 1, 32000, 35},    // 46
    {8000, 1, 24000, 27},    // 47
}};

static_assert(kDefaultWmaProfile >= 1 && kDefaultWmaProfile <= kWmaProfileCount);

} // namespace

bool isValidWmaProfile(int number)
{
    return number >= 1 && number <= kWmaProfileCount;
}

Status validateWmaProfile(int number)
{
    if (!isValidWmaProfile(number))
        return Status::error(QStringLiteral("There is no WMA profile %1; profiles go from 1 to %2")
                                 .arg(number)
                                 .arg(kWmaProfileCount));
    return {};
}

const WmaProfile& wmaProfile(int number)
{
    return kProfiles[isValidWmaProfile(number) ? number - 1 : kDefaultWmaProfile - 1];
}

QString describeWmaProfile(int number)
{
    if (!isValidWmaProfile(number))
        return {};
    const WmaProfile& profile = kProfiles[number - 1];
    // Shown in the WMA dialog, so in the window's language; without a translator, English.
    return QCoreApplication::translate("tunevale::WmaProfiles",
                                       "WMA %1 Kbps; %2 Hz; %3 (measured %4 Kbps)")
        .arg(profile.bitrate / 1000)
        .arg(profile.sampleRate)
        .arg(profile.channels == 1 ? QStringLiteral("Mono") : QStringLiteral("Stereo"))
        .arg(profile.measuredKbps);
}

} // namespace tunevale
