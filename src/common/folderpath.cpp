#include "common/folderpath.h"

#include <QDir>

namespace tunevale {

namespace {

bool endsWithSeparator(const QString& folder)
{
    return folder.endsWith(QDir::separator()) || folder.endsWith(u'/');
}

} // namespace

QString withTrailingSeparator(const QString& folder)
{
    return folder.isEmpty() || endsWithSeparator(folder) ? folder : folder + QDir::separator();
}

QString withoutTrailingSeparator(const QString& folder)
{
    if (folder.size() > 1 && endsWithSeparator(folder) && !QDir(folder).isRoot())
        return folder.chopped(1);
    return folder;
}

} // namespace tunevale
