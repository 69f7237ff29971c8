#pragma once

#include "common/audio/status.h"

#include <QFile>

// The file handling the encoders that write through QFile share, with the texts the
// conversion log shows.
namespace tunevale {

// Creates or truncates path for writing; "Cannot create <path>: <reason>" on failure.
Status openOutputFile(QFile& file, const QString& path);
// "Cannot write <path>: <reason>" for the file's last failed write.
Status writeFailure(const QFile& file);
// Flushes (while status is good) and closes the file, also after a failure so a
// half-written file is not held open. The first failure is the one returned.
Status closeOutputFile(QFile& file, Status status);

} // namespace tunevale
