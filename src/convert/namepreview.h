#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace tunevale {

struct EncoderSettings;

// One output name as a run would choose it.
struct PreviewName {
    QString name;       // below the output folder, or below its source's folder, native separators
    bool taken = false; // exists already: the row will be skipped
};

// The output names the first count rows of a run with settings get, chosen by the run's own
// naming in list order (names taken on disk, and by earlier rows, are passed over alike unless
// taken names are skipped). relativeFolders: as ParallelBatch::setNaming. No folder is made.
QList<PreviewName> previewOutputNames(const QStringList& rows, const QStringList& relativeFolders,
                                      const EncoderSettings& settings, int count);

} // namespace tunevale
