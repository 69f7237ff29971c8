#pragma once

#include <QFont>
#include <QIcon>
#include <QPixmap>
#include <QRgb>
#include <QStringView>

namespace tunevale {

// The product's own look: its pictures, drawn in code, and its window font.
QIcon applicationIcon();
// Tahoma 9 pt where the system has it, else the system's own font at 9 pt.
QFont windowFont();
// The splash picture at the given size, without the version and copyright texts.
QPixmap splashArtwork(const QSize& size);

// Toolbar and menu icons for the commands.
enum class CommandIcon { AddFiles, AddFolder, Remove, Play };
QIcon commandIcon(CommandIcon icon);

// How an output format's Convert command looks: a badge in the format's colour with its caption
// in white; at 16 pixels, where a caption blurs, the mark instead (one or two letters, or a
// wave when empty), chosen so that no two formats look alike.
struct FormatBadge {
    QRgb colour;
    QStringView mark;
};
QIcon formatIcon(const QString& caption, const FormatBadge& badge);

} // namespace tunevale
