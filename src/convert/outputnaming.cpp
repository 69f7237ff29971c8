#include "convert/outputnaming.h"

#include "common/folderpath.h"
#include "common/localfile.h"

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

QString OutputNaming::claim(const QString& source)
{
    const QString path =
        outputPathFor(source, m_extension, m_outputFolder, m_claimed, m_ifExists == IfExists::New);
    m_claimed.insert(claimKey(path));
    return path;
}

} // namespace tunevale
