#include "common/audio/audioinformation.h"
namespace tunevale {
Status AudioInformation::open(const QString&) { return Status::error(QStringLiteral("TODO")); }
Status AudioInformation::setGenre(int v) { m_tags.genre = v; return {}; }
Status AudioInformation::setYear(int v) { m_tags.year = v; return {}; }
Status AudioInformation::setTrack(int v) { m_tags.track = v; return {}; }
Status AudioInformation::writeTags(const QString&) const { return Status::error(QStringLiteral("TODO")); }
}
