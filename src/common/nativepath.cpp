#include "common/nativepath.h"

#include <QFile>

namespace tunevale {

QByteArray nativePath(const QString& path)
{
    return QFile::encodeName(path);
}

QString pathFromNative(const QByteArray& bytes)
{
    return QFile::decodeName(bytes);
}

} // namespace tunevale
