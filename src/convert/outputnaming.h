#pragma once

#include "common/codecs/outputformat.h"
#include "convert/partfile.h"

#include <QStringList>

#include <QSet>
#include <QString>

namespace tunevale {

// The extension of the target format's outputs, dot included: ".mp3".
QString targetExtension(OutputKind targetFormat);

// A file name less its extension (the text from its last dot on): "a.b.wav" gives "a.b",
// "track01" and ".hidden" stay as they are.
QString stemOf(const QString& fileName);

// The folder part of path, up to and including its last separator; empty when it has none.
QString folderOf(const QString& path);

// True when an entry other than a directory exists at path (a file, a link, a device).
bool isNameTaken(const QString& path);

// The output path for source: in outputFolder (empty: the source's own folder), named as the
// source less its extension, plus extension. As long as that name is taken on
// disk or in claimed (absolute, cleaned paths), "New_" is put in front of it. Nothing existing
// is ever chosen, unless avoidTaken is false: then only claimed names are passed over.
QString outputPathFor(const QString& source, const QString& extension, const QString& outputFolder,
                      const QSet<QString>& claimed = {}, bool avoidTaken = true);

// path with "New_" put in front of its file name: the next name the rule above tries.
QString withNewPrefix(const QString& path);

// path with " (number)" after its file name's stem: "a/lena.mp3" and 2 give "a/lena (2).mp3".
QString withNumber(const QString& path, int number);

// How outputs below a chosen folder are named beyond the source's own name.
struct NamingRules {
    bool keepTree = false; // each output under the relative folder its source was added from
    QString pattern;       // empty: the source's name; see NamePattern
    bool portable = false; // names FAT, exFAT and NTFS accept

    friend bool operator==(const NamingRules&, const NamingRules&) = default;
};

// The output chosen for a row: its path, or why none could be made.
struct ClaimedOutput {
    QString path;
    QString failure; // "Cannot create folder <path>: <reason>"
};

// Names the outputs of one run in list order: an output chosen for an earlier row counts as
// taken even before its file exists, so rows converted at the same time never collide.
// With IfExists::Skip a name taken on disk is chosen all the same, for the row to be skipped.
class OutputNaming {
public:
    OutputNaming(QString extension, QString outputFolder, IfExists ifExists = IfExists::New);

    // The folder of the following claims (empty: each source's own); claims made so far
    // still count as taken.
    void setOutputFolder(const QString& outputFolder);

    // Rules for the following claims; the pattern reads each source's tags.
    void setRules(const NamingRules& rules) { m_rules = rules; }

    // Picks the output path for source and reserves it for the rest of the run.
    QString claim(const QString& source);

    // The same, for a source added from a folder: relativeFolder is the folder it had below
    // that one ("Artist/Album", "/" between names), kept under a chosen output folder when the
    // rules say so. Folders the name needs are made, never through a link in the output tree.
    ClaimedOutput claimOutput(const QString& source, const QString& relativeFolder);

    // The path claimOutput would choose, reserved alike, with no folder made: what a preview
    // of the run's names shows.
    QString claimName(const QString& source, const QString& relativeFolder);

private:
    QString wantedPath(const QString& source, const QString& relativeFolder) const;
    QString freePath(const QString& wanted) const;

    NamingRules m_rules;
    QString m_extension;
    QString m_outputFolder;
    IfExists m_ifExists;
    QSet<QString> m_claimed;
};

} // namespace tunevale
