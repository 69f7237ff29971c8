#pragma once

#include "common/audio/status.h"
#include "common/localfile.h"

#include <QByteArray>
#include <QString>

#include <taglib/tiostream.h>

namespace tunevale {

// The file TagLib reads and writes tags through, opened by its bytes as a regular file only
// (common/localfile.h): read-only for a source, so reading one never opens it for writing,
// and read-write for an output being tagged. TagLib's own stream opens read-write by default
// and says nothing when a write fails or falls short; this one remembers it.
class TagStream final : public TagLib::IOStream {
public:
    TagStream(const QString& path, OpenFor purpose);
    TagStream(const TagStream&) = delete;
    TagStream& operator=(const TagStream&) = delete;

    // Why the file could not be opened ("not a regular file"); empty when it is open.
    QString openFailure() const;
    // After writing: an error with the reason when a write, a move or a truncation failed, or
    // when the file's size is not what was written ("File too large").
    Status writeResult();

    TagLib::FileName name() const override;
    TagLib::ByteVector readBlock(unsigned long length) override;
    void writeBlock(const TagLib::ByteVector& data) override;
    void insert(const TagLib::ByteVector& data, unsigned long start = 0,
                unsigned long replace = 0) override;
    void removeBlock(unsigned long start = 0, unsigned long length = 0) override;
    bool readOnly() const override;
    bool isOpen() const override;
    void seek(long offset, Position position = Beginning) override;
    long tell() const override;
    long length() override;
    void truncate(long length) override;

private:
    qint64 readAt(qint64 position, char* data, qint64 size);
    bool writeAt(qint64 position, const char* data, qint64 size);
    // Moves the bytes from from to the end of the file to to, a chunk at a time.
    bool moveTail(qint64 from, qint64 to);
    bool fail(int error);

    QByteArray m_name;
    int m_openError = 0; // set while m_file is opened
    UniqueFd m_file;
    bool m_writable = false;
    int m_writeError = 0;
    qint64 m_position = 0;
    qint64 m_size = 0; // what the file holds by the writes made through this stream
};

} // namespace tunevale
