#pragma once

#include <QByteArray>
#include <QString>

#include <taglib/tiostream.h>

namespace tunevale {

// TagLib's view of a file already open for reading and writing, so tags can be written into a
// file that has no name of its own yet. The descriptor stays the caller's. Short writes are
// recorded rather than ignored: check failed() after saving.
class FdTagStream final : public TagLib::IOStream {
public:
    FdTagStream(int fd, const QString& shownPath);

    bool failed() const { return m_error != 0; }
    int error() const { return m_error; } // errno of the first failure

    TagLib::FileName name() const override { return m_name.constData(); }
    TagLib::ByteVector readBlock(unsigned long length) override;
    void writeBlock(const TagLib::ByteVector& data) override;
    // Moves what follows the replaced bytes through memory: meant for tags near the file's end.
    void insert(const TagLib::ByteVector& data, unsigned long start = 0,
                unsigned long replace = 0) override;
    void removeBlock(unsigned long start = 0, unsigned long length = 0) override;
    bool readOnly() const override { return false; }
    bool isOpen() const override { return m_fd >= 0; }
    void seek(long offset, Position position = Beginning) override;
    long tell() const override { return m_position; }
    long length() override;
    void truncate(long length) override;

private:
    TagLib::ByteVector readFrom(long offset, long length);
    void writeAt(long offset, const char* data, size_t size);

    int m_fd;
    QByteArray m_name;
    long m_position = 0;
    int m_error = 0;
};

} // namespace tunevale
