#include "convert/albumgains.h"

#include "common/safefile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>

namespace tunevale {

namespace {

// Copies from into to, which must not exist. Unlike QFile::copy it does not wait for the disk
// to hold the copy: no output of a run waits so, and the rename that puts the copy in place
// already keeps readers from a mix of old and new.
bool copyWhole(const QString& from, const QString& to)
{
    constexpr qint64 kBlock = 1 << 20;
    QFile in(from);
    QFile out(to);
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return false;
    QByteArray block(kBlock, Qt::Uninitialized);
    for (;;) {
        const qint64 read = in.read(block.data(), kBlock);
        if (read < 0)
            return false;
        if (read == 0)
            return out.flush() && out.size() == in.size();
        if (out.write(block.constData(), read) != read)
            return false;
    }
}

} // namespace

QString AlbumGains::albumKey(const QString& album, const QString& albumArtist,
                             const QString& source)
{
    if (album.isEmpty() && albumArtist.isEmpty())
        return QStringLiteral("folder:") + QFileInfo(source).absolutePath();
    // The separator cannot occur in a tag read as text, so no two albums share a key.
    return QStringLiteral("tags:") + albumArtist + QChar(0) + album;
}

void AlbumGains::add(const QString& albumKey, const QString& output, OutputKind kind,
                     std::vector<LoudnessMeter> meters)
{
    const std::lock_guard lock(m_mutex);
    m_albums[albumKey].push_back(Track{output, kind, std::move(meters)});
}

size_t AlbumGains::size() const
{
    const std::lock_guard lock(m_mutex);
    size_t count = 0;
    for (const auto& [key, tracks] : m_albums)
        count += tracks.size();
    return count;
}

QStringList AlbumGains::writeAll(const std::function<void()>& betweenFiles)
{
    const std::lock_guard lock(m_mutex);
    QStringList failures;
    for (const auto& [key, tracks] : m_albums) {
        std::vector<const LoudnessMeter*> meters;
        for (const Track& track : tracks) {
            for (const LoudnessMeter& meter : track.meters)
                meters.push_back(&meter);
        }
        const Loudness album = LoudnessMeter::combined(meters);
        for (const Track& track : tracks) {
            if (Status status =
                    replaceWithGainTags(track.output, track.kind, GainScope::Album, album);
                !status)
                failures.push_back(track.output + QStringLiteral(": ") + status.message());
            if (betweenFiles)
                betweenFiles();
        }
    }
    m_albums.clear();
    return failures;
}

Status replaceWithGainTags(const QString& path, OutputKind kind, GainScope scope,
                           const Loudness& loudness)
{
    const QFileInfo info(path);
    const QString copy = info.absolutePath() + QStringLiteral("/.") + info.fileName() +
                         QStringLiteral(".gain-%1").arg(currentProcessId());
    (void)removeFile(copy);
    if (!copyWhole(path, copy)) {
        (void)removeFile(copy);
        return Status::error(QStringLiteral("the file could not be copied to add its album gain"));
    }
    const GainTagValues values{loudness.lufs, loudness.peak};
    Status status = writeGainTags(copy, kind, scope, loudness.silent ? nullptr : &values);
    // rename replaces the name in one step: readers see the old file or the new, never a mix.
    if (status &&
        std::rename(QFile::encodeName(copy).constData(), QFile::encodeName(path).constData()) != 0)
        status = Status::error(systemErrorText(errno));
    if (!status)
        (void)removeFile(copy);
    return status;
}

} // namespace tunevale
