#pragma once

#include "common/audio/status.h"
#include "common/safefile.h"

#include <QByteArray>
#include <QString>

// The file handling every encoder shares, with the texts the conversion log shows.
namespace tunevale {

// An output file an encoder writes into: a descriptor created by the caller, written
// through a buffer. Messages name the path the output will have, which need not be the
// temporary file being written, and give the system's own reason for a failure.
class OutputStream {
public:
    OutputStream() = default;
    // What was written is not lost when an encoder is dropped half-way.
    ~OutputStream();
    OutputStream(const OutputStream&) = delete;
    OutputStream& operator=(const OutputStream&) = delete;

    // Takes the file over; "Cannot create <path>: <reason>" when it is not open.
    Status open(UniqueFd file, const QString& shownPath);
    bool isOpen() const { return m_file.isValid(); }
    const QString& shownPath() const { return m_shownPath; }

    // False on failure, after which failure() tells why.
    bool write(const char* data, qint64 size);
    bool write(const QByteArray& data) { return write(data.constData(), data.size()); }
    bool flush();
    bool seek(qint64 position);
    // The file's size including what is still buffered, or -1 on failure.
    qint64 size();

    bool failed() const { return m_error != 0; }
    // "Cannot write <path>: <reason>" for the last failure.
    Status failure() const;
    // Flushes (while status is good) and closes the file, also after a failure so a
    // half-written file is not held open. The first failure is the one returned.
    Status close(Status status);

private:
    bool fail(int error);

    UniqueFd m_file;
    QString m_shownPath;
    QByteArray m_buffer;
    int m_error = 0;
};

// Creates path exclusively (never replacing anything, not even a dangling link) for an
// encoder to write; "Cannot create <path>: <reason>" on failure.
Status createOutputFile(const QString& path, UniqueFd& file);

} // namespace tunevale
