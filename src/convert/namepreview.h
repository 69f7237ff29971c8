#pragma once

#include <QStringList>

namespace tunevale {

struct EncoderSettings;

// The output names the first count rows of a run with settings get, chosen by the run's own
// naming in list order (names taken on disk, and by earlier rows, are passed over alike).
// Each is its path below the output folder, or below its source's folder when outputs go
// beside their sources, in native separators. relativeFolders: as ParallelBatch::setNaming.
// No folder is made.
QStringList previewOutputNames(const QStringList& rows, const QStringList& relativeFolders,
                               const EncoderSettings& settings, int count);

} // namespace tunevale
