#include "convert/outputnaming.h"

#include "common/audio/audioinformation.h"
#include "common/folderpath.h"
#include "common/localfile.h"
#include "common/safefile.h"
#include "convert/namepattern.h"
#include "convert/safename.h"

#include <QDir>

namespace tunevale {

namespace {

bool isSeparator(QChar character)
{
    return character == u'/' || character == QDir::separator();
}

qsizetype lastSeparator(const QString& path)
{
    for (qsizetype index = path.size() - 1; index >= 0; --index) {
        if (isSeparator(path[index]))
            return index;
    }
    return -1;
}

// Claims compare whole paths, so "a/./b.mp3" and "a/b.mp3" must meet as one name.
QString claimKey(const QString& path)
{
    return QDir::cleanPath(absolutePath(path));
}

} // namespace

QString targetExtension(OutputKind targetFormat)
{
    return u'.' + outputFormat(targetFormat).extension.toString();
}

QString stemOf(const QString& fileName)
{
    // A leading dot starts a hidden name, not an extension.
    const qsizetype dot = fileName.lastIndexOf(u'.');
    return dot > 0 ? fileName.left(dot) : fileName;
}

QString folderOf(const QString& path)
{
    return path.left(lastSeparator(path) + 1);
}

bool isNameTaken(const QString& path)
{
    // A dangling link counts too: it must not be replaced either.
    const LocalFileInfo info = LocalFileInfo::of(path);
    return info.exists && (info.isSymLink || !info.isDir);
}

QString outputPathFor(const QString& source, const QString& extension, const QString& outputFolder,
                      const QSet<QString>& claimed, bool avoidTaken)
{
    const QString folder =
        withTrailingSeparator(outputFolder.isEmpty() ? folderOf(source) : outputFolder);
    const QString fileName = source.mid(lastSeparator(source) + 1);
    QString name = stemOf(fileName) + extension;
    while ((avoidTaken && isNameTaken(folder + name)) || claimed.contains(claimKey(folder + name)))
        name.prepend(QStringLiteral("New_"));
    return folder + name;
}

QString withNewPrefix(const QString& path)
{
    const qsizetype nameStart = lastSeparator(path) + 1;
    return path.left(nameStart) + QStringLiteral("New_") + path.mid(nameStart);
}

OutputNaming::OutputNaming(QString extension, QString outputFolder, IfExists ifExists)
    : m_extension(std::move(extension))
    , m_outputFolder(std::move(outputFolder))
    , m_ifExists(ifExists)
{}

void OutputNaming::setOutputFolder(const QString& outputFolder)
{
    m_outputFolder = outputFolder;
}

QString withNumber(const QString& path, int number)
{
    const qsizetype nameStart = lastSeparator(path) + 1;
    const QString stem = stemOf(path.mid(nameStart));
    return path.left(nameStart) + stem + QStringLiteral(" (%1)").arg(number) +
           path.mid(nameStart + stem.size());
}

QString OutputNaming::claim(const QString& source)
{
    return claimOutput(source, QString()).path;
}

QString OutputNaming::wantedPath(const QString& source, const QString& relativeFolder) const
{
    const bool below = !m_outputFolder.isEmpty();
    QString folder = withTrailingSeparator(below ? m_outputFolder : folderOf(source));
    QStringList names;
    if (below && m_rules.keepTree) {
        for (const QString& name : relativeFolder.split(u'/', Qt::SkipEmptyParts))
            names << cutToBytes(safeComponent(name, m_rules.portable));
    }
    const QString fileName = source.mid(lastSeparator(source) + 1);
    if (m_rules.pattern.isEmpty()) {
        QString name = stemOf(fileName);
        if (m_rules.portable)
            name = safeComponent(name, true);
        names << cutToBytes(name, kComponentBytes - int(m_extension.toUtf8().size()));
    } else {
        AudioInformation information;
        (void)information.open(source);
        names << NamePattern(m_rules.pattern)
                     .expand(NameFields::of(source, information.tags(), information.richTags()),
                             m_rules.portable, int(m_extension.toUtf8().size()));
    }
    return folder + names.join(u'/') + m_extension;
}

QString OutputNaming::freePath(const QString& wanted) const
{
    const auto taken = [&](const QString& path) {
        return (m_ifExists != IfExists::Skip && isNameTaken(path)) ||
               m_claimed.contains(claimKey(path));
    };
    QString path = wanted;
    for (int number = 2; taken(path); ++number)
        path = m_ifExists == IfExists::Number ? withNumber(wanted, number) : withNewPrefix(path);
    return path;
}

QString OutputNaming::claimName(const QString& source, const QString& relativeFolder)
{
    QString path = freePath(wantedPath(source, relativeFolder));
    m_claimed.insert(claimKey(path));
    return path;
}

ClaimedOutput OutputNaming::claimOutput(const QString& source, const QString& relativeFolder)
{
    ClaimedOutput claimed;
    claimed.path = claimName(source, relativeFolder);
    const QString base =
        withTrailingSeparator(m_outputFolder.isEmpty() ? folderOf(source) : m_outputFolder);
    const QString below = folderOf(claimed.path).mid(base.size());
    if (const QStringList names = below.split(u'/', Qt::SkipEmptyParts); !names.isEmpty()) {
        // A source named without a folder lies in the working one.
        const QString opened = base.isEmpty() ? QStringLiteral(".") : base;
        if (const int error = makeFoldersBelow(opened, names); error != 0)
            claimed.failure =
                QStringLiteral("Cannot create folder %1: %2")
                    .arg(QDir::toNativeSeparators(base + below.chopped(1)), systemErrorText(error));
    }
    return claimed;
}

} // namespace tunevale
