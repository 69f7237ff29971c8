#pragma once

#include <QFont>
#include <QIcon>
#include <QPixmap>

namespace tunevale {

// The product's own look: its pictures, drawn in code, and its window font.
QIcon applicationIcon();
// Tahoma 9 pt where the system has it, else the system's own font at 9 pt.
QFont windowFont();
// The splash picture at the given size, without the version and copyright texts.
QPixmap splashArtwork(const QSize& size);

// Toolbar and menu icons for the commands.
enum class CommandIcon {
    AddFiles,
    AddFolder,
    Remove,
    Play,
    ConvertMp3,
    ConvertWma,
    ConvertOgg,
    ConvertWav
};
QIcon commandIcon(CommandIcon icon);

} // namespace tunevale
