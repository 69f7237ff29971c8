#include "app/artwork.h"

namespace tunevale {
QIcon applicationIcon() { return {}; }
QPixmap splashArtwork(const QSize& size) { QPixmap p(size); p.fill(Qt::darkBlue); return p; }
QIcon commandIcon(CommandIcon) { return {}; }
} // namespace tunevale
