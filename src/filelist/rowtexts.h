#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

#include <optional>

namespace tunevale {

class AudioInformation;

// The texts of one file list row: the path (the row's identity) and five columns.
struct FileRow {
    QString path;
    QString type;     // last three characters, upper case
    QString size;     // "#,##0 KB"
    QString format;   // the format description without commas or a trailing ";"
    QString length;   // "hh:mm:ss"
    QString modified; // "YYYY/MM/DD hh:mm:ss" with the locale's separators
};

// True when the last three characters of path, in lower case, name a supported type.
bool IsSupportedFile(const QString& path);

// Probes path with info and builds its row; nothing when the file is not audio or vanished.
std::optional<FileRow> buildFileRow(const QString& path, AudioInformation& info,
                                    const QLocale& locale = QLocale());

QString fileSizeText(qint64 bytes, const QLocale& locale = QLocale());
// A whole number with the locale's thousands separator, also in the C locale ("44,100").
QString groupedNumber(qint64 value, const QLocale& locale = QLocale());
QString cleanedFormatDescription(QString description);
QString modifiedTimeText(const QDateTime& time, const QLocale& locale = QLocale());

} // namespace tunevale
