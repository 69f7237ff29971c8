#include "convert/namepreview.h"

#include "common/folderpath.h"
#include "convert/outputnaming.h"
#include "settings/encodersettings.h"

#include <QDir>

#include <algorithm>

namespace tunevale {

QList<PreviewName> previewOutputNames(const QStringList& rows, const QStringList& relativeFolders,
                                      const EncoderSettings& settings, int count)
{
    const QString outputFolder = settings.rowOutputFolder();
    OutputNaming naming(targetExtension(settings.TargetFormat), outputFolder, settings.IfTaken);
    naming.setRules(settings.Naming);
    QList<PreviewName> names;
    const qsizetype shown = std::min<qsizetype>(count, rows.size());
    for (qsizetype row = 0; row < shown; ++row) {
        const QString path = naming.claimName(rows[row], relativeFolders.value(row));
        const QString base =
            withTrailingSeparator(outputFolder.isEmpty() ? folderOf(rows[row]) : outputFolder);
        names.append(
            {QDir::toNativeSeparators(path.startsWith(base) ? path.mid(base.size()) : path),
             isNameTaken(path)});
    }
    return names;
}

} // namespace tunevale
