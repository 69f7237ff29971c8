#include "common/audio/wmaprofiles.h"
namespace tunevale {
static const WmaProfile kProfile{44100, 2, 64000, 64};
bool isValidWmaProfile(int n) { return n >= 1 && n <= kWmaProfileCount; }
const WmaProfile& wmaProfile(int) { return kProfile; }
QString describeWmaProfile(int) { return QStringLiteral("WMA"); }
}
