#pragma once

#include <QIcon>
#include <QPixmap>

namespace tunevale {

// The product's own pictures, drawn in code.
QIcon applicationIcon();
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
