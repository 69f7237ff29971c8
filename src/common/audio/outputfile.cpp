#include "common/audio/outputfile.h"

#include <QDir>

namespace tunevale {

Status openOutputFile(QFile& file, const QString& path)
{
    file.setFileName(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return Status::error(QStringLiteral("Cannot create %1: %2")
                                 .arg(QDir::toNativeSeparators(path), file.errorString()));
    return {};
}

Status writeFailure(const QFile& file)
{
    return Status::error(QStringLiteral("Cannot write %1: %2")
                             .arg(QDir::toNativeSeparators(file.fileName()), file.errorString()));
}

Status closeOutputFile(QFile& file, Status status)
{
    if (status && !file.flush())
        status = writeFailure(file);
    file.close();
    if (status && file.error() != QFileDevice::NoError)
        status = writeFailure(file);
    return status;
}

} // namespace tunevale
