#include "convert/partfile.h"

#include "common/folderpath.h"
#include "common/localfile.h"
#include "convert/outputnaming.h"

#include <QDir>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSysInfo>

#include <algorithm>
#include <cerrno>
#include <mutex>
#include <set>

namespace tunevale {

namespace {

const QString kPrefix = QStringLiteral(".tunevale-");
const QString kSuffix = QStringLiteral(".part");

// Part of every part file's name: a folder shared between machines holds other machines'
// files, whose process ids say nothing here.
QString hostTag()
{
    static const QString tag = PartFile::hostTagFor(QSysInfo::machineHostName());
    return tag;
}

// Sweeps each folder once per process, before the first part file goes into it.
void removeLeftoversOnce(const QString& folder)
{
    static std::mutex mutex;
    // Not a QSet: Qt 6.4's string hashing leaves the upper halves of the AVX registers dirty
    // in the converting thread, and the encoder set-up that follows (libm's exp, called from
    // SSE code) then ran thirty times slower, costing 5-10 % of an OGG conversion.
    static std::set<QString> swept;
    const std::lock_guard lock(mutex);
    const QString key = QDir::cleanPath(absolutePath(folder));
    if (swept.insert(key).second)
        PartFile::removeLeftovers(key);
}

} // namespace

QString PartFile::hostTagFor(QString hostName)
{
    hostName.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9]")), QStringLiteral("_"));
    return hostName.isEmpty() ? QStringLiteral("host") : hostName.left(32);
}

PartFile::~PartFile()
{
    discard();
}

Status PartFile::create(const QString& outputPath)
{
    discard();
    const QString folder = folderOf(outputPath);
    removeLeftoversOnce(folder);
    const QString base = withTrailingSeparator(folder);
    int error = EEXIST;
    for (int attempt = 0; attempt < 16 && error == EEXIST; ++attempt) {
        const quint64 random = QRandomGenerator::global()->generate64();
        m_path = base + kPrefix + hostTag() + u'-' + QString::number(currentProcessId()) + u'-' +
                 QStringLiteral("%1").arg(random, 16, 16, QChar(u'0')) + kSuffix;
        m_file = createExclusive(m_path, error);
    }
    if (!m_file.isValid()) {
        m_path.clear();
        return Status::error(
            QStringLiteral("Cannot create %1: %2")
                .arg(QDir::toNativeSeparators(outputPath), systemErrorText(error)));
    }
    // Nobody else knows the name yet, so the lock cannot be taken by another.
    (void)tryLockFile(m_file.get());
    return {};
}

Status PartFile::commit(const QString& wanted, IfExists ifExists, QString& savedAs)
{
    savedAs.clear();
    QString target = wanted;
    for (int attempt = 2;; ++attempt) {
        const int error = moveWithoutReplacing(m_path, target);
        if (error == 0) {
            savedAs = target;
            m_path.clear();
            m_file = UniqueFd();
            return {};
        }
        if (error != EEXIST)
            return Status::error(
                QStringLiteral("Cannot save %1: %2")
                    .arg(QDir::toNativeSeparators(target), systemErrorText(error)));
        if (ifExists == IfExists::Skip) {
            discard();
            return {};
        }
        target = ifExists == IfExists::Number ? withNumber(wanted, attempt) : withNewPrefix(target);
    }
}

void PartFile::discard()
{
    if (!m_path.isEmpty())
        (void)removeFile(m_path);
    m_path.clear();
    m_file = UniqueFd();
}

int PartFile::removeLeftovers(const QString& folder)
{
    static const QRegularExpression pattern(
        QStringLiteral("^\\.tunevale-(\\w+)-(\\d+)-[0-9a-f]{16}\\.part$"));
    const QString base = withTrailingSeparator(folder);
    int removed = 0;
    for (const QString& name : folderEntryNames(folder)) {
        // Part names are ASCII; regular expressions refuse the escapes of undecodable bytes.
        const bool ascii = std::all_of(name.begin(), name.end(),
                                       [](QChar character) { return character.unicode() < 0x80; });
        if (!ascii || !name.startsWith(kPrefix) || !name.endsWith(kSuffix))
            continue;
        const auto match = pattern.match(name);
        if (!match.hasMatch() || match.captured(1) != hostTag() ||
            processExists(match.captured(2).toLongLong()))
            continue;
        const QString path = base + name;
        // A live writer holds the lock; the check that the name still leads to the file
        // locked keeps a file swapped in meanwhile from being removed.
        const PathCheck file(path);
        if (file.fd().isValid() && tryLockFile(file.fd().get()) && file.stillAt(path) &&
            removeFile(path) == 0)
            ++removed;
    }
    return removed;
}

} // namespace tunevale
