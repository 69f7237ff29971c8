#pragma once

#include "common/audio/status.h"
#include "common/safefile.h"

#include <QString>

namespace tunevale {

// What to do when an output's name is taken: put "New_" in front, leave it and skip, or number
// the new name ("lena (2).mp3").
enum class IfExists { New, Skip, Number };

// An output while it is written: a hidden file in the output's folder under a name no output
// can have (".tunevale-<host>-<process id>-<random>.part"), locked while this object lives so that
// other runs can tell it from a leftover. It takes the output's name only when complete;
// otherwise it is removed with this object.
class PartFile {
public:
    PartFile() = default;
    ~PartFile();
    PartFile(const PartFile&) = delete;
    PartFile& operator=(const PartFile&) = delete;

    // Creates the file in outputPath's folder; failures name outputPath. The first time a
    // process writes into a folder, the part files there whose process is gone are removed.
    Status create(const QString& outputPath);
    const QString& path() const { return m_path; }
    // A descriptor to write through; the lock stays with this object.
    UniqueFd writeHandle() const { return m_file.duplicate(); }

    // Moves the file to wanted without replacing anything. When that name is taken, New puts
    // "New_" in front until a name is free, Number tries " (2)", " (3)"...; Skip removes the file
    // and leaves savedAs empty.
    Status commit(const QString& wanted, IfExists ifExists, QString& savedAs);

    // Removes the part files in folder that a process left behind: named as above, by this
    // machine, for a process that is no longer running, and not locked. Returns how many it
    // removed.
    static int removeLeftovers(const QString& folder);

    // The machine's part of the names, from its host name: at most 32 letters, digits and
    // "_" (for any other character), never empty.
    static QString hostTagFor(QString hostName);

private:
    void discard();

    QString m_path;
    UniqueFd m_file;
};

} // namespace tunevale
