#pragma once

#include <QStringList>

namespace tunevale {

// The bitrate choices (kbit/s) offered by the MP3 and OGG dialogs, in list order.
QStringList bitrateListTexts();

// List position of a bitrate in kbit/s; a value that is not in the list maps to 0 (the "8" item).
int BitrateListIndex(int kbps);

} // namespace tunevale
