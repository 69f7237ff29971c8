#pragma once

#include <QString>
#include <QStringList>

namespace tunevale {

// Pieces of the usage texts that are made from the output format table.

// "a, b, c or d"; "a" alone; empty for none.
QString listedWithOr(const QStringList& items);
// The same in pieces that wrappedText keeps whole: "a,", "b,", "c", "or", "d".
QStringList listedPieces(const QStringList& items);

// The pieces joined by spaces into lines of at most width characters (a longer piece gets a
// line of its own), each line ended by "\n". Pieces are never broken.
QString wrappedText(const QStringList& pieces, int width);
// Words of a text, as pieces for wrappedText.
QStringList words(const QString& text);

// One option of a usage text: "  --jobs N" padded to the help's column, then the help, whose
// further lines ("\n" in it) continue in that column.
QString optionLine(const QString& option, const QString& help);

// The formats of `transcode`, as its usage lists them: ".mp3 (44100 Hz, 96 kbit/s, stereo)", ...
QStringList transcodeFormats();
// The captions of the formats one long file of which may use several threads: "MP3 or WAV".
QString splittingFormatsText();

} // namespace tunevale
