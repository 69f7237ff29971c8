#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QStringList>

#include <optional>

namespace tunevale {

class AudioInformation;

// The texts of one file list row: the path (the row's identity) and five columns.
struct FileRow {
    QString path;
    QString type;        // what the file holds ("MP3", "FLAC"), else its last three characters
    QString typeToolTip; // when the extension claims another type: what it claims
    QString size;        // "#,##0 KB"
    QString format;      // the format description without commas or a trailing ";"
    QString length;      // "hh:mm:ss"
    QString modified;    // "YYYY/MM/DD hh:mm:ss" with the locale's separators
};

// True when the last three characters of path, in lower case, name one of the four classic
// types, or its extension names one of the other audio types FFmpeg decodes.
bool IsSupportedFile(const QString& path);

// The name patterns of the other audio types ("*.flac", "*.opus", ...).
QStringList otherAudioPatterns();

// A probed file: its row, or why it gets none ("not audio", "unreadable", "unsupported
// encoding").
struct ProbedFile {
    std::optional<FileRow> row;
    QString skipReason;
};

// Probes path with info and builds its row; no row when the file is not audio, vanished, is no
// regular file (a folder, pipe or device), or holds audio this build cannot decode.
ProbedFile probeFile(const QString& path, AudioInformation& info,
                     const QLocale& locale = QLocale());
std::optional<FileRow> buildFileRow(const QString& path, AudioInformation& info,
                                    const QLocale& locale = QLocale());

QString fileSizeText(qint64 bytes, const QLocale& locale = QLocale());
// A whole number with the locale's thousands separator, also in the C locale ("44,100").
QString groupedNumber(qint64 value, const QLocale& locale = QLocale());
QString cleanedFormatDescription(QString description);
QString modifiedTimeText(const QDateTime& time, const QLocale& locale = QLocale());

} // namespace tunevale
