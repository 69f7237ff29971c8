#pragma once

#include "common/audio/status.h"

#include <QString>

namespace tunevale {

// The numbered WMA encoding profiles, from the highest quality (1) to the lowest.
struct WmaProfile {
    int sampleRate;   // Hz
    int channels;     // 1 or 2
    int bitrate;      // requested from the encoder, bit/s
    int measuredKbps; // what the encoder really produces, file size / duration
};

inline constexpr int kWmaProfileCount = 47;
inline constexpr int kDefaultWmaProfile = 14;

bool isValidWmaProfile(int number);
// isValidWmaProfile, with the message a user reads when it is not.
Status validateWmaProfile(int number);
// Profile 1 to kWmaProfileCount; the caller checks isValidWmaProfile first.
const WmaProfile& wmaProfile(int number);
// One-line description, stating the bitrate the profile really achieves.
QString describeWmaProfile(int number);

} // namespace tunevale
